#include "app/tarvel_format_app.h"

#include "app/single_instance.h"
#include "base/messages.h"
#include "base/strings.h"
#include "db/data_source.h"
#include "levelling/limits.h"
#include "report/report_export_dlg.h"
#include "report/report_fill.h"

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
        std::shared_ptr<report::ReportRowSource> rows;
        if (window.ReportedCheck()) {
            rows = report::WithRecordBookChecks(
                report::MakeOdbcReportRows(), report::RecordBookChecksOf(*window.ReportedCheck()));
        }
        report::RunReportDialog(grade, sink, &window, std::move(rows), &lock);
    });
    // The data folder's limit table, as a company may have tightened it.
    window.SetLimitFile(GetDataFolder() / std::string(kLimitFileName));
    if (prepareWindow) prepareWindow(window);
    runWindow(window);
    return false;
}

}  // namespace lorvex
