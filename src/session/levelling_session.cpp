#include "session/levelling_session.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "base/erase_indexes.h"
#include "import/instrument_file.h"
#include "import/instrument_import.h"
#include "import/line_selection.h"
#include "import/line_store.h"
#include "import/measurement_reader.h"
#include "import/record_format.h"

namespace lorvex {

namespace {

// The data rows' records, noting the row each record came from, so that a
// station's flags can be placed on its rows without reading them again.
class RowNoting final : public SightRecordSource {
  public:
    RowNoting(DataRowRecords& records, std::vector<std::size_t>& rowOfRecord)
        : m_records(records), m_rowOfRecord(rowOfRecord) {
        m_rowOfRecord.clear();
    }
    Read Next(SightRecord& record) override {
        const Read read = m_records.Next(record);
        if (read == Read::Record) m_rowOfRecord.push_back(m_records.Row());
        return read;
    }
    std::size_t RecordsAtMost() const override { return m_records.RecordsAtMost(); }

  private:
    DataRowRecords& m_records;
    std::vector<std::size_t>& m_rowOfRecord;
};

// rowOfRecord, when given, receives the data row of each record computed.
PreparedReport Prepare(std::size_t lineCount, std::span<const std::string_view> dataRows,
                       LevellingGrade grade, const ReportHeader& header, const LimitTable* limits,
                       std::vector<std::size_t>* rowOfRecord = nullptr) {
    PreparedReport stopped;
    if (lineCount == 0) {
        stopped.stop = MessageFromId(IDS_NO_LINES);
        return stopped;
    }
    if (dataRows.empty()) {
        stopped.stop = MessageFromId(IDS_NO_RECORDS);
        return stopped;
    }
    // The stations are computed straight from the rows as they are read.
    DataRowRecords records(dataRows);
    if (rowOfRecord == nullptr) {
        return ComputeReport(records, grade, header, limits,
                             MessageFromId(IDS_INVALID_ARGUMENT, MessageIcon::Stop));
    }
    RowNoting noted(records, *rowOfRecord);
    return ComputeReport(noted, grade, header, limits,
                         MessageFromId(IDS_INVALID_ARGUMENT, MessageIcon::Stop));
}

}  // namespace

PreparedReport PrepareReport(std::size_t lineCount, std::span<const std::string_view> dataRows,
                             LevellingGrade grade, const ReportHeader& header) {
    return Prepare(lineCount, dataRows, grade, header, nullptr);
}

PreparedReport PrepareReport(std::size_t lineCount, std::span<const std::string_view> dataRows,
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

std::vector<std::string_view> LevellingSession::RecordViews(std::size_t line) const {
    return m_store->RecordViews(line);
}

bool LevellingSession::GradeSelectable(LevellingGrade grade) const {
    return IsKnownGrade(grade) && m_gradeSelectable[grade];
}

ImportOutcome LevellingSession::ImportFile(const std::filesystem::path& path) {
    const std::u8string utf8 = path.u8string();
    m_filePath.assign(utf8.begin(), utf8.end());
    AnyFileImport read = ReadGuarded([&] { return ImportAnyFile(path, *m_store); });
    return Imported(read.result, std::move(read.instrument));
}

ImportOutcome LevellingSession::ImportBytes(ByteSource& source, std::string_view displayPath) {
    AnyFileImport read = ReadGuarded([&] { return ReadAnyFile(source, displayPath, *m_store); });
    return Imported(read.result, std::move(read.instrument));
}

template <typename Read>
AnyFileImport LevellingSession::ReadGuarded(Read read) {
    try {
        return read();
    } catch (...) {
        // A reader that gives up half-way (out of memory) may have emptied
        // the store the data rows view: they go with it.
        m_shownLine = -1;
        ClearRows();
        throw;
    }
}

void LevellingSession::ClearRows() {
    m_dataRows.clear();
    m_typedRows.clear();
}

ImportOutcome LevellingSession::Imported(const ImportResult& result,
                                         std::unique_ptr<InstrumentFile> instrument) {
    ImportOutcome outcome;
    outcome.opened = result.opened;
    if (!result.opened) {
        // The lines and the data rows stay as they were; the message says
        // why a file was refused.
        if (result.message) outcome.messages.push_back(*result.message);
        return outcome;
    }
    m_ignoredLines = result.ignored;
    m_shownLine = -1;
    ClearRows();
    m_instrument = std::move(instrument);
    m_fileGrades.clear();
    if (m_instrument) {
        outcome.messages = m_instrument->messages;
        const GradeChoice choice = FileGradeChoice(*m_instrument);
        m_fileGrades = choice.allowed;
        // Lines are listed at once; their records carry the preselected
        // grade until the user has answered.
        if (auto full = FillInstrumentLines(*m_instrument, choice.preselected, *m_store)) {
            outcome.messages.push_back(*full);
        }
        if (choice.allowed.size() > 1) {
            outcome.gradeQuestion = GradeQuestion{choice.allowed, choice.preselected};
        }
    }
    if (result.message) outcome.messages.push_back(*result.message);
    return outcome;
}

bool LevellingSession::SetFileGrade(LevellingGrade grade) {
    if (!m_instrument ||
        std::find(m_fileGrades.begin(), m_fileGrades.end(), grade) == m_fileGrades.end()) {
        return false;
    }
    m_shownLine = -1;
    ClearRows();
    FillInstrumentLines(*m_instrument, grade, *m_store);
    return true;
}

bool LevellingSession::ShownLineHasSingleReadings() const {
    return m_shownLine >= 0 && HasSingleReadings(static_cast<std::size_t>(m_shownLine));
}

bool LevellingSession::HasSingleReadings(std::size_t line) const {
    return m_instrument && line < m_instrument->lines.size() &&
           HasSingleReadingStations(m_instrument->lines[line]);
}

Messages LevellingSession::ClickLine(int row) {
    Messages messages;
    m_shownLine = row;
    ClearRows();
    if (row < 0 || m_store->RecordCount(static_cast<std::size_t>(row)) == 0) return messages;

    // The grade follows the data of the line shown: no grade may be picked
    // until detection has said which one.
    std::fill(std::begin(m_gradeSelectable), std::end(m_gradeSelectable), false);
    std::vector<std::string_view> records = m_store->RecordViews(static_cast<std::size_t>(row));
    if (ShownLineHasSingleReadings()) {
        // One reading each way fits none of the record books: the line is
        // shown as read, with no grade; the report command says why.
        for (std::string_view& r : records) r = CutAtLastSpace(r);
        m_dataRows = std::move(records);
        return messages;
    }
    LineSelection selection =
        ShowLine(std::move(records), m_grade, m_header.sStationStGo, m_header.sStationEnGo);
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
    m_dataRows[static_cast<std::size_t>(row)] = m_typedRows.emplace_back(*text);
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

PreparedReport LevellingSession::PrepareReport() const { return PrepareShown(nullptr); }

PreparedReport LevellingSession::PrepareShown(std::vector<std::size_t>* rowOfRecord) const {
    if (ShownLineHasSingleReadings() && !m_dataRows.empty()) {
        PreparedReport stopped;
        stopped.stop = MessageFromId(IDS_SINGLE_READING_STATIONS, MessageIcon::Stop);
        return stopped;
    }
    PreparedReport prepared =
        Prepare(m_store->LineCount(), m_dataRows, m_grade, m_header, &m_limits, rowOfRecord);
    prepared.rows.fileName = m_filePath;
    if (m_shownLine >= 0 && static_cast<std::size_t>(m_shownLine) < m_store->LineCount()) {
        prepared.rows.lineName = LineName(static_cast<std::size_t>(m_shownLine));
    }
    if (prepared.stop || !prepared.check || m_shownLine < 0) return prepared;
    AddDualRunCheck(prepared, static_cast<std::size_t>(m_shownLine));
    return prepared;
}

void LevellingSession::AddDualRunCheck(PreparedReport& prepared, std::size_t line) const {
    // The (R) and (L) halves of a dual-run line level the same section the
    // same way: the other half, computed with this grade, must agree.
    const std::optional<std::size_t> partner = DualRunPartnerOf(line);
    if (!partner || !prepared.check) return;
    const StoredRun other = ComputeStoredLine(*partner, prepared.rows.grade);
    if (other.stop || other.run.stations == 0) return;
    const RunComparison comparison = CompareRuns(
        prepared.check->run, other.run, Rule::LeftRightDiff, m_limits, RunPairing::SameDirection);
    if (comparison.flag) prepared.check->line.push_back(*comparison.flag);
}

LevellingSession::LineReport LevellingSession::PrepareLineReport(std::size_t line,
                                                                 const ReportHeader& header) const {
    LineReport out;
    PreparedReport& prepared = out.prepared;
    if (line >= m_store->LineCount()) {
        prepared.stop = MessageFromId(IDS_NO_RECORDS);
        return out;
    }
    std::vector<std::string_view> records = m_store->RecordViews(line);
    if (records.empty()) {
        prepared.stop = MessageFromId(IDS_NO_RECORDS);
        return out;
    }
    if (HasSingleReadings(line)) {
        prepared.stop = MessageFromId(IDS_SINGLE_READING_STATIONS, MessageIcon::Stop);
        return out;
    }
    LineSelection selection = ShowLine(std::move(records), GradeNone, {}, {});
    if (selection.outcome != LineSelection::Outcome::Detected || !IsKnownGrade(selection.grade)) {
        prepared.stop =
            selection.message ? *selection.message : MessageFromId(IDS_FORMAT_UNSUPPORTED);
        return out;
    }
    if (selection.message) out.messages.push_back(*selection.message);
    ReportHeader lineHeader = header;
    lineHeader.sStationStGo = std::move(selection.stationStGo);
    lineHeader.sStationEnGo = std::move(selection.stationEnGo);
    prepared = lorvex::PrepareReport(m_store->LineCount(), selection.rows, selection.grade,
                                     lineHeader, m_limits);
    prepared.rows.fileName = m_filePath;
    prepared.rows.lineName = LineName(line);
    if (!prepared.stop) AddDualRunCheck(prepared, line);
    return out;
}

std::optional<RowMarks> LevellingSession::CheckRows() const {
    // The rows each record was read from come out of the computation's own
    // pass over the rows: marking costs no second one.
    std::vector<std::size_t> rowOfRecord;
    PreparedReport prepared = PrepareShown(&rowOfRecord);
    if (prepared.stop || !prepared.check) return std::nullopt;
    return RowMarks(std::move(*prepared.check), std::move(rowOfRecord));
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
    std::vector<std::string_view> records = m_store->RecordViews(line);
    if (records.empty()) {
        out.stop = MessageFromId(IDS_NO_RECORDS);
        return out;
    }
    LineSelection selection = ShowLine(std::move(records), GradeNone, {}, {});
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

std::filesystem::path LevellingSession::ChooserFolder(const std::filesystem::path& lastUsed,
                                                      const std::filesystem::path& home) const {
    const auto isFolder = [](const std::filesystem::path& p) {
        std::error_code error;
        return !p.empty() && std::filesystem::is_directory(p, error);
    };
    if (!m_filePath.empty()) {
        // A path typed without a folder names no folder of its own: the
        // process's working folder means nothing to the user of a window.
        const std::filesystem::path file(std::u8string(m_filePath.begin(), m_filePath.end()));
        if (file.has_parent_path() && file.is_absolute() && isFolder(file.parent_path()))
            return file.parent_path();
    }
    if (isFolder(lastUsed)) return lastUsed;
    return home;
}

}  // namespace lorvex
