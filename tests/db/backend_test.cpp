// One set of database tests run against each backend: the SQLite file and
// a PostgreSQL server, both through the data source "Qel".

#include <bit>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <set>
#include <stdexcept>
#include <thread>

#include <unistd.h>

#include "db/batch_insert.h"
#include "db/install.h"
#include "db/report_archive.h"
#include "db_fixture.h"
#include "server_database.h"

namespace lorvex::db::test {
namespace {

enum class Backend { Sqlite, Postgresql };

std::string BackendName(const ::testing::TestParamInfo<Backend>& info) {
    return info.param == Backend::Sqlite ? "SQLite" : "PostgreSQL";
}

// The driver manager keeps the data sources it has read for the life of the
// process: a fixture registers "Qel" for the backend it tests only, and
// switching between them is tried with the program (tests/cli).
void InstallLocal() { InstallLocalData(fs::path(LORVEX_SOURCE_DIR) / "resources", false); }

class BackendTest : public DbTest, public ::testing::WithParamInterface<Backend> {
  protected:
    bool InstallsData() const override { return GetParam() == Backend::Sqlite; }
    void SetUp() override {
        DbTest::SetUp();
        if (GetParam() != Backend::Postgresql) return;
        const std::optional<std::string> server = TestServer();
        if (!server) GTEST_SKIP() << kNoServer;
        server_.emplace(*server);
        InstallServerData(fs::path(LORVEX_SOURCE_DIR) / "resources", server_->Attributes());
    }
    void TearDown() override {
        server_.reset();
        DbTest::TearDown();
    }

