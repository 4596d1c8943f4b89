#include "levelling/number_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace lorvex {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

TEST(FormatFixed, RoundsHalvesAwayFromZeroOnTheBinaryValue) {
    const struct {
        double value;
        int decimals;
        const char* expected;
    } cases[] = {// Exact ties: away from zero (glibc's printf gives the even 4 for 4.5).
                 {2.5, 0, "3"},
                 {-2.5, 0, "-3"},
                 {4.5, 0, "5"},
                 {-0.5, 0, "-1"},
                 {248.75, 0, "249"},
                 {9.5, 0, "10"},
                 {-99.5, 0, "-100"},
                 {0.25, 1, "0.3"},
                 {0.125, 2, "0.13"},
                 {-0.015625, 5, "-0.01563"},
                 {99.96875, 4, "99.9688"},
                 // Not ties once stored: nearest on the binary value.
                 {253.15, 0, "253"},
                 {0.15, 1, "0.1"},
                 {0.45, 1, "0.5"},
                 {0.44, 1, "0.4"},
                 {1.234, 2, "1.23"},
                 {-0.0123456, 5, "-0.01235"},
                 {1e20, 0, "100000000000000000000"},
                 {0.1, 20, "0.10000000000000000555"},
                 // A negative value rounding to zero keeps its sign.
                 {-0.04, 1, "-0.0"},
                 {-0.4, 0, "-0"},
                 {-0.0, 1, "-0.0"},
                 {0.04, 1, "0.0"},
                 {kInf, 1, "inf"},
                 {-kInf, 0, "-inf"},
                 {kNaN, 5, "nan"}};
    for (const auto& c : cases) {
        EXPECT_EQ(FormatFixed(c.value, c.decimals), c.expected) << c.value << " %." << c.decimals;
    }
}

TEST(FormatFixed, LargestValueAtManyPlacesFitsItsBuffer) {
    const std::string text = FormatFixed(std::numeric_limits<double>::max(), 5);
    EXPECT_EQ(text.size(), 309u + 1 + 5);
    EXPECT_EQ(text.substr(0, 6), "179769");
    EXPECT_EQ(FormatFixed(-std::numeric_limits<double>::max(), 200).size(), 1 + 309u + 1 + 200);
}

// An independent reference: glibc prints the exact decimal expansion of a
// double when given enough places; rounding half away from zero then only
// needs the first dropped digit.
std::string ReferenceFixed(double value, int decimals) {
    std::vector<char> buf(1600);
    std::snprintf(buf.data(), buf.size(), "%.1100f", value);
    std::string exact(buf.data());
    const std::size_t point = exact.find('.');
    std::string kept = exact.substr(0, point + 1 + static_cast<std::size_t>(decimals));
    if (decimals == 0) kept.pop_back();
    if (exact[point + 1 + static_cast<std::size_t>(decimals)] >= '5') {
        std::size_t i = kept.size();
        while (true) {
            if (i == 0 || kept[i - 1] == '-') {
                kept.insert(i, "1");
                break;
            }
            --i;
            if (kept[i] == '.') continue;
            if (kept[i] != '9') {
                ++kept[i];
                break;
            }
            kept[i] = '0';
        }
    }
    return kept;
}

TEST(FormatFixed, MatchesAnExactReferenceOnManyValues) {
    std::mt19937_64 rng(20240611);
    std::uniform_real_distribution<double> wide(-1e7, 1e7);
    std::uniform_int_distribution<std::int64_t> ints(-(std::int64_t{1} << 40),
                                                     std::int64_t{1} << 40);
    std::uniform_int_distribution<int> shifts(0, 20);
    std::uniform_int_distribution<std::uint64_t> bits;
    for (int i = 0; i < 3000; ++i) {
        double values[] = {
            wide(rng),
            // Dyadic values: exact ties at some number of places are common.
            std::ldexp(static_cast<double>(ints(rng)), -shifts(rng)),
            // Any finite double of moderate size, subnormals included.
            std::bit_cast<double>(bits(rng) & 0xc3ffffffffffffffULL),
        };
        for (double v : values) {
            for (int d : {0, 1, 2, 3, 4, 5}) {
                ASSERT_EQ(FormatFixed(v, d), ReferenceFixed(v, d))
                    << std::hexfloat << v << " %." << d;
            }
        }
    }
}

