// The commands over the archive of reports: the list, and one report again.

#include <charconv>
#include <iostream>
#include <sstream>
#include <string>
#include <utility>

#include "cli_session.h"
#include "db/data_source.h"
#include "db/odbc.h"
#include "db/report_archive.h"
#include "json_stream.h"

namespace lorvex::cli {
namespace {

std::optional<std::int64_t> ReportId(const std::string& text) {
    std::int64_t id = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), id);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || id < 1) {
        return std::nullopt;
    }
    return id;
}

// The archive is reached through "Qel" like the tables: registered first,
// as start-up does.
std::optional<int> RegisterDataSource(Session& s) {
    if (std::string error; !db::RegisterDataSource(&error)) {
        s.Show(MessageFromId(IDS_DSN_FAILED, MessageIcon::Error));
        std::cerr << "lorvex-cli: " << error << '\n';
        return s.Print(Json{{"error", error}, {"messages", s.MessagesJson()}}, kExitNoAccess);
    }
    return std::nullopt;
}

int DatabaseError(Session& s, const db::DbError& e) {
    s.Show(UserMessage{e.what(), MessageIcon::Warning});
    return s.Print(Json{{"error", e.what()}, {"messages", s.MessagesJson()}}, kExitNoAccess);
}

}  // namespace

std::string CheckArchiveUsage(const CliOptions& o) {
    if (o.line) return "--line takes a line's name with history";
    if (o.headerFile) return "--header goes with compute or report";
    if (o.force) return "--force goes with install-data";
    if (o.server || o.local) return "--server and --local go with install-data";
    if (o.command == "history") {
        if (!o.file.empty()) return "history takes no file";
        if (o.pdf) return "--pdf goes with report or reprint";
        return {};
    }
    if (o.limit) return "--limit goes with history";
    if (o.file.empty()) return "reprint needs a report id";
    if (!ReportId(o.file)) return "reprint takes a report id (a whole number from 1)";
    return {};
}

int RunHistory(Session& s) {
    if (auto code = RegisterDataSource(s)) return *code;
    // Each report is written as it is fetched: a crew's archive grows by
    // every report of every day. The text is held until the last row has
    // come, so a database that fails halfway still answers with its error
    // alone rather than half a list.
    std::ostringstream text;
    JsonStream out(text);
    out.BeginObject();
    out.Key("reports");
    out.BeginArray();
    try {
        db::ForEachArchivedReport(
            s.Options().limit, s.Options().lineName, [&out](const db::ArchivedReport& r) {
                out.BeginObject();
                out.Key("id");
                out.Value(r.id);
                for (const auto& [key, value] :
                     {std::pair{"written", &r.written}, std::pair{"user", &r.user},
                      std::pair{"host", &r.host}, std::pair{"file", &r.file},
                      std::pair{"line", &r.line}}) {
                    out.Key(key);
                    out.String(*value);
                }
                out.Key("grade");
                out.Value(r.grade);
                out.Key("stations");
                out.Value(r.stations);
                out.Key("length_km");
                out.Value(r.lengthKm);
                out.Key("height_m");
                out.Value(r.heightM);
                out.EndObject();
            });
    } catch (const db::DbError& e) {
        return DatabaseError(s, e);
    }
    out.EndArray();
    out.Key("messages");
    out.Value(s.MessagesJson());
    out.EndObject();
    out.Finish();
    s.StartOutput() << text.view();
    return kExitOk;
}

int RunReprint(Session& s) {
    if (auto code = RegisterDataSource(s)) return *code;
    const std::int64_t id = *ReportId(s.Options().file);
    std::optional<db::ArchivedRows> archived;
    try {
        archived = db::ReadArchivedReport(id);
    } catch (const db::DbError& e) {
        return DatabaseError(s, e);
    }
    if (!archived) {
        const std::string text = "no report " + std::to_string(id) + " in the archive";
        std::cerr << "lorvex-cli: " << text << '\n';
        return s.Print(Json{{"error", text}, {"messages", s.MessagesJson()}}, kExitStopped);
    }
    // As compute printed it when the report was written: the flags are
    // those of the limits then, not of today's limit table.
    Json document = ComputeJson(archived->rows);
    if (archived->check) AddCheckJson(document, *archived->check);
    int code = kExitOk;
    if (s.Options().pdf) {
        code = WriteReportPdf(s, archived->rows, archived->check, *s.Options().pdf, document);
    }
    document["messages"] = s.MessagesJson();
    return s.Print(std::move(document), code);
}

}  // namespace lorvex::cli
