#include "session/levelling_session.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace lorvex {
namespace {

using Rows = std::vector<std::string>;

// Data-list rows as the session hands them over: views of texts held here.
std::vector<std::string_view> Views(const Rows& rows) { return {rows.begin(), rows.end()}; }

const UserMessage kInvalidArgument{"遇到不适当的参数。", MessageIcon::Stop};
const UserMessage kNoLines{"没有线路数据，请导入！", MessageIcon::Warning};
const UserMessage kNoRecords{"没有测量数据，请选择线路名称！", MessageIcon::Warning};
const UserMessage kBadStations{"数据中有非线路测量的数据或测站数据不完整，请检查！",
                               MessageIcon::Warning};

// One data-list row as the reader lists it: seven fields.
std::string Row(const std::string& id, const std::string& code, const std::string& reading,
                const std::string& distance) {
    return id + " " + code + " " + reading + " " + distance + " 0 0 1";
}

// A back-fore-fore-back station between points back and fore.
Rows BffbStation(const std::string& back, const std::string& fore) {
    return {Row(back, "B", "1.23456", "25.310"), Row(fore, "F", "0.65432", "24.870"),
            Row(fore, "F", "0.65429", "24.880"), Row(back, "B", "1.23461", "25.320")};
}

Rows Concat(std::initializer_list<Rows> parts) {
    Rows all;
    for (const Rows& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

ReportHeader SampleHeader() {
    ReportHeader h;
    h.sStationStGo = "BM1";
    h.sStationEnGo = "BM2";
    h.sWeather = "晴";
    h.sHourSt = "8";
    return h;
}

TEST(PrepareReport, StopsWithTheFirstFailedCheck) {
    const Rows good = BffbStation("A", "1");
    const struct {
        const char* name;
        std::size_t lineCount;
        Rows rows;
        LevellingGrade grade;
        UserMessage message;
    } cases[] = {
        {"nothing imported", 0, good, GradeSecond, kNoLines},
        {"nothing imported, nothing shown", 0, {}, GradeSecond, kNoLines},
        {"no line shown", 3, {}, GradeSecond, kNoRecords},
        {"malformed row", 1, Concat({good, {"PtID"}}), GradeSecond, kInvalidArgument},
        {"malformed row before the count check",
         1,
         {good[0], "A B 1"},
         GradeSecond,
         kInvalidArgument},
        {"six records", 1, Concat({good, {good[0], good[1]}}), GradeSecond, kBadStations},
        {"six records, no grade", 1, Concat({good, {good[0], good[1]}}), GradeNone, kBadStations},
        {"first station breaks the pattern", 1, BffbStation("A", "1"), GradeFourth, kBadStations},
        {"third station breaks the pattern", 1,
         Concat({good, good, {good[0], good[1], good[1], good[1]}}), GradeThird, kBadStations},
        // The stations are computed as the rows are read: a malformed row
        // further down still wins over a station already found broken or a
        // station left incomplete.
        {"malformed row after a broken station", 1, Concat({good, {"A B 1"}}), GradeFourth,
         kInvalidArgument},
        {"malformed row after an incomplete station", 1, Concat({good, {good[0], "A"}}),
         GradeSecond, kInvalidArgument},
        {"malformed last row after whole stations", 1, Concat({good, good, {"A B 1"}}), GradeSecond,
         kInvalidArgument},
    };
    for (const auto& c : cases) {
        const PreparedReport out =
            PrepareReport(c.lineCount, Views(c.rows), c.grade, SampleHeader());
        ASSERT_TRUE(out.stop.has_value()) << c.name;
        EXPECT_EQ(*out.stop, c.message) << c.name;
        EXPECT_TRUE(out.rows.observations.empty()) << c.name;
    }
}

TEST(PrepareReport, ComputesEveryStationOfTheLine) {
    // Station 2 breaks the second-order pattern; only odd stations are
    // tested, so both are computed. Header and blank rows are skipped.
    const Rows rows =
        Concat({{"PtID Code Reading Dist", ""},
                BffbStation("A", "1"),
                {"  "},
                {Row("1", "B", "1.23456", "25.310"), Row("X", "F", "0.65432", "24.870"),
                 Row("Y", "F", "0.65429", "24.880"), Row("2", "B", "1.23461", "25.320")}});
    const ReportHeader header = SampleHeader();
    const PreparedReport out = PrepareReport(1, Views(rows), GradeSecond, header);
    ASSERT_FALSE(out.stop.has_value());
    const ReportRows& r = out.rows;
    EXPECT_EQ(r.grade, GradeSecond);
    EXPECT_EQ(r.info, header);

    ASSERT_EQ(r.observations.size(), 2u);
    const ObservationRow first{"1",      "253",     "249",     "0.4", "0.4", "1234 56",
                               "654 32", "1234 61", "654 29",  "-5",  "+3",  "-8",
                               "580 24", "580 32",  "0580 28", "A",   "1"};
    EXPECT_EQ(r.observations[0], first);
    EXPECT_EQ(r.observations[1].sStation, "2");
    EXPECT_EQ(r.observations[1].sSigma_d, "0.8");  // carried across stations
    EXPECT_EQ(r.observations[1].sTarget_Back, "2");
    EXPECT_EQ(r.observations[1].sTarget_Fore, "Y");

    // Totals from the unformatted texts: 2 x (253 + 249) dm, 2 x 58028 10^-5 m.
    EXPECT_DOUBLE_EQ(r.totals.length, 0.1004);
    EXPECT_DOUBLE_EQ(r.totals.heightDifference, 1.16056);
    EXPECT_EQ(r.result.sStationSt, "BM1");
    EXPECT_EQ(r.result.sStationEn, "BM2");
    EXPECT_EQ(r.result.dDis_Go, r.totals.length);
    EXPECT_EQ(r.result.dDis_Back, r.totals.length);
    EXPECT_EQ(r.result.HeightAvg, r.totals.heightDifference);
    EXPECT_FALSE(r.result.HeightAvg_Go.has_value());
    EXPECT_FALSE(r.result.HeightAvg_Back.has_value());

    // A second run starts its running sum afresh.
    const PreparedReport again = PrepareReport(1, Views(rows), GradeSecond, header);
    EXPECT_EQ(again.rows.observations, r.observations);
}

TEST(PrepareReport, NoGradeComputesAsFourthOrderWithoutPatternTest) {
    // Point IDs that would fail every pattern.
    const Rows rows{Row("A", "B", "1.23456", "25.310"), Row("B", "B", "1.23461", "25.320"),
                    Row("C", "F", "0.65432", "24.870"), Row("D", "F", "0.65429", "24.880")};
    const PreparedReport none = PrepareReport(1, Views(rows), GradeNone, {});
    ASSERT_FALSE(none.stop.has_value());
    ASSERT_EQ(none.rows.observations.size(), 1u);
    EXPECT_EQ(none.rows.observations[0].sBack_I, "12 345");
    EXPECT_EQ(none.rows.observations[0].sH, "0 5803");
    EXPECT_DOUBLE_EQ(none.rows.totals.heightDifference, 0.5803);

    const PreparedReport fourth = PrepareReport(1, Views(rows), GradeFourth, {});
    EXPECT_EQ(fourth.stop, kBadStations);
}

TEST(PrepareReport, OnlySkippedRowsGiveEmptyTotals) {
    const Rows rows{"", "PtID Code", "   ", "XPtIDY 1 2 3"};
    const PreparedReport out = PrepareReport(2, Views(rows), GradeThird, SampleHeader());
    ASSERT_FALSE(out.stop.has_value());
    EXPECT_TRUE(out.rows.observations.empty());
    EXPECT_EQ(out.rows.info, SampleHeader());
    EXPECT_EQ(out.rows.result.dDis_Go, 0.0);
    EXPECT_EQ(out.rows.result.dDis_Back, 0.0);
    EXPECT_EQ(out.rows.result.HeightAvg, 0.0);
    EXPECT_EQ(out.rows.result.sStationSt, "BM1");
}

}  // namespace
}  // namespace lorvex
