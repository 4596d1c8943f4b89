#include "import/record_format.h"

#include <gtest/gtest.h>

#include <random>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "import/fields.h"

namespace lorvex {
namespace {

// Data-list rows: views, here of string literals.
using Rows = std::vector<std::string_view>;

TEST(ClassifyLine, SevenFieldsDecideThenHeaderThenLineStart) {
    const struct {
        const char* name;
        std::string line;
        TextLineKind kind;
        std::string trimmed;
    } cases[] = {
        {"empty", "", TextLineKind::Empty, ""},
        {"white space only", " \t\r\n", TextLineKind::Empty, ""},
        {"record", "A1 B 1.23456 25.31 08:11:00 1 107", TextLineKind::Record,
         "A1 B 1.23456 25.31 08:11:00 1 107"},
        {"record with CRLF and runs of spaces", "  A1  B 1 2 3 4 107\r\n", TextLineKind::Record,
         "A1  B 1 2 3 4 107"},
        {"six fields", "A B 1 2 3 4", TextLineKind::Ignored, "A B 1 2 3 4"},
        {"eight fields", "A B 1 2 3 4 5 6", TextLineKind::Ignored, "A B 1 2 3 4 5 6"},
        {"tabs do not separate", "A\tB\t1\t2\t3\t4\t107", TextLineKind::Ignored,
         "A\tB\t1\t2\t3\t4\t107"},
        {"one word", "PtID", TextLineKind::Ignored, "PtID"},
        {"column header", "PtID Code Reading Dist Time No Method", TextLineKind::ColumnHeader,
         "PtID Code Reading Dist Time No Method"},
        {"PtID inside a field", "A XPtIDY 1 2 3 4 107", TextLineKind::ColumnHeader,
         "A XPtIDY 1 2 3 4 107"},
        {"header mark wins over @", "@PtID a b c d e f", TextLineKind::ColumnHeader,
         "@PtID a b c d e f"},
        {"case matters for the header mark", "ptid B 1 2 3 4 107", TextLineKind::Record,
         "ptid B 1 2 3 4 107"},
        {"line start", "@L1 Line 2026-03-07 08:00:00 0 0 107", TextLineKind::LineStart,
         "@L1 Line 2026-03-07 08:00:00 0 0 107"},
        {"@ anywhere starts a line", "X@L1 a b c d e f", TextLineKind::LineStart,
         "X@L1 a b c d e f"},
    };
    for (const auto& c : cases) {
        const ClassifiedLine got = ClassifyLine(c.line);
        EXPECT_EQ(got.kind, c.kind) << c.name;
        EXPECT_EQ(got.trimmed, c.trimmed) << c.name;
        // The classification's field count is the splitter's.
        std::vector<std::string_view> fields;
        SplitFields(got.trimmed, fields);
        const bool sevenFields = !got.trimmed.empty() && fields.size() == kRecordFieldCount;
        EXPECT_EQ(sevenFields, c.kind != TextLineKind::Empty && c.kind != TextLineKind::Ignored)
            << c.name;
    }
}

// The classifier looks at eight bytes at a time; a plain reading of the
// rules, byte by byte, must agree with it on lines of every length, with
// the marks and the blanks at every position.
TEST(ClassifyLine, AgreesWithAPlainReadingOfTheRules) {
    auto plain = [](std::string_view line) {
        const std::string_view t = TrimBlanks(line);
        if (t.empty()) return TextLineKind::Empty;
        std::size_t runs = 1;
        for (std::size_t i = 1; i < t.size(); ++i) runs += t[i] != ' ' && t[i - 1] == ' ';
        if (runs != kRecordFieldCount) return TextLineKind::Ignored;
        if (t.find("PtID") != std::string_view::npos) return TextLineKind::ColumnHeader;
        if (t.find('@') != std::string_view::npos) return TextLineKind::LineStart;
        return TextLineKind::Record;
    };
    std::mt19937 random(7);
    auto pick = [&](std::string_view from) { return from[random() % from.size()]; };
    int kinds[5] = {};
    for (int i = 0; i < 200000; ++i) {
        // Blanks, then fields (seven more often than not) with the odd "@"
        // or tab among them, then blanks.
        std::string line(random() % 3, ' ');
        for (char& c : line) c = pick(" \t\r");
        const int fields = random() % 2 ? 7 : static_cast<int>(random() % 10);
        for (int f = 0; f < fields; ++f) {
            if (f > 0) line.append(1 + random() % 2, random() % 20 ? ' ' : '\t');
            for (int k = 1 + random() % 7; k > 0; --k)
                line.push_back(random() % 25 ? pick("PtIDxP1\xB5\xE3") : '@');
        }
        for (int k = random() % 3; k > 0; --k) line.push_back(pick(" \t\r\n"));
        const ClassifiedLine got = ClassifyLine(line);
        ASSERT_EQ(got.kind, plain(line)) << '"' << line << '"';
        ASSERT_EQ(got.trimmed, TrimBlanks(line));
        ++kinds[static_cast<int>(got.kind)];
    }
    // Every kind came up often enough to have been tested.
    for (const int n : kinds) EXPECT_GT(n, 100);
}

TEST(LineStartName, FromFirstAtToFirstSpace) {
    const struct {
        const char* trimmed;
        const char* name;
    } cases[] = {
        {"@L1 Line 0 0 0 0 107", "L1"}, {"X@L1 a b c d e f", "L1"},
        {"@ a b c d e f", ""},          {"a @L1 b c d e f", ""},
        {"@a@b c d e f g h", "a@b"},    {"@水准1 a b c d e f", "水准1"},
    };
    for (const auto& c : cases) EXPECT_EQ(LineStartName(c.trimmed), c.name) << c.trimmed;
}

TEST(RecordFields, PointIdMethodCodeAndTheCutAtTheLastSpace) {
    const std::string record = "BM1 B 1.52341 25.31 08:11:00 1 107";
    EXPECT_EQ(RecordPointId(record), "BM1");
    EXPECT_EQ(RecordMethodCode(record), "107");
    EXPECT_EQ(CutAtLastSpace(record), "BM1 B 1.52341 25.31 08:11:00 1");
    EXPECT_EQ(RecordMethodCode("nospace"), "");
    EXPECT_EQ(RecordPointId("nospace"), "nospace");
}

TEST(MethodCodes, EachGradeHasOneCode) {
    EXPECT_EQ(GradeOfMethodCode("107"), GradeSecond);
    EXPECT_EQ(GradeOfMethodCode("105"), GradeThird);
    EXPECT_EQ(GradeOfMethodCode("106"), GradeFourth);
    for (const char* other : {"", "104", "1070", " 107", "10"})
        EXPECT_EQ(GradeOfMethodCode(other), GradeNone) << other;
    for (const LevellingGrade g : {GradeSecond, GradeThird, GradeFourth})
        EXPECT_EQ(GradeOfMethodCode(MethodCodeOfGrade(g)), g);
    EXPECT_EQ(MethodCodeOfGrade(GradeNone), "");
    EXPECT_EQ(MethodCodeOfGrade(3), "");
}

TEST(CollectSightRecords, MakesRecordsAndSkipsBlankAndHeaderRows) {
    const struct {
        const char* name;
        Rows rows;
        std::vector<SightRecord> expected;
    } cases[] = {
        {"metres to 10^-5 m and mm", {"A B 1.23456 25.310 0 0 1"}, {{"A", "B", 123456, 25310}}},
        {"blanks around and between fields",
         {"\t  A   B  1.5  2.5 \r\n"},
         {{"A", "B", 150000, 2500}}},
        {"four fields are enough", {"A F 0 0"}, {{"A", "F", 0, 0}}},
        // 2^-6 m and 2^-4 m convert to exact halves: 1562.5 and 62.5.
        {"half units round away from zero", {"A B -0.015625 0.0625"}, {{"A", "B", -1563, 63}}},
        {"no number reads as zero", {"A B x1 y"}, {{"A", "B", 0, 0}}},
        {"blank rows", {"", "   ", "\t\r\n"}, {}},
        {"column-header rows", {"PtID Code Reading Dist", "XPtIDY a b c", "PtID x"}, {}},
        {"PtID only in a later field is a record", {"A PtID 1 2"}, {{"A", "PtID", 100000, 2000}}},
        {"case matters for the header test", {"ptid B 1 2"}, {{"ptid", "B", 100000, 2000}}},
        // Another level's intermediate sights are listed but are no sight;
        // like a header row they are passed over whatever follows.
        {"intermediate sights between sights",
         {"M1 中视@ 1.23456 15.000 0", "A B 1 2", "M2 中视@", "C F 3 4"},
         {{"A", "B", 100000, 2000}, {"C", "F", 300000, 4000}}},
        {"only the exact intermediate code",
         {"M1 中视 1 2", "M2 中视@x 1 2", "M3 @ 1 2"},
         {{"M1", "中视", 100000, 2000}, {"M2", "中视@x", 100000, 2000}, {"M3", "@", 100000, 2000}}},
        {"the code in another field is a sight", {"中视@ B 1 2"}, {{"中视@", "B", 100000, 2000}}},
    };
    for (const auto& c : cases) {
        const auto records = CollectSightRecords(c.rows);
        ASSERT_TRUE(records.has_value()) << c.name;
        EXPECT_EQ(*records, c.expected) << c.name;
    }
}

TEST(CollectSightRecords, MalformedRowsAreInvalidArguments) {
    const struct {
        const char* name;
        Rows rows;
    } cases[] = {
        {"PtID without a space", {"PtID"}},          {"one word", {"A"}},
        {"tabs are not separators", {"A\tB\t1\t2"}}, {"three fields", {"A B 1.0"}},
        {"after good rows", {"A B 1 2", "A B"}},
    };
    for (const auto& c : cases) EXPECT_FALSE(CollectSightRecords(c.rows).has_value()) << c.name;
}

RecordParts Parts(double reading, double distance) {
    return RecordParts{"BM1", "B", reading, distance, "08:11:00", "1", "107"};
}

// A record made from its parts reads back through the same path as a record
// of a measurement file: classified as a record, cut for the data list and
// parsed into the same sight.
TEST(FormatRecord, ReadsBackAsTheSameSight) {
    const struct {
        const char* name;
        RecordParts parts;
        std::string text;
        SightRecord sight;
    } cases[] = {
        {"plain",
         Parts(1.52341, 25.31),
         "BM1 B 1.52341 25.310 08:11:00 1 107",
         {"BM1", "B", 152341, 25310}},
        // 2^-6 m and 2^-4 m are exact halves at the last decimal kept.
        {"finer than the record keeps rounds half away",
         Parts(0.015625, 0.0625),
         "BM1 B 0.01563 0.063 08:11:00 1 107",
         {"BM1", "B", 1563, 63}},
        {"inverted staff",
         Parts(-0.25, 3),
         "BM1 B -0.25000 3.000 08:11:00 1 107",
         {"BM1", "B", -25000, 3000}},
        {"no time or number",
         RecordParts{"P7", "F", 2, 10, "", "", "105"},
         "P7 F 2.00000 10.000 0 0 105",
         {"P7", "F", 200000, 10000}},
    };
    for (const auto& c : cases) {
        const std::optional<std::string> text = FormatRecord(c.parts);
        ASSERT_TRUE(text.has_value()) << c.name;
        EXPECT_EQ(*text, c.text) << c.name;
        EXPECT_EQ(ClassifyLine(*text).kind, TextLineKind::Record) << c.name;
        EXPECT_EQ(RecordMethodCode(*text), c.parts.methodCode) << c.name;
        const auto sights = CollectSightRecords(Rows{CutAtLastSpace(*text)});
        ASSERT_TRUE(sights.has_value()) << c.name;
        EXPECT_EQ(*sights, std::vector<SightRecord>{c.sight}) << c.name;
    }
}

TEST(FormatRecord, RefusesPartsThatWouldNotReadBack) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* name;
        RecordParts parts;
    } cases[] = {
        {"empty point", RecordParts{"", "B", 1, 1, "", "", "107"}},
        {"empty sight code", RecordParts{"A", "", 1, 1, "", "", "107"}},
        {"empty method code", RecordParts{"A", "B", 1, 1, "", "", ""}},
        {"space in a point", RecordParts{"A 1", "B", 1, 1, "", "", "107"}},
        {"tab in the time", RecordParts{"A", "B", 1, 1, "08\t11", "", "107"}},
        {"@ would start a line", RecordParts{"A@1", "B", 1, 1, "", "", "107"}},
        {"PtID would be a header", RecordParts{"PtID1", "B", 1, 1, "", "", "107"}},
        {"reading not a number", RecordParts{"A", "B", nan, 1, "", "", "107"}},
        {"distance infinite", RecordParts{"A", "B", 1, inf, "", "", "107"}},
    };
    for (const auto& c : cases) EXPECT_FALSE(FormatRecord(c.parts).has_value()) << c.name;
}

}  // namespace
}  // namespace lorvex
