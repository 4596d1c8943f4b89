// What the limit checks add to computing a long line: 100,000 stations
// computed as the report command computes them (stations, totals, display
// formatting, rows), then the same with every station checked as it is
// computed, and the checks alone over stations already computed. Prints the
// times and the ratio from one run. Run a Release build.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "levelling/limits.h"
#include "levelling/quality_check.h"
#include "levelling/station.h"
#include "levelling/totals.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kStations = 100000;
constexpr int kRounds = 7;

double Millis(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// A line: BFFB and FBBF stations alternating in second order, BFFB below. d wanders
// between -0.6 and +0.6 m and comes back, so Σd stays small; two stations
// in a thousand break the distance difference (1.8 m, then -1.8 m back).
// With `wild`, sights grow to 54 m and Σd runs away: nearly every station
// breaks a limit, the worst case for the checks.
std::vector<lorvex::SightRecord> MakeLine(std::size_t stations, bool wild, bool second) {
    std::vector<lorvex::SightRecord> records;
    records.reserve(stations * 4);
    for (std::size_t i = 0; i < stations; ++i) {
        const std::string back = "BM" + std::to_string(i);
        const std::string fore = "BM" + std::to_string(i + 1);
        const auto v = static_cast<std::int32_t>(i % 977);
        const auto k = static_cast<std::int32_t>(i % 7);
        std::int32_t db = 20000 + 20 * v + 100 * k, df = 20000 + 20 * v + 100 * (6 - k);
        if (i % 1000 == 0) db += 1800;
        if (i % 1000 == 1) df += 1800;
        if (wild) {
            db = 25310 + 30 * v;
            df = 24870 + 30 * v;
        }
        const lorvex::SightRecord b1{back, "B", 123456 + v, db};
        const lorvex::SightRecord f1{fore, "F", 65432 - v, df};
        const lorvex::SightRecord f2{fore, "F", 65429 - v, df + 10};
        const lorvex::SightRecord b2{back, "B", 123461 + v, db + 10};
        if (!second || i % 2 == 0) {
            records.insert(records.end(), {b1, f1, f2, b2});
        } else {
            records.insert(records.end(), {f1, b1, b2, f2});
        }
    }
    return records;
}

// As the report command computes a line; with a checker, each station is
// also checked right after it is computed, before its display formatting.
lorvex::ResultRow ComputeLine(std::span<const lorvex::SightRecord> line,
                              lorvex::LevellingGrade grade, lorvex::ObservationTable& rows,
                              lorvex::LineChecker* checker) {
    const std::size_t stations = line.size() / 4;
    rows.reserve(stations);
    if (checker) checker->Reserve(stations);
    lorvex::LineTotalsSum sum;
    double sigma = 0.0;
    for (std::size_t i = 0; i < stations; ++i) {
        const auto records = line.subspan(4 * i).first<4>();
        lorvex::StationResult station = lorvex::ComputeStation(records, grade, sigma);
        sum.Add(station);
        if (checker) checker->Add(records, station);
        lorvex::FormatStationColumns(station, grade);
        lorvex::AppendObservationRow(rows, std::move(station), static_cast<int>(i + 1));
    }
    return lorvex::MakeResultRow(lorvex::ReportHeader{}, sum.Totals(grade));
}

void Measure(const char* name, const std::vector<lorvex::SightRecord>& line,
             lorvex::LevellingGrade grade) {
    const lorvex::LimitTable& limits = lorvex::BuiltInLimits();
    double compute = 1e300, withCheck = 1e300, checkAlone = 1e300;
    std::size_t flagged = 0;
    for (int round = 0; round < kRounds; ++round) {
        {
            lorvex::ObservationTable rows;
            const auto start = Clock::now();
            const lorvex::ResultRow result = ComputeLine(line, grade, rows, nullptr);
            compute = std::min(compute, Millis(Clock::now() - start));
            if (rows.size() != kStations || result.dDis_Go <= 0) std::exit(1);
        }
        {
            lorvex::ObservationTable rows;
            const auto start = Clock::now();
            lorvex::LineChecker checker(grade, limits);
            const lorvex::ResultRow result = ComputeLine(line, grade, rows, &checker);
            const lorvex::LineCheck check = std::move(checker).Finish();
            withCheck = std::min(withCheck, Millis(Clock::now() - start));
            if (rows.size() != kStations || result.dDis_Go <= 0) std::exit(1);
            flagged = check.FlaggedStations();
        }
    }
    // The checks alone, over stations kept from one computation (how a
    // front end that holds the computed stations would call them).
    std::vector<lorvex::StationResult> computed;
    computed.reserve(kStations);
    double sigma = 0.0;
    for (std::size_t i = 0; i < kStations; ++i) {
        computed.push_back(lorvex::ComputeStation(
            std::span<const lorvex::SightRecord>(line).subspan(4 * i).first<4>(), grade, sigma));
    }
    for (int round = 0; round < kRounds; ++round) {
        const auto start = Clock::now();
        const lorvex::LineCheck check = lorvex::CheckLine(line, computed, grade, limits);
        checkAlone = std::min(checkAlone, Millis(Clock::now() - start));
        if (check.stations.size() != kStations) std::exit(1);
    }
    std::printf(
        "%-28s compute %6.1f ms | compute+check %6.1f ms (%+5.1f%%) | CheckLine alone %5.1f ms "
        "(%4.1f%% of compute) | %zu stations flagged\n",
        name, compute, withCheck, 100.0 * (withCheck - compute) / compute, checkAlone,
        100.0 * checkAlone / compute, flagged);
}

}  // namespace

int main() {
    std::printf("%zu stations, best of %d rounds (compute and compute+check interleaved)\n",
                kStations, kRounds);
    Measure("second order", MakeLine(kStations, false, true), lorvex::GradeSecond);
    Measure("third order", MakeLine(kStations, false, false), lorvex::GradeThird);
    Measure("second order, all flagged", MakeLine(kStations, true, true), lorvex::GradeSecond);
    return 0;
}
