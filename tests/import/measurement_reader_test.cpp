#include "import/measurement_reader.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/messages.h"

namespace lorvex {
namespace {

// A measurement record of point `point` with method code `code`.
std::string Rec(const std::string& point, const std::string& code = "105") {
    return point + " B 1.23456 25.310 0 0 " + code;
}

// A line-start record opening the line `name`.
std::string Start(const std::string& name) { return "@" + name + " 2024 5 6 0 0 0"; }

std::string Join(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& l : lines) text += l + "\n";
    return text;
}

std::vector<LevellingLine> Lines(const LineStore& store) {
    std::vector<LevellingLine> lines;
    for (std::size_t i = 0; i < store.LineCount(); ++i)
        lines.push_back({store.Name(i), store.Records(i)});
    return lines;
}

std::vector<std::string> Recs(const std::vector<std::string>& points,
                              const std::string& code = "105") {
    std::vector<std::string> records;
    for (const std::string& p : points) records.push_back(Rec(p, code));
    return records;
}

std::vector<LevellingLine> Import(const std::string& bytes, ImportResult* result = nullptr) {
    LineStore store;
    const ImportResult r = ReadMeasurementBytes(bytes, store);
    if (result) *result = r;
    return Lines(store);
}

// --- Which lines of a file are records -----------------------------------

struct ClassifyCase {
    const char* name;
    std::string line;
    std::vector<std::string> kept;  // records of line "L" after import
};

void PrintTo(const ClassifyCase& c, std::ostream* os) { *os << c.name; }

class ClassifyTest : public ::testing::TestWithParam<ClassifyCase> {};

TEST_P(ClassifyTest, KeepsOnlySevenFieldRecords) {
    const ClassifyCase& c = GetParam();
    ImportResult result;
    const auto lines = Import(Start("L") + "\n" + c.line + "\n", &result);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].records, c.kept);
    EXPECT_FALSE(result.message);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ClassifyTest,
    ::testing::Values(
        ClassifyCase{"Record", "A1 B 1.2 3.4 0 0 105", {"A1 B 1.2 3.4 0 0 105"}},
        ClassifyCase{"TrimmedButInnerSpacesKept",
                     " \t A1  B 1.2 3.4 0 0 105 \r\f",
                     {"A1  B 1.2 3.4 0 0 105"}},
        ClassifyCase{"CrLf", "A1 B 1.2 3.4 0 0 105\r", {"A1 B 1.2 3.4 0 0 105"}},
        ClassifyCase{"TabInsideField", "A1\tx B 1.2 3.4 0 0 105", {"A1\tx B 1.2 3.4 0 0 105"}},
        ClassifyCase{"SixFields", "A1 B 1.2 3.4 0 105", {}},
        ClassifyCase{"EightFields", "A1 B 1.2 3.4 0 0 0 105", {}},
        ClassifyCase{"TabSeparated", "A1\tB\t1.2\t3.4\t0\t0\t105", {}},
        ClassifyCase{"ColumnHeader", "PtID Code Rd Dist a b Mode", {}},
        ClassifyCase{"PtIDInsideField", "xPtIDx B 1.2 3.4 0 0 105", {}},
        ClassifyCase{"PtIDIsCaseSensitive", "ptid B 1.2 3.4 0 0 105", {"ptid B 1.2 3.4 0 0 105"}},
        ClassifyCase{"BlankLine", " \t\r", {}},
        ClassifyCase{"NulBytesBelongToFields",
                     std::string("A\0 B 1 2 0 0 105", 16),
                     {std::string("A\0 B 1 2 0 0 105", 16)}}),
    [](const auto& info) { return info.param.name; });

// --- Line names ------------------------------------------------------------

struct NameCase {
    const char* name;
    std::string line;
    std::string expected;
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << c.name; }

class NameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(NameTest, NameFollowsFirstAtUpToFirstSpace) {
    const auto lines = Import(GetParam().line + "\n");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].name, GetParam().expected);
    EXPECT_TRUE(lines[0].records.empty());
}

