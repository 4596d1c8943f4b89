#pragma once

// The level's measurement record, in one place. A measurement file is text;
// each line that splits into exactly seven space-separated fields is either a
// line-start record (it contains "@") or a measurement record:
//
//   field 1 point id, 2 sight code ("B" back sight), 3 staff reading (m),
//   4 sight distance (m), 5 time and 6 number (not used), 7 method code
//   (105 third order, 106 fourth order, 107 second order)
//
// e.g. "BM1 B 1.52341 25.31 08:11:00 1 107". Lines holding "PtID" are the
// level's column headers. A record is kept as its trimmed text; whoever needs
// a field asks here. A reader for another instrument produces the same
// records through FormatRecord, so everything after the reader (line
// selection, the data list, the computation) stays the same.

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/grade.h"
#include "levelling/report_command.h"
#include "levelling/station.h"

namespace lorvex {

inline constexpr std::size_t kRecordFieldCount = 7;

// Field positions, from 0.
enum RecordField : std::size_t {
    kPointIdField = 0,
    kSightCodeField = 1,
    kReadingField = 2,
    kDistanceField = 3,
    kTimeField = 4,
    kNumberField = 5,
    kMethodCodeField = 6,
};

// What a text line of a measurement file is.
enum class TextLineKind {
    Empty,         // nothing but white space
    Ignored,       // not seven fields
    ColumnHeader,  // seven fields holding "PtID" somewhere
    LineStart,     // seven fields holding "@": opens a levelling line
    Record,        // a measurement record
};

struct ClassifiedLine {
    TextLineKind kind = TextLineKind::Empty;
    std::string_view trimmed;  // the line without white space at either end
};

// Classifies one text line (without or with its line break).
ClassifiedLine ClassifyLine(std::string_view line);

// Whether a text carries the column-header mark "PtID".
bool HasColumnHeaderMark(std::string_view text);

// The name a line-start record (trimmed) gives its line: what follows the
// first "@" up to the first space of the line; empty when that space comes
// first.
std::string LineStartName(std::string_view trimmed);

// Field 1 and field 7 of a stored record (trimmed, seven fields): the text
// before its first space and after its last space.
std::string_view RecordPointId(std::string_view record);
std::string_view RecordMethodCode(std::string_view record);

// The method codes the level writes for the order of levelling observed.
inline constexpr std::string_view kMethodCodeSecond = "107";
inline constexpr std::string_view kMethodCodeThird = "105";
inline constexpr std::string_view kMethodCodeFourth = "106";

// The grade a method code stands for; GradeNone for any other code.
LevellingGrade GradeOfMethodCode(std::string_view code);
// The method code of a grade; empty for GradeNone and unknown values.
std::string_view MethodCodeOfGrade(LevellingGrade grade);

// The text a data-list row shows for a record: up to, not including, its
// last space (the method code is cut off; further spaces before it stay). A
// text without a space is kept whole. A view into record.
std::string_view CutAtLastSpace(std::string_view record);

// The sight code of an intermediate sight (a staff reading on a point off the
// line, written by other levels between and inside stations). Its record is
// listed with the line but is no sight of any station. The code holds "@",
// which no record of a measurement file can hold (a seven-field line with
// "@" opens a line), so no record read from a file is ever taken for one.
inline constexpr std::string_view kIntermediateSightCode = "中视@";

// Whether a row or record, split into fields, is one the station computation
// passes over: a column header (its first field holds "PtID") or an
// intermediate sight (its second field is kIntermediateSightCode). A row
// without fields is not.
bool IsNonStationRow(std::span<const std::string_view> fields);

// Reads data-list rows as sight records one at a time, the way
// CollectSightRecords turns them into a whole list: the computation takes
// them straight from the rows. The rows must outlive the reader.
class DataRowRecords final : public SightRecordSource {
  public:
    explicit DataRowRecords(std::span<const std::string_view> rows) : m_rows(rows) {}
    Read Next(SightRecord& record) override;
    std::size_t RecordsAtMost() const override { return m_rows.size() - m_next; }
    // The row the last record read came from.
    std::size_t Row() const { return m_next - 1; }

  private:
    std::span<const std::string_view> m_rows;
    std::size_t m_next = 0;
    std::vector<std::string_view> m_fields;
};

// Turns data-list rows (records cut at their last space, maybe edited by the
// user) into sight records: blank rows and non-station rows (column headers,
// intermediate sights) are skipped. A non-blank row that splits into no fields, or into
// fewer than four, is an invalid argument: nullopt.
std::optional<std::vector<SightRecord>> CollectSightRecords(std::span<const std::string_view> rows);

// A record from its parts, for readers of other instruments' files.
struct RecordParts {
    std::string pointId;
    std::string sightCode;  // "B" back sight; the computation takes anything else as fore
    double readingMetres = 0.0;
    double distanceMetres = 0.0;
    std::string time;    // empty: "0"
    std::string number;  // empty: "0"
    std::string methodCode;
};

// The record text: readings with five decimals (10^-5 m, the resolution the
// computation keeps), distances with three, single spaces between the fields.
// nullopt when a part would not read back as the same field: an empty point
// id, sight code or method code, a part holding white space, "@" or "PtID",
// or a reading or distance that is not finite.
std::optional<std::string> FormatRecord(const RecordParts& parts);

}  // namespace lorvex
