#pragma once

// Start-up: one instance per user, the data folder installed when it is
// missing, the data source registered, the main window run until it is
// closed, opening the file the program was started with. Nothing is saved at
// exit.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include <QString>

#include "report/report_fill.h"

#include "window/tarvel_format_dlg.h"
#include "window/ui_services.h"

namespace lorvex {

// The rows the report window of the shown line is filled from: the last
// report's tables through "Qel", with the line's checks for the record
// book's remarks and footer, and the line's name for every page.
std::shared_ptr<report::ReportRowSource> WindowReportRows(const CTarvelFormatDlg& window,
                                                          LevellingGrade grade);

class CTarvelFormatApp {
  public:
    CTarvelFormatApp();

    // Always false: the program ends when this returns, whether it handed
    // over to a running instance or ran its own window.
    bool InitInstance();

    // The folder of the database file and the report templates.
    static std::filesystem::path GetDataFolder();

    // The file given on the command line: opened by the window once it shows,
    // or handed to the running instance, which opens it.
    QString fileToOpen;

    // Seams for tests; the defaults are the real thing.
    UiServices* ui = &StandardUiServices();
    // Installs the data folder (database, templates, limits) when it or its
    // database is missing; throws std::runtime_error when it cannot.
    std::function<void()> installDataIfMissing;
    QString instanceName;  // empty: named from the window title and the user
    std::function<bool(std::string* error)> registerDataSource;
    std::function<void(CTarvelFormatDlg& window)> runWindow;  // default: exec()
    std::function<void(CTarvelFormatDlg& window)>
        prepareWindow;  // runs last, may replace the report step
};

}  // namespace lorvex