// GBK: 0xD6D0 is "中", 0x8140 is "丂" (its trail byte is '@').
INSTANTIATE_TEST_SUITE_P(
    Cases, NameTest,
    ::testing::Values(NameCase{"Plain", "@L1 a b c d e f", "L1"},
                      NameCase{"TextBeforeAt", "X@L1 a b c d e f", "L1"},
                      NameCase{"AtAlone", "@ a b c d e f", ""},
                      NameCase{"SpaceBeforeAt", "X @L1 b c d e f", ""},
                      NameCase{"SecondAtKept", "@A@B a b c d e f", "A@B"},
                      NameCase{"Trimmed", "  @L2 a b c d e f \r", "L2"},
                      NameCase{"GbkName", "@\xD6\xD0\x81\x40 a b c d e f", "中丂"},
                      NameCase{"GbkAtTrailBeforeRealAt", "\x81\x40@N a b c d e f", "N"},
                      NameCase{"Utf8Name", "@中线 a b c d e f", "中线"}),
    [](const auto& info) { return info.param.name; });

TEST(Reader, GbkTrailByteAtIsNoLineStart) {
    // "丂" is 0x81 0x40: byte by byte it would look like a line-start record.
    const auto lines = Import(Join({Start("L"), "\x81\x40 B 1 2 0 0 105", "\x80 B 1 2 0 0 105"}));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].records, (std::vector<std::string>{"丂 B 1 2 0 0 105", "€ B 1 2 0 0 105"}));
}

TEST(Reader, InvalidBytesAreReplacedAndReadingGoesOn) {
    const auto lines = Import(Join({Start("\xD6\xD0"), "\xFF\xFF B 1 2 0 0 105", Rec("A")}));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].name, "中");
    EXPECT_EQ(lines[0].records,
              (std::vector<std::string>{"\xEF\xBF\xBD\xEF\xBF\xBD B 1 2 0 0 105", Rec("A")}));
}

TEST(Reader, Utf8WithBom) {
    const auto lines = Import("\xEF\xBB\xBF" + Join({"@线路 a b c d e f", Rec("甲")}));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].name, "线路");
    EXPECT_EQ(lines[0].records, Recs({"甲"}));
}

TEST(Reader, EmptyFileAndNoRecordLinesGiveNoLines) {
    EXPECT_TRUE(Import("").empty());
    EXPECT_TRUE(Import("PtID a b c d e f\nshort line\n\n").empty());
}

TEST(Reader, ImportReplacesEverything) {
    LineStore store;
    ReadMeasurementBytes(Join({Start("Old"), Rec("A")}), store);
    store.RemoveRecords(0, std::vector<std::size_t>{0});
    ReadMeasurementBytes(Join({Start("New"), Rec("B")}), store);
    EXPECT_EQ(Lines(store), (std::vector<LevellingLine>{{"New", Recs({"B"})}}));
    ReadMeasurementBytes("", store);
    EXPECT_EQ(store.LineCount(), 0u);
}

TEST(Reader, LineStartRightAfterLineStartGivesEmptyLine) {
    const auto lines = Import(Join({Start("A"), Start("B"), Rec("P")}));
    EXPECT_EQ(lines, (std::vector<LevellingLine>{{"A", {}}, {"B", Recs({"P"})}}));
}

TEST(Reader, RecordsBeforeFirstLineStartFormAnUnnamedFirstLine) {
    const auto lines = Import(Join({Rec("X"), Rec("Y"), Start("L"), Rec("Z")}));
    EXPECT_EQ(lines, (std::vector<LevellingLine>{{"", Recs({"X", "Y"})}, {"L", Recs({"Z"})}}));
}

TEST(Reader, LastLineWithoutNewline) {
    const auto lines = Import(Start("L") + "\n" + Rec("A"));
    EXPECT_EQ(lines, (std::vector<LevellingLine>{{"L", Recs({"A"})}}));
}

// --- Dual-run lines --------------------------------------------------------

struct DualRunCase {
    const char* name;
    std::vector<std::string> points;
    bool closedByLineStart;
    bool split;
};

void PrintTo(const DualRunCase& c, std::ostream* os) { *os << c.name; }

class DualRunTest : public ::testing::TestWithParam<DualRunCase> {};

