// lorvex-cli report --pdf: the record book through the report engine, with
// no window.

#include <cstdlib>
#include <memory>

#include <QGuiApplication>

#include "cli_gui.h"
#include "cli_session.h"
#include "db/data_source.h"
#include "db/report_store.h"
#include "report/archived_report.h"
#include "report/report_entry.h"
#include "report/report_fill.h"

namespace lorvex::cli {

std::unique_ptr<QGuiApplication> StartGuiApplication() {
    if (QGuiApplication::instance() != nullptr) return nullptr;
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "lorvex-cli";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

int WriteReportPdf(Session& session, LevellingGrade grade, const std::string& path) {
    const auto application = StartGuiApplication();
    SessionSink sink(session);
    // The 备注 and footer of the checks ride beside the stored rows.
    std::shared_ptr<report::ReportRowSource> rows = report::MakeOdbcReportRows();
    if (session.Check()) {
        rows = report::WithRecordBookChecks(std::move(rows),
                                            report::RecordBookChecksOf(*session.Check()));
    }
    // The line's name on every page, so a loose page can be placed.
    const LevellingSession& levelling = session.Levelling();
    if (levelling.ShownLine() >= 0) {
        rows = report::WithRecordBookLine(
            std::move(rows),
            {levelling.LineName(static_cast<std::size_t>(levelling.ShownLine())), grade});
    }
    return report::WriteReportPdf(grade, db::GetDataFolder(), *rows, path, sink) ? kExitOk
                                                                                 : kExitStopped;
}

int WriteReportPdf(Session& session, const ReportRows& rows, const std::optional<LineCheck>& check,
                   const std::string& path) {
    const auto application = StartGuiApplication();
    SessionSink sink(session);
    return report::WriteReportPdfFrom(rows, check, path, sink) ? kExitOk : kExitStopped;
}

}  // namespace lorvex::cli
