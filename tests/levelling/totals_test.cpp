#include "levelling/totals.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

namespace lorvex {
namespace {

// The totals of stations added in line order.
LineTotals SumOf(const std::vector<StationResult>& stations, LevellingGrade grade) {
    LineTotalsSum sum;
    for (const StationResult& s : stations) sum.Add(s);
    return sum.Totals(grade);
}

StationResult WithTotals(const char* disBack, const char* disFore, const char* h) {
    StationResult s;
    s.sDis_Back = disBack;
    s.sDis_Fore = disFore;
    s.sH = h;
    return s;
}

TEST(LineTotalsSum, SumsTheStoredTexts) {
    const struct {
        const char* name;
        std::vector<StationResult> stations;
        LevellingGrade grade;
        double length;
        double height;
    } cases[] = {
        {"two stations of 253 + 249 dm",
         {WithTotals("253", "249", "0"), WithTotals("253", "249", "0")},
         GradeSecond,
         0.1004,
         0.0},
        {"second order heights in 10^-5 m",
         {WithTotals("0", "0", "58028")},
         GradeSecond,
         0.0,
         0.58028},
        {"third order heights in 10^-4 m", {WithTotals("0", "0", "5803")}, GradeThird, 0.0, 0.5803},
        {"no grade as fourth order", {WithTotals("0", "0", "5803")}, GradeNone, 0.0, 0.5803},
        {"rounded distances add as rounded: 2 x 24.96 m back",
         {WithTotals("250", "0", "0"), WithTotals("250", "0", "0")},
         GradeFourth,
         0.05,
         0.0},
        {"negative heights",
         {WithTotals("1", "2", "-100"), WithTotals("3", "4", "-23")},
         GradeSecond,
         0.001,
         -0.00123},
        {"no stations", {}, GradeSecond, 0.0, 0.0},
    };
    for (const auto& c : cases) {
        const LineTotals t = SumOf(c.stations, c.grade);
        EXPECT_DOUBLE_EQ(t.length, c.length) << c.name;
        EXPECT_DOUBLE_EQ(t.heightDifference, c.height) << c.name;
    }
}

TEST(LineTotalsSum, FromComputedStations) {
    // Mean back distance 24.96 m (text 250 dm) at both stations: the line
    // gets 50.0 m of back distance, not 49.92 m.
    const std::array<SightRecord, 4> station{{
        {"A", "B", 150000, 24950},
        {"A", "B", 150000, 24970},
        {"1", "F", 100000, 30000},
        {"1", "F", 100000, 30000},
    }};
    double sigma = 0.0;
    const std::vector<StationResult> stations{ComputeStation(station, GradeFourth, sigma),
                                              ComputeStation(station, GradeFourth, sigma)};
    ASSERT_EQ(stations[0].sDis_Back, "250");
    ASSERT_EQ(stations[0].sDis_Fore, "300");
    const LineTotals t = SumOf(stations, GradeFourth);
    EXPECT_DOUBLE_EQ(t.length, (250 + 300) * 2 / 10000.0);
    EXPECT_DOUBLE_EQ(t.heightDifference, 2 * 5000 / 10000.0);
}

TEST(AppendObservationRow, EveryColumnTakesTheFieldOfItsName) {
    // Each station field holds its own name, so a swapped column shows.
    StationResult s{
        "sBack_I",   "sBack_II",  "sFore_Back_I", "sFore_I",      "sFore_II",   "sFore_Back_II",
        "sDis_Back", "sDis_Fore", "sFBI_Height",  "sFBII_Height", "sFore_Back", "sDistance_Error",
        "sSigma_d",  "sH",        "sTarget_Back", "sTarget_Fore"};
    ObservationTable appended;
    AppendObservationRow(appended, StationResult(s), 12);
    ASSERT_EQ(appended.size(), 1u);
    const ObservationRow copied = appended[0];

    std::set<std::string> names;
    for (const auto& field : kObservationRowFields) {
        names.insert(field.name);
        if (std::string(field.name) == "sStation") {
            EXPECT_EQ(copied.*field.member, "12");
        } else {
            EXPECT_EQ(copied.*field.member, field.name);
        }
    }
    EXPECT_EQ(names.size(), kObservationRowFields.size());
    EXPECT_STREQ(kObservationRowFields.front().name, "sStation");
    EXPECT_STREQ(kObservationRowFields.back().name, "sTarget_Fore");
}

// Rows whose texts are empty, long (past any small-string buffer) or Chinese
// come back whole and in place, whichever way they went in, and a text
// boundary moved by one character makes another table.
TEST(ObservationTable, RowsComeBackAsTheyWentIn) {
    const auto rowOf = [](auto text) {
        ObservationRow row;
        for (const auto& field : kObservationRowFields) row.*field.member = text(field.name);
        return row;
    };
    const ObservationRow rows[] = {
        rowOf([](std::string name) { return name; }),
        rowOf([](std::string) { return std::string(); }),
        rowOf([](std::string name) { return "高差 " + name + std::string(300, '9'); }),
    };
    ObservationTable table;
    table.reserve(1);  // too little: the texts must survive the buffer growing
    for (const ObservationRow& row : rows) table.push_back(row);
    StationResult fourth;
    fourth.sTarget_Fore = "BM2";
    AppendObservationRow(table, std::move(fourth), 4);

    ASSERT_EQ(table.size(), 4u);
    for (std::size_t r = 0; r < 3; ++r) {
        EXPECT_EQ(table[r], rows[r]) << r;
        for (std::size_t c = 0; c < kObservationRowFields.size(); ++c)
            EXPECT_EQ(table.Text(r, c), rows[r].*kObservationRowFields[c].member) << r << " " << c;
    }
    EXPECT_EQ(table[3].sStation, "4");
    EXPECT_EQ(table[3].sH, "");
    EXPECT_EQ(table[3].sTarget_Fore, "BM2");
    std::size_t iterated = 0;
    for (const ObservationRow& row : table) EXPECT_EQ(row, table[iterated++]);
    EXPECT_EQ(iterated, table.size());

    ObservationRow ab, bc;
    ab.sStation = "ab";
    ab.sDis_Back = "c";
    bc.sStation = "a";
    bc.sDis_Back = "bc";
    ObservationTable first, second;
    first.push_back(ab);
    second.push_back(bc);
    EXPECT_NE(first, second);
    second.clear();
    second.push_back(ab);
    EXPECT_EQ(first, second);
}

}  // namespace
}  // namespace lorvex
