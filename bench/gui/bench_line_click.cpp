// bench_line_click [records [runs]]: two lines of that many records (100000 by
// default), one with every station breaking a limit and one clean, are
// imported, then clicked, scrolled and thinned out in the main window,
// offscreen; each step's wall time is printed in milliseconds, from the
// event to the repainted list. A click is timed apart from the limit checks
// that follow it, and the checks with the marks they set on the list apart
// from the same checks with nothing marked, in the same run, turn about.
// Run a Release build.

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
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
    double Median() {
        std::sort(ms.begin(), ms.end());
        return ms[ms.size() / 2];
    }
    double Min() { return *std::min_element(ms.begin(), ms.end()); }
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
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 15;

    // Two fourth-order lines of stations A A B B, one with every station
    // flagged and one clean, then the short line used to switch away from
    // them between clicks.
    QTemporaryDir dir;
    QuietUi ui;
    ui.file = dir.filePath(QStringLiteral("long.mdt"));
    {
        QFile file(ui.file);
        if (!file.open(QIODevice::WriteOnly)) return 1;
        for (const bool flagged : {true, false}) {
            file.write(flagged ? "@FLAGGED Line 2026-03-07 08:00:00 0 0 106\r\n"
                               : "@CLEAN Line 2026-03-07 08:00:00 0 0 106\r\n");
            for (int i = 0; i < records; ++i) {
                const int station = i / 4;
                const bool back = (i % 4) < 2;
                const QByteArray point = "P" + QByteArray::number(station + (back ? 0 : 1));
                // The fourth-order limit is 150 m: 152 m on one back sight
                // of each station breaks it.
                const char* distance =
                    i % 4 == 0 && flagged ? " 152.00 08:11:00 " : " 25.31 08:11:00 ";
                file.write(point + (back ? " B " : " F ") + "1.2345" + QByteArray::number(i % 10) +
                           distance + QByteArray::number(i) + " 106\r\n");
            }
        }
        file.write("@SHORT Line 2026-03-07 08:00:00 0 0 105\r\nA B 1.0 1.0 08:00:00 1 105\r\n");
    }
    enum : int { kFlaggedLine = 0, kCleanLine = 1, kShortLine = 2 };

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
    const auto since = [](const QElapsedTimer& t) {
        return static_cast<double>(t.nsecsElapsed()) / 1e6;
    };
    // The limit checks follow a click once the rows are painted. Each run
    // clicks the flagged line twice: once as the window does it (the click,
    // then the checks and the marks and summary they set), once with the
    // same checks run by hand and nothing marked, the pending ones then
    // left to run untimed; and then the clean line, which the checks mark
    // nowhere.
    Figures click, marked, unmarked, whole, wholeUnmarked, clean;
    const auto clickLine = [&](int line) {
        Click(lines, kShortLine);
        Settle(data);
        QElapsedTimer timer;
        timer.start();
        Click(lines, line);
        data->viewport()->repaint();
        return timer;
    };
    const auto withMarks = [&] {
        const QElapsedTimer clicked = clickLine(kFlaggedLine);
        click.ms.push_back(since(clicked));
        QElapsedTimer after;
        after.start();
        while (window.ChecksPending()) QApplication::processEvents();
        data->viewport()->repaint();
        marked.ms.push_back(since(after));
        whole.ms.push_back(since(clicked));
        return true;
    };
    const auto withoutMarks = [&] {
        const QElapsedTimer clicked = clickLine(kFlaggedLine);
        QElapsedTimer after;
        after.start();
        // What the event loop would deliver besides the checks' timer.
        QCoreApplication::sendPostedEvents();
        const std::optional<lorvex::RowMarks> checked = window.Session().CheckRows();
        data->viewport()->repaint();
        unmarked.ms.push_back(since(after));
        wholeUnmarked.ms.push_back(since(clicked));
        while (window.ChecksPending()) QApplication::processEvents();
        return checked && !checked->Empty();
    };
    const auto cleanLine = [&] {
        const QElapsedTimer clicked = clickLine(kCleanLine);
        while (window.ChecksPending()) QApplication::processEvents();
        data->viewport()->repaint();
        clean.ms.push_back(since(clicked));
        return true;
    };
    // The three steps take turns at going first, so that a slow spell of
    // the machine falls on each alike.
    const std::function<bool()> steps[] = {withMarks, withoutMarks, cleanLine};
    for (int run = 0; run < runs; ++run) {
        for (int k = 0; k < 3; ++k) {
            if (!steps[(run + k) % 3]()) {
                std::fprintf(stderr, "the flagged line checked without flags\n");
                return 1;
            }
        }
    }
    Click(lines, kCleanLine);
    while (window.ChecksPending()) QApplication::processEvents();
    if (window.CheckSummary()->text() != QStringLiteral("全部测站符合限差要求")) {
        std::fprintf(stderr, "the clean line was flagged\n");
        return 1;
    }
    Click(lines, kFlaggedLine);
    while (window.ChecksPending()) QApplication::processEvents();
    if (data->TextRows()->RowCount() != records) {
        std::fprintf(stderr, "expected %d rows, got %d\n", records, data->TextRows()->RowCount());
        return 1;
    }
    if (!window.CheckSummary()->text().startsWith(QStringLiteral("超限测站"))) {
        std::fprintf(stderr, "the checks did not mark the flagged line\n");
        return 1;
    }
    std::printf("every station flagged:\n");
    click.Print("click on the line until the list is painted");
    marked.Print("then the limit checks until marks are painted");
    unmarked.Print("the same checks, nothing marked");
    whole.Print("click, list, checks and marks");
    wholeUnmarked.Print("click, list and checks, nothing marked");
    std::printf("  marks' share: median %.3f, min %.3f (with / without marks)\n",
                whole.Median() / wholeUnmarked.Median(), whole.Min() / wholeUnmarked.Min());
    std::printf("no station flagged:\n");
    clean.Print("click, list, checks (no marks)");
    std::printf("  flagged / clean line: median %.3f, min %.3f\n", whole.Median() / clean.Median(),
                whole.Min() / clean.Min());

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
