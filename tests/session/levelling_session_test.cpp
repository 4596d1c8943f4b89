#include "session/levelling_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace lorvex {
namespace {

using Rows = std::vector<std::string>;

// Copies of data rows, which view texts the session holds.
Rows Copies(const std::vector<std::string_view>& rows) { return Rows(rows.begin(), rows.end()); }

const UserMessage kUnsupported{"数据格式不支持！", MessageIcon::Warning};

// One measurement record with its point, sight code and method code.
std::string Rec(const std::string& point, const std::string& code = "107",
                const std::string& sight = "B") {
    return point + " " + sight + " 1.23456 25.310 08:00:00 1 " + code;
}
std::string Start(const std::string& name) { return "@" + name + " Line 0 0 0 0 107"; }

class MemorySource final : public ByteSource {
  public:
    explicit MemorySource(std::string text, bool failAtEnd = false)
        : m_text(std::move(text)), m_failAtEnd(failAtEnd) {}
    std::optional<std::size_t> Read(char* buffer, std::size_t size) override {
        if (m_pos == m_text.size() && m_failAtEnd) return std::nullopt;
        const std::size_t n = std::min(size, m_text.size() - m_pos);
        std::memcpy(buffer, m_text.data() + m_pos, n);
        m_pos += n;
        return n;
    }

