#include "levelling/station.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <string>

namespace lorvex {
namespace {

using Station = std::array<SightRecord, 4>;

// The worked station: back A, fore 1, observed back-fore-fore-back.
const Station kWorked{{
    {"A", "B", 123456, 25310},
    {"1", "F", 65432, 24870},
    {"1", "F", 65429, 24880},
    {"A", "B", 123461, 25320},
}};

StationResult Compute(const Station& s, LevellingGrade grade, double sigma = 0.0) {
    return ComputeStation(s, grade, sigma);
}

TEST(ComputeStation, SecondOrderWorkedExample) {
    double sigma = 0.0;
    StationResult r = ComputeStation(kWorked, GradeSecond, sigma);
    const StationResult raw{"123456", "123461", "-5", "65432", "65429", "+3",    "253", "249",
                            "58024",  "58032",  "-8", "0.4",   "0.4",   "58028", "A",   "1"};
    EXPECT_EQ(r, raw);
    EXPECT_EQ(sigma, 0.4);

    FormatStationColumns(r, GradeSecond);
    const StationResult shown{"1234 56", "1234 61", "-5",     "654 32", "654 29", "+3",
                              "253",     "249",     "580 24", "580 32", "-8",     "0.4",
                              "0.4",     "0580 28", "A",      "1"};
    EXPECT_EQ(r, shown);
}

TEST(ComputeStation, ThirdOrderWorkedExample) {
    // Readings reduced to 0.1 mm: 12345, 6543, 6542, 12346; distances stay.
    StationResult r = Compute(kWorked, GradeThird);
    const StationResult raw{"12345", "12346", "-1", "6543", "6542", "+1",   "253", "249",
                            "5802",  "5804",  "-2", "0.4",  "0.4",  "5803", "A",   "1"};
    EXPECT_EQ(r, raw);
    FormatStationColumns(r, GradeThird);
    const StationResult shown{"12 345", "12 346", "-1", "6 543", "6 542", "+1",     "253", "249",
                              "5 802",  "5 804",  "-2", "0.4",   "0.4",   "0 5803", "A",   "1"};
    EXPECT_EQ(r, shown);
}

// Readings 100, 200, 300, 400 in row order (10, 20, 30, 40 once reduced),
// so the canonical order shows in the reading fields.
TEST(ComputeStation, CanonicalOrderFollowsGradeAndFirstCode) {
    const struct {
        const char* name;
        LevellingGrade grade;
        std::array<const char*, 4> codes;
        std::array<const char*, 4> b1f1f2b2;
    } cases[] = {
        {"2nd BFFB", GradeSecond, {"B", "F", "F", "B"}, {"100", "200", "300", "400"}},
        {"2nd FBBF", GradeSecond, {"F", "B", "B", "F"}, {"200", "100", "400", "300"}},
        {"2nd, later codes ignored",
         GradeSecond,
         {"F", "F", "F", "F"},
         {"200", "100", "400", "300"}},
        {"2nd, b is not B", GradeSecond, {"b", "F", "F", "b"}, {"200", "100", "400", "300"}},
        {"3rd ignores codes", GradeThird, {"F", "B", "B", "F"}, {"10", "20", "30", "40"}},
        {"4th BBFF", GradeFourth, {"B", "B", "F", "F"}, {"10", "30", "40", "20"}},
        {"no grade as 4th", GradeNone, {"B", "B", "F", "F"}, {"10", "30", "40", "20"}},
        {"grade 7 as 4th", 7, {"F", "F", "B", "B"}, {"10", "30", "40", "20"}}};
    for (const auto& c : cases) {
        Station s;
        for (int i = 0; i < 4; ++i) s[i] = {"P", c.codes[i], (i + 1) * 100, 1000};
        const StationResult r = Compute(s, c.grade);
        const std::array<std::string, 4> got{r.sBack_I, r.sFore_I, r.sFore_II, r.sBack_II};
        for (int i = 0; i < 4; ++i) EXPECT_EQ(got[i], c.b1f1f2b2[i]) << c.name << " sight " << i;
    }
}

TEST(ComputeStation, LowerGradesTruncateReadingsTowardZero) {
    const struct {
        std::int32_t reading;
        const char* reduced;
    } cases[] = {{9, "0"}, {-9, "0"}, {-15, "-1"}, {123456, "12345"}, {10, "1"}};
    for (const auto& c : cases) {
        for (LevellingGrade grade : {GradeThird, GradeFourth, GradeNone}) {
            const Station s{
                {{"A", "B", c.reading, 0}, {"A", "B", 0, 0}, {"B", "F", 0, 0}, {"B", "F", 0, 0}}};
            EXPECT_EQ(Compute(s, grade).sBack_I, c.reduced) << c.reading << " grade " << grade;
        }
    }
}

TEST(ComputeStation, SignedDifferencesAndMeans) {
    // Second order BFFB: readings and distances of B1, F1, F2, B2; expected
    // sFore_Back_I, sFore_Back_II, sFore_Back, sDis_Back, sDis_Fore,
    // sDistance_Error, sH.
    const struct {
        const char* name;
        std::array<std::int32_t, 4> readings;
        std::array<std::int32_t, 4> distances;
        std::array<const char*, 7> expected;
    } cases[] = {{"equal readings",
                  {500, 500, 500, 500},
                  {0, 0, 0, 0},
                  {"+0", "+0", "+0", "0", "0", "0.0", "0"}},
                 // 1.5 dm rounds up; 0.15 m is stored below the half.
                 {"back sum 300 mm",
                  {0, 0, 0, 0},
                  {150, 0, 0, 150},
                  {"+0", "+0", "+0", "2", "0", "0.1", "0"}},
                 // 2.5 dm and 0.25 m are exact halves.
                 {"back sum 500 mm",
                  {0, 0, 0, 0},
                  {250, 0, 0, 250},
                  {"+0", "+0", "+0", "3", "0", "0.3", "0"}},
                 {"fore longer by 0.04 m",
                  {0, 0, 0, 0},
                  {25000, 25040, 25040, 25000},
                  {"+0", "+0", "+0", "250", "250", "-0.0", "0"}},
                 {"mean height tie",
                  {58024, 0, 0, 58031},
                  {0, 0, 0, 0},
                  {"-7", "+0", "-7", "0", "0", "0.0", "58028"}},
                 {"negative mean height tie",
                  {0, 58024, 58031, 0},
                  {0, 0, 0, 0},
                  {"+0", "-7", "+7", "0", "0", "0.0", "-58028"}}};
    for (const auto& c : cases) {
        const Station s{{{"A", "B", c.readings[0], c.distances[0]},
                         {"1", "F", c.readings[1], c.distances[1]},
                         {"1", "F", c.readings[2], c.distances[2]},
                         {"A", "B", c.readings[3], c.distances[3]}}};
        const StationResult r = Compute(s, GradeSecond);
        const std::array<std::string, 7> got{
            r.sFore_Back_I, r.sFore_Back_II,   r.sFore_Back, r.sDis_Back,
            r.sDis_Fore,    r.sDistance_Error, r.sH};
        for (int i = 0; i < 7; ++i) EXPECT_EQ(got[i], c.expected[i]) << c.name << " field " << i;
    }
}

TEST(ComputeStation, RunningSumAddsTheRoundedDifferences) {
    // Back 0.44 m longer at each station: the unrounded sum would show 0.9
    // after two stations, the book shows 0.4 + 0.4.
    double sigma = 0.0;
    EXPECT_EQ(ComputeStation(kWorked, GradeSecond, sigma).sSigma_d, "0.4");
    EXPECT_EQ(ComputeStation(kWorked, GradeSecond, sigma).sSigma_d, "0.8");
    EXPECT_EQ(sigma, 0.4 + 0.4);

    // A value carried in from earlier stations, and a negative difference.
    const Station shorter{
        {{"A", "B", 0, 25000}, {"1", "F", 0, 26000}, {"1", "F", 0, 26000}, {"A", "B", 0, 25000}}};
    sigma = 0.5;
    const StationResult r = ComputeStation(shorter, GradeThird, sigma);
    EXPECT_EQ(r.sDistance_Error, "-1.0");
    EXPECT_EQ(r.sSigma_d, "-0.5");
}

TEST(ComputeStation, PointIdsFollowRowOrderLastWins) {
    const struct {
        const char* name;
        LevellingGrade grade;
        std::array<std::array<const char*, 2>, 4> idsAndCodes;
        const char* back;
        const char* fore;
    } cases[] = {
        {"FBBF", GradeSecond, {{{"2", "F"}, {"1", "B"}, {"1", "B"}, {"2", "F"}}}, "1", "2"},
        {"later overwrites",
         GradeFourth,
         {{{"A", "B"}, {"X", "B"}, {"C", "F"}, {"D", "F"}}},
         "X",
         "D"},
        {"no back sight", GradeThird, {{{"A", "F"}, {"B", "F"}, {"C", "F"}, {"D", "F"}}}, "", "D"},
        {"only back sights",
         GradeThird,
         {{{"A", "B"}, {"B", "B"}, {"C", "B"}, {"D", "B"}}},
         "D",
         ""},
        {"lower-case b is fore",
         GradeThird,
         {{{"A", "b"}, {"B", "F"}, {"C", "F"}, {"D", "F"}}},
         "",
         "D"},
    };
    for (const auto& c : cases) {
        Station s;
        for (int i = 0; i < 4; ++i) s[i] = {c.idsAndCodes[i][0], c.idsAndCodes[i][1], 0, 0};
        const StationResult r = Compute(s, c.grade);
        EXPECT_EQ(r.sTarget_Back, c.back) << c.name;
        EXPECT_EQ(r.sTarget_Fore, c.fore) << c.name;
    }
}

TEST(ComputeStation, ExtremeValuesWrapInsteadOfOverflowing) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    const Station s{
        {{"A", "B", kMax, kMax}, {"1", "F", kMin, kMax}, {"1", "F", kMax, 1}, {"A", "B", kMin, 1}}};
    const StationResult r = Compute(s, GradeSecond);
    EXPECT_EQ(r.sFore_Back_I, "-1");      // kMax - kMin wraps to -1
    EXPECT_EQ(r.sFore_Back_II, "+1");     // kMin - kMax wraps to 1
    EXPECT_EQ(r.sFBI_Height, "-1");       // kMax - kMin
    EXPECT_EQ(r.sFBII_Height, "1");       // kMin - kMax
    EXPECT_EQ(r.sFore_Back, "-2");        // -1 - 1
    EXPECT_EQ(r.sH, "0");                 // 0.5 * (1 + -1)
    EXPECT_EQ(r.sDis_Back, "-10737418");  // kMax + 1 wraps to -2^31; / 200
    EXPECT_EQ(r.sDis_Fore, "-10737418");
    EXPECT_EQ(r.sDistance_Error, "0.0");
}

TEST(FormatStationColumns, PadsAndSplitsReadings) {
    const struct {
        LevellingGrade grade;
        const char* reading;  // any of the six reading / height fields
        const char* readingShown;
        const char* h;
        const char* hShown;
    } cases[] = {
        {GradeSecond, "123456", "1234 56", "58028", "0580 28"},
        {GradeSecond, "-123", "-001 23", "-123", "-0001 23"},
        {GradeSecond, "0", "000 00", "0", "0000 00"},
        {GradeSecond, "-12345678", "-123456 78", "-12345678", "-123456 78"},
        {GradeThird, "12345", "12 345", "5803", "0 5803"},
        {GradeThird, "-5", "-0 005", "-37", "-0 0037"},
        {GradeThird, "123456", "123 456", "123456", "12 3456"},
        {GradeFourth, "7", "0 007", "7", "0 0007"},
        {GradeNone, "-1234", "-1 234", "-12345", "-1 2345"},
    };
    for (const auto& c : cases) {
        StationResult s;
        s.sBack_I = s.sBack_II = s.sFore_I = s.sFore_II = s.sFBI_Height = s.sFBII_Height =
            c.reading;
        s.sH = c.h;
        // The other nine fields keep their texts.
        s.sFore_Back_I = s.sFore_Back_II = s.sFore_Back = "+12";
        s.sDis_Back = s.sDis_Fore = "253";
        s.sDistance_Error = s.sSigma_d = "-0.4";
        s.sTarget_Back = "A B";
        s.sTarget_Fore = "1";
        StationResult expected = s;
        expected.sBack_I = expected.sBack_II = expected.sFore_I = expected.sFore_II =
            expected.sFBI_Height = expected.sFBII_Height = c.readingShown;
        expected.sH = c.hShown;

        FormatStationColumns(s, c.grade);
        EXPECT_EQ(s, expected) << "grade " << c.grade << " reading " << c.reading;
    }
}

}  // namespace
}  // namespace lorvex
