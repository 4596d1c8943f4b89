#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <thread>

#include "db_fixture.h"

namespace lorvex::db::test {
namespace {

using ReportStore = DbTest;

// The table contents without the database-assigned keys.
std::vector<std::vector<std::optional<std::string>>> Values(const TableRows& table) {
    auto rows = table.rows;
    for (auto& row : rows) row.erase(row.begin());
    return rows;
}

TEST_F(ReportStore, SecondReportReplacesTheFirst) {
    RecordingSink sink;
    ASSERT_EQ(WriteReportTables(MakeReport("first", 3), sink), WriteOutcome::Written);
    ASSERT_EQ(WriteReportTables(MakeReport("second", 2), sink), WriteOutcome::Written);
    EXPECT_TRUE(sink.shown.empty());

    const Snapshot tables = Tables();
    ASSERT_EQ(tables.info.rows.size(), 1u);
    EXPECT_EQ(tables.info.rows[0][1], "second-sStationStGo");
    EXPECT_EQ(tables.info.rows[0][18], "second-sSunLocation");
    ASSERT_EQ(tables.result.rows.size(), 1u);
    const std::vector<std::optional<std::string>> result{
        "second-A", "second-B", "0.1004", "0.1004", std::nullopt, std::nullopt, "0.58028"};
    EXPECT_EQ(Values(tables.result)[0], result);
    ASSERT_EQ(tables.observations.rows.size(), 2u);
    EXPECT_EQ(tables.observations.rows[0][1], "1");
    EXPECT_EQ(tables.observations.rows[1][1], "2");
    EXPECT_EQ(tables.observations.rows[1][17], "second-sTarget_Fore");
}

TEST_F(ReportStore, ReportWithoutStationsStillWritesHeaderAndTotals) {
    RecordingSink sink;
    ReportRows rows = MakeReport("r", 0);
    rows.result.dDis_Go = rows.result.dDis_Back = rows.result.HeightAvg = 0.0;
    ASSERT_EQ(WriteReportTables(MakeReport("old", 4), sink), WriteOutcome::Written);
    ASSERT_EQ(WriteReportTables(rows, sink), WriteOutcome::Written);
    const Snapshot tables = Tables();
    EXPECT_EQ(tables.info.rows.size(), 1u);
    ASSERT_EQ(tables.result.rows.size(), 1u);
    EXPECT_EQ(tables.result.rows[0][3], "0");
    EXPECT_EQ(tables.result.rows[0][7], "0");
    EXPECT_TRUE(tables.observations.rows.empty());
}

TEST_F(ReportStore, OneConnectionPerRowWritesTheSameRows) {
    const ReportRows rows = MakeReport("same", 3);
    RecordingSink sink;
    ASSERT_EQ(WriteReportTables(rows, sink), WriteOutcome::Written);
    const Snapshot once = Tables();

    ASSERT_TRUE(EmptyTables(sink));
    ASSERT_TRUE(AppendInfoRow(rows.info, sink));
    ASSERT_TRUE(AppendResultRow(rows.result, sink));
    for (const auto& row : rows.observations) ASSERT_TRUE(AppendObservationRow(row, sink));
    const Snapshot perRow = Tables();

    EXPECT_TRUE(sink.shown.empty());
    EXPECT_EQ(Values(perRow.info), Values(once.info));
    EXPECT_EQ(Values(perRow.result), Values(once.result));
    EXPECT_EQ(Values(perRow.observations), Values(once.observations));
}

TEST_F(ReportStore, EmptyingStopsAtTheFirstTableThatCannotBeOpened) {
    RecordingSink sink;
    ASSERT_EQ(WriteReportTables(MakeReport("old", 2), sink), WriteOutcome::Written);
    Sql({"DROP TABLE Observation_tbl"});
    EXPECT_FALSE(EmptyTables(sink));
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0].icon, MessageIcon::Warning);
    EXPECT_NE(sink.shown[0].text.find("no such table: Observation_tbl"), std::string::npos);
    EXPECT_EQ(ReadTable("Qel", "Info_tbl").rows.size(), 1u);
    EXPECT_EQ(ReadTable("Qel", "Result_tbl").rows.size(), 1u);
}

TEST_F(ReportStore, FailureInTheMiddleLeavesThePreviousReportWhole) {
    RecordingSink sink;
    ASSERT_EQ(WriteReportTables(MakeReport("old", 3), sink), WriteOutcome::Written);
    const Snapshot before = Tables();
    Sql(
        {"CREATE TRIGGER refuse BEFORE INSERT ON Observation_tbl WHEN NEW.sStation = '5' "
         "BEGIN SELECT RAISE(ABORT, 'station 5 refused'); END"});

    EXPECT_EQ(WriteReportTables(MakeReport("new", 8), sink), WriteOutcome::Failed);
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0].icon, MessageIcon::Stop);
    EXPECT_NE(sink.shown[0].text.find("station 5 refused"), std::string::npos)
        << sink.shown[0].text;
    EXPECT_EQ(Tables(), before);
}

