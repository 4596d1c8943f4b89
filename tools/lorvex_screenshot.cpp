// lorvex-screenshot [--file X.mdt] [--line N] [--select A-B] [--report] [--out DIR]
//
// Opens the main window (offscreen unless QT_QPA_PLATFORM says otherwise),
// optionally imports a measurement file, clicks line N (1-based) of the line
// list and selects data rows A to B, and saves main.png, about.png and
// icon.png into DIR (default: .). With --report it then presses
// "生成报表(&R)..." as start-up wires it (data source "Qel" registered, the
// tables written) and saves the report window as report.png.
// Messages the window would show are printed to stderr and answered OK.

#include <cstdio>
#include <optional>

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QTimer>

#include "db/data_source.h"
#include "report/report_export_dlg.h"
#include "window/about_dlg.h"
#include "window/list_view.h"
#include "window/program_icon.h"
#include "window/tarvel_format_dlg.h"

namespace {

class ScriptedUi final : public lorvex::UiServices {
  public:
    explicit ScriptedUi(QString file) : file_(std::move(file)) {}
    lorvex::MessageAnswer ShowMessage(QWidget*, const lorvex::UserMessage& message,
                                      lorvex::MessageButtons buttons) override {
        std::fprintf(stderr, "message: %s\n", message.text.c_str());
        return buttons == lorvex::MessageButtons::YesNo ? lorvex::MessageAnswer::No
                                                        : lorvex::MessageAnswer::Ok;
    }
    std::optional<lorvex::OpenFileChoice> ChooseFileToOpen(QWidget*, std::string_view) override {
        if (file_.isEmpty()) return std::nullopt;
        return lorvex::OpenFileChoice{file_, 1};
    }

  private:
    QString file_;
};

// A real left click, so the list goes through its own mouse handling.
void ClickRow(lorvex::ListViewControl* list, int row) {
    const QModelIndex index = list->model()->index(row, 0);
    list->scrollTo(index);
    const QPoint at = list->visualRect(index).center();
    QMouseEvent press(QEvent::MouseButtonPress, at, list->viewport()->mapToGlobal(at),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, list->viewport()->mapToGlobal(at),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &press);
    QApplication::sendEvent(list->viewport(), &release);
}

bool Save(QWidget* widget, const QString& path) {
    widget->show();
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    const bool ok = widget->grab().save(path);
    std::fprintf(stderr, "%s %s\n", ok ? "saved" : "could not save", qPrintable(path));
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Saves PNG pictures of the Lorvex windows."));
    parser.addHelpOption();
    const QCommandLineOption fileOption(QStringLiteral("file"),
                                        QStringLiteral("Measurement file to import."),
                                        QStringLiteral("path"));
    const QCommandLineOption lineOption(
        QStringLiteral("line"), QStringLiteral("Line to click, from 1."), QStringLiteral("n"));
    const QCommandLineOption selectOption(QStringLiteral("select"),
                                          QStringLiteral("Data rows to select, from 1, e.g. 2-4."),
                                          QStringLiteral("a-b"));
    const QCommandLineOption outOption(QStringLiteral("out"), QStringLiteral("Output folder."),
                                       QStringLiteral("dir"), QStringLiteral("."));
    const QCommandLineOption reportOption(
        QStringLiteral("report"), QStringLiteral("Generate the report and save its window."));
    parser.addOptions({fileOption, lineOption, selectOption, reportOption, outOption});
    parser.process(app);

    ScriptedUi ui(parser.value(fileOption));
    lorvex::CTarvelFormatDlg window(ui);
    window.show();
    QApplication::processEvents();
    if (parser.isSet(fileOption)) window.OnOpenData();
    if (parser.isSet(lineOption)) {
        const int line = parser.value(lineOption).toInt() - 1;
        if (line < 0 || line >= window.LineList()->TextRows()->RowCount()) {
            std::fprintf(stderr, "no line %d\n", line + 1);
            return 2;
        }
        ClickRow(window.LineList(), line);
    }
    if (parser.isSet(selectOption)) {
        const QStringList range = parser.value(selectOption).split(QLatin1Char('-'));
        const int first = range.value(0).toInt() - 1;
        const int last = range.value(1, range.value(0)).toInt() - 1;
        auto* list = window.DataList();
        for (int r = first; r <= last && r < list->TextRows()->RowCount(); ++r) {
            if (r < 0) continue;
            list->selectionModel()->select(list->model()->index(r, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }

    const QDir out(parser.value(outOption));
    if (!out.exists() && !QDir().mkpath(out.path())) return 3;
    bool ok = Save(&window, out.filePath(QStringLiteral("main.png")));
    lorvex::CAboutDlg about(&window);
    ok = Save(&about, out.filePath(QStringLiteral("about.png"))) && ok;
    const QString iconPath = out.filePath(QStringLiteral("icon.png"));
    ok = lorvex::ProgramIcon().pixmap(128, 128).save(iconPath) && ok;
    std::fprintf(stderr, "saved %s\n", qPrintable(iconPath));

    if (parser.isSet(reportOption)) {
        std::string error;
        if (!lorvex::db::RegisterDataSource(&error)) std::fprintf(stderr, "%s\n", error.c_str());
        bool reported = false;
        window.SetReportStep([&](lorvex::LevellingGrade grade) {
            // The dialog as the report step opens it, photographed instead of
            // run modally.
            lorvex::UiMessageSink sink(ui, &window);
            lorvex::report::CReportExportDlg dialog(sink, &window);
            dialog.SelectTemplate(grade);
            dialog.OnInitDialog();
            ok = Save(&dialog, out.filePath(QStringLiteral("report.png"))) && ok;
            reported = true;
        });
        window.OnGenerateReport();
        ok = reported && ok;
    }
    return ok ? 0 : 3;
}
