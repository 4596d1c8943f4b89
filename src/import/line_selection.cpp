#include "import/line_selection.h"

#include <cstddef>

#include "import/fields.h"
#include "import/record_format.h"

namespace lorvex {
namespace {

// Field 1 and field 7 of a record that is a sight of a station; false for
// a non-station row (column header, intermediate sight).
bool StationFields(std::string_view record, std::vector<std::string_view>& fields,
                   std::string_view& point, std::string_view& code) {
    fields.clear();  // a blank record has no fields, not the last record's
    SplitFields(TrimBlanks(record), fields);
    if (IsNonStationRow(fields)) return false;
    point = kPointIdField < fields.size() ? fields[kPointIdField] : std::string_view();
    code = kMethodCodeField < fields.size() ? fields[kMethodCodeField] : std::string_view();
    return true;
}

}  // namespace

LineSelection ShowLine(std::vector<std::string_view> records, LevellingGrade grade,
                       std::string stationStGo, std::string stationEnGo) {
    LineSelection s;
    s.grade = grade;
    s.stationStGo = std::move(stationStGo);
    s.stationEnGo = std::move(stationEnGo);
    if (records.empty()) return s;

    // The pattern is read off the first six station sights and the end
    // point off the last two: a long line's other records are not split.
    // p and c hold field 1 and field 7 of the first sights (non-station rows
    // skipped), n counts them up to kFront; more sights leave n at kFront.
    constexpr std::size_t kFront = 6;
    std::string_view p[kFront], c[kFront];
    std::size_t n = 0;
    std::vector<std::string_view> fields;
    std::size_t next = 0;
    for (; next < records.size() && n < kFront; ++next) {
        if (StationFields(records[next], fields, p[n], c[n])) ++n;
    }
    // The last two sights: found again from the end when the front did not
    // reach them (a line of exactly six sights finds the same two).
    std::string_view last = n > 0 ? p[n - 1] : std::string_view();
    std::string_view beforeLast = n > 1 ? p[n - 2] : std::string_view();
    if (n == kFront && next < records.size()) {
        std::size_t found = 0;
        for (std::size_t i = records.size(); i-- > 0 && found < 2;) {
            std::string_view point, code;
            if (!StationFields(records[i], fields, point, code)) continue;
            (found++ == 0 ? last : beforeLast) = point;
        }
    }

    s.rows = std::move(records);
    for (std::string_view& row : s.rows) row = CutAtLastSpace(row);
    s.outcome = LineSelection::Outcome::Detected;

    if (n < 4) {
        // Too few sights for a station pattern: the level's method code
        // says which order was observed. The end points are left alone.
        const LevellingGrade coded = GradeOfMethodCode(n > 0 ? c[0] : std::string_view());
        if (coded != GradeNone) s.grade = coded;
        return s;
    }

    LevellingGrade detected;
    if (p[0] == p[1] && p[2] == p[3]) {
        // Fourth order sights back, back, fore, fore: the points pair up.
        detected = GradeFourth;
    } else if (p[0] == p[3] && p[1] == p[2]) {
        // Back, fore, fore, back. Second order alternates it with fore,
        // back, back, fore, so the second station's second sight is a back
        // sight on the first station's fore point; third order repeats it.
        if (n >= 6 && p[2] == p[5])
            detected = GradeSecond;
        else
            detected = c[3] == kMethodCodeSecond ? GradeSecond : GradeThird;
    } else {
        s.outcome = LineSelection::Outcome::Unsupported;
        s.message = MessageFromId(IDS_FORMAT_UNSUPPORTED, MessageIcon::Warning);
        return s;
    }

    s.grade = detected;
    s.stationStGo = std::string(p[0]);
    // A third-order line ends every station on a back sight, so its end
    // point is the fore point of the record before the last.
    s.stationEnGo = std::string(detected == GradeThird ? beforeLast : last);
    return s;
}

}  // namespace lorvex
