// lorvex-screenshot [--file X.mdt] [--line N] [--select A-B] [--report] [--qt-dialogs]
//                   [--out DIR] [FILE]
//
// Opens the main window (offscreen unless QT_QPA_PLATFORM says otherwise),
// optionally imports a measurement file (--file through the chooser, FILE as
// `lorvex FILE` opens it at start), clicks line N (1-based) of the line
// list and selects data rows A to B, and saves main.png, about.png and
// icon.png into DIR (default: .). With --report it then presses
// "生成报表(&R)..." as start-up wires it (data source "Qel" registered, the
// tables written) and saves the report window as report.png. With
// --qt-dialogs it saves the file chooser (chooser.png) and an edit's context
// menu (edit-menu.png), whose texts come from Qt's Chinese catalogue.
// Messages the window would show are printed to stderr and answered OK.

#include <cstdio>
#include <memory>
#include <optional>

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>

#include "app/qt_translations.h"
#include "app/tarvel_format_app.h"
#include "base/strings.h"
#include "db/data_source.h"
#include "report/report_export_dlg.h"
#include "report/report_fill.h"
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
    std::optional<lorvex::OpenFileChoice> ChooseFileToOpen(QWidget*, std::string_view,
                                                           const QString&) override {
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

// The chooser as "打开数据(&B)..." shows it, in Qt's own widgets, opened in
// the folder of the file given (else the home folder); and the context menu
// of the window's first editable edit, its text selected so that most items
// are live.
bool SaveQtDialogs(lorvex::CTarvelFormatDlg& window, const QString& file, const QDir& out) {
    const QString folder = file.isEmpty() ? QDir::homePath() : QFileInfo(file).absolutePath();
    const QStringList filters = lorvex::FileFilterToQt(lorvex::LoadString(lorvex::IDS_FILE_FILTER));
    QFileDialog chooser(&window, QString(), folder, filters.join(QStringLiteral(";;")));
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    chooser.setFileMode(QFileDialog::ExistingFile);
    bool ok = Save(&chooser, out.filePath(QStringLiteral("chooser.png")));
    chooser.hide();

    QLineEdit* edit = nullptr;
    for (QLineEdit* candidate : window.findChildren<QLineEdit*>()) {
        if (!candidate->isReadOnly() && candidate->isEnabled()) {
            edit = candidate;
            break;
        }
    }
    if (edit == nullptr) {
        std::fprintf(stderr, "the window has no editable edit\n");
        return false;
    }
    if (edit->text().isEmpty()) edit->setText(QStringLiteral("1.234"));
    edit->setFocus();
    edit->selectAll();
    const std::unique_ptr<QMenu> menu(edit->createStandardContextMenu());
    menu->popup(edit->mapToGlobal(edit->rect().center()));
    ok = Save(menu.get(), out.filePath(QStringLiteral("edit-menu.png"))) && ok;
    menu->hide();
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (!lorvex::InstallQtChineseTranslations(app))
        std::fprintf(stderr, "Qt's Chinese catalogue is missing; Qt's texts stay English\n");

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
    const QCommandLineOption qtDialogsOption(
        QStringLiteral("qt-dialogs"),
        QStringLiteral("Also save the file chooser and an edit's context menu."));
    parser.addOptions(
        {fileOption, lineOption, selectOption, reportOption, qtDialogsOption, outOption});
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("Measurement file opened as at start-up."));
    parser.process(app);
    QApplication::setWindowIcon(lorvex::ProgramIcon());
    const QString startFile =
        parser.positionalArguments().isEmpty()
            ? QString()
            : QFileInfo(parser.positionalArguments().front()).absoluteFilePath();

    ScriptedUi ui(parser.value(fileOption));
    lorvex::CTarvelFormatDlg window(ui);
    window.show();
    QApplication::processEvents();
    if (parser.isSet(fileOption)) window.OnOpenData();
    if (!startFile.isEmpty()) window.OpenFile(startFile);
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

    if (parser.isSet(qtDialogsOption)) {
        ok = SaveQtDialogs(window, parser.isSet(fileOption) ? parser.value(fileOption) : startFile,
                           out) &&
             ok;
    }

    if (parser.isSet(reportOption)) {
        std::string error;
        if (!lorvex::db::RegisterDataSource(&error)) std::fprintf(stderr, "%s\n", error.c_str());
        bool reported = false;
        window.SetReportStep([&](lorvex::LevellingGrade grade, lorvex::db::ReportLock&) {
            // The dialog as the report step opens it, photographed instead of
            // run modally.
            lorvex::UiMessageSink sink(ui, &window);
            lorvex::report::CReportExportDlg dialog(sink, &window);
            dialog.SetRowSource(
                lorvex::report::WithGradeKnown(lorvex::WindowReportRows(window, grade), grade));
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
