#pragma once

// Writing a report's rows into the three tables: the header row, the totals
// row and one row per station, replacing the previous report.

#include <memory>
#include <string>

#include "base/messages.h"
#include "levelling/quality_check.h"
#include "levelling/report_command.h"
#include "levelling/report_header.h"
#include "levelling/totals.h"

namespace lorvex::db {

enum class WriteOutcome {
    Written,
    Incomplete,  // some table could not be opened: messages shown, nothing written
    Failed,      // ended with the database error (stop icon): nothing written
};

// Empties the three tables and writes the report's rows over one connection
// in one transaction, all or nothing: only Written changes the tables, and
// otherwise the previous report stays whole. A table that cannot be opened
// shows the driver's text (warning icon) once for the emptying and once per
// row meant for it. Any failure after a table opened shows the driver's text
// with the stop icon. A second writer waits for the first up to the driver's
// busy timeout; when that runs out, the driver's text says so (stop icon).
// Callers that read the tables back for a record book hold a ReportLock
// from before this call until the record book is filled.
// The archive keeps check, the outcome of the limit checks the rows were
// computed with, when one is given.
WriteOutcome WriteReportTables(const lorvex::ReportRows& rows, MessageSink& sink,
                               const lorvex::LineCheck* check = nullptr);

class CDatabase;

// Writes reports as WriteReportTables does, one after another, keeping the
// connection open between them when "Qel" reaches a server, so that a
// process writing several reports (the main window) connects once. A kept
// connection the server has ended meanwhile is opened afresh before the
// report is written, unseen by the user. The SQLite file is opened for each
// report: that costs next to nothing and leaves the file free in between.
class ReportWriter {
  public:
    ReportWriter();
    ReportWriter(const ReportWriter&) = delete;
    ReportWriter& operator=(const ReportWriter&) = delete;
    ~ReportWriter();

    WriteOutcome Write(const lorvex::ReportRows& rows, MessageSink& sink,
                       const lorvex::LineCheck* check = nullptr);

  private:
    std::unique_ptr<CDatabase> m_db;  // the kept server connection, or none
    std::string m_server;             // the attributes it was opened for
};

// The same steps one at a time, each opening and closing its own connection
// with no transaction: slower by orders of magnitude, kept for comparison.
// A table that cannot be opened shows the driver's text (warning icon) and
// gives false; EmptyTables then leaves the tables after it untouched.
// Failures after a table opened propagate as DbError.
bool EmptyTables(MessageSink& sink);
bool AppendInfoRow(const lorvex::ReportHeader& header, MessageSink& sink);
bool AppendResultRow(const lorvex::ResultRow& row, MessageSink& sink);
bool AppendObservationRow(const lorvex::ObservationRow& row, MessageSink& sink);

}  // namespace lorvex::db
