#include "app/tarvel_format_app.h"

#include <exception>

#include <QApplication>
#include <QTimer>

#include "app/single_instance.h"
#include "base/messages.h"
#include "base/strings.h"
#include "db/data_source.h"
#include "db/install.h"
#include "db/report_archive.h"
#include "db/resources_dir.h"
#include "levelling/limits.h"
#include "report/archived_report.h"
#include "report/report_book_set.h"
#include "report/report_export_dlg.h"
#include "report/report_fill.h"
#include "window/program_icon.h"

namespace lorvex {

std::shared_ptr<report::ReportRowSource> WindowReportRows(const CTarvelFormatDlg& window,
                                                          LevellingGrade grade) {
    std::shared_ptr<report::ReportRowSource> rows = report::MakeOdbcReportRows();
    if (window.ReportedCheck()) {
        rows = report::WithRecordBookChecks(std::move(rows),
                                            report::RecordBookChecksOf(*window.ReportedCheck()));
    }
    // The line's name on every page, so a loose page can be placed.
    if (window.ShownLine() >= 0) {
        rows = report::WithRecordBookLine(
            std::move(rows),
            {window.Session().LineName(static_cast<std::size_t>(window.ShownLine())), grade});
    }
    return rows;
}

CTarvelFormatApp::CTarvelFormatApp()
    : installDataIfMissing([] {
          // A program run from the build tree before lorvex-cli install-data
          // would otherwise fail at every report for want of the database.
          std::error_code error;
          const std::filesystem::path folder = db::GetDataFolder();
          if (std::filesystem::exists(folder / db::DatabaseFileName(), error)) return;
          db::InstallData(db::ResourcesDir(), false);
      }),
      registerDataSource([](std::string* error) { return db::RegisterDataSource(error); }),
      runWindow([](CTarvelFormatDlg& window) { window.exec(); }) {}

std::filesystem::path CTarvelFormatApp::GetDataFolder() { return db::GetDataFolder(); }

bool CTarvelFormatApp::InitInstance() {
    // Every window and box from here on, the first message included, shows
    // the program's icon instead of a generic one.
    QApplication::setWindowIcon(ProgramIcon());

    const QString title = QString::fromStdString(LoadString(IDS_WINDOW_TITLE));
    SingleInstance instance(instanceName.isEmpty() ? SingleInstance::ServerNameFor(title)
                                                   : instanceName);
    if (instance.HandOverToRunningInstance(1000, fileToOpen)) return false;
    instance.Listen();  // without it the program still runs, only not alone

    try {
        installDataIfMissing();
    } catch (const std::exception& e) {
        ui->ShowMessage(nullptr, UserMessage{e.what(), MessageIcon::Error}, MessageButtons::Ok);
    }

    std::string error;
    if (!registerDataSource(&error)) {
        ui->ShowMessage(nullptr, MessageFromId(IDS_DSN_FAILED, MessageIcon::Error),
                        MessageButtons::Ok);
    }

    CTarvelFormatDlg window(*ui);
    QObject::connect(&instance, &SingleInstance::activationRequested, &window,
                     [&window] { BringToFront(&window); });
    QObject::connect(&instance, &SingleInstance::fileOpenRequested, &window,
                     [&window](const QString& path) {
                         BringToFront(&window);
                         window.OpenFile(path);
                     });
    if (!fileToOpen.isEmpty()) {
        // Once the window shows, so that messages of the import sit over it.
        QTimer::singleShot(0, &window, [&window, file = fileToOpen] { window.OpenFile(file); });
    }
    // The report command ends in the report window, over the main window.
    window.SetReportStep([this, &window](LevellingGrade grade, db::ReportLock& lock) {
        UiMessageSink sink(*ui, &window);
        report::RunReportDialog(grade, sink, &window, WindowReportRows(window, grade), &lock);
    });
    // The data folder's limit table, as a company may have tightened it.
    window.SetLimitFile(GetDataFolder() / std::string(kLimitFileName));
    // A report from the archive opens in the same report window, filled from
    // its archived rows; the last report's tables are not touched.
    window.SetArchivedReportStep([this, &window](const db::ArchivedRows& archived) {
        UiMessageSink sink(*ui, &window);
        report::RunReportDialog(archived.rows.grade, sink, &window,
                                report::ArchivedReportRows(archived.rows, archived.check));
    });
    // Every line's record book in one PDF, with the window's messages.
    window.SetBookSetStep([this, &window](const auto& lines, const std::filesystem::path& path,
                                          const CTarvelFormatDlg::BookSetProgress& progress) {
        UiMessageSink sink(*ui, &window);
        std::vector<report::BookSetLine> books;
        for (const auto& [name, prepared] : lines)
            books.push_back(report::BookLineFrom(name, prepared));
        return report::WriteBookSetPdf(books, GetDataFolder(), path, sink, progress).result ==
               report::BookSetOutcome::Result::Written;
    });
    if (prepareWindow) prepareWindow(window);
    runWindow(window);
    return false;
}

}  // namespace lorvex