  private:
    std::string m_text;
    bool m_failAtEnd;
    std::size_t m_pos = 0;
};

ImportOutcome Import(LevellingSession& session, const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    MemorySource source(text);
    return session.ImportBytes(source, "m.mdt");
}

// The line as the file holds it: its records, after a line-start record.
std::vector<std::string> LineOf(const std::vector<std::string>& records) {
    std::vector<std::string> lines{Start("N")};
    lines.insert(lines.end(), records.begin(), records.end());
    return lines;
}

std::string Selectable(const LevellingSession& s) {
    std::string out;
    for (const LevellingGrade g : {GradeSecond, GradeThird, GradeFourth})
        out += s.GradeSelectable(g) ? '1' : '0';
    return out;
}

TEST(LevellingSession, StartsEmpty) {
    const LevellingSession s;
    EXPECT_EQ(s.LineCount(), 0u);
    EXPECT_EQ(s.ShownLine(), -1);
    EXPECT_TRUE(s.DataRows().empty());
    EXPECT_EQ(s.Grade(), GradeNone);
    EXPECT_EQ(s.Header(), ReportHeader{});
    EXPECT_EQ(Selectable(s), "000");
    EXPECT_TRUE(s.SecondOrderFieldsEnabled());
}

TEST(LevellingSession, ImportReplacesLinesShownLineAndEdits) {
    LevellingSession s;
    ASSERT_TRUE(Import(s, {Start("L1"), Rec("A"), Rec("A"), Rec("B"), Rec("B")}).messages.empty());
    s.ClickLine(0);
    s.EditRow(0, std::string("edited"));
    ASSERT_EQ(s.ShownLine(), 0);

    const ImportOutcome again = Import(s, {Start("X"), Rec("P"), Start("Y"), Rec("Q")});
    EXPECT_TRUE(again.opened);
    EXPECT_TRUE(again.messages.empty());
    EXPECT_EQ(s.LineNames(), (Rows{"X", "Y"}));
    EXPECT_EQ(s.ShownLine(), -1);
    EXPECT_TRUE(s.DataRows().empty());
    EXPECT_EQ(s.Records(1), (Rows{Rec("Q")}));
    // The grade and the header stay as the last line left them.
    EXPECT_EQ(s.Grade(), GradeFourth);
    EXPECT_EQ(s.Header().sStationStGo, "A");
}

TEST(LevellingSession, ImportMessagesAndUnopenedFiles) {
    LevellingSession s;
    Import(s, {Start("Old"), Rec("A")});
    s.ClickLine(0);

    MemorySource failing(Start("L") + "\n" + Rec("A") + "\n", true);
    const ImportOutcome failed = s.ImportBytes(failing, "/d/run.mdt");
    ASSERT_EQ(failed.messages.size(), 1u);
    EXPECT_EQ(failed.messages[0],
              (UserMessage{"访问 /d/run.mdt 时发生未知错误。", MessageIcon::Stop}));
    EXPECT_EQ(s.LineNames(), (Rows{"L"}));

    Import(s, {Start("Old"), Rec("A")});
    s.ClickLine(0);
    const ImportOutcome missing = s.ImportFile("/nonexistent/lorvex/none.mdt");
    EXPECT_FALSE(missing.opened);
    EXPECT_TRUE(missing.messages.empty());
    // The path is kept; the lines, the shown line and its rows are not touched.
    EXPECT_EQ(s.FilePath(), "/nonexistent/lorvex/none.mdt");
    EXPECT_EQ(s.LineNames(), (Rows{"Old"}));
    EXPECT_EQ(s.ShownLine(), 0);
    EXPECT_EQ(Copies(s.DataRows()), (Rows{"A B 1.23456 25.310 08:00:00 1"}));
}

// The count of unused lines follows the last file imported; a refused file
// says why and leaves the lines and the count as they were.
TEST(LevellingSession, IgnoredLinesAndRefusedFiles) {
    LevellingSession s;
    Import(s, {"PtID Code", Start("L"), Rec("A"), "noise", ""});
    EXPECT_EQ(s.IgnoredLineCount(), 2u);

    MemorySource utf16(std::string("@\0L\0\n\0", 6));
    const ImportOutcome refused = s.ImportBytes(utf16, "u.mdt");
    EXPECT_FALSE(refused.opened);
    ASSERT_EQ(refused.messages.size(), 1u);
    EXPECT_NE(refused.messages[0].text.find("u.mdt"), std::string::npos);
    EXPECT_EQ(s.LineNames(), (Rows{"L"}));
    EXPECT_EQ(s.IgnoredLineCount(), 2u);

    const ImportOutcome none = Import(s, {"A\tB\tC"});
    EXPECT_EQ(none.messages, (Messages{{"文件中没有可识别的测量数据。", MessageIcon::Warning}}));
    EXPECT_EQ(s.LineCount(), 0u);
    EXPECT_EQ(s.IgnoredLineCount(), 1u);
}

// A click on a line, starting from grade `before` with end points "s" and "e".
struct ClickCase {
    const char* name;
    std::vector<std::string> records;
    LevellingGrade before;
    LevellingGrade grade;
    std::string start;
    std::string end;
    std::string selectable;  // 二等 三等 四等
    bool secondOrderFields;
    Messages messages;
};

void PrintTo(const ClickCase& c, std::ostream* os) { *os << c.name; }

class ClickLineTest : public ::testing::TestWithParam<ClickCase> {};

TEST_P(ClickLineTest, DetectsGradeEndPointsAndWhatMayBePicked) {
    const ClickCase& c = GetParam();
    LevellingSession s;
    Import(s, LineOf(c.records));
    s.Grade() = c.before;
    s.Header().sStationStGo = "s";
    s.Header().sStationEnGo = "e";
    EXPECT_EQ(s.ClickLine(0), c.messages);
    EXPECT_EQ(s.ShownLine(), 0);
    EXPECT_EQ(s.Grade(), c.grade);
    EXPECT_EQ(s.Header().sStationStGo, c.start);
    EXPECT_EQ(s.Header().sStationEnGo, c.end);
    EXPECT_EQ(Selectable(s), c.selectable);
    EXPECT_EQ(s.SecondOrderFieldsEnabled(), c.secondOrderFields);
    // Every record is listed without its method code.
    ASSERT_EQ(s.DataRows().size(), c.records.size());
    for (std::size_t i = 0; i < c.records.size(); ++i)
        EXPECT_EQ(
            std::string(s.DataRows()[i]) + " " + c.records[i].substr(c.records[i].rfind(' ') + 1),
            c.records[i]);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ClickLineTest,
    ::testing::Values(ClickCase{"fourth order A A B B",
                                {Rec("A"), Rec("A"), Rec("B"), Rec("B"), Rec("C")},
                                GradeNone,
                                GradeFourth,
                                "A",
                                "C",
                                "001",
                                false,
                                {}},
                      ClickCase{"second order A B B A C B",
                                {Rec("A"), Rec("B"), Rec("B"), Rec("A"), Rec("C"), Rec("B")},
                                GradeNone,
                                GradeSecond,
                                "A",
                                "B",
                                "100",
                                true,
                                {}},
                      ClickCase{"third order ends on the record before the last",
                                {Rec("A"), Rec("B"), Rec("B"), Rec("A", "105"), Rec("C"), Rec("D")},
                                GradeSecond,
                                GradeThird,
                                "A",
                                "C",
                                "010",
                                false,
                                {}},
                      ClickCase{"five records decided by the fourth code",
                                {Rec("A"), Rec("B"), Rec("B"), Rec("A", "107"), Rec("C")},
                                GradeNone,
                                GradeSecond,
                                "A",
                                "C",
                                "100",
                                true,
                                {}},
                      ClickCase{"three records take the first code, end points stay",
                                {Rec("A", "106"), Rec("B"), Rec("C")},
                                GradeNone,
                                GradeFourth,
                                "s",
                                "e",
                                "001",
                                false,
                                {}},
                      ClickCase{"three records of an unknown code keep the grade, none selectable",
                                {Rec("A", "999"), Rec("B"), Rec("C")},
                                GradeNone,
                                GradeNone,
                                "s",
                                "e",
                                "000",
                                true,
                                {}},
                      ClickCase{"unknown code after a grade keeps and re-applies it",
                                {Rec("A", "999"), Rec("B"), Rec("C")},
                                GradeThird,
                                GradeThird,
                                "s",
                                "e",
                                "010",
                                false,
                                {}},
                      ClickCase{"A B C D fits no grade",
                                {Rec("A"), Rec("B"), Rec("C"), Rec("D")},
                                GradeThird,
                                GradeThird,
                                "s",
                                "e",
                                "000",
                                true,
                                {kUnsupported}}));

TEST(LevellingSession, ClickOnNothingOrAnEmptyLineOnlyEmptiesTheRows) {
    LevellingSession s;
    Import(s, {Start("Full"), Rec("A"), Rec("A"), Rec("B"), Rec("B"), Start("Empty")});
    s.ClickLine(0);
    ASSERT_EQ(Selectable(s), "001");
    for (const int row : {1, -1, 7}) {
        s.ClickLine(0);
        EXPECT_TRUE(s.ClickLine(row).empty()) << row;
        EXPECT_EQ(s.ShownLine(), row);
        EXPECT_TRUE(s.DataRows().empty()) << row;
        EXPECT_EQ(s.Grade(), GradeFourth) << row;
        EXPECT_EQ(Selectable(s), "001") << row;
    }
}

TEST(LevellingSession, EditsChangeTheRowsOnly) {
    LevellingSession s;
    Import(s, LineOf({Rec("A"), Rec("B")}));
    s.ClickLine(0);
    const Rows shown = Copies(s.DataRows());
    EXPECT_FALSE(s.EditRow(0, std::nullopt));
    EXPECT_FALSE(s.EditRow(0, std::string()));
    EXPECT_FALSE(s.EditRow(2, std::string("beyond")));
    EXPECT_FALSE(s.EditRow(-1, std::string("before")));
    EXPECT_EQ(Copies(s.DataRows()), shown);
    EXPECT_TRUE(s.EditRow(1, std::string("  X  1 2 ")));
    EXPECT_EQ(s.DataRows()[1], "  X  1 2 ");  // as typed
    EXPECT_EQ(s.Records(0), (Rows{Rec("A"), Rec("B")}));
    s.ClickLine(0);
    EXPECT_EQ(Copies(s.DataRows()), shown);
}

TEST(LevellingSession, DeleteRemovesRowsAndTheSameRecords) {
    const struct {
        const char* name;
        std::vector<int> rows;
        std::vector<int> left;  // the records left, by their old index
    } cases[] = {
        {"rows 2 and 4 of six", {1, 3}, {0, 2, 4, 5}},
        {"any order, repeated", {5, 0, 5}, {1, 2, 3, 4}},
        {"rows that do not exist are passed over", {-1, 2, 6, 99}, {0, 1, 3, 4, 5}},
        {"every row", {0, 1, 2, 3, 4, 5}, {}},
        {"none", {}, {0, 1, 2, 3, 4, 5}},
    };
    const Rows records{Rec("A"), Rec("B"), Rec("C"), Rec("D"), Rec("E"), Rec("F")};
    for (const auto& c : cases) {
        LevellingSession s;
        Import(s, {Start("N"), records[0], records[1], records[2], records[3], records[4],
                   records[5], Start("Other"), Rec("Z")});
        s.ClickLine(0);
        const Rows shown = Copies(s.DataRows());
        s.DeleteRows(c.rows);
        Rows rows;
        Rows kept;
        for (const int i : c.left) {
            rows.push_back(shown[static_cast<std::size_t>(i)]);
            kept.push_back(records[static_cast<std::size_t>(i)]);
        }
        EXPECT_EQ(Copies(s.DataRows()), rows) << c.name;
        EXPECT_EQ(s.Records(0), kept) << c.name;
        EXPECT_EQ(s.Records(1), Rows{Rec("Z")}) << c.name;
    }
}

TEST(LevellingSession, DeleteAsksOnlyWhenRowsAreGiven) {
    LevellingSession s;
    EXPECT_FALSE(s.DeleteQuestion({}).has_value());
    const std::vector<int> one{0};
    EXPECT_EQ(s.DeleteQuestion(one),
              (UserMessage{"确实要删除所选择的数据吗？", MessageIcon::Question}));
    s.DeleteRows(one);  // nothing shown: nothing happens
    EXPECT_TRUE(s.DataRows().empty());
}

// The rows view the stored records until a row is typed over: the texts
// they view must live as long as the rows, through edits of the same row
// and of others, deletions, and files that are not read.
TEST(LevellingSession, RowsStayReadableUntilTheLinesChange) {
    LevellingSession s;
    Import(s, LineOf({Rec("A"), Rec("B"), Rec("C"), Rec("D")}));
    s.ClickLine(0);
    // Long enough that no copy of it fits inside a string object.
    const std::string typed(64, 'x');
    EXPECT_TRUE(s.EditRow(0, std::string("first")));
    EXPECT_TRUE(s.EditRow(2, typed));
    EXPECT_TRUE(s.EditRow(0, std::string("second")));
    s.DeleteRows(std::vector<int>{1});
    MemorySource utf16(std::string("@\0L\0\n\0", 6));
    EXPECT_FALSE(s.ImportBytes(utf16, "u.mdt").opened);
    EXPECT_FALSE(s.ImportFile("/nonexistent/lorvex/none.mdt").opened);
    EXPECT_EQ(Copies(s.DataRows()), (Rows{"second", typed, "D B 1.23456 25.310 08:00:00 1"}));
    EXPECT_EQ(s.Records(0), (Rows{Rec("A"), Rec("C"), Rec("D")}));

    // Another file replaces the lines: no row is shown until a click.
    Import(s, LineOf({Rec("E")}));
    EXPECT_TRUE(s.DataRows().empty());
    EXPECT_EQ(s.ShownLine(), -1);
    s.ClickLine(0);
    EXPECT_EQ(Copies(s.DataRows()), (Rows{"E B 1.23456 25.310 08:00:00 1"}));
}

// A reader that gives up with an exception may leave the store half
// rebuilt: the rows that viewed it go, and nothing is shown.
TEST(LevellingSession, ReaderThatThrowsLeavesNoRows) {
    class Throwing final : public ByteSource {
      public:
        std::optional<std::size_t> Read(char*, std::size_t) override {
            throw std::runtime_error("device gone");
        }
    };
    LevellingSession s;
    Import(s, LineOf({Rec("A"), Rec("B")}));
    s.ClickLine(0);
    Throwing source;
    EXPECT_THROW(s.ImportBytes(source, "t.mdt"), std::runtime_error);
    EXPECT_TRUE(s.DataRows().empty());
    EXPECT_EQ(s.ShownLine(), -1);
}

TEST(LevellingSession, EditedRowThenDeletedTakesTheStoredRecordToo) {
    LevellingSession s;
    Import(s, LineOf({Rec("A"), Rec("B"), Rec("C")}));
    s.ClickLine(0);
    s.EditRow(0, std::string("edited"));
    s.DeleteRows(std::vector<int>{0});
    EXPECT_EQ(s.Records(0), (Rows{Rec("B"), Rec("C")}));
    EXPECT_EQ(s.DataRows().size(), 2u);
}

TEST(LevellingSession, ApplyGrade) {
    LevellingSession s;
    for (const LevellingGrade bad : {GradeNone, 3, -7}) {
        EXPECT_FALSE(s.ApplyGrade(bad));
        EXPECT_EQ(s.Grade(), GradeNone);
        EXPECT_EQ(Selectable(s), "000");
        EXPECT_TRUE(s.SecondOrderFieldsEnabled());
    }
    EXPECT_TRUE(s.ApplyGrade(GradeThird));
    EXPECT_EQ(s.Grade(), GradeThird);
    EXPECT_FALSE(s.SecondOrderFieldsEnabled());
    EXPECT_TRUE(s.ApplyGrade(GradeSecond));
    EXPECT_TRUE(s.SecondOrderFieldsEnabled());
    EXPECT_EQ(Selectable(s), "110");  // the other radios keep their state
}

TEST(LevellingSession, CheckTimeField) {
    const struct {
        TimeField field;
        const char* typed;
        const char* kept;
    } cases[] = {
        {TimeField::HourStart, "23", "23"},   {TimeField::HourStart, "24", "0"},
        {TimeField::MinuteStart, "60", "0"},  {TimeField::MinuteEnd, "59", "59"},
        {TimeField::HourEnd, "-1", "0"},      {TimeField::MinuteEnd, "abc", "abc"},
        {TimeField::MinuteStart, "7x", "7x"}, {TimeField::HourEnd, "", ""},
    };
    for (const auto& c : cases) {
        LevellingSession s;
        s.Header().*TimeFieldMember(c.field) = c.typed;
        s.Header().sWeather = "晴";
        EXPECT_EQ(s.CheckTimeField(c.field), std::string(c.typed) != c.kept) << c.typed;
        EXPECT_EQ(s.Header().*TimeFieldMember(c.field), c.kept) << c.typed;
        EXPECT_EQ(s.Header().sWeather, "晴");
    }
}

TEST(LevellingSession, ReportIsPreparedFromTheRowsAsEdited) {
    LevellingSession s;
    EXPECT_EQ(s.PrepareReport().stop, MessageFromId(IDS_NO_LINES));
    Import(s, LineOf({Rec("A"), Rec("B"), Rec("B"), Rec("A")}));
    EXPECT_EQ(s.PrepareReport().stop, MessageFromId(IDS_NO_RECORDS));
    s.ClickLine(0);
    const PreparedReport before = s.PrepareReport();
    ASSERT_FALSE(before.stop.has_value());
    EXPECT_EQ(before.rows.grade, GradeSecond);
    ASSERT_EQ(before.rows.observations.size(), 1u);

    s.EditRow(0, std::string("A B 2.00000 25.310 08:00:00 1"));
    const PreparedReport edited = s.PrepareReport();
    ASSERT_FALSE(edited.stop.has_value());
    EXPECT_NE(edited.rows.observations[0].sBack_I, before.rows.observations[0].sBack_I);
    EXPECT_EQ(s.Records(0)[0], Rec("A"));  // the store keeps the record read

    s.EditRow(1, std::string("B"));
    EXPECT_EQ(s.PrepareReport().stop, MessageFromId(IDS_INVALID_ARGUMENT, MessageIcon::Stop));
}

}  // namespace
}  // namespace lorvex
