#include "app/tarvel_format_app.h"

#include "app/single_instance.h"
#include "base/messages.h"
#include "base/strings.h"
#include "db/data_source.h"
#include "report/archived_report.h"
#include "report/report_export_dlg.h"

namespace lorvex {

CTarvelFormatApp::CTarvelFormatApp()
    : registerDataSource([](std::string* error) { return db::RegisterDataSource(error); }),
      runWindow([](CTarvelFormatDlg& window) { window.exec(); }) {}

std::filesystem::path CTarvelFormatApp::GetDataFolder() { return db::GetDataFolder(); }

bool CTarvelFormatApp::InitInstance() {
    const QString title = QString::fromStdString(LoadString(IDS_WINDOW_TITLE));
    SingleInstance instance(instanceName.isEmpty() ? SingleInstance::ServerNameFor(title)
                                                   : instanceName);
    if (instance.HandOverToRunningInstance()) return false;
    instance.Listen();  // without it the program still runs, only not alone

    std::string error;
    if (!registerDataSource(&error)) {
        ui->ShowMessage(nullptr, MessageFromId(IDS_DSN_FAILED, MessageIcon::Error),
                        MessageButtons::Ok);
    }

    CTarvelFormatDlg window(*ui);
    QObject::connect(&instance, &SingleInstance::activationRequested, &window,
                     [&window] { BringToFront(&window); });
    // The report command ends in the report window, over the main window.
    window.SetReportStep([this, &window](LevellingGrade grade, db::ReportLock& lock) {
        UiMessageSink sink(*ui, &window);
        report::RunReportDialog(grade, sink, &window, nullptr, &lock);
    });
    // A report from the archive opens in the same report window, filled from
    // its archived rows; the last report's tables are not touched.
    window.SetArchivedReportStep([this, &window](const ReportRows& rows) {
        UiMessageSink sink(*ui, &window);
        report::RunReportDialog(rows.grade, sink, &window,
                                report::MakeMemoryReportRows(report::ReportRowsFrom(rows)));
    });
    if (prepareWindow) prepareWindow(window);
    runWindow(window);
    return false;
}

}  // namespace lorvex