    std::optional<ServerDatabase> server_;
};

INSTANTIATE_TEST_SUITE_P(Both, BackendTest, ::testing::Values(Backend::Sqlite, Backend::Postgresql),
                         BackendName);

ReportRows Shaped(const std::string& tag, int stations, double length, double height) {
    ReportRows rows = MakeReport(tag, stations);
    rows.result.dDis_Go = rows.result.dDis_Back = length;
    rows.result.HeightAvg = height;
    rows.fileName = "/survey/" + tag + ".mdt";
    rows.lineName = "line-" + tag;
    return rows;
}

// What compute printed comes back from the archive, on either database:
// doubles bit for bit (the SQLite driver's 15 digits would change some,
// PostgreSQL's text form must not), texts past 255 bytes and Chinese,
// no stations, the checks; and the last-report tables hold the last one.
TEST_P(BackendTest, ReportsComeBackAsWritten) {
    ReportRows longTexts = Shaped("long", 2, 1.5, -0.25);
    longTexts.info.sWeather = "晴" + std::string(300, 'w');
    ReplaceText(longTexts, 1, &ObservationRow::sH, "高差 " + std::string(400, '9'));
    longTexts.result.HeightAvg_Go = -7.25e-9;
    LineCheck check;
    check.grade = check.run.grade = GradeSecond;
    check.stations.resize(3);
    check.stations[2].flags = {Flag{Rule::DistanceDiff, -1'800'000, 1'500'000}};
    check.line = {Flag{Rule::EvenStations, 3'000'000, 0}};
    check.run.stations = 3;
    check.run.lengthDm = 1004;
    const struct {
        ReportRows rows;
        std::optional<LineCheck> check;
    } reports[] = {
        {Shaped("digits", 3, 12.345678901234567, -1.0000000000000002), check},
        {Shaped("tiny", 1, std::numeric_limits<double>::denorm_min(), 1e300), std::nullopt},
        {Shaped("none", 0, 0.0, 0.0), std::nullopt},
        // Several full statements of stations and a part one, on either.
        {Shaped("many", 601, 30.5, 2.5), std::nullopt},
        {longTexts, std::nullopt},
    };
    RecordingSink sink;
    for (const auto& r : reports) {
        ASSERT_EQ(WriteReportTables(r.rows, sink, r.check ? &*r.check : nullptr),
                  WriteOutcome::Written)
            << (sink.shown.empty() ? "" : sink.shown[0].text);
    }
    EXPECT_TRUE(sink.shown.empty()) << sink.shown[0].text;

    const std::vector<ArchivedReport> listed = ListArchivedReports(std::nullopt, std::nullopt);
    ASSERT_EQ(listed.size(), std::size(reports));
    for (std::size_t i = 0; i < listed.size(); ++i) {
        const auto& want = reports[std::size(reports) - 1 - i];  // newest first
        SCOPED_TRACE(want.rows.lineName);
        EXPECT_EQ(listed[i].line, want.rows.lineName);
        EXPECT_EQ(listed[i].file, want.rows.lineName.substr(5) + ".mdt");
        EXPECT_EQ(std::bit_cast<std::uint64_t>(listed[i].lengthKm),
                  std::bit_cast<std::uint64_t>(want.rows.result.dDis_Go));
        EXPECT_EQ(std::bit_cast<std::uint64_t>(listed[i].heightM),
                  std::bit_cast<std::uint64_t>(want.rows.result.HeightAvg));
        const std::optional<ArchivedRows> back = ReadArchivedReport(listed[i].id);
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(back->rows.info, want.rows.info);
        EXPECT_EQ(back->rows.result, want.rows.result);
        EXPECT_EQ(back->rows.observations, want.rows.observations);
        ASSERT_EQ(back->check.has_value(), want.check.has_value());
        if (want.check) {
            EXPECT_EQ(back->check->stations.size(), want.check->stations.size());
            EXPECT_EQ(back->check->stations[2].flags, want.check->stations[2].flags);
            EXPECT_EQ(back->check->line, want.check->line);
            EXPECT_EQ(back->check->run.lengthDm, want.check->run.lengthDm);
        }
    }
    EXPECT_FALSE(ReadArchivedReport(99).has_value());

    const Snapshot last = Tables();
    ASSERT_EQ(last.info.rows.size(), 1u);
    EXPECT_EQ(last.observations.rows.size(), longTexts.observations.size());
    EXPECT_EQ(last.result.rows.size(), 1u);

    // The list by line, and at most so many.
    EXPECT_EQ(ListArchivedReports(1, std::nullopt).size(), 1u);
    const auto tiny = ListArchivedReports(std::nullopt, std::string("line-tiny"));
    ASSERT_EQ(tiny.size(), 1u);
    EXPECT_EQ(tiny[0].stations, 1);
}

// Rows another program left partly empty: a NULL reads as nothing (zero,
// empty text), and never as what the row before it held.
TEST_P(BackendTest, EmptyColumnsOfTheListReadAsNothing) {
    RecordingSink sink;
    ASSERT_EQ(WriteReportTables(Shaped("real", 2, 1.5, -2.25), sink), WriteOutcome::Written);
    Sql({R"(INSERT INTO "Report_tbl" ("Report_ID","Written","UserName","HostName","FileName",)"
         R"("LineName","Grade","Stations","Length_km","Height_m") VALUES )"
         R"((70,'2100-01-01T00:00:00Z','ann','pc','full.mdt','line-full',2,9,0.1,-7.5))",
         R"(INSERT INTO "Report_tbl" ("Report_ID","Written") VALUES (71,'2099-01-01T00:00:00Z'))"});

    const std::vector<ArchivedReport> listed = ListArchivedReports(std::nullopt, std::nullopt);
    ASSERT_EQ(listed.size(), 3u);
    const ArchivedReport full{
        70,  "2100-01-01T00:00:00Z", "ann", "pc", "full.mdt", "line-full", GradeFourth, 9, 0.1,
        -7.5};
    const ArchivedReport empty{71, "2099-01-01T00:00:00Z", "", "", "", "", 0, 0, 0.0, 0.0};
    EXPECT_EQ(listed[0], full);
    EXPECT_EQ(listed[1], empty);
    EXPECT_EQ(listed[2].line, "line-real");
    EXPECT_EQ(listed[2].heightM, -2.25);

    // Handed over one at a time, the same reports; a visitor that throws
    // ends the listing there and leaves the archive readable.
    std::vector<ArchivedReport> visited;
    EXPECT_THROW(ForEachArchivedReport(std::nullopt, std::nullopt,
                                       [&](const ArchivedReport& r) {
                                           visited.push_back(r);
                                           if (visited.size() == 2)
                                               throw std::runtime_error("stop");
                                       }),
                 std::runtime_error);
    EXPECT_EQ(visited, std::vector<ArchivedReport>(listed.begin(), listed.begin() + 2));
    EXPECT_EQ(ListArchivedReports(std::nullopt, std::nullopt), listed);
}

// A report the database refuses half-way (a column renamed under it):
// nothing of it is kept, the previous report stays whole in the tables and
// in the archive, and the driver's own words are shown.
TEST_P(BackendTest, ARefusedReportLeavesEverythingAsItWas) {
    RecordingSink sink;
    ASSERT_EQ(WriteReportTables(Shaped("old", 3, 1.0, 2.0), sink), WriteOutcome::Written);
    const Snapshot before = Tables();
    const auto archived = ListArchivedReports(std::nullopt, std::nullopt);
    Sql({R"(ALTER TABLE "Observation_tbl" RENAME COLUMN "sH" TO "sHeight")"});

    EXPECT_NE(WriteReportTables(Shaped("new", 5, 3.0, 4.0), sink), WriteOutcome::Written);
    ASSERT_FALSE(sink.shown.empty());
    EXPECT_NE(sink.shown[0].text.find("sH"), std::string::npos) << sink.shown[0].text;
    Sql({R"(ALTER TABLE "Observation_tbl" RENAME COLUMN "sHeight" TO "sH")"});
    EXPECT_EQ(Tables(), before);
    EXPECT_EQ(ListArchivedReports(std::nullopt, std::nullopt), archived);
}

// Installing again keeps every report: the schema is only completed.
TEST_P(BackendTest, InstallingAgainKeepsTheReports) {
    RecordingSink sink;
    ASSERT_EQ(WriteReportTables(Shaped("kept", 2, 1.0, 2.0), sink), WriteOutcome::Written);
    const Snapshot before = Tables();
    InstallData(fs::path(LORVEX_SOURCE_DIR) / "resources", false);
    EXPECT_EQ(Tables(), before);
    EXPECT_EQ(ListArchivedReports(std::nullopt, std::nullopt).size(), 1u);
}

class ServerTest : public DbTest {
  protected:
    bool InstallsData() const override { return false; }
    void SetUp() override {
        DbTest::SetUp();
        const std::optional<std::string> server = TestServer();
        if (!server) GTEST_SKIP() << kNoServer;
        server_.emplace(*server);
    }
    void TearDown() override {
        server_.reset();
        DbTest::TearDown();
    }
    // Every file of the test's folder (data folder and ODBC settings) with
    // its bytes: a report that fails on the server leaves them as they were.
    std::map<std::string, std::string> LocalFiles() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(root_)) {
            if (!entry.is_regular_file()) continue;
            std::ifstream in(entry.path(), std::ios::binary);
            files[entry.path().string()].assign(std::istreambuf_iterator<char>(in), {});
        }
        return files;
    }

