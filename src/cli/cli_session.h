#pragma once

// What the CLI commands share: parsed arguments, the state of a new main
// window, the messages shown so far, and the JSON helpers.

#include <iosfwd>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli.h"
#include "db/report_store.h"
#include "import/line_store.h"
#include "levelling/grade.h"
#include "levelling/report_command.h"
#include "levelling/report_header.h"
#include "levelling/strings.h"

namespace lorvex::cli {

using Json = nlohmann::ordered_json;

struct Options {
    std::string command;
    std::string file;
    std::optional<long long> line;  // 1-based row of the line list
    std::optional<std::string> headerFile;
    std::optional<std::string> pdf;
    bool force = false;
};

// A new main window as the CLI drives it: today's date in the header, no
// grade, no lines; messages collected in order and echoed to stderr.
class Session {
public:
    Session(const Options& options, std::ostream& out, std::ostream& err);

    const Options& options() const { return options_; }
    LineStore& store() { return store_; }
    LevellingGrade grade() const { return grade_; }
    ReportHeader& header() { return header_; }
    const std::vector<std::string>& dataRows() const { return dataRows_; }

    void Show(const UserMessage& message);
    Json& messages() { return messages_; }

    // Imports options().file. Returns an exit code when the command must end
    // here (file cannot be opened or read), having printed the JSON.
    std::optional<int> Import();

    // Clicks row options().line of the line list, as the window does.
    // Returns an exit code on a usage error (line beyond the last line).
    std::optional<int> ClickLine();

    // Overlays --header on the header as the user would type it.
    std::optional<int> ApplyHeaderFile();

    // Import, the click, the header, then the report command's checks and
    // computation: the rows, or the exit code the command ends with (its
    // JSON already printed).
    std::variant<int, ReportRows> ComputeReport();

    // Prints a JSON document followed by a newline; returns code.
    int Print(Json document, int code);
    int UsageError(const std::string& text);

private:
    Options options_;
    std::ostream& out_;
    std::ostream& err_;
    LineStore store_;
    LevellingGrade grade_ = GradeNone;
    ReportHeader header_;
    std::vector<std::string> dataRows_;
    Json messages_ = Json::array();
};

// The database layer's and the report's messages, into the session in order.
class SessionSink final : public db::MessageSink {
public:
    explicit SessionSink(Session& session) : session_(session) {}
    void Show(const UserMessage& message) override { session_.Show(message); }

private:
    Session& session_;
};

Json HeaderJson(const ReportHeader& header);
Json ResultJson(const ResultRow& row);
Json ObservationsJson(const std::vector<ObservationRow>& rows);
// The computed report as `compute` prints it (without messages).
Json ComputeJson(const ReportRows& rows);

// The commands that need the database or the report engine live beside the
// core ones; each returns the exit code.
int RunReport(Session& session);
int RunDump(Session& session);
int RunInstallData(Session& session);

// Fills the grade's template from the tables just written and writes the
// record book as a PDF; the exit code (kExitStopped when no report was made).
int WriteReportPdf(Session& session, LevellingGrade grade, const std::string& path);

}  // namespace lorvex::cli
