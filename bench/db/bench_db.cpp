// Times the writing of a report's three tables through the data source "Qel"
// in a private temporary data folder: the whole report in one transaction
// with the stations inserted in batches, beside the same transaction with one
// INSERT a station (the baseline, taken in the same run, runs interleaved),
// and the old way of one connection per row on the same database.
//
//   bench_db [stations (10000)] [rows for the per-row way (1000)] [runs (7)]

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "db/data_source.h"
#include "db/install.h"
#include "db/odbc.h"
#include "db/record_sets.h"
#include "db/report_archive.h"
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

// The baseline: the same all-or-nothing write with one prepared INSERT
// executed per station, as the tables were written before batching.
void WriteOneInsertAStation(const ReportRows& rows) {
    db::CDatabase database;
    database.Open(std::string(db::kConnectString));
    db::Transaction transaction(database, db::BeginWriteStatement());
    db::COrObservationSet observations(&database);
    db::COrInfoSet info(&database);
    db::COrResultSet result(&database);
    for (db::CRecordset* set :
         {static_cast<db::CRecordset*>(&observations), static_cast<db::CRecordset*>(&info),
          static_cast<db::CRecordset*>(&result)}) {
        set->Open(db::CRecordset::dynaset, {}, db::CRecordset::appendOnly);
        database.ExecuteSQL("DELETE FROM " + set->GetDefaultSQL());
    }
    info.AddNew();
    info.Assign(rows.info);
    info.Update();
    result.AddNew();
    result.Assign(rows.result);
    result.Update();
    for (const ObservationRow& row : rows.observations) {
        observations.AddNew();
        observations.Assign(row);
        observations.Update();
    }
    transaction.Commit();
}

struct Spread {
    double min, median, max;
};

Spread Of(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return {v.front(), v[v.size() / 2], v.back()};
}

}  // namespace

int main(int argc, char** argv) {
    const int stations = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int perRowSample = argc > 2 ? std::atoi(argv[2]) : 1000;
    const int runs = std::max(1, argc > 3 ? std::atoi(argv[3]) : 7);

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

    // One connection, one transaction: batched inserts against one INSERT a
    // station, interleaved so that both see the same load on the machine.
    std::vector<double> batched, single;
    for (int run = 0; run < runs; ++run) {
        auto start = Clock::now();
        if (db::WriteReportTables(report, sink) != db::WriteOutcome::Written) return 1;
        batched.push_back(Seconds(Clock::now() - start) * 1e3);
        start = Clock::now();
        WriteOneInsertAStation(report);
        single.push_back(Seconds(Clock::now() - start) * 1e3);
    }
    if (db::WriteReportTables(report, sink) != db::WriteOutcome::Written) return 1;
    const auto written = db::ReadTable("Qel", "Observation_tbl").rows.size();

    // The archive's share of a write: the same report archived alone, in a
    // transaction rolled back, against the whole write (which archives too).
    std::vector<double> archiving;
    for (int run = 0; run < runs; ++run) {
        db::CDatabase connection;
        connection.Open(std::string(db::kConnectString));
        db::Transaction transaction(connection, db::BeginWriteStatement());
        const auto start = Clock::now();
        db::ArchiveWrittenReport(connection, report, db::UtcTimestampNow());
        archiving.push_back(Seconds(Clock::now() - start) * 1e3);
    }
    const Spread b = Of(batched), s = Of(single);
    std::printf(
        "one transaction, batched:     %6d stations  min %7.1f  median %7.1f  max %7.1f ms"
        "  (%5.1f us a row)\n",
        stations, b.min, b.median, b.max, b.median * 1e3 / (stations + 2));
    std::printf(
        "one transaction, row by row:  %6d stations  min %7.1f  median %7.1f  max %7.1f ms"
        "  (baseline)\n",
        stations, s.min, s.median, s.max);
    std::printf("ratio batched / row by row (medians): %.2f   goal: <= 60 ms\n",
                b.median / s.median);
    const Spread a = Of(archiving);
    std::printf(
        "archiving alone:              %6d stations  min %7.1f  median %7.1f  max %7.1f ms"
        "  (%.0f%% on top of the tables; goal: <= 20%%)\n",
        stations, a.min, a.median, a.max, 100.0 * a.median / (b.median - a.median));
    const double best = b.min / 1e3;
    if (written != static_cast<std::size_t>(stations)) {
        std::fprintf(stderr, "expected %d rows, found %zu\n", stations, written);
        return 1;
    }

    // One connection per row, no transaction, on the same database; slow,
    // so a sample of rows. 0 rows skips it.
    if (perRowSample > 0) {
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
        const double perRow =
            Seconds(Clock::now() - start) / (std::min(perRowSample, stations) + 2);
        std::printf("one connection per row:  %6d rows     in %8.1f ms  (%6.1f us a row)\n",
                    std::min(perRowSample, stations) + 2,
                    perRow * (std::min(perRowSample, stations) + 2) * 1e3, perRow * 1e6);
        std::printf("  emptying %d rows row by row: %.1f ms\n", stations + 2, emptying * 1e3);
        std::printf("  %d stations that way: about %.1f s; one transaction is %.0fx faster\n",
                    stations, perRow * (stations + 2) + emptying,
                    (perRow * (stations + 2) + emptying) / best);
    }

    std::error_code ignored;
    fs::remove_all(root, ignored);
    return sink.shown == 0 ? 0 : 1;
}
