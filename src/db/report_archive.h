#pragma once

// The archive of every report written: a row in Report_tbl saying when, by
// whom and from what, and the report's rows in the three archive tables.
// Reports are archived inside the transaction that writes the last-report
// tables, so an archived report and the tables never disagree.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "levelling/quality_check.h"
#include "levelling/report_command.h"

namespace lorvex::db {

class CDatabase;

// One line of the archive's list, newest first.
struct ArchivedReport {
    std::int64_t id = 0;
    std::string written;  // UTC, "2026-12-08T09:30:00Z"
    std::string user;
    std::string host;
    std::string file;  // the measurement file's name, without its folder
    std::string line;
    LevellingGrade grade = GradeNone;
    std::int64_t stations = 0;
    double lengthKm = 0.0;  // the report's dDis_Go
    double heightM = 0.0;   // the report's HeightAvg

    friend bool operator==(const ArchivedReport&, const ArchivedReport&) = default;
};

// An archived report as it was written: its rows and the outcome of the
// limit checks it was written with (none when no checks ran).
struct ArchivedRows {
    ReportRows rows;
    std::optional<LineCheck> check;
};

// The outcome of the limit checks as Report_tbl keeps it, compact text, and
// back. CheckFromText throws DbError for a text CheckText cannot have made.
std::string CheckText(const LineCheck& check);
LineCheck CheckFromText(std::string_view text);

// Who is writing on this computer, for Report_tbl. Platform seam.
std::string CurrentUserName();
std::string CurrentHostName();

// The time now in UTC as Report_tbl stores it.
std::string UtcTimestampNow();

// Creates whichever archive tables and indexes db lacks from
// resourcesDir/archive.sql (on a server, from kServerSchemaFile; in an Access file, from
// kAccessArchiveFile), keeping every table and row
// already there. Inside a transaction when the caller opened one. Throws DbError, or
// std::runtime_error when the file cannot be read.
void EnsureArchiveTables(CDatabase& db, const std::filesystem::path& resourcesDir);

// The schema of a PostgreSQL server in the resources: the last-report
// tables and the archive, each created only when missing.
inline constexpr char kServerSchemaFile[] = "schema_postgresql.sql";
// The archive tables in Access's own SQL, for the Windows data folder's file.
inline constexpr char kAccessArchiveFile[] = "archive_access.sql";

// Creates whatever of the tables a server database lacks, keeping every
// row already there. Throws DbError, or std::runtime_error for a database
// that is not PostgreSQL or a schema file that cannot be read.
void EnsureServerSchema(CDatabase& db, const std::filesystem::path& resourcesDir);

// Writes rows, with the checks they were computed with when check is given,
// as a new archived report on db, which must be inside the transaction that
// writes the last-report tables; creates missing archive tables first (a
// database from before the archive). Returns its id. Throws DbError; the
// caller rolls the whole transaction back.
std::int64_t ArchiveReport(CDatabase& db, const ReportRows& rows, const std::string& written,
                           const LineCheck* check = nullptr);

// The same for the report db's transaction has just written to the
// last-report tables: the stations are copied there by the database from
// Observation_tbl instead of being sent a second time.
std::int64_t ArchiveWrittenReport(CDatabase& db, const ReportRows& rows, const std::string& written,
                                  const LineCheck* check = nullptr);

// The archived reports through the data source "Qel", newest first; at most
// limit of them, only those of the line named lineName when it is given.
// Throws DbError.
std::vector<ArchivedReport> ListArchivedReports(std::optional<std::int64_t> limit,
                                                const std::optional<std::string>& lineName);

// The same reports, each handed to visit as it is fetched, for a caller that
// writes them out without holding the list; the reference lasts until visit
// returns. An exception from visit ends the listing. Throws DbError.
void ForEachArchivedReport(std::optional<std::int64_t> limit,
                           const std::optional<std::string>& lineName,
                           const std::function<void(const ArchivedReport&)>& visit);

// The rows of archived report id, as ComputeReport gave them when it was
// written (the file and line name from Report_tbl), with its checks; nullopt
// when the archive holds no such report. Throws DbError.
std::optional<ArchivedRows> ReadArchivedReport(std::int64_t id);

}  // namespace lorvex::db
