// Computing a long levelling line in memory: stations, totals, display
// formatting and the table rows, without the database.

#include <benchmark/benchmark.h>

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "levelling/report_command.h"
#include "levelling/station.h"
#include "levelling/totals.h"
#include "session/levelling_session.h"

namespace {

constexpr std::size_t kStations = 100000;

// A plausible second-order line: BFFB and FBBF stations alternating, with
// readings and distances that vary from station to station.
std::vector<lorvex::SightRecord> MakeLine(std::size_t stations) {
    std::vector<lorvex::SightRecord> records;
    records.reserve(stations * 4);
    for (std::size_t i = 0; i < stations; ++i) {
        const std::string back = "BM" + std::to_string(i);
        const std::string fore = "BM" + std::to_string(i + 1);
        const auto v = static_cast<std::int32_t>(i % 977);
        const lorvex::SightRecord b1{back, "B", 123456 + v, 25310 + v};
        const lorvex::SightRecord f1{fore, "F", 65432 - v, 24870 + 2 * v};
        const lorvex::SightRecord f2{fore, "F", 65429 - v, 24880 + 2 * v};
        const lorvex::SightRecord b2{back, "B", 123461 + v, 25320 + v};
        if (i % 2 == 0) {
            records.insert(records.end(), {b1, f1, f2, b2});
        } else {
            records.insert(records.end(), {f1, b1, b2, f2});
        }
    }
    return records;
}

// As the report command does it: each station is counted into the totals
// before its display formatting, then moved into its row.
lorvex::ResultRow ComputeLine(std::span<const lorvex::SightRecord> line,
                              lorvex::LevellingGrade grade, lorvex::ObservationTable& rows) {
    const lorvex::ReportHeader header;
    const std::size_t stations = line.size() / 4;
    rows.reserve(stations);
    lorvex::LineTotalsSum sum;
    double sigma = 0.0;
    for (std::size_t i = 0; i < stations; ++i) {
        lorvex::StationResult station =
            lorvex::ComputeStation(line.subspan(4 * i).first<4>(), grade, sigma);
        sum.Add(station);
        lorvex::FormatStationColumns(station, grade);
        lorvex::AppendObservationRow(rows, std::move(station), static_cast<int>(i + 1));
    }
    return lorvex::MakeResultRow(header, sum.Totals(grade));
}

// Fresh rows every time, as one run of the command has them: the time
// includes the kernel's first touch of the rows' storage (about 18 MB).
void BM_ComputeLine(benchmark::State& state) {
    const auto grade = static_cast<lorvex::LevellingGrade>(state.range(0));
    const std::vector<lorvex::SightRecord> line = MakeLine(kStations);
    for (auto _ : state) {
        lorvex::ObservationTable rows;
        const lorvex::ResultRow result = ComputeLine(line, grade, rows);
        benchmark::DoNotOptimize(result);
        benchmark::DoNotOptimize(rows);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kStations));
}
BENCHMARK(BM_ComputeLine)
    ->Arg(lorvex::GradeSecond)
    ->Arg(lorvex::GradeThird)
    ->Unit(benchmark::kMillisecond);

// The computation alone: the row storage is kept from one run to the next.
void BM_ComputeLineWarmRows(benchmark::State& state) {
    const auto grade = static_cast<lorvex::LevellingGrade>(state.range(0));
    const std::vector<lorvex::SightRecord> line = MakeLine(kStations);
    lorvex::ObservationTable rows;
    for (auto _ : state) {
        rows.clear();
        const lorvex::ResultRow result = ComputeLine(line, grade, rows);
        benchmark::DoNotOptimize(result);
        benchmark::DoNotOptimize(rows);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kStations));
}
BENCHMARK(BM_ComputeLineWarmRows)
    ->Arg(lorvex::GradeSecond)
    ->Arg(lorvex::GradeThird)
    ->Unit(benchmark::kMillisecond);

// The whole report preparation from data-list rows: parsing the rows, the
// pattern check and everything above.
void BM_PrepareReport(benchmark::State& state) {
    const std::vector<lorvex::SightRecord> records = MakeLine(kStations);
    std::vector<std::string> rows;
    rows.reserve(records.size());
    for (const lorvex::SightRecord& r : records) {
        rows.push_back(r.PointId + " " + r.SightCode + " " + std::to_string(r.Reading / 100000.0) +
                       " " + std::to_string(r.Distance / 1000.0) + " 0 0 1");
    }
    const std::vector<std::string_view> views(rows.begin(), rows.end());
    const lorvex::ReportHeader header;
    for (auto _ : state) {
        lorvex::PreparedReport out = lorvex::PrepareReport(1, views, lorvex::GradeSecond, header);
        benchmark::DoNotOptimize(out.rows.observations);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kStations));
}
BENCHMARK(BM_PrepareReport)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
