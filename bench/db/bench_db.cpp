// Times the writing of a report's three tables through the data source "Qel"
// in a private temporary data folder: the whole report in one transaction
// over one connection, beside the old way of one connection per row on the
// same database.
//
//   bench_db [stations (10000)] [rows for the per-row way (1000)]

#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "db/data_source.h"
#include "db/install.h"
#include "db/report_store.h"
#include "db/table_reader.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace lorvex;

struct CountingSink final : MessageSink {
    int shown = 0;
    void Show(const UserMessage& m) override {
        if (++shown <= 3) std::fprintf(stderr, "message: %s\n", m.text.c_str());
    }
};

ReportRows MakeReport(int stations) {
    ReportRows rows;
    rows.grade = GradeSecond;
    rows.info.sStationStGo = "BM01";
    rows.info.sStationEnGo = "BM02";
    rows.info.sWeather = "晴";
    rows.result = {"BM01", "BM02", 20.08, 20.08, std::nullopt, std::nullopt, 1.23456};
    auto point = [](int n) {
        std::string id = "P";
        id += std::to_string(n);
        return id;
    };
    for (int s = 1; s <= stations; ++s) {
        ObservationRow row{std::to_string(s), "253",       "249",     "4",       "12",
                           "1 45678",         "1 23456",   "4 60832", "4 38610", "22222",
                           "22222",           "0",         "22222",   "22222",   "2 2222",
                           point(s),          point(s + 1)};
        rows.observations.push_back(std::move(row));
    }
    return rows;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
    const int stations = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int perRowSample = argc > 2 ? std::atoi(argv[2]) : 1000;

    char pattern[] = "/tmp/lorvex-bench-db-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    const fs::path root = pattern;
    setenv("ODBCINI", (root / "odbc.ini").c_str(), 1);
    setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
    db::InstallData(fs::path(LORVEX_SOURCE_DIR) / "resources", false);
    std::string error;
    if (!db::RegisterDataSource(&error)) {
        std::fprintf(stderr, "cannot register the data source: %s\n", error.c_str());
        return 1;
    }

    CountingSink sink;
    const ReportRows report = MakeReport(stations);

    // One connection, one transaction, prepared inserts; best of three.
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        const auto start = Clock::now();
        if (db::WriteReportTables(report, sink) != db::WriteOutcome::Written) return 1;
        best = std::min(best, Seconds(Clock::now() - start));
    }
    const auto written = db::ReadTable("Qel", "Observation_tbl").rows.size();
    std::printf("one transaction:         %6d stations in %8.1f ms  (%6.1f us a row)\n", stations,
                best * 1e3, best * 1e6 / (stations + 2));
    if (written != static_cast<std::size_t>(stations)) {
        std::fprintf(stderr, "expected %d rows, found %zu\n", stations, written);
        return 1;
    }

    // One connection per row, no transaction, on the same database. The
    // emptying deletes the rows left by the runs above one by one.
    const auto emptyStart = Clock::now();
    if (!db::EmptyTables(sink)) return 1;
    const double emptying = Seconds(Clock::now() - emptyStart);
    const auto start = Clock::now();
    bool ok = db::AppendInfoRow(report.info, sink) && db::AppendResultRow(report.result, sink);
    for (int s = 0; ok && s < perRowSample && s < stations; ++s) {
        ok = db::AppendObservationRow(report.observations[static_cast<std::size_t>(s)], sink);
    }
    if (!ok) return 1;
    const double perRow = Seconds(Clock::now() - start) / (std::min(perRowSample, stations) + 2);
    std::printf("one connection per row:  %6d rows     in %8.1f ms  (%6.1f us a row)\n",
                std::min(perRowSample, stations) + 2,
                perRow * (std::min(perRowSample, stations) + 2) * 1e3, perRow * 1e6);
    std::printf("  emptying %d rows row by row: %.1f ms\n", stations + 2, emptying * 1e3);
    std::printf("  %d stations that way: about %.1f s; one transaction is %.0fx faster\n", stations,
                perRow * (stations + 2) + emptying, (perRow * (stations + 2) + emptying) / best);

    std::error_code ignored;
    fs::remove_all(root, ignored);
    return sink.shown == 0 ? 0 : 1;
}
