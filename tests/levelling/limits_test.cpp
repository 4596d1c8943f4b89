#include "levelling/limits.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace lorvex {
namespace {

const std::filesystem::path kShipped =
    std::filesystem::path(LORVEX_SOURCE_DIR) / "resources" / "limits.tsv";

std::string ShippedText() {
    std::ifstream in(kShipped, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

// The 1-based number of the first line starting with prefix.
std::size_t LineOf(const std::string& text, const std::string& prefix) {
    std::size_t line = 1;
    for (std::size_t at = 0; at < text.size(); ++line) {
        if (text.compare(at, prefix.size(), prefix) == 0) return line;
        const auto end = text.find('\n', at);
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return 0;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

TEST(LimitTable, ShippedFileIsTheBuiltInTable) {
    const LoadedLimits loaded = LoadLimitTable(kShipped);
    EXPECT_TRUE(loaded.fromFile);
    EXPECT_TRUE(loaded.messages.empty()) << loaded.messages.front();
    EXPECT_EQ(loaded.table, BuiltInLimits());
    // Spot checks against the standards, so both cannot drift together.
    EXPECT_EQ(BuiltInLimits().Get(Rule::DistanceDiff, GradeSecond).micro, 1'500'000);
    EXPECT_EQ(BuiltInLimits().Get(Rule::ReadingMax, GradeSecond).micro, 2'800'000);
    EXPECT_EQ(BuiltInLimits().Get(Rule::RunsDiff, GradeFourth).micro, 20'000'000);
    EXPECT_FALSE(BuiltInLimits().Get(Rule::LeftRightDiff, GradeSecond).checked);
    EXPECT_EQ(BuiltInLimits().Get(Rule::DhDiff, GradeThird).source, "GB/T 12898-2009");
    // No grade is checked as fourth order.
    EXPECT_EQ(&BuiltInLimits().Get(Rule::SightMax, GradeNone),
              &BuiltInLimits().Get(Rule::SightMax, GradeFourth));
}

TEST(LimitTable, EditorsLineEndsMarkAndSpacesAreAccepted) {
    std::string text = "\xEF\xBB\xBF";
    for (char c : ShippedText()) {
        if (c == '\n')
            text += "\r\n";
        else if (c == '\t')
            text += "   ";
        else
            text += c;
    }
    const LoadedLimits loaded = ParseLimitTable(text, "limits.tsv");
    EXPECT_TRUE(loaded.fromFile);
    EXPECT_TRUE(loaded.messages.empty());
    EXPECT_EQ(loaded.table, BuiltInLimits());
}

TEST(LimitTable, ErrorsNameFileAndLineAndFallBackToTheBuiltInTable) {
    const std::string shipped = ShippedText();
    const struct {
        const char* name;
        std::string from, to;  // the edit to the shipped text
        std::string lineOf;    // the line the message names; "" for none
        std::string detail;
    } cases[] = {
        {"decimal comma", "distance_diff\tsecond\t1.5", "distance_diff\tsecond\t1,5",
         "distance_diff\tsecond", "限差“1,5”不是数字"},
        {"negative", "dh_diff\tthird\t3.0", "dh_diff\tthird\t-3.0", "dh_diff\tthird",
         "限差“-3.0”不是数字"},
        {"seven decimals", "reading_min\tsecond\t0.55", "reading_min\tsecond\t0.5500001",
         "reading_min\tsecond", "限差“0.5500001”不是数字"},
        {"unit glued on", "sight_max\tfourth\t150\tm", "sight_max\tfourth\t150m\tm",
         "sight_max\tfourth", "限差“150m”不是数字"},
        {"unknown rule", "sight_min\tthird", "sight_minimum\tthird", "sight_minimum",
         "未知规则“sight_minimum”"},
        {"unknown grade", "runs_diff\tthird", "runs_diff\t3rd", "runs_diff\t3rd", "未知等级“3rd”"},
        {"no source", "dh_diff\tfourth\t5.0\tmm\tGB/T 12898-2009", "dh_diff\tfourth\t5.0\tmm",
         "dh_diff\tfourth", "缺少字段"},
        {"wrong unit", "dh_diff\tsecond\t0.6\tmm", "dh_diff\tsecond\t0.6\tm", "dh_diff\tsecond",
         "dh_diff 的单位应为“mm”，而不是“m”"},
        {"even_stations yes", "even_stations\tsecond\trequired", "even_stations\tsecond\tyes",
         "even_stations\tsecond", "required 或 -"},
        {"version 2", "version\t1", "version\t2", "version", "不支持的版本“2”"},
        {"no version", "version\t1\n", "", "sight_max\tsecond", "缺少版本行"},
        {"duplicate", "sight_max\tthird\t100\tm\tGB/T 12898-2009\n",
         "sight_max\tthird\t100\tm\tGB/T 12898-2009\nsight_max\tthird\t90\tm\tours\n",
         "sight_max\tthird\t90", "sight_max third 已在第 "},
        {"missing line", "dh_diff\tthird\t3.0\tmm\tGB/T 12898-2009\n", "", "",
         "limits.tsv：缺少 dh_diff third 的限差"},
    };
    for (const auto& c : cases) {
        const std::string text = Replace(shipped, c.from, c.to);
        const LoadedLimits loaded = ParseLimitTable(text, "limits.tsv");
        EXPECT_FALSE(loaded.fromFile) << c.name;
        EXPECT_EQ(loaded.table, BuiltInLimits()) << c.name;
        ASSERT_EQ(loaded.messages.size(), 1u) << c.name;
        const std::string& message = loaded.messages[0];
        if (!c.lineOf.empty()) {
            const std::string where = "limits.tsv:" + std::to_string(LineOf(text, c.lineOf)) + "：";
            EXPECT_EQ(message.rfind(where, 0), 0u) << c.name << ": " << message;
        }
        EXPECT_NE(message.find(c.detail), std::string::npos) << c.name << ": " << message;
        EXPECT_NE(message.find("已改用内置限差"), std::string::npos) << c.name;
    }
}

TEST(LimitTable, ChangedFileIsUsedAndSaysWhatDiffers) {
    std::string text = Replace(ShippedText(), "sight_max\tthird\t100", "sight_max\tthird\t80.5");
    text = Replace(text, "left_right_diff\tthird\t8", "left_right_diff\tthird\t-");
    // A changed source alone is not a changed limit.
    text = Replace(text, "dh_diff\tsecond\t0.6\tmm\tGB/T 12897-2006",
                   "dh_diff\tsecond\t0.6\tmm\tours");

    const LoadedLimits loaded = ParseLimitTable(text, "/data/limits.tsv");
    EXPECT_TRUE(loaded.fromFile);
    EXPECT_EQ(loaded.table.Get(Rule::SightMax, GradeThird).micro, 80'500'000);
    EXPECT_FALSE(loaded.table.Get(Rule::LeftRightDiff, GradeThird).checked);
    EXPECT_EQ(loaded.table.Get(Rule::DhDiff, GradeSecond).source, "ours");
    ASSERT_EQ(loaded.messages.size(), 1u);
    EXPECT_EQ(loaded.messages[0],
              "/data/limits.tsv：以下限差与内置值不同，按此文件检查："
              "sight_max third 80.5 m（内置 100 m），"
              "left_right_diff third -（内置 8.0 mm/sqrt(km)）");
}

TEST(LimitTable, MissingFileGivesTheBuiltInTableAndSaysSo) {
    const auto dir = std::filesystem::temp_directory_path();
    const LoadedLimits missing = LoadLimitTable(dir / "no-such-limits.tsv");
    EXPECT_FALSE(missing.fromFile);
    EXPECT_EQ(missing.table, BuiltInLimits());
    ASSERT_EQ(missing.messages.size(), 1u);
    EXPECT_NE(missing.messages[0].find("不存在"), std::string::npos);

    const LoadedLimits folder = LoadLimitTable(dir);
    EXPECT_FALSE(folder.fromFile);
    ASSERT_EQ(folder.messages.size(), 1u);
    EXPECT_NE(folder.messages[0].find("无法读取"), std::string::npos);
}

TEST(DecimalText, ExactDigitsTrimmedToTheMinimum) {
    const struct {
        std::int64_t value;
        int scale, minDecimals;
        const char* text;
    } cases[] = {
        {52310, 3, 0, "52.31"}, {50000, 3, 0, "50"},      {-18, 1, 1, "-1.8"},
        {5, 1, 1, "0.5"},       {-5, 5, 2, "-0.00005"},   {280000, 5, 2, "2.80"},
        {0, 2, 1, "0.0"},       {1'500'000, 6, 1, "1.5"}, {INT64_MIN, 0, 0, "-9223372036854775808"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecimalText(c.value, c.scale, c.minDecimals), c.text) << c.value;
    }
}

}  // namespace
}  // namespace lorvex