    // Connects db as the server's owner to the test's database, past "Qel".
    void OpenAsOwner(CDatabase& db) const { db.Open(server_->Attributes()); }

    std::optional<ServerDatabase> server_;
};

// A crew member whose role may not write: the driver's words, nothing of
// the report on the server (the last report and the archive as they were,
// even when the refusal comes half-way, at the archive), and no local file
// changed.
TEST_F(ServerTest, ARoleWithoutRightsWritesNothing) {
    const struct {
        const char* label;
        const char* grants;
        const char* said;
    } cases[] = {
        {"reads only", "GRANT SELECT ON ALL TABLES IN SCHEMA public TO %s", "permission denied"},
        {"writes the last report, not the archive",
         "GRANT SELECT ON ALL TABLES IN SCHEMA public TO %s;"
         R"(GRANT INSERT, UPDATE, DELETE ON "Info_tbl", "Result_tbl", "Observation_tbl" TO %s;)"
         "GRANT USAGE ON ALL SEQUENCES IN SCHEMA public TO %s",
         "permission denied"},
    };
    InstallServerData(fs::path(LORVEX_SOURCE_DIR) / "resources", server_->Attributes());
    RecordingSink sink;
    ASSERT_EQ(WriteReportTables(MakeReport("before", 3), sink), WriteOutcome::Written);
    const Snapshot before = Tables();
    const auto archived = ListArchivedReports(std::nullopt, std::nullopt);
    const std::string role = "crew_" + std::to_string(::getpid());
    {
        CDatabase owner;
        OpenAsOwner(owner);
        owner.ExecuteSQL("DROP ROLE IF EXISTS " + role);
        owner.ExecuteSQL("CREATE ROLE " + role + " LOGIN");
    }
    // "Qel" connects as the crew member from now on.
    SetDsnKey("Username", role);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        {
            CDatabase owner;
            OpenAsOwner(owner);
            owner.ExecuteSQL("REVOKE ALL ON ALL TABLES IN SCHEMA public FROM " + role);
            std::string grants = c.grants;
            for (auto at = grants.find("%s"); at != std::string::npos; at = grants.find("%s")) {
                grants.replace(at, 2, role);
            }
            owner.ExecuteSQL(grants);
        }
        const auto files = LocalFiles();
        RecordingSink refused;
        EXPECT_EQ(WriteReportTables(MakeReport("refused", 5), refused), WriteOutcome::Failed);
        ASSERT_FALSE(refused.shown.empty());
        EXPECT_NE(refused.shown[0].text.find(c.said), std::string::npos) << refused.shown[0].text;
        EXPECT_EQ(Tables(), before);
        EXPECT_EQ(ListArchivedReports(std::nullopt, std::nullopt), archived);
        EXPECT_EQ(LocalFiles(), files);
    }
    CDatabase owner;
    OpenAsOwner(owner);
    owner.ExecuteSQL("DROP OWNED BY " + role);
    owner.ExecuteSQL("DROP ROLE " + role);
}

