// The commands that reach the database through the data source "Qel".

#include <exception>
#include <optional>
#include <string>

#include "cli_session.h"
#include "db/data_source.h"
#include "db/install.h"
#include "db/odbc.h"
#include "db/report_lock.h"
#include "db/report_store.h"
#include "db/resources_dir.h"
#include "db/table_reader.h"

namespace lorvex::cli {
namespace {

Json TableJson(const db::TableRows& table) {
    Json rows = Json::array();
    for (const auto& row : table.rows) {
        Json item = Json::object();
        for (std::size_t i = 0; i < table.columns.size() && i < row.size(); ++i) {
            item[table.columns[i]] = row[i] ? Json(*row[i]) : Json(nullptr);
        }
        rows.push_back(std::move(item));
    }
    return rows;
}

}  // namespace

void Session::LoadLimits() {
    const Messages messages =
        m_session.LoadLimits(db::GetDataFolder() / std::string(kLimitFileName));
    // Where the limits are the point of the command they join its messages;
    // beside the report's rows they are only said on stderr, so that the
    // messages stay those of the report command.
    const bool checking = m_options.command == "check" || m_options.command == "compare";
    for (const UserMessage& message : messages) {
        if (checking) {
            Show(message);
        } else {
            m_err << message.text << '\n';
        }
    }
}

int RunReport(Session& s) {
    auto computed = s.ComputeReport();
    if (const int* code = std::get_if<int>(&computed)) return *code;
    const ReportRows* rows = &std::get<ReportRows>(computed);
    Json document = ComputeJson(*rows);
    if (s.Check()) AddCheckJson(document, *s.Check());
    // What start-up does before the window opens: register "Qel". Without it
    // nothing is written: another "Qel" (a system-wide one) is not ours.
    if (std::string error; !db::RegisterDataSource(&error)) {
        s.Show(MessageFromId(IDS_DSN_FAILED, MessageIcon::Error));
        s.Complain(error);
        document["error"] = error;
        document["messages"] = s.MessagesJson();
        return s.Print(std::move(document), kExitNoAccess);
    }
    SessionSink sink(s);
    // Held from the write until the record book is filled, so that the book
    // shows this run's report and not another program's written meanwhile.
    std::optional<db::ReportLock> lock = db::ReportLock::Acquire(sink);
    if (!lock) {
        document["messages"] = s.MessagesJson();
        return s.Print(std::move(document), kExitNoAccess);
    }
    const db::WriteOutcome outcome =
        db::WriteReportTables(*rows, sink, s.Check() ? &*s.Check() : nullptr);
    if (outcome != db::WriteOutcome::Written) {
        document["messages"] = s.MessagesJson();
        return s.Print(std::move(document), kExitNoAccess);
    }
    int code = kExitOk;
    if (s.Options().pdf) {
        code = WriteReportPdf(s, rows->grade, *s.Options().pdf, document);
    }
    lock->Release();
    document["messages"] = s.MessagesJson();
    return s.Print(std::move(document), code);
}

int RunDump(Session& s) {
    SessionSink sink(s);
    // The three tables of one report, not parts of two.
    const std::optional<db::ReportLock> lock = db::ReportLock::Acquire(sink);
    if (!lock) return s.Print(Json{{"messages", s.MessagesJson()}}, kExitNoAccess);
    Json document = Json::object();
    for (const char* table : {"Info_tbl", "Result_tbl", "Observation_tbl"}) {
        try {
            document[table] = TableJson(db::ReadTable(db::kDataSourceName, table));
        } catch (const db::DbError& e) {
            s.Show(UserMessage{e.what(), MessageIcon::Warning});
            return s.Print(Json{{"error", e.what()}, {"messages", s.MessagesJson()}},
                           kExitNoAccess);
        }
    }
    document["messages"] = s.MessagesJson();
    return s.Print(std::move(document), kExitOk);
}

int RunInstallData(Session& s) {
    try {
        const std::filesystem::path resources = db::ResourcesDir();
        const CliOptions& o = s.Options();
        const std::vector<std::string> done = o.server ? db::InstallServerData(resources, *o.server)
                                              : o.local ? db::InstallLocalData(resources, o.force)
                                                        : db::InstallData(resources, o.force);
        return s.Print(Json{{"installed", db::GetDataFolder().string()},
                            {"resources", resources.string()},
                            {"done", done},
                            {"messages", s.MessagesJson()}},
                       kExitOk);
    } catch (const std::exception& e) {
        s.Complain(e.what());
        return s.Print(Json{{"error", e.what()}, {"messages", s.MessagesJson()}}, kExitNoAccess);
    }
}

}  // namespace lorvex::cli
