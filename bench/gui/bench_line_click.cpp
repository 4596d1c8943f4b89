// bench_line_click [records [clean]]: a line of that many records (100000 by
// default) is imported, then clicked, scrolled and thinned out in the main
// window, offscreen; each step's wall time is printed in milliseconds, from
// the event to the repainted list. A click is timed apart from the limit
// checks that follow it. Run a Release build.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTemporaryDir>

#include "window/list_view.h"
#include "window/tarvel_format_dlg.h"

namespace {

class QuietUi final : public lorvex::UiServices {
  public:
    QString file;
    lorvex::MessageAnswer ShowMessage(QWidget*, const lorvex::UserMessage&,
                                      lorvex::MessageButtons buttons) override {
        return buttons == lorvex::MessageButtons::YesNo ? lorvex::MessageAnswer::Yes
                                                        : lorvex::MessageAnswer::Ok;
    }
    std::optional<lorvex::OpenFileChoice> ChooseFileToOpen(QWidget*, std::string_view,
                                                           const QString&) override {
        return lorvex::OpenFileChoice{file, 1};
    }
};

void Click(lorvex::ListViewControl* list, int row) {
    const QPoint at = list->visualRect(list->model()->index(row, 0)).center();
    const QPoint global = list->viewport()->mapToGlobal(at);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &press);
    QApplication::sendEvent(list->viewport(), &release);
}

// Until the list has been laid out and painted for the user to see.
void Settle(lorvex::ListViewControl* list) {
    QApplication::processEvents();
    list->viewport()->repaint();
}

struct Figures {
    std::vector<double> ms;
    void Print(const char* what) {
        std::sort(ms.begin(), ms.end());
        std::printf("%-44s median %8.2f ms  min %8.2f  max %8.2f  (%zu runs)\n", what,
                    ms[ms.size() / 2], ms.front(), ms.back(), ms.size());
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int records = argc > 1 ? std::max(4, std::atoi(argv[1])) : 100000;
    // "clean" as the second argument: no station breaks a limit.
    const bool clean = argc > 2 && std::strcmp(argv[2], "clean") == 0;

    // A fourth-order line: stations of A A B B, then the short line used to
    // switch away from it between clicks.
    QTemporaryDir dir;
    QuietUi ui;
    ui.file = dir.filePath(QStringLiteral("long.mdt"));
    {
        QFile file(ui.file);
        if (!file.open(QIODevice::WriteOnly)) return 1;
        file.write("@LONG Line 2026-03-07 08:00:00 0 0 106\r\n");
        for (int i = 0; i < records; ++i) {
            const int station = i / 4;
            const bool back = (i % 4) < 2;
            const QByteArray point = "P" + QByteArray::number(station + (back ? 0 : 1));
            // The fourth-order limit is 150 m: 152 m on one back sight
            // of each station breaks it.
            const char* distance = i % 4 == 0 && !clean ? " 152.00 08:11:00 " : " 25.31 08:11:00 ";
            file.write(point + (back ? " B " : " F ") + "1.2345" + QByteArray::number(i % 10) +
                       distance + QByteArray::number(i) + " 106\r\n");
        }
        file.write("@SHORT Line 2026-03-07 08:00:00 0 0 105\r\nA B 1.0 1.0 08:00:00 1 105\r\n");
    }

    lorvex::CTarvelFormatDlg window(ui);
    window.show();
    QApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    window.OnOpenData();
    std::printf("import of %d records                     %8.2f ms\n", records,
                static_cast<double>(timer.nsecsElapsed()) / 1e6);

    auto* lines = window.LineList();
    auto* data = window.DataList();
    // The limit checks follow a click once the rows are painted: the click
    // itself, the checks after it, and both as one step (what a click cost
    // when the checks ran inside it). Every station is marked, the worst
    // case for the marks, unless the line is clean.
    Figures click, checks, whole;
    for (int run = 0; run < 7; ++run) {
        Click(lines, 1);
        Settle(data);
        timer.restart();
        Click(lines, 0);
        data->viewport()->repaint();
        click.ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        QElapsedTimer after;
        after.start();
        while (window.ChecksPending()) QApplication::processEvents();
        data->viewport()->repaint();
        checks.ms.push_back(static_cast<double>(after.nsecsElapsed()) / 1e6);
        whole.ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    if (data->TextRows()->RowCount() != records) {
        std::fprintf(stderr, "expected %d rows, got %d\n", records, data->TextRows()->RowCount());
        return 1;
    }
    if (window.CheckSummary()->text().isEmpty()) {
        std::fprintf(stderr, "the checks did not run\n");
        return 1;
    }
    click.Print("click on the line until the list is painted");
    checks.Print("then the limit checks until marks are painted");
    whole.Print("click, list, checks and marks");

    Figures page;
    QScrollBar* bar = data->verticalScrollBar();
    for (int step = 0; step < 200; ++step) {
        timer.restart();
        bar->setValue(bar->value() + bar->pageStep());
        Settle(data);
        page.ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    page.Print("scroll one page and repaint");
    Figures jump;
    for (int step = 0; step < 50; ++step) {
        timer.restart();
        bar->setValue(step % 2 ? 0 : bar->maximum());
        Settle(data);
        jump.ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    jump.Print("jump between top and bottom and repaint");

    // Every other row selected, then deleted (the question answers Yes).
    QItemSelection every;
    for (int r = 0; r < records; r += 2)
        every.select(data->model()->index(r, 0), data->model()->index(r, 0));
    data->selectionModel()->select(every, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    timer.restart();
    window.OnDeleteRecords();
    Settle(data);
    std::printf("delete every other row (%6d rows)          %8.2f ms\n", (records + 1) / 2,
                static_cast<double>(timer.nsecsElapsed()) / 1e6);
    return window.Session().RecordCount(0) == static_cast<std::size_t>(records / 2) ? 0 : 1;
}
