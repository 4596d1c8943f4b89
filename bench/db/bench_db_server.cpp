// Times what a crew sharing one database feels, each figure against its goal:
//
//   writers          8 writers at once, reports of 100 stations each, on the
//                    PostgreSQL server LORVEX_TEST_PG names (goal: >= 50 a
//                    second), each keeping its connection (writers-connect:
//                    connecting for every report);
//   history-sqlite   a whole `lorvex-cli history` process over 10,000
//   history-pg       archived reports, on the SQLite file and on the server
//                    (goal: < 100 ms).
//
//   bench_db_server [writers|history-sqlite|history-pg] [reports] [runs] [BASELINE]
//
// With BASELINE (another build's lorvex-cli), the history modes run its
// history too, interleaved with this build's, and print both and the ratio.
//
// Without a mode it runs every one in a process of its own (the driver
// manager keeps the data source "Qel" it first read for the whole process).
// The server modes need LORVEX_TEST_PG, as the tests do: start a private
// server with scripts/pg_test_server.sh (lorvex_pg_start). That server runs
// with fsync=off; the figure it gives leaves out flushing each commit to
// disk, which a production server does.

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "db/data_source.h"
#include "db/install.h"
#include "db/odbc.h"
#include "db/report_archive.h"
#include "db/report_store.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace lorvex;

struct CountingSink final : MessageSink {
    std::atomic<int> shown{0};
    void Show(const UserMessage& m) override {
        if (++shown <= 3) std::fprintf(stderr, "message: %s\n", m.text.c_str());
    }
};