TEST_P(DualRunTest, SplitsOnlyWithEnoughRecordsAndMatchingPoints) {
    const DualRunCase& c = GetParam();
    std::vector<std::string> file{Start("N")};
    for (const auto& r : Recs(c.points)) file.push_back(r);
    if (c.closedByLineStart) file.push_back(Start("Next"));
    const auto lines = Import(Join(file));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].name, c.split ? "N(R)" : "N");
    const std::size_t expectedLines = (c.split ? 2u : 1u) + (c.closedByLineStart ? 1u : 0u);
    ASSERT_EQ(lines.size(), expectedLines);
    if (c.split) {
        EXPECT_EQ(lines[1].name, "N(L)");
    }
    if (c.closedByLineStart) {
        EXPECT_EQ(lines.back(), (LevellingLine{"Next", {}}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DualRunTest,
    ::testing::Values(
        DualRunCase{"EightClosedByLineStart", {"A", "B", "B", "A", "A", "C", "C", "A"}, true, true},
        DualRunCase{"SevenClosedByLineStart", {"A", "B", "B", "A", "A", "C", "C"}, true, false},
        DualRunCase{"FiveAtEndOfFile", {"A", "B", "B", "A", "A"}, false, true},
        DualRunCase{"FourAtEndOfFile", {"A", "B", "B", "A"}, false, false},
        DualRunCase{"FifthPointDiffers", {"A", "B", "B", "A", "C", "C", "B", "B"}, true, false},
        DualRunCase{"FourthPointDiffers", {"A", "B", "B", "C", "A", "C", "C", "A"}, true, false}),
    [](const auto& info) { return info.param.name; });

TEST(DualRun, EightRecordsSplitIntoRightAndLeftRuns) {
    const auto lines = Import(Join({Start("N"), Rec("A"), Rec("B"), Rec("B"), Rec("A"), Rec("A"),
                                    Rec("C"), Rec("C"), Rec("A"), Start("M"), Rec("Z")}));
    EXPECT_EQ(lines, (std::vector<LevellingLine>{{"N(R)", Recs({"A", "B", "B", "A"})},
                                                 {"N(L)", Recs({"A", "C", "C", "A"})},
                                                 {"M", Recs({"Z"})}}));
}

TEST(DualRun, TenRecordsAlternateByStation) {
    const std::vector<std::string> p{"A", "1", "2", "A", "A", "3", "4", "5", "6", "7"};
    const auto lines =
        Import(Join({Start("N"), Rec(p[0]), Rec(p[1]), Rec(p[2]), Rec(p[3]), Rec(p[4]), Rec(p[5]),
                     Rec(p[6]), Rec(p[7]), Rec(p[8]), Rec(p[9])}));
    EXPECT_EQ(lines, (std::vector<LevellingLine>{{"N(R)", Recs({"A", "1", "2", "A", "6", "7"})},
                                                 {"N(L)", Recs({"A", "3", "4", "5"})}}));
}

TEST(DualRun, UnnamedLeadingLineIsClosedLikeAnyOther) {
    const auto lines = Import(Join({Rec("A"), Rec("B"), Rec("B"), Rec("A"), Rec("A")}));
    EXPECT_EQ(lines, (std::vector<LevellingLine>{{"(R)", Recs({"A", "B", "B", "A"})},
                                                 {"(L)", Recs({"A"})}}));
}

// --- Regrouping by method code ----------------------------------------------

TEST(Regroup, RecordMovesToEndOfLineStartingWithItsCode) {
    const auto lines = Import(Join({Start("L1"), Rec("A", "105"), Rec("B", "105"), Start("L2"),
                                    Rec("C", "106"), Rec("D", "105"), Rec("E", "106")}));
    EXPECT_EQ(lines, (std::vector<LevellingLine>{
                         {"L1", {Rec("A", "105"), Rec("B", "105"), Rec("D", "105")}},
                         {"L2", {Rec("C", "106"), Rec("E", "106")}}}));
}

TEST(Regroup, NearestEarlierLineWinsAndEmptyLinesArePassedOver) {
    // L1 and L3 both start with 105; L4's 105 record goes to L3, the nearest.
    // L2 has no records; L4's 107 record has no destination and stays.
    const auto lines = Import(
        Join({Start("L1"), Rec("A", "105"), Start("L2"), Start("L3"), Rec("B", "105"), Start("L4"),
              Rec("C", "106"), Rec("D", "107"), Rec("E", "105"), Rec("F", "106")}));
    EXPECT_EQ(lines, (std::vector<LevellingLine>{
                         {"L1", {Rec("A", "105")}},
                         {"L2", {}},
                         {"L3", {Rec("B", "105"), Rec("E", "105")}},
                         {"L4", {Rec("C", "106"), Rec("D", "107"), Rec("F", "106")}}}));
}

TEST(Regroup, RecordWithoutDestinationStaysInFirstLine) {
    const auto lines =
        Import(Join({Start("L1"), Rec("A", "105"), Rec("B", "999"), Rec("C", "105")}));
    EXPECT_EQ(
        lines,
        (std::vector<LevellingLine>{{"L1", {Rec("A", "105"), Rec("B", "999"), Rec("C", "105")}}}));
}

TEST(Regroup, RunsAfterDualRunSplit) {
    // The "(L)" half starts with a 106 record; its 105 records go back to "(R)".
    const auto lines =
        Import(Join({Start("N"), Rec("A", "105"), Rec("B", "105"), Rec("B", "105"), Rec("A", "105"),
                     Rec("A", "106"), Rec("C", "105"), Rec("C", "106"), Rec("A", "106")}));
    EXPECT_EQ(
        lines,
        (std::vector<LevellingLine>{
            {"N(R)",
             {Rec("A", "105"), Rec("B", "105"), Rec("B", "105"), Rec("A", "105"), Rec("C", "105")}},
            {"N(L)", {Rec("A", "106"), Rec("C", "106"), Rec("A", "106")}}}));
}

// --- The 100-line limit ----------------------------------------------------

std::string ManyLines(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += Start("L" + std::to_string(i)) + "\n" + Rec("P") + "\n";
    return text;
}

TEST(LineLimit, HundredLinesFit) {
    ImportResult result;
    const auto lines = Import(ManyLines(100), &result);
    EXPECT_EQ(lines.size(), 100u);
    EXPECT_FALSE(result.message);
}

TEST(LineLimit, HundredAndFirstLineStopsWithMessageAndStillRegroups) {
    ImportResult result;
    std::string text = Start("First") + "\n" + Rec("A", "105") + "\n";
    for (int i = 1; i < 100; ++i)
        text += Start("L" + std::to_string(i)) + "\n" + Rec("P", "106") + "\n";
    text += Rec("Q", "105") + "\n" + Start("Extra") + "\n" + Rec("Lost") + "\n";
    const auto lines = Import(text, &result);
    ASSERT_EQ(lines.size(), 100u);
    EXPECT_EQ(lines[99].name, "L99");
    EXPECT_EQ(lines[0].records, (std::vector<std::string>{Rec("A", "105"), Rec("Q", "105")}));
    ASSERT_TRUE(result.message);
    EXPECT_EQ(*result.message, MessageFromId(IDS_TOO_MANY_LINES, MessageIcon::Warning));
    EXPECT_FALSE(result.message->text.empty());
}

struct LastSlotCase {
    const char* name;
    bool closedByLineStart;
};

void PrintTo(const LastSlotCase& c, std::ostream* os) { *os << c.name; }

class LastSlotDualRunTest : public ::testing::TestWithParam<LastSlotCase> {};

TEST_P(LastSlotDualRunTest, KeptWholeWhenNoSlotForLeftHalf) {
    std::string text = ManyLines(99);
    text += Join({Start("Last"), Rec("A"), Rec("B"), Rec("B"), Rec("A"), Rec("A"), Rec("C"),
                  Rec("C"), Rec("A")});
    if (GetParam().closedByLineStart) text += Start("Extra") + "\n";
    ImportResult result;
    const auto lines = Import(text, &result);
    ASSERT_EQ(lines.size(), 100u);
    EXPECT_EQ(lines[99], (LevellingLine{"Last", Recs({"A", "B", "B", "A", "A", "C", "C", "A"})}));
    ASSERT_TRUE(result.message);
    EXPECT_EQ(result.message->icon, MessageIcon::Warning);
}

INSTANTIATE_TEST_SUITE_P(Cases, LastSlotDualRunTest,
                         ::testing::Values(LastSlotCase{"ClosedByLineStart", true},
                                           LastSlotCase{"ClosedByEndOfFile", false}),
                         [](const auto& info) { return info.param.name; });

// --- Robustness --------------------------------------------------------------

TEST(Robustness, BinaryJunkNeverCrashes) {
    std::mt19937 rng(12345);
    for (int round = 0; round < 20; ++round) {
        std::string junk(64 * 1024, '\0');
        for (char& c : junk) {
            // Plenty of spaces, '@' and line breaks, so junk lines reach every branch.
            const unsigned r = rng() % 16;
            c = r == 0 ? ' ' : r == 1 ? '\n' : r == 2 ? '@' : static_cast<char>(rng());
        }
        LineStore store;
        ReadMeasurementBytes(junk, store);
        EXPECT_LE(store.LineCount(), LineStore::kMaxLines);
    }
}

TEST(Robustness, TenMegabyteLines) {
    const std::string big(10 * 1024 * 1024, 'x');
    const auto lines = Import(Join({Start("L"), big, big + " B 1 2 0 0 105", Rec("A")}));
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_EQ(lines[0].records.size(), 2u);
    EXPECT_EQ(lines[0].records[0].size(), big.size() + 14);
    EXPECT_EQ(lines[0].records[1], Rec("A"));
}

// --- Read errors and opening -------------------------------------------------

// Delivers the first `failAfter` bytes of a text in small pieces, then fails.
class FailingSource final : public ByteSource {
  public:
    FailingSource(std::string text, std::size_t failAfter)
        : m_text(std::move(text)), m_failAfter(failAfter) {}
    std::optional<std::size_t> Read(char* buffer, std::size_t size) override {
        if (m_pos >= m_failAfter) return std::nullopt;
        const std::size_t n = std::min({size, m_failAfter - m_pos, std::size_t{7}});
        m_text.copy(buffer, n, m_pos);
        m_pos += n;
        return n;
    }

  private:
    std::string m_text;
    std::size_t m_failAfter;
    std::size_t m_pos = 0;
};

TEST(ReadError, KeepsCompleteLinesLeavesLineOpenAndSkipsRegrouping) {
    const std::string head =
        Join({Start("L1"), Rec("A", "105"), Start("L2"), Rec("A", "106"), Rec("B", "106"),
              Rec("B", "106"), Rec("A", "106"), Rec("A", "106"), Rec("C", "106"), Rec("C", "106"),
              Rec("A", "106"), Rec("D", "105")});
    const std::string text = head + Rec("Partial") + "\n" + Rec("After") + "\n";
    FailingSource source(text, head.size() + 5);
    LineStore store;
    store.AppendLine("stale");
    const ImportResult result = ReadMeasurementFile(source, "/data/run 1.mdt", store);
    ASSERT_TRUE(result.message);
    EXPECT_EQ(result.message->text, "访问 /data/run 1.mdt 时发生未知错误。");
    EXPECT_EQ(result.message->icon, MessageIcon::Stop);
    // L2 would be split as a dual-run line and D would move to L1 if the
    // import had run to its end.
    const auto lines = Lines(store);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], (LevellingLine{"L1", {Rec("A", "105")}}));
    EXPECT_EQ(lines[1].name, "L2");
    ASSERT_EQ(lines[1].records.size(), 9u);
    EXPECT_EQ(lines[1].records.back(), Rec("D", "105"));
}