// The writer's connection ends while it holds the lock, its last-report
// tables already emptied and written: the server rolls the report back, the
// driver's words are shown, and no local file changes. The owner holds the
// archive so that the writer waits there, half-way, to be ended.
TEST_F(ServerTest, AConnectionLostMidReportWritesNothing) {
    InstallServerData(fs::path(LORVEX_SOURCE_DIR) / "resources", server_->Attributes());
    RecordingSink sink;
    ASSERT_EQ(WriteReportTables(MakeReport("before", 3), sink), WriteOutcome::Written);
    const Snapshot before = Tables();
    const auto archived = ListArchivedReports(std::nullopt, std::nullopt);
    const auto files = LocalFiles();

    RecordingSink lost;
    WriteOutcome outcome = WriteOutcome::Written;
    {
        CDatabase owner;
        OpenAsOwner(owner);
        Transaction hold(owner);
        owner.ExecuteSQL(R"(LOCK TABLE "Report_tbl" IN ACCESS EXCLUSIVE MODE)");
        std::jthread writer([&] { outcome = WriteReportTables(MakeReport("lost", 100), lost); });
        // Ends the connection found waiting for the archive (pg_locks, not
        // pg_stat_activity: that one is read once per transaction): the
        // writer, past its own lock and its deletes.
        std::optional<std::string> notEnded;
        try {
            owner.ExecuteSQL(R"(DO $$
            DECLARE ended integer := 0;
            BEGIN
                FOR attempt IN 1..1500 LOOP
                    SELECT count(pg_terminate_backend(pid)) INTO ended FROM pg_locks
                        WHERE NOT granted AND relation = '"Report_tbl"'::regclass;
                    EXIT WHEN ended > 0;
                    PERFORM pg_sleep(0.02);
                END LOOP;
                IF ended = 0 THEN RAISE EXCEPTION 'no writer waited for the archive'; END IF;
            END $$)");
        } catch (const DbError& e) {
            notEnded = e.what();
        }
        // The writer goes on (or ends) once the archive is free again.
        hold.Rollback();
        writer.join();
        ASSERT_FALSE(notEnded) << *notEnded;
    }
    EXPECT_EQ(outcome, WriteOutcome::Failed);
    ASSERT_FALSE(lost.shown.empty());
    EXPECT_NE(lost.shown[0].text.find("terminat"), std::string::npos) << lost.shown[0].text;
    EXPECT_EQ(Tables(), before);
    EXPECT_EQ(ListArchivedReports(std::nullopt, std::nullopt), archived);
    EXPECT_EQ(LocalFiles(), files);
}

