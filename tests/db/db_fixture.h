#pragma once

// A private data folder and ODBC user configuration per test: ODBCINI and
// XDG_DATA_HOME point into a fresh temporary folder, the data is installed
// from the repository's resources and "Qel" is registered there.

#include <gtest/gtest.h>
#include <odbcinst.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "db/data_source.h"
#include "db/install.h"
#include "db/odbc.h"
#include "db/report_store.h"
#include "db/table_reader.h"

namespace lorvex::db::test {

namespace fs = std::filesystem;

struct RecordingSink final : MessageSink {
    std::vector<UserMessage> shown;
    void Show(const UserMessage& m) override { shown.push_back(m); }
};

inline ReportRows MakeReport(const std::string& tag, int stations) {
    ReportRows rows;
    rows.grade = GradeSecond;
    for (const auto& field : kReportHeaderFields) rows.info.*field.member = tag + "-" + field.name;
    rows.result.sStationSt = tag + "-A";
    rows.result.sStationEn = tag + "-B";
    rows.result.dDis_Go = 0.1004;
    rows.result.dDis_Back = 0.1004;
    rows.result.HeightAvg = 0.58028;
    for (int s = 1; s <= stations; ++s) {
        ObservationRow row;
        for (const auto& field : kObservationRowFields) row.*field.member = tag + "-" + field.name;
        row.sStation = std::to_string(s);
        rows.observations.push_back(row);
    }
    return rows;
}

// rows with one text of one station replaced.
inline void ReplaceText(ReportRows& rows, std::size_t station, std::string ObservationRow::*field,
                        const std::string& text) {
    ObservationTable replaced;
    for (std::size_t s = 0; s < rows.observations.size(); ++s) {
        ObservationRow row = rows.observations[s];
        if (s == station) row.*field = text;
        replaced.push_back(row);
    }
    rows.observations = std::move(replaced);
}

class DbTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ++setUpsInProcess_;
        char pattern[] = "/tmp/lorvex-db-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        setenv("ODBCINI", (root_ / "odbc.ini").c_str(), 1);
        setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
        if (InstallsData()) {
            InstallData(fs::path(LORVEX_SOURCE_DIR) / "resources", false);
            std::string error;
            ASSERT_TRUE(RegisterDataSource(&error)) << error;
            // Keep lock waits short: the production value would make the
            // lock tests wait seconds.
            SetDsnKey("Timeout", "100");
        }
    }

    void TearDown() override {
        std::error_code ignored;
        fs::permissions(DatabasePath(), fs::perms::owner_all, ignored);
        fs::remove_all(root_, ignored);
    }

    virtual bool InstallsData() const { return true; }

    // The driver manager caches data-source and driver entries for the life
    // of the process; a test about a missing entry needs a process that has
    // not looked one up yet. ctest runs every test in its own process.
    bool FreshProcess() const { return setUpsInProcess_ == 1; }

  public:
    static void SetDsnKey(const char* key, const std::string& value) {
        ASSERT_TRUE(SQLWritePrivateProfileString("Qel", key, value.c_str(), "odbc.ini"));
    }

    fs::path DataFolder() const { return root_ / "data" / "Lorvex"; }
    fs::path DatabasePath() const { return DataFolder() / "Qel.db"; }

    // Runs statements through the data source, outside any report.
    static void Sql(const std::vector<std::string>& statements) {
        CDatabase db;
        db.Open("ODBC;DSN=Qel");
        for (const auto& statement : statements) db.ExecuteSQL(statement);
    }

    struct Snapshot {
        TableRows info, result, observations;
        friend bool operator==(const Snapshot& a, const Snapshot& b) {
            return a.info.rows == b.info.rows && a.result.rows == b.result.rows &&
                   a.observations.rows == b.observations.rows;
        }
    };
    static Snapshot Tables() {
        return {ReadTable("Qel", "Info_tbl"), ReadTable("Qel", "Result_tbl"),
                ReadTable("Qel", "Observation_tbl")};
    }

  protected:
    fs::path root_;
    static inline int setUpsInProcess_ = 0;
};

}  // namespace lorvex::db::test