ReportRows MakeReport(const std::string& tag, int stations) {
    ReportRows rows;
    rows.grade = GradeSecond;
    rows.fileName = "/survey/" + tag + ".mdt";
    rows.lineName = tag;
    rows.info.sStationStGo = "BM01";
    rows.info.sStationEnGo = "BM02";
    rows.info.sWeather = "晴";
    rows.result = {"BM01", "BM02", 20.08, 20.08, std::nullopt, std::nullopt, 1.23456};
    for (int s = 1; s <= stations; ++s) {
        ObservationRow row{std::to_string(s),
                           "253",
                           "249",
                           "4",
                           "12",
                           "1 45678",
                           "1 23456",
                           "4 60832",
                           "4 38610",
                           "22222",
                           "22222",
                           "0",
                           "22222",
                           "22222",
                           "2 2222",
                           "P" + std::to_string(s),
                           "P" + std::to_string(s + 1)};
        rows.observations.push_back(std::move(row));
    }
    return rows;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// A private data folder and ODBCINI for this process and the lorvex-cli
// processes it starts; removed at the end.
class Folder {
  public:
    Folder() {
        char pattern[] = "/tmp/lorvex-bench-server-XXXXXX";
        if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp");
        m_root = pattern;
        setenv("ODBCINI", (m_root / "odbc.ini").c_str(), 1);
        setenv("XDG_DATA_HOME", (m_root / "data").c_str(), 1);
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }
    const fs::path& Root() const { return m_root; }

  private:
    fs::path m_root;
};

const fs::path kResources = fs::path(LORVEX_SOURCE_DIR) / "resources";

// A database of its own on the test server, dropped at the end.
class ServerDatabase {
  public:
    explicit ServerDatabase(std::string server) : m_server(std::move(server)) {
        m_name = "lorvex_bench_" + std::to_string(::getpid());
        db::CDatabase admin;
        admin.Open(m_server + ";Database=postgres");
        admin.ExecuteSQL("DROP DATABASE IF EXISTS " + m_name);
        admin.ExecuteSQL("CREATE DATABASE " + m_name);
    }
    ~ServerDatabase() {
        try {
            db::CDatabase admin;
            admin.Open(m_server + ";Database=postgres");
            admin.ExecuteSQL("DROP DATABASE IF EXISTS " + m_name + " WITH (FORCE)");
        } catch (const std::exception&) {
        }
    }
    std::string Attributes() const { return m_server + ";Database=" + m_name; }

  private:
    std::string m_server;
    std::string m_name;
};

std::optional<std::string> TestServer() {
    const char* attributes = std::getenv("LORVEX_TEST_PG");
    if (attributes == nullptr || attributes[0] == '\0') return std::nullopt;
    return std::string(attributes);
}

// keep: each writer keeps its connection between reports, as the window
// does; otherwise every report connects afresh, as one lorvex-cli report does.
int Writers(int writerCount, int reportsEach, int runs, bool keep) {
    const auto server = TestServer();
    if (!server) {
        std::printf("writers: skipped, LORVEX_TEST_PG is not set\n");
        return 0;
    }
    Folder folder;
    ServerDatabase database(*server);
    db::InstallServerData(kResources, database.Attributes());
    const int kWriters = writerCount;
    constexpr int kStations = 100;
    std::vector<double> rates;
    for (int run = 0; run < runs; ++run) {
        CountingSink sink;
        std::atomic<int> written{0};
        const auto start = Clock::now();
        {
            std::vector<std::jthread> writers;
            for (int w = 0; w < kWriters; ++w) {
                writers.emplace_back([&, w] {
                    db::ReportWriter writer;
                    for (int r = 0; r < reportsEach; ++r) {
                        const ReportRows rows = MakeReport(
                            "w" + std::to_string(w) + "r" + std::to_string(r), kStations);
                        const db::WriteOutcome outcome =
                            keep ? writer.Write(rows, sink) : db::WriteReportTables(rows, sink);
                        if (outcome == db::WriteOutcome::Written) {
                            ++written;
                        }
                    }
                });
            }
        }
        const double seconds = Seconds(Clock::now() - start);
        if (written != kWriters * reportsEach) {
            std::fprintf(stderr, "only %d of %d reports written\n", written.load(),
                         kWriters * reportsEach);
            return 1;
        }
        rates.push_back(written / seconds);
    }
    std::printf(
        "PostgreSQL, %d writers x %d reports of %d stations, %s: median %.0f reports/s"
        " (min %.0f, max %.0f)   goal: >= 50/s\n"
        "  (the test server runs with fsync=off: no commit waits for the disk)\n",
        kWriters, reportsEach, kStations, keep ? "connection kept" : "a connection per report",
        Median(rates), *std::min_element(rates.begin(), rates.end()),
        *std::max_element(rates.begin(), rates.end()));
    return 0;
}

// What a writer pays before it can write: opening "Qel" on the server.
int Connect(int count) {
    const auto server = TestServer();
    if (!server) return 0;
    Folder folder;
    ServerDatabase database(*server);
    db::InstallServerData(kResources, database.Attributes());
    std::vector<double> times;
    for (int i = 0; i < count; ++i) {
        const auto start = Clock::now();
        db::CDatabase connection;
        connection.Open(std::string(db::kConnectString));
        times.push_back(Seconds(Clock::now() - start) * 1e3);
    }
    std::printf("PostgreSQL, opening \"Qel\": median %.1f ms (min %.1f)\n", Median(times),
                *std::min_element(times.begin(), times.end()));
    return 0;
}

// Fills the archive with reports of two stations each, one a minute apart,
// in one transaction.
void FillArchive(int reports) {
    db::CDatabase connection;
    connection.Open(std::string(db::kConnectString));
    db::Transaction transaction(connection,
                                connection.IsSqlite() ? db::BeginWriteStatement() : std::string());
    for (int i = 0; i < reports; ++i) {
        const int minutes = i;
        char written[32];
        std::snprintf(written, sizeof written, "2026-%02d-%02dT%02d:%02d:00Z",
                      1 + minutes / (60 * 24 * 28) % 12, 1 + minutes / (60 * 24) % 28,
                      minutes / 60 % 24, minutes % 60);
        db::ArchiveReport(connection, MakeReport("line-" + std::to_string(i % 97), 2), written);
    }
    transaction.Commit();
}

struct ProcessTime {
    double wallMs;
    double cpuMs;  // user and system time of the process
};

// Runs `lorvex-cli command` (or the program given), its output to out.
ProcessTime RunCli(std::vector<std::string> args, const fs::path& out,
                   const char* program = LORVEX_CLI) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::string cli = program;
    std::vector<char*> argv{cli.data()};
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const auto start = Clock::now();
    if (posix_spawn(&pid, cli.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
        throw std::runtime_error("cannot start " + cli);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double ms = Seconds(Clock::now() - start) * 1e3;
    const auto millis = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error("lorvex-cli " + args[0] + " failed");
    }
    return {ms, millis(usage.ru_utime) + millis(usage.ru_stime)};
}

std::string Spread(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    char text[96];
    std::snprintf(text, sizeof text, "min %.1f / median %.1f / max %.1f ms", v.front(), Median(v),
                  v.back());
    return text;
}

int History(bool server, int reports, int runs, const char* baseline) {
    const auto attributes = TestServer();
    if (server && !attributes) {
        std::printf("history-pg: skipped, LORVEX_TEST_PG is not set\n");
        return 0;
    }
    Folder folder;
    std::optional<ServerDatabase> database;
    if (server) {
        database.emplace(*attributes);
        db::InstallServerData(kResources, database->Attributes());
    } else {
        db::InstallData(kResources, false);
        if (std::string error; !db::RegisterDataSource(&error)) {
            std::fprintf(stderr, "cannot register the data source: %s\n", error.c_str());
            return 1;
        }
    }
    const auto fillStart = Clock::now();
    FillArchive(reports);
    const double fill = Seconds(Clock::now() - fillStart);

    const fs::path out = folder.Root() / "history.json";
    std::vector<double> times, cpu, startWall, startCpu, baseTimes, baseCpu;
    RunCli({"history"}, out);  // warms the page cache
    if (baseline != nullptr) RunCli({"history"}, folder.Root() / "baseline.json", baseline);
    for (int run = 0; run < runs; ++run) {
        if (baseline != nullptr) {
            const ProcessTime old = RunCli({"history"}, folder.Root() / "baseline.json", baseline);
            baseTimes.push_back(old.wallMs);
            baseCpu.push_back(old.cpuMs);
        }
        const ProcessTime history = RunCli({"history"}, out);
        times.push_back(history.wallMs);
        cpu.push_back(history.cpuMs);
        // The same process listing nothing: starting, connecting and asking
        // cost this much on this machine before a single report is listed.
        const ProcessTime nothing =
            RunCli({"history", "--limit", "0"}, folder.Root() / "none.json");
        startWall.push_back(nothing.wallMs);
        startCpu.push_back(nothing.cpuMs);
    }
    std::ifstream in(out);
    const std::string json((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t listed = 0;
    for (std::size_t at = json.find("\"id\":"); at != std::string::npos;
         at = json.find("\"id\":", at + 1)) {
        ++listed;
    }
    if (listed != static_cast<std::size_t>(reports)) {
        std::fprintf(stderr, "history listed %zu of %d reports\n", listed, reports);
        return 1;
    }
    std::printf(
        "%-10s lorvex-cli history, %d archived reports (%zu bytes of JSON): median %.1f ms"
        " (min %.1f), CPU %.1f ms   goal: < 100 ms\n"
        "           lorvex-cli history --limit 0, the same:   median %.1f ms (min %.1f),"
        " CPU %.1f ms   [archive filled in %.1f s]\n",
        server ? "PostgreSQL" : "SQLite", reports, json.size(), Median(times),
        *std::min_element(times.begin(), times.end()), Median(cpu), Median(startWall),
        *std::min_element(startWall.begin(), startWall.end()), Median(startCpu), fill);
    if (baseline != nullptr) {
        std::ifstream oldIn(folder.Root() / "baseline.json");
        const std::string oldJson((std::istreambuf_iterator<char>(oldIn)),
                                  std::istreambuf_iterator<char>());
        std::printf(
            "           this build:  %s, CPU median %.1f ms\n"
            "           baseline:    %s, CPU median %.1f ms\n"
            "           medians new/baseline: %.2f; output %s\n",
            Spread(times).c_str(), Median(cpu), Spread(baseTimes).c_str(), Median(baseCpu),
            Median(times) / Median(baseTimes), oldJson == json ? "byte-identical" : "DIFFERS");
        if (oldJson != json) return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const int count = argc > 2 ? std::atoi(argv[2]) : 0;
    const int runs = std::max(1, argc > 3 ? std::atoi(argv[3]) : 5);
    try {
        if (mode == "writers") return Writers(8, count > 0 ? count : 25, runs, true);
        if (mode == "writers-connect") return Writers(8, count > 0 ? count : 25, runs, false);
        if (mode == "connect") return Connect(count > 0 ? count : 20);
        // One writer alone: the time a report holds the lock, unqueued.
        if (mode == "writer") return Writers(1, count > 0 ? count : 50, runs, true);
        const char* baseline = argc > 4 ? argv[4] : nullptr;
        if (mode == "history-sqlite") {
            return History(false, count > 0 ? count : 10000, runs, baseline);
        }
        if (mode == "history-pg") return History(true, count > 0 ? count : 10000, runs, baseline);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", mode.c_str(), e.what());
        return 1;
    }
    if (!mode.empty()) {
        std::fprintf(stderr,
                     "usage: bench_db_server "
                     "[writers|writers-connect|writer|connect|history-sqlite|history-pg]\n");
        return 2;
    }
    int status = 0;
    for (const char* each : {"writers", "history-sqlite", "history-pg"}) {
        const std::string command = std::string(argv[0]) + " " + each;
        if (std::system(command.c_str()) != 0) status = 1;
    }
    return status;
}