// Fails the statement unless the test's database has exactly count
// connections besides db's own.
void ExpectOtherConnections(CDatabase& db, int count) {
    db.ExecuteSQL(
        "DO $$ BEGIN IF (SELECT count(*) FROM pg_stat_activity WHERE datname = "
        "current_database() AND pid <> pg_backend_pid()) <> " +
        std::to_string(count) + " THEN RAISE EXCEPTION 'not " + std::to_string(count) +
        " other connections'; END IF; END $$");
}

// The window keeps its connection between reports: one connection for
// report after report, and when the server has ended it while the window sat
// idle (a restart, an administrator), the next report is written whole on a
// fresh one without a word to the user.
TEST_F(ServerTest, AKeptConnectionServesReportAfterReportAndIsOpenedAfreshOnceEnded) {
    InstallServerData(fs::path(LORVEX_SOURCE_DIR) / "resources", server_->Attributes());
    CDatabase owner;
    OpenAsOwner(owner);
    ReportWriter writer;
    RecordingSink sink;
    const struct {
        const char* tag;
        bool endFirst;
    } steps[] = {{"first", false}, {"kept", false}, {"after-end", true}, {"kept-again", false}};
    int stations = 2;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.tag);
        if (step.endFirst) {
            owner.ExecuteSQL(
                "SELECT pg_terminate_backend(pid, 5000) FROM pg_stat_activity WHERE datname = "
                "current_database() AND pid <> pg_backend_pid()");
            ExpectOtherConnections(owner, 0);
        }
        ASSERT_EQ(writer.Write(MakeReport(step.tag, ++stations), sink), WriteOutcome::Written)
            << (sink.shown.empty() ? "" : sink.shown[0].text);
        EXPECT_TRUE(sink.shown.empty()) << (sink.shown.empty() ? "" : sink.shown[0].text);
        ExpectOtherConnections(owner, 1);
        const auto archived = ListArchivedReports(1, std::nullopt);
        ASSERT_EQ(archived.size(), 1u);
        EXPECT_EQ(archived[0].stations, stations);
        EXPECT_EQ(Tables().observations.rows.size(), static_cast<std::size_t>(stations));
    }
    EXPECT_EQ(ListArchivedReports(std::nullopt, std::nullopt).size(), std::size(steps));
}

