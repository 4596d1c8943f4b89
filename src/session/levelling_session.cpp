#include "session/levelling_session.h"

#include <algorithm>
#include <utility>

#include "base/erase_indexes.h"
#include "import/line_selection.h"
#include "import/line_store.h"
#include "import/measurement_reader.h"
#include "import/record_format.h"

namespace lorvex {

PreparedReport PrepareReport(std::size_t lineCount, std::span<const std::string> dataRows,
                             LevellingGrade grade, const ReportHeader& header) {
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
    return ComputeReport(*records, grade, header);
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
        lorvex::PrepareReport(m_store->LineCount(), m_dataRows, m_grade, m_header);
    prepared.rows.fileName = m_filePath;
    if (m_shownLine >= 0 && static_cast<std::size_t>(m_shownLine) < m_store->LineCount()) {
        prepared.rows.lineName = LineName(static_cast<std::size_t>(m_shownLine));
    }
    return prepared;
}

}  // namespace lorvex
