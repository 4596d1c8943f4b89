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

TEST_P(SplitFieldsTest, SplitsLikeTheRecordReader) {
    const SplitCase& c = GetParam();
    Fields fields{"stale"};
    SplitFields(c.text, fields, " ");
    EXPECT_EQ(fields, c.expected);
    // The counting and view forms agree with the splitter.
    EXPECT_EQ(CountFields(c.text, 100), c.expected.size());
    std::vector<std::string_view> views;
    SplitFieldViews(c.text, views);
    ASSERT_EQ(views.size(), c.expected.size());
    for (std::size_t i = 0; i < views.size(); ++i) {
        EXPECT_EQ(views[i], c.expected[i]);
        EXPECT_EQ(FieldView(c.text, i), c.expected[i]);
    }
    EXPECT_EQ(FieldView(c.text, c.expected.size()), "");
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
    Fields fields{"x", "y"};
    SplitFields("", fields);
    EXPECT_EQ(fields, (Fields{"x", "y"}));
    // The views form clears, so no view into an earlier text survives.
    std::vector<std::string_view> views{"x"};
    SplitFieldViews("", views);
    EXPECT_TRUE(views.empty());
}

TEST(SplitFields, OtherSeparators) {
    Fields fields{"stale"};
    SplitFields("a, b,, c", fields, ", ");
    EXPECT_EQ(fields, (Fields{"a", "b,", "c"}));
    SplitFields("a b", fields, "");
    EXPECT_TRUE(fields.empty());
}

TEST(TrimBlanks, AllSixWhiteSpaceCharacters) {
    EXPECT_EQ(TrimBlanks(" \t\r\n\v\fa b\f\v\n\r\t "), "a b");
    EXPECT_EQ(TrimBlanks(" \t "), "");
    EXPECT_EQ(TrimBlanks(std::string_view("\0a", 2)), std::string_view("\0a", 2));
}

}  // namespace
}  // namespace lorvex