// Crews writing at once: 8 writers of 50 reports of 100 stations each. The
// table lock queues them: every report is archived once with its own
// stations, and the last-report tables hold one whole report, the last.
TEST_F(ServerTest, EightWritersAtOnceEachKeepTheirOwnReports) {
    InstallServerData(fs::path(LORVEX_SOURCE_DIR) / "resources", server_->Attributes());
    constexpr int kWriters = 8;
    constexpr int kReports = 50;
    constexpr int kStations = 100;
    std::vector<std::vector<std::string>> failures(kWriters);
    const auto start = std::chrono::steady_clock::now();
    {
        std::vector<std::jthread> writers;
        for (int w = 0; w < kWriters; ++w) {
            writers.emplace_back([w, &failures] {
                for (int r = 0; r < kReports; ++r) {
                    const std::string tag = "w" + std::to_string(w) + "r" + std::to_string(r);
                    RecordingSink sink;
                    ReportRows rows = MakeReport(tag, kStations);
                    rows.lineName = tag;
                    if (WriteReportTables(rows, sink) != WriteOutcome::Written) {
                        failures[w].push_back(tag + ": " +
                                              (sink.shown.empty() ? "" : sink.shown[0].text));
                    }
                }
            });
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%d reports of %d stations from %d writers: %.2f s, %.0f reports/s\n",
                kWriters * kReports, kStations, kWriters, seconds, kWriters * kReports / seconds);
    for (const auto& list : failures) EXPECT_TRUE(list.empty()) << list.front();

    const auto listed = ListArchivedReports(std::nullopt, std::nullopt);
    ASSERT_EQ(listed.size(), std::size_t{kWriters * kReports});
    std::set<std::string> lines;
    std::map<std::string, std::string> lineOfId;
    for (const ArchivedReport& entry : listed) {
        EXPECT_TRUE(lines.insert(entry.line).second) << entry.line << " archived twice";
        lineOfId[std::to_string(entry.id)] = entry.line;
    }
    // Every archived station, read at once: each report has its own 100,
    // numbered from 1, every text its own tag.
    const TableRows stations = ReadTable("Qel", "ObservationArchive_tbl");
    ASSERT_EQ(stations.columns[0], "Report_ID");
    ASSERT_EQ(stations.columns[3], "sDis_Back");
    std::map<std::string, int> count;
    for (const auto& row : stations.rows) {
        const std::string& line = lineOfId[row[0].value_or("")];
        ++count[line];
        EXPECT_EQ(row[3], line + "-sDis_Back");
    }
    EXPECT_EQ(count.size(), listed.size());
    for (const auto& [line, n] : count) EXPECT_EQ(n, kStations) << line;
    const std::optional<ArchivedRows> one = ReadArchivedReport(listed.back().id);
    ASSERT_TRUE(one.has_value());
    EXPECT_EQ(one->rows.observations, MakeReport(listed.back().line, kStations).observations);

    // One whole report, the one archived last.
    const Snapshot last = Tables();
    ASSERT_EQ(last.observations.rows.size(), std::size_t{kStations});
    const std::string newest = listed.front().line;
    // Column 1 of the header and totals, column 2 of the stations (after
    // the station's number) carry the report's tag.
    for (const auto& [table, column] :
         {std::pair{&last.info, 1}, std::pair{&last.result, 1}, std::pair{&last.observations, 2}}) {
        for (const auto& row : table->rows) {
            ASSERT_TRUE(row[column].has_value());
            EXPECT_EQ(row[column]->substr(0, newest.size() + 1), newest + "-") << *row[column];
        }
    }
}

// A server that cannot be reached, a database that is not there, a
// password in the attributes: the driver's (or our) reason, and nothing
// local changes: no server file, the local database file as it was.
TEST_F(ServerTest, AServerThatCannotBeUsedChangesNothing) {
    const std::string server = *TestServer();
    const struct {
        const char* label;
        std::string attributes;
        const char* said;
    } cases[] = {
        {"server down",
         "Driver=PostgreSQL Unicode;Servername=/nonexistent;Port=5432;"
         "Database=x;Username=postgres",
         "/nonexistent"},
        {"no such database", server + ";Database=lorvex_missing", "lorvex_missing"},
        {"password", server + ";Database=x;Password=secret", "password"},
        {"no driver", "Servername=db;Database=x", "Driver"},
    };
    InstallLocal();
    RecordingSink sink;
    ASSERT_EQ(WriteReportTables(Shaped("local", 2, 1.0, 2.0), sink), WriteOutcome::Written);
    const Snapshot before = Tables();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        try {
            InstallServerData(fs::path(LORVEX_SOURCE_DIR) / "resources", c.attributes);
            ADD_FAILURE() << "installed";
        } catch (const std::runtime_error& e) {
            const std::string what = e.what();
            EXPECT_NE(what.find(c.said), std::string::npos) << what;
            EXPECT_EQ(what.find("secret"), std::string::npos) << what;
        }
        EXPECT_FALSE(fs::exists(DataFolder() / kServerFileName));
        EXPECT_EQ(Tables(), before);
    }
}

