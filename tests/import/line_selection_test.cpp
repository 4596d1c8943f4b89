#include "import/line_selection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "import/record_format.h"

namespace lorvex {
namespace {

using Outcome = LineSelection::Outcome;

std::string Rec(const std::string& point, const std::string& code) {
    return point + " B 1.23456 25.310 0 0 " + code;
}

struct ShowCase {
    const char* name;
    std::vector<std::string> records;
    LevellingGrade before;
    Outcome outcome;
    LevellingGrade grade;
    std::string start;  // "old" / "OLD-END" mean the end points were left alone
    std::string end;
};

void PrintTo(const ShowCase& c, std::ostream* os) { *os << c.name; }

class ShowLineTest : public ::testing::TestWithParam<ShowCase> {};

TEST_P(ShowLineTest, DetectsGradeAndEndPoints) {
    const ShowCase& c = GetParam();
    const std::vector<std::string_view> views(c.records.begin(), c.records.end());
    const LineSelection s = ShowLine(views, c.before, "old", "OLD-END");
    EXPECT_EQ(s.outcome, c.outcome);
    EXPECT_EQ(s.grade, c.grade);
    EXPECT_EQ(s.stationStGo, c.start);
    EXPECT_EQ(s.stationEnGo, c.end);
    EXPECT_EQ(s.message.has_value(), c.outcome == Outcome::Unsupported);
    if (s.message) {
        EXPECT_EQ(s.message->text, "数据格式不支持！");
        EXPECT_EQ(s.message->icon, MessageIcon::Warning);
    }
    EXPECT_EQ(s.rows.size(), c.records.size());
}

std::vector<std::string> Points(const std::vector<std::string>& points,
                                const std::string& code = "105") {
    std::vector<std::string> records;
    for (const auto& p : points) records.push_back(Rec(p, code));
    return records;
}

// An intermediate sight and a column header after the sights.
std::vector<std::string> WithTail(std::vector<std::string> records) {
    records.push_back("M9 中视@ 1.0 15.000 0 0 107");
    records.push_back("PtID Code R D a b 107");
    return records;
}

std::vector<std::string> WithFourthCode(std::vector<std::string> records, const std::string& code) {
    records[3] = Rec(records[3].substr(0, records[3].find(' ')), code);
    return records;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ShowLineTest,
    ::testing::Values(
        ShowCase{"FourthOrderBackBackForeFore", Points({"A", "A", "B", "B", "B", "B", "C", "C"}),
                 GradeNone, Outcome::Detected, GradeFourth, "A", "C"},
        ShowCase{"SecondOrderAlternating", Points({"A", "B", "B", "A", "C", "B"}), GradeNone,
                 Outcome::Detected, GradeSecond, "A", "B"},
        ShowCase{"ThirdOrderRepeating", Points({"A", "B", "B", "A", "C", "D"}), GradeNone,
                 Outcome::Detected, GradeThird, "A", "C"},
        ShowCase{"ThirdPatternWithCode107IsSecond",
                 WithFourthCode(Points({"A", "B", "B", "A", "C", "D"}), "107"), GradeNone,
                 Outcome::Detected, GradeSecond, "A", "D"},
        ShowCase{"FiveRecordsDecidedByFourthCode", Points({"A", "B", "B", "A", "C"}), GradeSecond,
                 Outcome::Detected, GradeThird, "A", "A"},
        ShowCase{"FiveRecordsWithCode107", WithFourthCode(Points({"A", "B", "B", "A", "C"}), "107"),
                 GradeNone, Outcome::Detected, GradeSecond, "A", "C"},
        ShowCase{"ThreeRecordsCode106", Points({"A", "B", "C"}, "106"), GradeSecond,
                 Outcome::Detected, GradeFourth, "old", "OLD-END"},
        ShowCase{"ThreeRecordsCode107", Points({"A", "B", "C"}, "107"), GradeThird,
                 Outcome::Detected, GradeSecond, "old", "OLD-END"},
        ShowCase{"ThreeRecordsCode105", Points({"A", "B", "C"}, "105"), GradeNone,
                 Outcome::Detected, GradeThird, "old", "OLD-END"},
        ShowCase{"UnknownCodeKeepsGrade", Points({"A", "B", "C"}, "999"), GradeThird,
                 Outcome::Detected, GradeThird, "old", "OLD-END"},
        ShowCase{"UnknownCodeNoGradeYet", Points({"A"}, "1070"), GradeNone, Outcome::Detected,
                 GradeNone, "old", "OLD-END"},
        ShowCase{"PatternNotRecognised", Points({"A", "B", "C", "D"}), GradeSecond,
                 Outcome::Unsupported, GradeSecond, "old", "OLD-END"},
        // Column-header rows are no points: four rows, three points, so the
        // first code decides.
        ShowCase{"PtIDRowsSkipped",
                 {"PtID Code R D a b 106", Rec("A", "106"), Rec("A", "106"), Rec("B", "106")},
                 GradeNone,
                 Outcome::Detected,
                 GradeFourth,
                 "old",
                 "OLD-END"},
        // Records shorter than seven fields: a missing field reads as empty.
        ShowCase{"ShortRecordsNeverOverrun",
                 {"A x", "A x", "B x", "B y"},
                 GradeNone,
                 Outcome::Detected,
                 GradeFourth,
                 "A",
                 "B"},
        // A text without a space has no fields at all: its point is empty.
        ShowCase{"RecordsWithoutSpaces",
                 {"A", "A", "B", "B"},
                 GradeNone,
                 Outcome::Detected,
                 GradeFourth,
                 "",
                 ""},
        // Another level's intermediate sights are listed among the records
        // but are no points of the pattern, nor end points.
        ShowCase{"IntermediateSightsAreNoPoints",
                 {"M1 中视@ 1.0 15.000 0 0 107", Rec("A", "107"), Rec("B", "107"),
                  "M2 中视@ 1.0 15.000 0 0 107", Rec("B", "107"), Rec("A", "107"), Rec("C", "107"),
                  Rec("B", "107"), Rec("B", "107"), Rec("C", "107"), "M3 中视@ 1.0 15.000 0 0 107"},
                 GradeNone,
                 Outcome::Detected,
                 GradeSecond,
                 "A",
                 "C"},
        ShowCase{"ShortRecordsFewPoints",
                 {"A 1 2", "A"},
                 GradeThird,
                 Outcome::Detected,
                 GradeThird,
                 "old",
                 "OLD-END"},
        // A long line's end point comes from its last sights, whatever
        // rows follow them: the third order's is the one before the last.
        ShowCase{"ThirdOrderEndBeforeTrailingRows",
                 WithTail(Points({"A", "B", "B", "A", "B", "C", "C", "B", "C", "D", "D", "C"})),
                 GradeNone, Outcome::Detected, GradeThird, "A", "D"},
        ShowCase{"SecondOrderEndBeforeTrailingRows",
                 WithTail(Points({"A", "B", "B", "A", "C", "B", "B", "C"}, "107")), GradeNone,
                 Outcome::Detected, GradeSecond, "A", "C"},
        // Exactly six sights, then rows that are none.
        ShowCase{"SixSightsThenTrailingRows", WithTail(Points({"A", "B", "B", "A", "C", "B"})),
                 GradeNone, Outcome::Detected, GradeSecond, "A", "B"}),
    [](const auto& info) { return info.param.name; });

TEST(ShowLine, EmptyLineOnlyEmptiesDataList) {
    const LineSelection s = ShowLine({}, GradeThird, "s", "e");
    EXPECT_EQ(s.outcome, Outcome::Empty);
    EXPECT_TRUE(s.rows.empty());
    EXPECT_EQ(s.grade, GradeThird);
    EXPECT_EQ(s.stationStGo, "s");
    EXPECT_EQ(s.stationEnGo, "e");
    EXPECT_FALSE(s.message);
}

TEST(ShowLine, RowsAreCutAtLastSpaceEvenWhenUnsupported) {
    const std::vector<std::string> records{"A B 1.2 3.4 0 0 105", "B  F 1.2 3.4 0 0  105",
                                           "C F 1 2 0 0 105", "D B 1 2 0 0 105"};
    const std::vector<std::string_view> views(records.begin(), records.end());
    const LineSelection s = ShowLine(views, GradeNone, "", "");
    EXPECT_EQ(s.outcome, Outcome::Unsupported);
    EXPECT_EQ(s.rows, (std::vector<std::string_view>{"A B 1.2 3.4 0 0", "B  F 1.2 3.4 0 0 ",
                                                     "C F 1 2 0 0", "D B 1 2 0 0"}));
    // The rows are views into the records' own texts, not copies.
    for (std::size_t i = 0; i < records.size(); ++i) EXPECT_EQ(s.rows[i].data(), records[i].data());
}

TEST(CutAtLastSpace, Cases) {
    EXPECT_EQ(CutAtLastSpace("a b c"), "a b");
    EXPECT_EQ(CutAtLastSpace("a  b"), "a ");
    EXPECT_EQ(CutAtLastSpace("abc"), "abc");
    EXPECT_EQ(CutAtLastSpace(""), "");
}

}  // namespace
}  // namespace lorvex
