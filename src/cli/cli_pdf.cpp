// lorvex-cli report --pdf: the record book through the report engine, with
// no window.

#include <cstdlib>
#include <memory>

#include <QGuiApplication>

#include "cli_session.h"
#include "db/data_source.h"
#include "db/report_store.h"
#include "report/report_entry.h"
#include "report/report_fill.h"

namespace lorvex::cli {

int WriteReportPdf(Session& session, LevellingGrade grade, const std::string& path) {
    // Fonts and painting need a GUI application; a headless one will do.
    std::unique_ptr<QGuiApplication> application;
    if (QGuiApplication::instance() == nullptr) {
        if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "lorvex-cli";
        static char* argv[] = {name, nullptr};
        application = std::make_unique<QGuiApplication>(argc, argv);
    }
    SessionSink sink(session);
    // The 备注 and footer of the checks ride beside the stored rows.
    std::shared_ptr<report::ReportRowSource> rows = report::MakeOdbcReportRows();
    if (session.Check()) {
        rows = report::WithRecordBookChecks(std::move(rows),
                                            report::RecordBookChecksOf(*session.Check()));
    }
    return report::WriteReportPdf(grade, db::GetDataFolder(), *rows, path, sink) ? kExitOk
                                                                                 : kExitStopped;
}

}  // namespace lorvex::cli