TEST(ReadError, BeforeAnyCompleteLineGivesEmptyStore) {
    FailingSource source(Start("L"), 3);
    LineStore store;
    store.AppendLine("stale");
    const ImportResult result = ReadMeasurementFile(source, "f.mdt", store);
    EXPECT_TRUE(result.opened);
    ASSERT_TRUE(result.message);
    EXPECT_EQ(store.LineCount(), 0u);
}

class TempDir {
  public:
    TempDir()
        : path_(std::filesystem::temp_directory_path() /
                ("lorvex_import_" + std::to_string(std::random_device{}()))) {
        std::filesystem::create_directories(path_);
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

TEST(ImportFile, ReadsFileFromDisk) {
    TempDir dir;
    const auto file = dir.path() / "线路.mdt";
    std::ofstream(file, std::ios::binary) << Join({Start("\xD6\xD0"), Rec("A")}) << "\r\n";
    LineStore store;
    const ImportResult result = ImportMeasurementFile(file, store);
    EXPECT_TRUE(result.opened);
    EXPECT_FALSE(result.message);
    EXPECT_EQ(Lines(store), (std::vector<LevellingLine>{{"中", Recs({"A"})}}));
}

// text followed by records, line starts and a line of filler, so that what
// is appended next starts at byte `at` of the file.
std::string PaddedTo(std::string text, std::size_t at) {
    for (int i = 0; text.size() + 200 < at; ++i)
        text += (i % 5000 == 0 ? Start("L" + std::to_string(i)) : Rec("P" + std::to_string(i))) +
                "\r\n";
    text.append(at - text.size() - 1, 'x');
    return text + "\n";
}

// A file on disk is mapped and decoded in place; what the store gets must be
// what the same bytes give from memory, in every encoding the reader knows.
// The mapped pages are given back every MiB as the text is copied out, so
// the large cases put a GBK character and a CRLF across such a step.
TEST(ImportFile, MappedFileGivesWhatItsBytesGive) {
    TempDir dir;
    const std::string text =
        Join({Start("L1"), Rec("A"), Rec("B", "106"), "noise", Start("\xD6\xD0"), Rec("C", "106")});
    constexpr std::size_t kStep = std::size_t{1} << 20;
    const std::string acrossSteps =
        PaddedTo(PaddedTo("", kStep - 1) + Rec("\xD6\xD0") + "\r\n", 2 * kStep - 1) + "\r\n" +
        Rec("\xCE\xC4") + "\r\n";
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"ascii", text},
        {"no final newline", text + Rec("D")},
        {"gbk", text + Rec("\xCB\xAE")},
        {"gbk with invalid bytes", text + Rec("\xFF\x81")},
        {"utf-8 with bom", "\xEF\xBB\xBF" + Join({Start("水准"), Rec("甲")})},
        {"utf-8 wide", Join({Start("水准"), Rec("甲")})},
        {"utf-16le with bom", std::string("\xFF\xFE@\0L\0\n\0", 8)},
        {"only noise", "a\tb\tc\n"},
        {"one byte", "@"},
        {"gbk and crlf across steps", acrossSteps},
        {"ascii for steps, then gbk", PaddedTo("", 3 * kStep + 5) + Rec("\xCB\xAE")},
        {"ascii across steps", PaddedTo("", 2 * kStep + 7) + Rec("Z")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto file = dir.path() / "m.mdt";
        std::ofstream(file, std::ios::binary | std::ios::trunc) << c.bytes;
        LineStore fromFile;
        fromFile.AppendLine("stale");
        const ImportResult read = ImportMeasurementFile(file, fromFile);
        LineStore fromMemory;
        const ImportResult expected = ReadMeasurementBytes(c.bytes, fromMemory);
        EXPECT_TRUE(read.opened);
        EXPECT_EQ(Lines(fromFile), Lines(fromMemory));
        EXPECT_EQ(read.ignored, expected.ignored);
        EXPECT_EQ(read.message.has_value(), expected.message.has_value());
    }
}

#ifdef __linux__
// Files under /proc say they are empty whatever they hold: they are read, not
// mapped, and a read that fails is reported as one. (/proc/self/mem opens,
// and reading its first page fails with EIO.)
TEST(ImportFile, FileThatSaysItIsEmptyIsReadNotMapped) {
    LineStore store;
    const ImportResult result = ImportMeasurementFile("/proc/self/mem", store);
    EXPECT_TRUE(result.opened);
    ASSERT_TRUE(result.message);
    EXPECT_EQ(result.message->icon, MessageIcon::Stop);
}
#endif

// What cannot be opened, or is no measurement file at all, leaves the lines
// as they were; all but a missing file say why. A device or a FIFO would
// otherwise be read for ever, and a huge file would fill memory.
TEST(ImportFile, UnopenableOrRefusedFileLeavesStoreUntouched) {
    TempDir dir;
    const auto fifo = dir.path() / "fifo.mdt";
    const bool haveFifo = ::mkfifo(fifo.c_str(), 0600) == 0;
    const auto huge = dir.path() / "huge.mdt";
    std::ofstream(huge, std::ios::binary) << Start("Huge") << "\n";
    std::filesystem::resize_file(huge, kMaxMeasurementFileBytes + 1);  // sparse
    const auto utf16 = dir.path() / "utf16.mdt";
    std::ofstream(utf16, std::ios::binary) << std::string("@\0L\0\n\0", 6);

    const struct {
        std::filesystem::path path;
        const char* refusal;  // nullptr: no message
    } cases[] = {
        {dir.path() / "missing.mdt", nullptr},
        {dir.path(), "不是普通文件"},
        {"/dev/zero", "不是普通文件"},
        {fifo, "不是普通文件"},
        {huge, "超过 1 GiB"},
        {utf16, "没有字节顺序标记的 UTF-16"},
    };
    LineStore store;
    ReadMeasurementBytes(Join({Start("Keep"), Rec("A")}), store);
    for (const auto& c : cases) {
        if (c.path == fifo && !haveFifo) continue;
        const ImportResult result = ImportMeasurementFile(c.path, store);
        EXPECT_FALSE(result.opened) << c.path;
        if (c.refusal) {
            ASSERT_TRUE(result.message) << c.path;
            EXPECT_NE(result.message->text.find(c.refusal), std::string::npos)
                << result.message->text;
            EXPECT_NE(result.message->text.find(c.path.string()), std::string::npos)
                << result.message->text;
        } else {
            EXPECT_FALSE(result.message) << c.path;
        }
        EXPECT_EQ(Lines(store), (std::vector<LevellingLine>{{"Keep", Recs({"A"})}}));
    }
}

// A source that announces more than the limit is refused before a byte is
// read or memory is reserved for it.
TEST(ImportFile, SourceAnnouncingMoreThanTheLimitIsRefused) {
    struct HugeSource final : ByteSource {
        int reads = 0;
        std::optional<std::size_t> Read(char*, std::size_t) override {
            ++reads;
            return 0;
        }
        std::optional<std::size_t> SizeHint() const override {
            return static_cast<std::size_t>(kMaxMeasurementFileBytes + 1);
        }
    } huge;
    LineStore store;
    store.AppendLine("Keep");
    const ImportResult result = ReadMeasurementFile(huge, "big.mdt", store);
    EXPECT_FALSE(result.opened);
    ASSERT_TRUE(result.message);
    EXPECT_EQ(result.message->text, "big.mdt 超过 1 GiB，不能作为测量数据文件打开。");
    EXPECT_EQ(huge.reads, 0);
    EXPECT_EQ(store.LineCount(), 1u);
}

// The lines the reader did not use are counted, and a file of text without a
// single line says so once.
TEST(ImportBytes, CountsIgnoredLinesAndReportsFilesWithoutData) {
    const std::string noData = LoadString(IDS_NO_MEASUREMENT_DATA);
    const struct {
        const char* name;
        std::string bytes;
        std::size_t lines;
        std::size_t ignored;
        const char* message;
    } cases[] = {
        {"Clean", Join({Start("L"), Rec("A"), Rec("B")}), 1, 0, nullptr},
        {"HeaderAndNoise",
         Join({"PtID Code Reading Distance Time No Mode", Start("L"), "noise", Rec("A"), "  "}), 1,
         2, nullptr},
        {"Empty", "", 0, 0, nullptr},
        {"BlankLines", " \r\n\t\n", 0, 0, nullptr},
        {"TabSeparated", "@L\tLine\t1\t2\t3\t4\t105\nA\tB\t1\t2\t3\t4\t105\n", 0, 2,
         noData.c_str()},
        {"CarriageReturnsOnly", Start("L") + "\r" + Rec("A") + "\r", 0, 1, noData.c_str()},
        {"HeaderOnly", "PtID Code Reading Distance Time No Mode\n", 0, 1, noData.c_str()},
    };
    for (const auto& c : cases) {
        LineStore store;
        const ImportResult result = ReadMeasurementBytes(c.bytes, store);
        EXPECT_TRUE(result.opened) << c.name;
        EXPECT_EQ(store.LineCount(), c.lines) << c.name;
        EXPECT_EQ(result.ignored, c.ignored) << c.name;
        if (c.message) {
            ASSERT_TRUE(result.message) << c.name;
            EXPECT_EQ(*result.message, (UserMessage{c.message, MessageIcon::Warning})) << c.name;
        } else {
            EXPECT_FALSE(result.message) << c.name;
        }
    }
}

// --- The store itself ----------------------------------------------------------

TEST(LineStore, EditsAndSlotsBeyondTheLinesInUse) {
    LineStore store;
    const std::size_t a = store.AppendLine("A");
    store.AppendRecord(a, "r1");
    store.AppendRecord(a, "r2");
    store.AppendRecord(a, store.RecordViews(a)[0]);  // a view into the store's own text
    store.RemoveRecords(a, std::vector<std::size_t>{1});
    EXPECT_EQ(store.Records(a), (std::vector<std::string>{"r1", "r1"}));
    store.RemoveRecords(a, std::vector<std::size_t>{0, 1});
    for (const char* text : {"x", "y", "z", "w"}) store.AppendRecord(a, text);
    store.RemoveRecords(a, std::vector<std::size_t>{1, 3});
    EXPECT_EQ(store.Name(a), "A");
    EXPECT_EQ(store.Records(a), (std::vector<std::string>{"x", "z"}));
    EXPECT_EQ(store.RecordCount(5), 0u);
    EXPECT_EQ(store.Name(5), "");
    EXPECT_TRUE(store.RecordViews(99).empty());
    // A bad index list removes nothing.
    EXPECT_THROW(store.RemoveRecords(a, std::vector<std::size_t>{0, 2}), std::out_of_range);
    EXPECT_THROW(store.RemoveRecords(a, std::vector<std::size_t>{1, 0}), std::out_of_range);
    EXPECT_THROW(store.RemoveRecords(a, std::vector<std::size_t>{0, 0}), std::out_of_range);
    EXPECT_EQ(store.Records(a), (std::vector<std::string>{"x", "z"}));
    EXPECT_THROW(store.AppendRecord(1, "r"), std::out_of_range);
    for (int i = 1; i < 100; ++i) store.AppendLine("");
    EXPECT_TRUE(store.Full());
    EXPECT_THROW(store.AppendLine("101"), std::length_error);
}

// Lines of thousands of records keep their spans in the store's large
// blocks: growing, moving between lines, splitting, copying the store and
// importing again must all keep every record.
TEST(LineStore, LargeLinesSurviveRegroupingCopiesAndReimport) {
    auto points = [](const std::string& prefix, int n) {
        std::vector<std::string> p;
        for (int i = 0; i < n; ++i) p.push_back(prefix + std::to_string(i));
        return p;
    };
    // A: 6000 records of code 105; B: 9000 of 106 then 5000 of 105, which
    // go to the end of A; C: a dual run of 2 x 4000 records.
    std::vector<std::string> file{Start("A")};
    for (const std::string& r : Recs(points("a", 6000))) file.push_back(r);
    file.push_back(Start("B"));
    for (const std::string& r : Recs(points("b", 9000), "106")) file.push_back(r);
    for (const std::string& r : Recs(points("m", 5000))) file.push_back(r);
    file.push_back(Start("C"));
    std::vector<std::string> right;
    std::vector<std::string> left;
    for (int station = 0; station < 1000; ++station) {
        const std::string from = "S" + std::to_string(station);
        const std::string to = "S" + std::to_string(station + 1);
        for (std::vector<std::string>* run : {&right, &left}) {
            for (const std::string& p : {from, to, to, from}) {
                file.push_back(Rec(p, "107"));
                run->push_back(Rec(p, "107"));
            }
        }
    }
    std::vector<std::string> a = Recs(points("a", 6000));
    for (const std::string& r : Recs(points("m", 5000))) a.push_back(r);
    const std::vector<LevellingLine> expected{
        {"A", a}, {"B", Recs(points("b", 9000), "106")}, {"C(R)", right}, {"C(L)", left}};

    auto store = std::make_unique<LineStore>();
    ASSERT_FALSE(ReadMeasurementBytes(Join(file), *store).message);
    EXPECT_EQ(Lines(*store), expected);

    // Edits on a large line: appending past its room, removing from it.
    LineStore copy = *store;
    for (int i = 0; i < 7000; ++i) store->AppendRecord(1, "x" + std::to_string(i));
    std::vector<std::size_t> firstHalf(3000);
    for (std::size_t i = 0; i < firstHalf.size(); ++i) firstHalf[i] = i;
    store->RemoveRecords(0, firstHalf);
    EXPECT_EQ(store->RecordCount(0), 8000u);
    EXPECT_EQ(store->Records(0).front(), Rec("a3000"));
    EXPECT_EQ(store->RecordCount(1), 16000u);
    EXPECT_EQ(store->Records(1).back(), "x6999");

    // The copy owns its records: the original going changes nothing.
    store.reset();
    EXPECT_EQ(Lines(copy), expected);
    {
        auto assigned = std::make_unique<LineStore>();
        ASSERT_FALSE(ReadMeasurementBytes(Join(file), *assigned).message);
        LineStore other;
        ASSERT_FALSE(ReadMeasurementBytes(Join({Start("E"), Rec("e")}), other).message);
        other = *assigned;
        assigned.reset();
        other.AppendRecord(0, "y");
        EXPECT_EQ(other.RecordCount(0), 11001u);
        EXPECT_EQ(Lines(other)[1], expected[1]);
    }

    // The same store reads another file, then the first one again.
    ASSERT_FALSE(ReadMeasurementBytes(Join({Start("D"), Rec("d")}), copy).message);
    EXPECT_EQ(Lines(copy), (std::vector<LevellingLine>{{"D", {Rec("d")}}}));
    ASSERT_FALSE(ReadMeasurementBytes(Join(file), copy).message);
    EXPECT_EQ(Lines(copy), expected);
}

}  // namespace
}  // namespace lorvex