// Station texts written in batches come back byte for byte on either
// database, in the order written, whichever batch they fell in: quotes and
// backslashes (which SQL and JSON would have to escape), texts that look
// like numbers or parameter markers (stored as the texts they are, never
// converted), control characters, Chinese and a character outside the BMP,
// the empty text apart from NULL, and a text past 255 bytes.
TEST_P(BackendTest, BatchedStationTextsComeBackExactly) {
    const std::vector<std::optional<std::string>> texts{
        "O'Brien",
        "say \"hi\"",
        "back\\slash\\",
        "C:\\路线\\一",
        "水准点BM01",
        "\xF0\x9D\x84\x9E",  // U+1D11E, four bytes of UTF-8
        "tab\there",
        "line\nbreak\r\n",
        "\x01\x1f",
        "0012",
        "1e5",
        " 253 ",
        "-0",
        "2 2222",
        "?",
        "$1",
        "'); DELETE FROM \"Observation_tbl\";--",
        "",
        std::nullopt,
        std::string(300, 'x') + "尾",
    };
    const std::size_t columns = kObservationRowFields.size();
    std::vector<InsertColumn> names;
    for (const auto& field : kObservationRowFields) {
        names.push_back({std::string("\"") + field.name + "\"", ColumnType::Text});
    }
    // Row r holds the texts from r on, so every text meets every column and
    // the rows straddle batches of three.
    auto expected = [&](std::size_t r, std::size_t c) { return texts[(r + c) % texts.size()]; };
    const std::size_t rows = texts.size();
    Sql({R"(DELETE FROM "Observation_tbl")"});
    {
        CDatabase db;
        db.Open(std::string(kConnectString));
        Transaction transaction(db);
        BatchInserter inserter(db, "\"Observation_tbl\"", names, 3);
        for (std::size_t r = 0; r < rows; ++r) {
            for (std::size_t c = 0; c < columns; ++c) {
                if (const auto text = expected(r, c)) {
                    inserter.Text(*text);
                } else {
                    inserter.Null();
                }
            }
            inserter.EndRow();
        }
        inserter.Flush();
        transaction.Commit();
    }
    const TableRows table = ReadTable("Qel", "Observation_tbl");
    ASSERT_EQ(table.rows.size(), rows);
    for (std::size_t r = 0; r < rows; ++r) {
        for (std::size_t c = 0; c < columns; ++c) {
            EXPECT_EQ(table.rows[r][c + 1], expected(r, c)) << "row " << r << " column " << c;
        }
    }
}

// A batch the database refuses after earlier batches went through (a key
// written twice): the error surfaces, and the transaction rolled back keeps
// none of the batches, while the rows there before stay. The refused batch
// is a whole one (the statement kept prepared across batches) or the short
// last one (a statement of its own).
TEST_P(BackendTest, ARefusedLaterBatchKeepsNoneOfTheEarlierOnes) {
    struct Case {
        const char* label;
        std::vector<std::int32_t> keys;  // in batches of four
    };
    for (const Case& c : {Case{"whole third batch", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 2}},
                          Case{"short last batch", {1, 2, 3, 4, 5, 6, 7, 8, 9, 2, 11}}}) {
        SCOPED_TRACE(c.label);
        Sql({R"(DELETE FROM "Observation_tbl")",
             R"(INSERT INTO "Observation_tbl" ("Record_ID","sStation") VALUES (1000,'before'))"});
        const TableRows before = ReadTable("Qel", "Observation_tbl");
        {
            CDatabase db;
            db.Open(std::string(kConnectString));
            Transaction transaction(db);
            BatchInserter inserter(
                db, "\"Observation_tbl\"",
                {{"\"Record_ID\"", ColumnType::Long}, {"\"sStation\"", ColumnType::Text}}, 4);
            bool refused = false;
            try {
                for (const std::int32_t key : c.keys) {
                    inserter.Long(key);
                    inserter.Text(std::to_string(key));
                    inserter.EndRow();
                }
                inserter.Flush();
            } catch (const DbError&) {
                refused = true;
            }
            EXPECT_TRUE(refused);
            EXPECT_EQ(inserter.Pending(), 0u);
        }
        EXPECT_EQ(ReadTable("Qel", "Observation_tbl").rows, before.rows);
    }
}

}  // namespace
}  // namespace lorvex::db::test
