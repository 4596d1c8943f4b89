#include "import/line_selection.h"

#include "import/fields.h"
#include "import/record_format.h"

namespace lorvex {
namespace {

std::string_view FieldOrEmpty(const std::vector<std::string_view>& fields, std::size_t i) {
    return i < fields.size() ? fields[i] : std::string_view();
}

}  // namespace

LineSelection ShowLine(std::span<const std::string_view> records, LevellingGrade grade,
                       std::string stationStGo, std::string stationEnGo) {
    LineSelection s;
    s.grade = grade;
    s.stationStGo = std::move(stationStGo);
    s.stationEnGo = std::move(stationEnGo);
    if (records.empty()) return s;

    std::vector<std::string_view> fields;
    s.rows.reserve(records.size());
    s.points.reserve(records.size());
    s.codes.reserve(records.size());
    for (const std::string_view record : records) {
        fields.clear();  // a blank record has no fields, not the last record's
        SplitFields(TrimBlanks(record), fields);
        if (!IsNonStationRow(fields)) {
            s.points.push_back(FieldOrEmpty(fields, kPointIdField));
            s.codes.push_back(FieldOrEmpty(fields, kMethodCodeField));
        }
        s.rows.push_back(CutAtLastSpace(record));
    }

    const std::vector<std::string_view>& p = s.points;
    const std::vector<std::string_view>& c = s.codes;
    const std::size_t n = p.size();
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
    s.stationEnGo = std::string(detected == GradeThird ? p[n - 2] : p[n - 1]);
    return s;
}

}  // namespace lorvex
