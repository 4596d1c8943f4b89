#include "levelling/quality_check.h"

#include <gtest/gtest.h>

#include <array>
#include <stdexcept>
#include <string>
#include <vector>

#include "levelling/report_command.h"
#include "levelling/totals.h"

namespace lorvex {
namespace {

// The canonical sights of one station (readings in 10^-5 m, distances in
// mm). The defaults pass every limit of every grade: 30 m sights, 1.5 m back
// and 1.4 m fore readings, equal height differences.
struct Sights {
    std::int32_t b1 = 150000, f1 = 140000, f2 = 140000, b2 = 150000;
    std::int32_t db1 = 30000, df1 = 30000, df2 = 30000, db2 = 30000;
};

Sights All(std::int32_t distance) {
    return {.db1 = distance, .df1 = distance, .df2 = distance, .db2 = distance};
}
// A station whose mean back distance exceeds the mean fore one by e/2000 m.
Sights Back(std::int32_t e) { return e >= 0 ? Sights{.db1 = 30000 + e} : Sights{.df1 = 30000 - e}; }

// The station's records in the row order its grade reads them in.
std::array<SightRecord, 4> Rows(const Sights& s, LevellingGrade grade) {
    const SightRecord b1{"A", "B", s.b1, s.db1}, f1{"1", "F", s.f1, s.df1};
    const SightRecord f2{"1", "F", s.f2, s.df2}, b2{"A", "B", s.b2, s.db2};
    if (grade == GradeSecond || grade == GradeThird) return {b1, f1, f2, b2};
    return {b1, b2, f1, f2};  // back-back-fore-fore
}

struct Line {
    std::vector<SightRecord> records;
    std::vector<StationResult> computed;
};

Line Compute(const std::vector<Sights>& stations, LevellingGrade grade) {
    Line line;
    double sigma = 0.0;
    for (const Sights& s : stations) {
        const auto rows = Rows(s, grade);
        line.records.insert(line.records.end(), rows.begin(), rows.end());
        line.computed.push_back(ComputeStation(rows, grade, sigma));
    }
    return line;
}

LineCheck Check(const std::vector<Sights>& stations, LevellingGrade grade,
                const LimitTable& limits = BuiltInLimits()) {
    const Line line = Compute(stations, grade);
    return CheckLine(line.records, line.computed, grade, limits);
}

const Flag* Find(const StationFlags& station, Rule rule) {
    for (const Flag& f : station.flags) {
        if (f.rule == rule) return &f;
    }
    return nullptr;
}

// Each station rule at, just inside and just beyond its limit, per grade.
// value: the flag's value, or nullptr when the station passes the rule.
TEST(CheckLine, StationRulesAtAndAroundTheirLimits) {
    constexpr LevellingGrade G2 = GradeSecond, G3 = GradeThird, G4 = GradeFourth;
    const struct {
        const char* name;
        LevellingGrade grade;
        Sights sights;
        Rule rule;
        const char* value;
    } cases[] = {
        {"2nd sight at 50 m", G2, All(50000), Rule::SightMax, nullptr},
        {"2nd sight 1 mm over", G2, All(50001), Rule::SightMax, "50.001"},
        {"2nd sight 1 mm under", G2, All(49999), Rule::SightMax, nullptr},
        {"3rd sight at 100 m", G3, All(100000), Rule::SightMax, nullptr},
        {"3rd sight over", G3, All(100001), Rule::SightMax, "100.001"},
        {"4th sight at 150 m", G4, All(150000), Rule::SightMax, nullptr},
        {"4th sight over", G4, All(150001), Rule::SightMax, "150.001"},
        {"no grade as 4th", GradeNone, All(150001), Rule::SightMax, "150.001"},
        {"2nd sight at 3 m", G2, All(3000), Rule::SightMin, nullptr},
        {"2nd sight 1 mm short", G2, All(2999), Rule::SightMin, "2.999"},
        {"2nd sight 1 mm longer", G2, All(3001), Rule::SightMin, nullptr},
        {"2nd negative sight", G2, All(-5), Rule::SightMin, "-0.005"},
        {"3rd has no minimum", G3, All(1), Rule::SightMin, nullptr},
        // d as the book prints it: 1.549 m is 1.5, 1.55 m is 1.6.
        {"2nd d at 1.5", G2, Back(3000), Rule::DistanceDiff, nullptr},
        {"2nd d 1.549 prints 1.5", G2, Back(3098), Rule::DistanceDiff, nullptr},
        {"2nd d 1.55 prints 1.6", G2, Back(3100), Rule::DistanceDiff, "1.6"},
        {"2nd d 1.45", G2, Back(2900), Rule::DistanceDiff, nullptr},
        {"2nd d -1.5", G2, Back(-3000), Rule::DistanceDiff, nullptr},
        {"2nd d -1.55 prints -1.6", G2, Back(-3100), Rule::DistanceDiff, "-1.6"},
        {"3rd d at 2.0", G3, Back(4000), Rule::DistanceDiff, nullptr},
        // 2.05 is stored just below the half and prints 2.0.
        {"3rd d 2.05 prints 2.0", G3, Back(4100), Rule::DistanceDiff, nullptr},
        {"3rd d 2.1", G3, Back(4200), Rule::DistanceDiff, "2.1"},
        {"3rd d -2.1", G3, Back(-4200), Rule::DistanceDiff, "-2.1"},
        {"4th d at 3.0", G4, Back(6000), Rule::DistanceDiff, nullptr},
        {"4th d -3.0", G4, Back(-6000), Rule::DistanceDiff, nullptr},
        {"4th d 3.1", G4, Back(6200), Rule::DistanceDiff, "3.1"},
        {"2nd lowest reading at 0.55", G2, {.f1 = 55000, .f2 = 55000}, Rule::ReadingMin, nullptr},
        {"2nd reading 0.01 mm low", G2, {.f2 = 54999}, Rule::ReadingMin, "0.54999"},
        {"2nd reading 0.01 mm above", G2, {.f1 = 55001}, Rule::ReadingMin, nullptr},
        {"2nd negative reading", G2, {.f1 = -100}, Rule::ReadingMin, "-0.001"},
        {"3rd has no reading minimum", G3, {.f1 = 1000}, Rule::ReadingMin, nullptr},
        {"2nd highest reading at 2.80", G2, {.b1 = 280000}, Rule::ReadingMax, nullptr},
        {"2nd reading 0.01 mm high", G2, {.b2 = 280001}, Rule::ReadingMax, "2.80001"},
        {"4th has no reading maximum", G4, {.b1 = 400000}, Rule::ReadingMax, nullptr},
        // (B1 - F1) - (B2 - F2) in 0.01 mm (second) or 0.1 mm, truncated.
        {"2nd dh at 0.6 mm", G2, {.b1 = 150060}, Rule::DhDiff, nullptr},
        {"2nd dh 0.61 mm", G2, {.b1 = 150061}, Rule::DhDiff, "0.61"},
        {"2nd dh -0.61 mm", G2, {.b2 = 150061}, Rule::DhDiff, "-0.61"},
        {"2nd dh -0.6 mm", G2, {.f1 = 140060}, Rule::DhDiff, nullptr},
        {"3rd dh at 3.0 mm", G3, {.b1 = 150300}, Rule::DhDiff, nullptr},
        {"3rd dh 3.09 truncates to 3.0", G3, {.b1 = 150309}, Rule::DhDiff, nullptr},
        {"3rd dh 3.1 mm", G3, {.b1 = 150310}, Rule::DhDiff, "3.1"},
        {"3rd dh -3.1 mm", G3, {.b2 = 150310}, Rule::DhDiff, "-3.1"},
        {"4th dh at 5.0 mm", G4, {.b1 = 150500}, Rule::DhDiff, nullptr},
        {"4th dh 5.1 mm", G4, {.b1 = 150510}, Rule::DhDiff, "5.1"},
        {"4th dh -5.1 mm", G4, {.f2 = 139490}, Rule::DhDiff, "-5.1"},
    };
    for (const auto& c : cases) {
        const LineCheck check = Check({c.sights}, c.grade);
        ASSERT_EQ(check.stations.size(), 1u);
        const Flag* flag = Find(check.stations[0], c.rule);
        if (!c.value) {
            EXPECT_EQ(flag, nullptr) << c.name << ": " << flag->ValueText();
            continue;
        }
        ASSERT_NE(flag, nullptr) << c.name;
        EXPECT_EQ(flag->ValueText(), c.value) << c.name;
        const Limit& limit = BuiltInLimits().Get(c.rule, c.grade);
        EXPECT_EQ(flag->LimitText(), LimitText(c.rule, limit)) << c.name;
    }
}

// Σd adds the stations' d as printed, so it is checked as the book shows it.
TEST(CheckLine, AccumulatedDifferenceAsPrinted) {
    const struct {
        const char* name;
        LevellingGrade grade;
        std::vector<std::int32_t> e;  // per station, see Back()
        const char* sigma;            // sSigma_d of the last station
        const char* value;            // its distance_sum flag, or nullptr
    } cases[] = {
        {"2nd at 6.0", GradeSecond, {3000, 3000, 3000, 3000}, "6.0", nullptr},
        {"2nd 6.1", GradeSecond, {3000, 3000, 3000, 3000, 200}, "6.1", "6.1"},
        {"2nd -6.1", GradeSecond, {-3000, -3000, -3000, -3000, -200}, "-6.1", "-6.1"},
        {"2nd back under", GradeSecond, {3000, 3000, 3000, 3000, 200, -200}, "6.0", nullptr},
        {"3rd at 5.0", GradeThird, {4000, 4000, 2000}, "5.0", nullptr},
        {"3rd 5.1", GradeThird, {4000, 4000, 2000, 200}, "5.1", "5.1"},
        {"4th at -10.0", GradeFourth, {-6000, -6000, -6000, -2000}, "-10.0", nullptr},
        {"4th 10.1", GradeFourth, {6000, 6000, 6000, 2000, 200}, "10.1", "10.1"},
    };
    for (const auto& c : cases) {
        std::vector<Sights> stations;
        for (std::int32_t e : c.e) stations.push_back(Back(e));
        const Line line = Compute(stations, c.grade);
        ASSERT_EQ(line.computed.back().sSigma_d, c.sigma) << c.name;
        const LineCheck check = CheckLine(line.records, line.computed, c.grade, BuiltInLimits());
        const Flag* flag = Find(check.stations.back(), Rule::DistanceSum);
        if (c.value) {
            ASSERT_NE(flag, nullptr) << c.name;
            EXPECT_EQ(flag->ValueText(), c.value) << c.name;
        } else {
            EXPECT_EQ(flag, nullptr) << c.name;
        }
    }

    // 0.04 m per station prints 0.0, so 200 stations still sum to 0.0 in
    // the book although the unrounded differences add up to 8 m.
    const LineCheck small = Check(std::vector<Sights>(200, Back(80)), GradeSecond);
    EXPECT_EQ(small.FlaggedStations(), 0u);
}

TEST(CheckLine, EvenStationsOnlyWhereTheGradeRequiresIt) {
    const struct {
        LevellingGrade grade;
        std::size_t stations;
        bool flagged;
    } cases[] = {{GradeSecond, 1, true},  {GradeSecond, 2, false}, {GradeSecond, 3, true},
                 {GradeSecond, 0, false}, {GradeThird, 1, false},  {GradeFourth, 3, false}};
    for (const auto& c : cases) {
        const LineCheck check = Check(std::vector<Sights>(c.stations), c.grade);
        EXPECT_EQ(check.line.size(), c.flagged ? 1u : 0u) << c.grade << " " << c.stations;
        EXPECT_EQ(check.run.stations, c.stations);
    }
}

TEST(CheckLine, TightenedLimitsInTheLowerGradesReadingUnit) {
    // Third-order readings are 0.1 mm in the book: 0.55009 m reads 0.5500.
    LimitTable limits = BuiltInLimits();
    limits.Set(Rule::ReadingMin, GradeThird, Limit{true, 550'000, "ours"});
    limits.Set(Rule::SightMax, GradeThird, Limit{true, 40'000'500, "ours"});  // 40.0005 m
    EXPECT_TRUE(Check({{.f1 = 55009, .f2 = 55009}}, GradeThird, limits).stations[0].Passes());
    const LineCheck low = Check({{.f1 = 54999, .f2 = 54999}}, GradeThird, limits);
    ASSERT_EQ(low.stations[0].flags.size(), 1u);
    EXPECT_EQ(low.stations[0].flags[0].ValueText(), "0.5499");
    // A limit finer than the record: 40.000 m passes, 40.001 m does not.
    EXPECT_TRUE(Check({All(40000)}, GradeThird, limits).stations[0].Passes());
    EXPECT_NE(Find(Check({All(40001)}, GradeThird, limits).stations[0], Rule::SightMax), nullptr);
}

TEST(CheckLine, LeavesTheComputedStationsAndTheirRowsAsTheyWere) {
    // Every limit at zero: every station breaks every rule it can.
    LimitTable strict;
    for (Rule rule : kAllRules) {
        for (LevellingGrade grade : kLimitGrades) strict.Set(rule, grade, Limit{true, 0, "zero"});
    }
    strict.Set(Rule::SightMin, GradeSecond, Limit{true, 1'000'000'000'000'000, "huge"});
    const std::vector<Sights> stations{Back(3100), {.b1 = 280001, .f2 = 100}, Back(-900)};
    for (LevellingGrade grade : {GradeSecond, GradeThird, GradeFourth}) {
        const Line line = Compute(stations, grade);
        const std::vector<StationResult> before = line.computed;
        const LineCheck check = CheckLine(line.records, line.computed, grade, strict);
        EXPECT_EQ(check.FlaggedStations(), 3u);
        EXPECT_EQ(line.computed, before);

        // The rows of the report command from the same records are the rows
        // these checked stations make.
        const PreparedReport report = ComputeReport(line.records, grade, ReportHeader{});
        ASSERT_FALSE(report.stop);
        ASSERT_EQ(report.rows.observations.size(), before.size());
        for (std::size_t i = 0; i < before.size(); ++i) {
            StationResult formatted = line.computed[i];
            FormatStationColumns(formatted, grade);
            ObservationTable expected;
            AppendObservationRow(expected, std::move(formatted), static_cast<int>(i + 1));
            EXPECT_EQ(expected[0], report.rows.observations[i]);
        }
        EXPECT_EQ(check.run.LengthKm(), report.rows.totals.length);
    }
}

TEST(CheckLine, RecordsMustBeFourPerStation) {
    const Line line = Compute({Sights{}}, GradeSecond);
    const std::span<const SightRecord> three(line.records.data(), 3);
    EXPECT_THROW(CheckLine(three, line.computed, GradeSecond, BuiltInLimits()),
                 std::invalid_argument);
}

TEST(QualityTexts, TooltipRemarkSummaryAndFooter) {
    // Station 1: d 1.8 m; station 2 passes; station 3: one sight of 60 m and
    // one of 2 m (both 视距超限), and d beyond the limit.
    const LineCheck check =
        Check({Back(3600), Sights{}, {.db1 = 60000, .df1 = 2000}, Back(3600)}, GradeSecond);
    ASSERT_EQ(check.stations.size(), 4u);
    ASSERT_EQ(check.stations[0].flags.size(), 1u);
    EXPECT_EQ(FlagTooltip(check.stations[0].flags[0]), "视距差 1.8 m 超限（限差 1.5 m）");
    EXPECT_EQ(StationRemark(check.stations[0]), "视距差超限");
    EXPECT_EQ(StationRemark(check.stations[1]), "");
    EXPECT_EQ(StationTooltip(check.stations[2]),
              "视距 60 m 超限（限差 50 m）\n视距 2 m 超限（最小 3 m）\n"
              "视距差 29.0 m 超限（限差 1.5 m）\n视距累积差 30.8 m 超限（限差 6.0 m）");
    EXPECT_EQ(StationRemark(check.stations[2]), "视距超限，视距差超限，累积差超限");
    EXPECT_EQ(CheckSummary(check),
              "超限测站 3 个：视距超限 1 站，视距差超限 3 站，累积差超限 2 站");
    EXPECT_EQ(CheckFooter(check), "超限测站：3 个");

    const LineCheck odd = Check({Sights{}}, GradeSecond);
    EXPECT_EQ(CheckSummary(odd), "全部测站符合限差要求；测站数为奇数（应为偶数）");
    EXPECT_EQ(CheckFooter(odd), "全部测站符合限差要求");
}

TEST(QualityTexts, SummaryCountsAStationOnceUnderEachRemark) {
    const auto station = [](std::initializer_list<Rule> rules) {
        StationFlags s;
        for (const Rule r : rules) s.flags.push_back(Flag{r, 1000000, 0});
        return s;
    };
    const struct {
        std::vector<StationFlags> stations;
        const char* summary;
    } cases[] = {
        // Both reading limits and both sight limits share a remark.
        {{station({Rule::ReadingMin, Rule::ReadingMax}), station({Rule::SightMax, Rule::SightMin})},
         "超限测站 2 个：视距超限 1 站，视线高超限 1 站"},
        // Listed in rule order, not in the order the stations show them.
        {{station({Rule::DhDiff}),
          {},
          station({Rule::SightMin, Rule::DhDiff}),
          station({Rule::ReadingMax})},
         "超限测站 3 个：视距超限 1 站，视线高超限 1 站，高差之差超限 2 站"},
        {{{}, {}}, "全部测站符合限差要求"},
    };
    for (const auto& c : cases) {
        LineCheck check;
        check.stations = c.stations;
        EXPECT_EQ(CheckSummary(check), c.summary);
    }
}

RunSummary MakeRun(LevellingGrade grade, std::int64_t lengthDm, std::int64_t height,
                   std::string from = "A", std::string to = "B") {
    RunSummary run;
    run.grade = grade;
    run.lengthDm = lengthDm;
    run.height = height;
    run.from = std::move(from);
    run.to = std::move(to);
    return run;
}

TEST(CompareRuns, LimitDecidedExactlyAtItsEdge) {
    // Same-direction runs of equal length: W = ha - hb, K = length in km.
    const struct {
        const char* name;
        LevellingGrade grade;
        std::int64_t lengthDm;  // each run
        std::int64_t w;         // in the grade's height unit
        bool holds;
        const char* wText;
        const char* limit;
    } cases[] = {
        {"2nd K=1 at 4 mm", GradeSecond, 10000, 400, true, "4.0", "4.0"},
        {"2nd K=1 0.01 mm over", GradeSecond, 10000, 401, false, "4.01", "4.0"},
        {"2nd K=1 negative at", GradeSecond, 10000, -400, true, "-4.0", "4.0"},
        {"2nd K=1 negative over", GradeSecond, 10000, -401, false, "-4.01", "4.0"},
        // sqrt(1.21) in doubles is below 1.1: a floating comparison fails here.
        {"2nd K=1.21 at 4.4 mm", GradeSecond, 12100, 440, true, "4.4", "4.4"},
        {"2nd K=1.21 over", GradeSecond, 12100, 441, false, "4.41", "4.4"},
        {"2nd K=0.25 at 2 mm", GradeSecond, 2500, 200, true, "2.0", "2.0"},
        {"2nd K=2, 4√2=5.657", GradeSecond, 20000, 565, true, "5.65", "5.65"},
        {"2nd K=2 over", GradeSecond, 20000, 566, false, "5.66", "5.65"},
        {"3rd K=1 at 12 mm", GradeThird, 10000, 120, true, "12.0", "12.0"},
        {"3rd K=1 over", GradeThird, 10000, 121, false, "12.1", "12.0"},
        {"4th K=0.09 at 6 mm", GradeFourth, 900, 60, true, "6.0", "6.0"},
        {"4th K=0.09 over", GradeFourth, 900, 61, false, "6.1", "6.0"},
        {"no length: only W=0", GradeSecond, 0, 1, false, "0.01", "0.0"},
    };
    for (const auto& c : cases) {
        const RunComparison cmp =
            CompareRuns(MakeRun(c.grade, c.lengthDm, 100000 + c.w),
                        MakeRun(c.grade, c.lengthDm, 100000), Rule::RunsDiff, BuiltInLimits());
        EXPECT_FALSE(cmp.opposite) << c.name;
        EXPECT_TRUE(cmp.checked) << c.name;
        EXPECT_EQ(cmp.holds, c.holds) << c.name;
        EXPECT_EQ(cmp.w, c.wText) << c.name;
        EXPECT_EQ(cmp.limit, c.limit) << c.name;
        EXPECT_EQ(cmp.flag.has_value(), !c.holds) << c.name;
    }
}

TEST(CompareRuns, PairingByEndPointsAndSigns) {
    const struct {
        const char* name;
        RunSummary a, b;
        RunPairing pairing;
        bool opposite;
        const char* w;
    } cases[] = {
        {"go and back", MakeRun(0, 10000, 1000, "A", "B"), MakeRun(0, 10000, -1003, "B", "A"),
         RunPairing::Auto, true, "-0.03"},
        {"same start", MakeRun(0, 10000, 1000, "A", "B"), MakeRun(0, 10000, 997, "A", "C"),
         RunPairing::Auto, false, "0.03"},
        {"nothing shared, opposite signs", MakeRun(0, 10000, 1000, "A", "B"),
         MakeRun(0, 10000, -990, "C", "D"), RunPairing::Auto, true, "0.1"},
        {"nothing shared, same signs", MakeRun(0, 10000, 1000, "A", "B"),
         MakeRun(0, 10000, 990, "C", "D"), RunPairing::Auto, false, "0.1"},
        {"forced same way", MakeRun(0, 10000, 1000, "A", "B"), MakeRun(0, 10000, -1000, "B", "A"),
         RunPairing::SameDirection, false, "20.0"},
    };
    for (const auto& c : cases) {
        const RunComparison cmp = CompareRuns(c.a, c.b, Rule::RunsDiff, BuiltInLimits(), c.pairing);
        EXPECT_EQ(cmp.opposite, c.opposite) << c.name;
        EXPECT_EQ(cmp.w, c.w) << c.name;
    }
}

TEST(CompareRuns, RuleTheGradeLacksAndMismatchedUnits) {
    const RunComparison lr =
        CompareRuns(MakeRun(GradeSecond, 100, 5000), MakeRun(GradeSecond, 100, 0),
                    Rule::LeftRightDiff, BuiltInLimits());
    EXPECT_FALSE(lr.checked);
    EXPECT_TRUE(lr.holds);
    EXPECT_EQ(lr.limit, "-");
    EXPECT_FALSE(lr.flag);

    const RunComparison lr3 =
        CompareRuns(MakeRun(GradeThird, 10000, 81), MakeRun(GradeThird, 10000, 0),
                    Rule::LeftRightDiff, BuiltInLimits());
    ASSERT_TRUE(lr3.flag);
    EXPECT_EQ(FlagTooltip(*lr3.flag), "左右路线高差不符值 8.1 mm 超限（限差 8.0 mm）");

    EXPECT_THROW(CompareRuns(MakeRun(GradeSecond, 1, 0), MakeRun(GradeThird, 1, 0), Rule::RunsDiff,
                             BuiltInLimits()),
                 std::invalid_argument);
    EXPECT_THROW(CompareRuns(MakeRun(GradeThird, 1, 0), MakeRun(GradeThird, 1, 0), Rule::DhDiff,
                             BuiltInLimits()),
                 std::invalid_argument);
}

TEST(CompareRuns, RunSummaryFromTheBookColumns) {
    // Two worked stations: 253 + 249 dm each, sH 58028 (10^-5 m) each.
    const SightRecord worked[4]{{"A", "B", 123456, 25310},
                                {"1", "F", 65432, 24870},
                                {"1", "F", 65429, 24880},
                                {"A", "B", 123461, 25320}};
    double sigma = 0.0;
    std::vector<StationResult> computed;
    for (int i = 0; i < 2; ++i) computed.push_back(ComputeStation(worked, GradeSecond, sigma));
    const RunSummary run = SummarizeRun(computed, GradeSecond);
    EXPECT_EQ(run.lengthDm, 1004);
    EXPECT_EQ(run.height, 116056);
    EXPECT_EQ(run.HeightMetres(), "1.16056");
    EXPECT_EQ(run.from, "A");
    EXPECT_EQ(run.to, "1");
}

TEST(DualRunPartner, NamesTheOtherHalf) {
    EXPECT_EQ(DualRunPartner("12(R)"), "12(L)");
    EXPECT_EQ(DualRunPartner("BM-3(L)"), "BM-3(R)");
    EXPECT_EQ(DualRunPartner("(R)"), "(L)");
    EXPECT_EQ(DualRunPartner("12"), std::nullopt);
    EXPECT_EQ(DualRunPartner("12(R) "), std::nullopt);
}

}  // namespace
}  // namespace lorvex