TEST(ParseDouble, FollowsAtof) {
    const struct {
        const char* text;
        double expected;
    } cases[] = {
        {"0.4", 0.4}, {"  1.5", 1.5},  {"\t\n7", 7.0},       {"-2.25abc", -2.25}, {"+3", 3.0},
        {".5", 0.5},  {"1e3", 1000.0}, {"1,5", 1.0},         {"abc", 0.0},        {"", 0.0},
        {"- 1", 0.0}, {"0x10", 16.0},  {"1.23456", 1.23456},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseDouble(c.text), c.expected) << '"' << c.text << '"';
    EXPECT_EQ(ParseDouble("inf"), kInf);
    EXPECT_TRUE(std::isnan(ParseDouble("nan")));
}

TEST(ParseDouble, ReadsOnlyInsideTheView) {
    const std::string text = "1.25";
    EXPECT_EQ(ParseDouble(std::string_view(text).substr(0, 3)), 1.2);
    const std::string longText = std::string(300, ' ') + "12.5" + std::string(300, '0');
    EXPECT_EQ(ParseDouble(longText), 12.5);
}

TEST(ParseInt, FollowsAtoiAndSaturates) {
    const struct {
        const char* text;
        std::int32_t expected;
    } cases[] = {{"  -7x", -7},
                 {"+5", 5},
                 {"0024", 24},
                 {"1.9", 1},
                 {"abc", 0},
                 {"", 0},
                 {"- 5", 0},
                 {"\v\f\r 9", 9},
                 {"2147483647", kMax},
                 {"2147483648", kMax},
                 {"99999999999999999999999", kMax},
                 {"-2147483648", kMin},
                 {"-2147483649", kMin}};
    for (const auto& c : cases) EXPECT_EQ(ParseInt(c.text), c.expected) << '"' << c.text << '"';
    EXPECT_EQ(ParseInt(std::string_view("123", 2)), 12);
}

TEST(FormatInt, Plain) {
    EXPECT_EQ(FormatInt(kMin), "-2147483648");
    EXPECT_EQ(FormatInt(2147483647), "2147483647");
    EXPECT_EQ(FormatInt(0), "0");
    EXPECT_EQ(FormatInt(-7), "-7");
}

TEST(RoundToInt, RoundsHalvesAwayAndSaturates) {
    const struct {
        double value;
        std::int32_t expected;
    } cases[] = {{2.5, 3},
                 {-2.5, -3},
                 {0.49999999999999994, 0},
                 {1.23456 * 100000.0, 123456},
                 {2147483647.4, kMax},
                 {1e10, kMax},
                 {-1e10, kMin},
                 {kInf, 0},
                 {kNaN, 0}};
    for (const auto& c : cases) EXPECT_EQ(RoundToInt(c.value), c.expected) << c.value;
}

// A desktop session may set LC_NUMERIC to a locale with a decimal comma; the
// record book must still read and write decimal points.
TEST(NumberText, IgnoresADecimalCommaLocale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    const char* set = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"}) {
        if ((set = std::setlocale(LC_ALL, name)) != nullptr) break;
    }
    if (set == nullptr || std::localeconv()->decimal_point[0] != ',') {
        std::setlocale(LC_ALL, saved.c_str());
        GTEST_SKIP() << "no locale with a decimal comma installed";
    }
    EXPECT_EQ(FormatFixed(0.4, 1), "0.4");
    EXPECT_EQ(FormatFixed(0.25, 1), "0.3");
    EXPECT_EQ(FormatFixed(248.75, 0), "249");
    EXPECT_EQ(ParseDouble("0.4"), 0.4);
    EXPECT_EQ(ParseDouble("1,5"), 1.0);
    std::setlocale(LC_ALL, saved.c_str());
}

}  // namespace
}  // namespace lorvex