// Faults around the database. Each case breaks something after a first
// report was written, then writes a second report of kStations stations.
constexpr int kStations = 3;
constexpr int kEveryRow = 1 + 2 + kStations;  // the emptying, the header, the totals, each station

struct Fault {
    const char* label;
    std::function<void(DbTest&)> breakIt;
    WriteOutcome outcome;
    int warnings;      // messages with the warning icon
    int stops;         // messages with the stop icon
    const char* text;  // part of every message: the driver's words
};

void PrintTo(const Fault& fault, std::ostream* out) { *out << fault.label; }

class ReportStoreFaults : public DbTest, public ::testing::WithParamInterface<Fault> {};

// The database file's bytes, or nullopt when there is no file.
std::optional<std::string> FileBytes(const fs::path& file) {
    if (!fs::exists(file)) return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

void MakeReadOnly(const fs::path& file) {
    ::chmod(file.c_str(), 0444);
    // Root writes to read-only files anyway; have the driver open it read-only.
    if (::access(file.c_str(), W_OK) == 0) {
        DbTest::SetDsnKey("Database", "file:" + file.string() + "?mode=ro");
    }
}

TEST_P(ReportStoreFaults, DriverTextReachesTheUserAndNothingIsHalfWritten) {
    const Fault& fault = GetParam();
    RecordingSink sink;
    ASSERT_EQ(WriteReportTables(MakeReport("old", 2), sink), WriteOutcome::Written);
    const Snapshot before = Tables();

    fault.breakIt(*this);
    const std::optional<std::string> broken = FileBytes(DatabasePath());
    const bool folder = fs::exists(DataFolder());
    const WriteOutcome outcome = WriteReportTables(MakeReport("new", kStations), sink);

    EXPECT_EQ(outcome, fault.outcome);
    int warnings = 0;
    int stops = 0;
    for (const UserMessage& m : sink.shown) {
        (m.icon == MessageIcon::Stop ? stops : warnings)++;
        EXPECT_NE(m.text.find(fault.text), std::string::npos) << m.text;
    }
    EXPECT_EQ(warnings, fault.warnings);
    EXPECT_EQ(stops, fault.stops);

    if (outcome == WriteOutcome::Failed) {
        // Lift the fault and look: the first report is whole.
        std::error_code ignored;
        fs::permissions(DatabasePath(), fs::perms::owner_all, ignored);
        ASSERT_TRUE(RegisterDataSource());
        SetDsnKey("Timeout", "100");
        EXPECT_EQ(Tables(), before);
    } else {
        // Nothing was created, changed or written in place of the database.
        EXPECT_TRUE(FileBytes(DatabasePath()) == broken);
        EXPECT_EQ(fs::exists(DataFolder()), folder);
    }
}

const Fault kFaults[] = {
    {"missing data folder", [](DbTest& t) { fs::remove_all(t.DataFolder()); },
     WriteOutcome::Incomplete, kEveryRow, 0, "connect failed"},
    {"missing database file", [](DbTest& t) { fs::remove(t.DatabasePath()); },
     WriteOutcome::Incomplete, kEveryRow, 0, "Qel.db: database file not found"},
    {"not a database",
     [](DbTest& t) {
         std::ofstream(t.DatabasePath(), std::ios::binary | std::ios::trunc)
             << "garbage, not a database" << std::string(4096, '\x7f');
     },
     WriteOutcome::Incomplete, kEveryRow, 0, "file is not a database"},
    {"read-only database file", [](DbTest& t) { MakeReadOnly(t.DatabasePath()); },
     WriteOutcome::Failed, 0, 1, "readonly database"},
};

INSTANTIATE_TEST_SUITE_P(Faults, ReportStoreFaults, ::testing::ValuesIn(kFaults),
                         [](const auto& info) {
                             std::string name = info.param.label;
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return name;
                         });

// The driver manager caches data-source entries for the life of the process,
// so this runs in a process that never saw "Qel" registered.
class UnregisteredDataSource : public DbTest {
  protected:
    bool InstallsData() const override {
        InstallData(fs::path(LORVEX_SOURCE_DIR) / "resources", false);
        return false;
    }
};

TEST_F(UnregisteredDataSource, EveryTableReportsTheDriverManagersTextAndNothingIsWritten) {
    if (!FreshProcess()) GTEST_SKIP() << "needs a process of its own; run it through ctest";
    RecordingSink sink;
    const auto before = FileBytes(DatabasePath());
    ASSERT_TRUE(before.has_value());
    EXPECT_EQ(WriteReportTables(MakeReport("new", kStations), sink), WriteOutcome::Incomplete);
    ASSERT_EQ(sink.shown.size(), static_cast<std::size_t>(kEveryRow));
    for (const UserMessage& m : sink.shown) {
        EXPECT_EQ(m.icon, MessageIcon::Warning);
        EXPECT_NE(m.text.find("Data source name not found"), std::string::npos) << m.text;
    }
    EXPECT_TRUE(FileBytes(DatabasePath()) == before);
}

// A table that cannot be opened: the user sees the driver's text as before,
// once for the emptying and once per row meant for that table, and nothing
// of the new report is committed, so the previous one stays whole.
struct Unopenable {
    const char* label;
    std::vector<std::string> breakIt;
    std::size_t messages;
    const char* text;
};

TEST_F(ReportStore, ATableThatCannotBeOpenedCommitsNothing) {
    const Unopenable cases[] = {
        {"column of Observation_tbl renamed",
         {"ALTER TABLE Observation_tbl RENAME COLUMN sH TO sHeight"},
         1 + 2,
         "no such column: sH"},
        {"Observation_tbl dropped",
         {"DROP TABLE Observation_tbl"},
         1 + 2,
         "no such table: Observation_tbl"},
        {"Info_tbl with one column",
         {"DROP TABLE Info_tbl",
          "CREATE TABLE Info_tbl (Record_ID INTEGER PRIMARY KEY, sStationStGo TEXT)"},
         1 + 1,
         "no such column: sStationEnGo"},
        {"Result_tbl dropped", {"DROP TABLE Result_tbl"}, 1 + 1, "no such table: Result_tbl"},
    };
    for (const Unopenable& c : cases) {
        SCOPED_TRACE(c.label);
        RecordingSink sink;
        ASSERT_EQ(WriteReportTables(MakeReport("old", 3), sink), WriteOutcome::Written);
        const Snapshot before = Tables();
        Sql(c.breakIt);

        EXPECT_EQ(WriteReportTables(MakeReport("new", 2), sink), WriteOutcome::Incomplete);
        ASSERT_EQ(sink.shown.size(), c.messages);
        for (const UserMessage& m : sink.shown) {
            EXPECT_EQ(m.icon, MessageIcon::Warning);
            EXPECT_NE(m.text.find(c.text), std::string::npos) << m.text;
        }
        // The tables that still open hold the old report, untouched.
        for (const char* table : {"Info_tbl", "Result_tbl", "Observation_tbl"}) {
            const TableRows* old = std::string(table) == "Info_tbl"     ? &before.info
                                   : std::string(table) == "Result_tbl" ? &before.result
                                                                        : &before.observations;
            try {
                const TableRows now = ReadTable("Qel", table);
                if (now.columns == old->columns) {
                    EXPECT_EQ(now.rows, old->rows) << table;
                }
            } catch (const DbError&) {
                // the broken table itself
            }
        }
        // Mend the schema for the next case.
        fs::remove(DatabasePath());
        InstallData(fs::path(LORVEX_SOURCE_DIR) / "resources", false);
    }
}

// Two programs writing reports at once, without any lock of ours: the second
// waits for the first (the driver's busy timeout) instead of failing, and
// the tables end up holding one whole report.
TEST_F(ReportStore, ConcurrentWritersWaitForEachOther) {
    SetDsnKey("Timeout", "5000");
    constexpr int kRounds = 25;
    std::atomic<int> failures{0};
    auto writer = [&](const std::string& tag, int stations) {
        for (int round = 0; round < kRounds; ++round) {
            RecordingSink sink;
            if (WriteReportTables(MakeReport(tag, stations), sink) != WriteOutcome::Written) {
                ++failures;
                for (const UserMessage& m : sink.shown) ADD_FAILURE() << tag << ": " << m.text;
            }
        }
    };
    std::thread a(writer, "a", 5);
    std::thread b(writer, "b", 7);
    a.join();
    b.join();
    EXPECT_EQ(failures, 0);

    const Snapshot tables = Tables();
    ASSERT_EQ(tables.info.rows.size(), 1u);
    ASSERT_EQ(tables.result.rows.size(), 1u);
    const std::string tag = tables.info.rows[0][1]->substr(0, 1);
    EXPECT_EQ(tables.result.rows[0][1], tag + "-A");
    EXPECT_EQ(tables.observations.rows.size(), tag == "a" ? 5u : 7u);
    for (const auto& row : tables.observations.rows) EXPECT_EQ(row[17], tag + "-sTarget_Fore");
}

TEST_F(ReportStore, LockedDatabaseFailsAfterTheBusyTimeoutAndKeepsThePreviousReport) {
    RecordingSink sink;
    ASSERT_EQ(WriteReportTables(MakeReport("old", 2), sink), WriteOutcome::Written);
    const Snapshot before = Tables();
    {
        // Another program in the middle of a write.
        CDatabase other;
        other.Open("ODBC;DSN=Qel");
        Transaction holding(other);
        other.ExecuteSQL("INSERT INTO Result_tbl (sStationSt) VALUES ('other')");

        EXPECT_EQ(WriteReportTables(MakeReport("new", 2), sink), WriteOutcome::Failed);
    }
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0].icon, MessageIcon::Stop);
    EXPECT_NE(sink.shown[0].text.find("database is locked"), std::string::npos)
        << sink.shown[0].text;
    EXPECT_EQ(Tables(), before);
}

}  // namespace
}  // namespace lorvex::db::test
