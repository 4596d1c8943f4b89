// The commands that reach the database through the data source "Qel".

#include <cstdlib>
#include <exception>
#include <iostream>

#include "cli_session.h"
#include "db/data_source.h"
#include "db/install.h"
#include "db/odbc.h"
#include "db/report_store.h"
#include "db/table_reader.h"

namespace lorvex::cli {
namespace {

// Where install-data finds the schema and templates: LORVEX_RESOURCES, else
// the resources folder of the source tree this binary was built from.
std::filesystem::path ResourcesDir() {
    if (const char* dir = std::getenv("LORVEX_RESOURCES"); dir != nullptr && *dir != '\0') {
        return dir;
    }
    return LORVEX_RESOURCES_DIR;
}

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

int RunReport(Session& s) {
    auto computed = s.ComputeReport();
    if (const int* code = std::get_if<int>(&computed)) return *code;
    const ReportRows* rows = &std::get<ReportRows>(computed);
    // What start-up does before the window opens: register "Qel".
    if (!db::RegisterDataSource()) {
        s.Show(MessageFromId(IDS_DSN_FAILED, MessageIcon::Error));
    }
    SessionSink sink(s);
    const db::WriteOutcome outcome = db::WriteReportTables(*rows, sink);
    Json document = ComputeJson(*rows);
    if (outcome != db::WriteOutcome::Written) {
        document["messages"] = s.MessagesJson();
        return s.Print(std::move(document), kExitNoAccess);
    }
    int code = kExitOk;
    if (s.Options().pdf) {
        code = WriteReportPdf(s, rows->grade, *s.Options().pdf);
    }
    document["messages"] = s.MessagesJson();
    return s.Print(std::move(document), code);
}

int RunDump(Session& s) {
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
        const std::vector<std::string> done = db::InstallData(ResourcesDir(), s.Options().force);
        return s.Print(Json{{"installed", db::GetDataFolder().string()},
                            {"done", done},
                            {"messages", s.MessagesJson()}},
                       kExitOk);
    } catch (const std::exception& e) {
        std::cerr << "lorvex-cli: " << e.what() << '\n';
        return s.Print(Json{{"error", e.what()}, {"messages", s.MessagesJson()}}, kExitNoAccess);
    }
}

}  // namespace lorvex::cli
