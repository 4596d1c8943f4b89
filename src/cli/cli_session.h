#pragma once

// What the CLI commands share: parsed arguments, a levelling session as a new
// main window starts it, the messages shown so far, and the JSON helpers.

#include <iosfwd>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/grade.h"
#include "base/messages.h"
#include "cli.h"
#include "levelling/report_command.h"
#include "levelling/report_header.h"
#include "session/levelling_session.h"

namespace lorvex::cli {

class JsonStream;
using Json = nlohmann::ordered_json;

struct CliOptions {
    std::string command;
    std::string file;
    std::optional<long long> line;       // 1-based row of the line list
    std::optional<long long> otherLine;  // compare: the second run's row
    std::optional<std::string> headerFile;
    std::optional<std::string> pdf;
    std::optional<LevellingGrade> grade;  // --grade, for files that name none
    bool force = false;
    std::optional<std::string> server;    // install-data: the server's ODBC attributes
    bool local = false;                   // install-data: back to the local database file
    std::optional<long long> limit;       // history: at most this many reports
    std::optional<std::string> lineName;  // history: only this line's reports
    bool all = false;                     // report: every line of the file
    std::optional<std::string> csv;       // sections: the table as CSV
    std::optional<std::string> xlsx;      // sections: the table as a workbook
};

// One command's run: a levelling session as a new main window holds it
// (today's date in the header, no grade, no lines), driven as the window's
// commands would drive it; messages collected in order and echoed to stderr.
class Session {
  public:
    Session(const CliOptions& options, std::ostream& out, std::ostream& err);

    const CliOptions& Options() const { return m_options; }
    const LevellingSession& Levelling() const { return m_session; }

    void Show(const UserMessage& message);
    void Show(const Messages& messages);
    Json& MessagesJson() { return m_messages; }

    // Imports Options().file. Returns an exit code when the command must end
    // here (file cannot be opened or read, or the file leaves the grade open
    // and --grade does not answer it), having printed the JSON.
    std::optional<int> Import();

    // Answers the file's grade question with --grade: a usage error when
    // the file leaves the grade open and --grade is missing, or when the
    // given grade does not fit the file.
    std::optional<int> ApplyGrade(const std::optional<GradeQuestion>& question);

    // Clicks row Options().line of the line list, as the window does.
    // Returns an exit code on a usage error (line beyond the last line).
    std::optional<int> ClickLine();

    // Overlays --header on the header as the user would type it.
    std::optional<int> ApplyHeaderFile();

    // Import, the click, the header, then the report command's checks and
    // computation: the rows, or the exit code the command ends with (its
    // JSON already printed).
    std::variant<int, ReportRows> ComputeReport();

    // The limit checks of the last ComputeReport, beside its rows.
    const std::optional<LineCheck>& Check() const { return m_check; }

    // Reads the data folder's limit table into the session; its messages
    // are shown like any other.
    void LoadLimits();

    // Prints a JSON document followed by a newline; returns code.
    int Print(Json document, int code);
    // The stream a command writes its document to piece by piece (a
    // JsonStream), once the messages held for stderr are out.
    std::ostream& StartOutput();
    int UsageError(const std::string& text);
    // A failure that no command expects (an exception out of a library):
    // JSON with its text as the error, exit kExitNoAccess.
    int UnexpectedError(const std::string& text);
    // Writes a line "lorvex-cli: text" to stderr, after the messages held.
    void Complain(const std::string& text);

  private:
    // Writes each message's text to stderr on a line of its own.
    class StreamSink final : public MessageSink {
      public:
        explicit StreamSink(std::ostream& out) : m_out(out) {}
        void Show(const UserMessage& message) override;

      private:
        std::ostream& m_out;
    };

    CliOptions m_options;
    std::ostream& m_out;
    std::ostream& m_err;
    LevellingSession m_session;
    Json m_messages = Json::array();
    // stderr gets each run of identical messages once with its count; the
    // JSON array keeps every message.
    StreamSink m_errSink{m_err};
    RepeatCollapsingSink m_errRuns{m_errSink};
    std::optional<LineCheck> m_check;
};

// The database layer's and the report's messages, into the session in order.
class SessionSink final : public MessageSink {
  public:
    explicit SessionSink(Session& session) : m_session(session) {}
    void Show(const UserMessage& message) override { m_session.Show(message); }

  private:
    Session& m_session;
};

Json HeaderJson(const ReportHeader& header);
Json ResultJson(const ResultRow& row);
Json ObservationsJson(const ObservationTable& rows);
// The computed report as `compute` prints it (without messages).
Json ComputeJson(const ReportRows& rows);

// A flag as the JSON shows it: {"rule", "value", "limit", "unit"}.
Json FlagJson(const Flag& flag);
Json FlagsJson(const std::vector<Flag>& flags);
// The line's part of a check: {"stations", "length_km", "flags"}.
Json LineCheckJson(const LineCheck& check);
// The flags of each observation and of the line, into a computed report.
void AddCheckJson(Json& document, const LineCheck& check);

// The members of ComputeJson with those of AddCheckJson when check is
// given, written into an open object as they are produced.
void WriteComputed(JsonStream& out, const ReportRows& rows, const LineCheck* check);

// The commands that need the database or the report engine live beside the
// core ones; each returns the exit code.
int RunReport(Session& session);
int RunDump(Session& session);
int RunInstallData(Session& session);
int RunHistory(Session& session);
int RunReprint(Session& session);
// report --all: every line's record book in one PDF, the last line's report
// in the database.
int RunReportAll(Session& session);
// sections: the section table of every line.
int RunSections(Session& session);

// The usage rules of history and reprint; empty when the options are right.
std::string CheckArchiveUsage(const CliOptions& options);

class Drawing;

// The drawing module, loaded on first use; when it cannot be loaded, null
// after the messages, the complaint on stderr and the error in document.
Drawing* LoadDrawing(Session& session, Json& document);

// Fills the grade's template from the tables just written and writes the
// record book as a PDF; the exit code (kExitStopped when no report was made,
// kExitNoAccess with the error in document when nothing can draw it).
int WriteReportPdf(Session& session, LevellingGrade grade, const std::string& path, Json& document);

// The same from rows already read (an archived report) with the checks they
// were written with; the last-report tables are not read.
int WriteReportPdf(Session& session, const ReportRows& rows, const std::optional<LineCheck>& check,
                   const std::string& path, Json& document);

}  // namespace lorvex::cli
