#include "session/levelling_session.h"

#include <algorithm>
#include <utility>

#include "base/erase_indexes.h"
#include "import/line_selection.h"
#include "import/line_store.h"
#include "import/measurement_reader.h"
#include "import/record_format.h"

namespace lorvex {

namespace {

PreparedReport Prepare(std::size_t lineCount, std::span<const std::string> dataRows,
                       LevellingGrade grade, const ReportHeader& header, const LimitTable* limits) {
    PreparedReport stopped;
    if (lineCount == 0) {
        stopped.stop = MessageFromId(IDS_NO_LINES);
        return stopped;
    }
    if (dataRows.empty()) {
        stopped.stop = MessageFromId(IDS_NO_RECORDS);
        return stopped;
    }
    const std::optional<std::vector<SightRecord>> records = CollectSightRecords(dataRows);
    if (!records) {
        stopped.stop = MessageFromId(IDS_INVALID_ARGUMENT, MessageIcon::Stop);
        return stopped;
    }
    if (limits == nullptr) return ComputeReport(*records, grade, header);
    return ComputeReport(*records, grade, header, *limits);
}

}  // namespace

PreparedReport PrepareReport(std::size_t lineCount, std::span<const std::string> dataRows,
                             LevellingGrade grade, const ReportHeader& header) {
    return Prepare(lineCount, dataRows, grade, header, nullptr);
}

PreparedReport PrepareReport(std::size_t lineCount, std::span<const std::string> dataRows,
                             LevellingGrade grade, const ReportHeader& header,
                             const LimitTable& limits) {
    return Prepare(lineCount, dataRows, grade, header, &limits);
}

LevellingSession::LevellingSession() : m_store(std::make_unique<LineStore>()) {}

LevellingSession::~LevellingSession() = default;

std::size_t LevellingSession::LineCount() const { return m_store->LineCount(); }

const std::string& LevellingSession::LineName(std::size_t line) const {
    return m_store->Name(line);
}

std::vector<std::string> LevellingSession::LineNames() const {
    std::vector<std::string> names;
    names.reserve(m_store->LineCount());
    for (std::size_t i = 0; i < m_store->LineCount(); ++i) names.push_back(m_store->Name(i));
    return names;
}

std::size_t LevellingSession::RecordCount(std::size_t line) const {
    return m_store->RecordCount(line);
}

std::vector<std::string> LevellingSession::Records(std::size_t line) const {
    return m_store->Records(line);
}

bool LevellingSession::GradeSelectable(LevellingGrade grade) const {
    return IsKnownGrade(grade) && m_gradeSelectable[grade];
}

ImportOutcome LevellingSession::ImportFile(const std::filesystem::path& path) {
    const std::u8string utf8 = path.u8string();
    m_filePath.assign(utf8.begin(), utf8.end());
    return Imported(ImportMeasurementFile(path, *m_store));
}

ImportOutcome LevellingSession::ImportBytes(ByteSource& source, std::string_view displayPath) {
    return Imported(ReadMeasurementFile(source, displayPath, *m_store));
}

ImportOutcome LevellingSession::Imported(const ImportResult& result) {
    ImportOutcome outcome;
    outcome.opened = result.opened;
    if (!result.opened) return outcome;  // the lines and the data rows stay as they were
    m_shownLine = -1;
    m_dataRows.clear();
    if (result.message) outcome.messages.push_back(*result.message);
    return outcome;
}

Messages LevellingSession::ClickLine(int row) {
    Messages messages;
    m_shownLine = row;
    m_dataRows.clear();
    if (row < 0 || m_store->RecordCount(static_cast<std::size_t>(row)) == 0) return messages;

    // The grade follows the data of the line shown: no grade may be picked
    // until detection has said which one.
    std::fill(std::begin(m_gradeSelectable), std::end(m_gradeSelectable), false);
    const std::vector<std::string_view> records =
        m_store->RecordViews(static_cast<std::size_t>(row));
    LineSelection selection =
        ShowLine(records, m_grade, m_header.sStationStGo, m_header.sStationEnGo);
    m_dataRows = std::move(selection.rows);
    if (selection.outcome == LineSelection::Outcome::Unsupported) {
        // Grade and end points stay as they were.
        if (selection.message) messages.push_back(*selection.message);
        return messages;
    }
    m_grade = selection.grade;
    m_header.sStationStGo = std::move(selection.stationStGo);
    m_header.sStationEnGo = std::move(selection.stationEnGo);
    ApplyGrade(m_grade);
    return messages;
}

bool LevellingSession::EditRow(int row, const std::optional<std::string>& text) {
    if (!text || text->empty()) return false;
    if (row < 0 || static_cast<std::size_t>(row) >= m_dataRows.size()) return false;
    m_dataRows[static_cast<std::size_t>(row)] = *text;
    return true;
}

std::optional<UserMessage> LevellingSession::DeleteQuestion(std::span<const int> rows) const {
    if (rows.empty()) return std::nullopt;
    return MessageFromId(IDS_CONFIRM_DELETE, MessageIcon::Question);
}

void LevellingSession::DeleteRows(std::span<const int> rows) {
    std::vector<std::size_t> doomed;
    doomed.reserve(rows.size());
    for (const int r : rows) {
        if (r >= 0 && static_cast<std::size_t>(r) < m_dataRows.size())
            doomed.push_back(static_cast<std::size_t>(r));
    }
    std::sort(doomed.begin(), doomed.end());
    doomed.erase(std::unique(doomed.begin(), doomed.end()), doomed.end());
    if (doomed.empty()) return;

    // Row r of the data list is record r of the shown line: the same
    // indexes go from both, in one pass each.
    EraseIndexes(m_dataRows, doomed);

    if (m_shownLine < 0) return;
    const auto line = static_cast<std::size_t>(m_shownLine);
    const std::size_t records = m_store->RecordCount(line);
    // The rows were filled from the records one to one; only deletions
    // changed either since, so every row index is a record index.
    const auto end = std::lower_bound(doomed.begin(), doomed.end(), records);
    if (line < m_store->LineCount() && end != doomed.begin())
        m_store->RemoveRecords(line, std::span<const std::size_t>(doomed.begin(), end));
}

bool LevellingSession::ApplyGrade(LevellingGrade grade) {
    if (!IsKnownGrade(grade)) return false;
    m_grade = grade;
    m_secondOrderFields = grade == GradeSecond;
    m_gradeSelectable[grade] = true;  // the other grades keep their state
    return true;
}

bool LevellingSession::CheckTimeField(TimeField field) {
    std::string& text = m_header.*TimeFieldMember(field);
    std::string checked = lorvex::CheckTimeField(field, text);
    if (checked == text) return false;
    text = std::move(checked);
    return true;
}

PreparedReport LevellingSession::PrepareReport() const {
    PreparedReport prepared =
        lorvex::PrepareReport(m_store->LineCount(), m_dataRows, m_grade, m_header, m_limits);
    if (prepared.stop || !prepared.check || m_shownLine < 0) return prepared;
    // The (R) and (L) halves of a dual-run line level the same section the
    // same way: the other half, computed with this grade, must agree.
    const std::optional<std::size_t> partner =
        DualRunPartnerOf(static_cast<std::size_t>(m_shownLine));
    if (!partner) return prepared;
    const StoredRun other = ComputeStoredLine(*partner, m_grade);
    if (other.stop || other.run.stations == 0) return prepared;
    const RunComparison comparison = CompareRuns(
        prepared.check->run, other.run, Rule::LeftRightDiff, m_limits, RunPairing::SameDirection);
    if (comparison.flag) prepared.check->line.push_back(*comparison.flag);
    return prepared;
}

std::vector<LevellingSession::RowMark> LevellingSession::FlaggedRows(const LineCheck& check) const {
    std::vector<RowMark> marks;
    if (check.FlaggedStations() == 0) return marks;
    // Blank and column-header rows carry no record; station s is the four
    // records 4s..4s+3 the computation read.
    std::vector<std::size_t> rowOfRecord;
    if (!CollectSightRecords(m_dataRows, rowOfRecord)) return marks;
    for (std::size_t s = 0; s < check.stations.size(); ++s) {
        if (check.stations[s].Passes() || 4 * s + 3 >= rowOfRecord.size()) continue;
        const std::string tooltip = StationTooltip(check.stations[s]);
        for (std::size_t k = 0; k < 4; ++k) marks.push_back({rowOfRecord[4 * s + k], tooltip});
    }
    return marks;
}

Messages LevellingSession::LoadLimits(const std::filesystem::path& file) {
    LoadedLimits loaded = LoadLimitTable(file);
    m_limits = std::move(loaded.table);
    Messages messages;
    for (std::string& text : loaded.messages) {
        messages.push_back(UserMessage{std::move(text), MessageIcon::Warning});
    }
    return messages;
}

std::optional<std::size_t> LevellingSession::DualRunPartnerOf(std::size_t line) const {
    if (line >= m_store->LineCount()) return std::nullopt;
    const std::optional<std::string> name = DualRunPartner(m_store->Name(line));
    if (!name) return std::nullopt;
    for (std::size_t i = 0; i < m_store->LineCount(); ++i) {
        if (i != line && m_store->Name(i) == *name) return i;
    }
    return std::nullopt;
}

LevellingSession::StoredRun LevellingSession::ComputeStoredLine(std::size_t line,
                                                                LevellingGrade grade) const {
    StoredRun out;
    const std::vector<std::string_view> records = m_store->RecordViews(line);
    if (records.empty()) {
        out.stop = MessageFromId(IDS_NO_RECORDS);
        return out;
    }
    LineSelection selection = ShowLine(records, GradeNone, {}, {});
    if (grade == GradeNone) {
        if (selection.outcome != LineSelection::Outcome::Detected || selection.message) {
            out.stop = selection.message ? *selection.message : MessageFromId(IDS_NO_RECORDS);
            return out;
        }
        grade = selection.grade;
    }
    out.grade = grade;
    const PreparedReport prepared =
        lorvex::PrepareReport(m_store->LineCount(), selection.rows, grade, {}, m_limits);
    if (prepared.stop) {
        out.stop = prepared.stop;
        return out;
    }
    out.run = prepared.check->run;
    return out;
}

LineComparison LevellingSession::CompareLines(std::size_t a, std::size_t b) const {
    LineComparison out;
    if (a >= m_store->LineCount() || b >= m_store->LineCount()) {
        out.stop = MessageFromId(IDS_NO_RECORDS);
        return out;
    }
    const StoredRun first = ComputeStoredLine(a, GradeNone);
    if (first.stop) {
        out.stop = first.stop;
        return out;
    }
    const StoredRun second = ComputeStoredLine(b, first.grade);
    if (second.stop) {
        out.stop = second.stop;
        return out;
    }
    const bool halves = DualRunPartnerOf(a) == b;
    out.comparison =
        CompareRuns(first.run, second.run, halves ? Rule::LeftRightDiff : Rule::RunsDiff, m_limits,
                    halves ? RunPairing::SameDirection : RunPairing::Auto);
    return out;
}

}  // namespace lorvex
