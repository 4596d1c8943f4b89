// The limit checks the session computes beside the report: they never change
// the rows, and the data rows of a flagged station are found whatever blank
// or header rows the list holds.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "levelling/totals.h"
#include "session/levelling_session.h"

namespace lorvex {
namespace {

using Rows = std::vector<std::string>;

// Data-list rows as the session hands them over: views of texts held here.
std::vector<std::string_view> Views(const Rows& rows) { return {rows.begin(), rows.end()}; }

std::string Row(const std::string& id, const std::string& code, const std::string& reading,
                const std::string& distance) {
    return id + " " + code + " " + reading + " " + distance + " 0 0 1";
}

// A back-fore-fore-back station; distances in metres.
Rows Station(const std::string& back, const std::string& fore, const std::string& backDistance,
             const std::string& foreDistance, const std::string& foreReading = "0.65432") {
    return {Row(back, "B", "1.23456", backDistance), Row(fore, "F", foreReading, foreDistance),
            Row(fore, "F", foreReading, foreDistance), Row(back, "B", "1.23461", backDistance)};
}

Rows Concat(std::initializer_list<Rows> parts) {
    Rows all;
    for (const Rows& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

std::vector<std::string> Texts(const ReportRows& rows) {
    std::vector<std::string> texts;
    for (const ObservationRow& row : rows.observations) {
        for (const auto& field : kObservationRowFields) texts.push_back(row.*(field.member));
    }
    texts.push_back(rows.result.sStationSt + "|" + rows.result.sStationEn);
    return texts;
}

TEST(QualitySession, ChecksLeaveEveryRowAsItIsWithout) {
    // Stations that break the second-order limits in every way the rows
    // show: long sights, d and Σd, low and high readings, an odd count.
    const std::vector<Rows> lines = {
        Concat({Station("A", "B", "25.31", "24.87"), Station("B", "C", "25.00", "25.00")}),
        Concat({Station("A", "B", "60.00", "52.00"), Station("B", "C", "2.50", "9.80"),
                Station("C", "D", "44.00", "40.00", "0.40000")}),
        Concat({Station("A", "B", "30.00", "30.00", "2.90000")}),
    };
    for (const LevellingGrade grade : {GradeSecond, GradeThird, GradeFourth, GradeNone}) {
        for (const Rows& rows : lines) {
            const PreparedReport plain = PrepareReport(1, Views(rows), grade, ReportHeader{});
            const PreparedReport checked =
                PrepareReport(1, Views(rows), grade, ReportHeader{}, BuiltInLimits());
            ASSERT_EQ(plain.stop.has_value(), checked.stop.has_value());
            if (plain.stop) continue;
            EXPECT_FALSE(plain.check);
            ASSERT_TRUE(checked.check);
            EXPECT_EQ(checked.check->stations.size(), checked.rows.observations.size());
            EXPECT_EQ(Texts(plain.rows), Texts(checked.rows));
            EXPECT_EQ(plain.rows.totals.length, checked.rows.totals.length);
            EXPECT_EQ(plain.rows.result.HeightAvg, checked.rows.result.HeightAvg);
        }
    }
}

TEST(QualitySession, StoppedReportsCarryNoCheck) {
    const Rows broken = Concat({Station("A", "B", "25", "25")});
    const PreparedReport stopped = PrepareReport(1, Views(Rows(broken.begin(), broken.begin() + 3)),
                                                 GradeSecond, ReportHeader{}, BuiltInLimits());
    ASSERT_TRUE(stopped.stop);
    EXPECT_FALSE(stopped.check);
}

}  // namespace
}  // namespace lorvex
