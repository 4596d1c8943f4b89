#include "import/fields.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lorvex {
namespace {

using Fields = std::vector<std::string>;

struct SplitCase {
    const char* name;
    std::string text;
    Fields expected;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }

class SplitFieldsTest : public ::testing::TestWithParam<SplitCase> {};

// The fields as texts, for comparison.
Fields Split(std::string_view text, std::vector<std::string_view> views,
             std::string_view separator = " ") {
    SplitFields(text, views, separator);
    return Fields(views.begin(), views.end());
}

TEST_P(SplitFieldsTest, SplitsLikeTheRecordReader) {
    const SplitCase& c = GetParam();
    EXPECT_EQ(Split(c.text, {"stale"}), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitFieldsTest,
    ::testing::Values(SplitCase{"Record",
                                "A1 B 1.23456 25.310 0 0 105",
                                {"A1", "B", "1.23456", "25.310", "0", "0", "105"}},
                      SplitCase{"RunsOfSpacesGiveNoEmptyFields", "a   b  c", {"a", "b", "c"}},
                      SplitCase{"NoSpaceGivesNoFields", "abc", {}},
                      SplitCase{"LeadingWhiteSpaceDropped", " \t a b", {"a", "b"}},
                      SplitCase{"TrailingSpaceGivesNoField", "a b   ", {"a", "b"}},
                      SplitCase{"TabBelongsToField", "a\tb c", {"a\tb", "c"}},
                      SplitCase{"OnlyTabsNoFields", "a\tb\tc", {}},
                      SplitCase{"TrailingCrLfGone", "a b\r\n", {"a", "b\r"}},
                      SplitCase{"TrailingLfThenCr", "a b\n\r", {"a", "b"}},
                      SplitCase{"OnlyBlanks", "   \t ", {}},
                      SplitCase{"TrailingSpaceOnly", "abc ", {"abc"}}),
    [](const auto& info) { return info.param.name; });

TEST(SplitFields, EmptyTextLeavesOutputAsItWas) {
    EXPECT_EQ(Split("", {"x", "y"}), (Fields{"x", "y"}));
}

TEST(SplitFields, OtherSeparators) {
    EXPECT_EQ(Split("a, b,, c", {"stale"}, ", "), (Fields{"a", "b,", "c"}));
    EXPECT_TRUE(Split("a b", {"stale"}, "").empty());
}

TEST(TrimBlanks, AllSixWhiteSpaceCharacters) {
    EXPECT_EQ(TrimBlanks(" \t\r\n\v\fa b\f\v\n\r\t "), "a b");
    EXPECT_EQ(TrimBlanks(" \t "), "");
    EXPECT_EQ(TrimBlanks(std::string_view("\0a", 2)), std::string_view("\0a", 2));
}

}  // namespace
}  // namespace lorvex
