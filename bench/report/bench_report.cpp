// Times the two things a surveyor waits for with a long line: the PDF of the
// record book, and the first page on screen. The stations are computed by
// the levelling core from generated sightings and written to a private
// database, so the engine reads them through ODBC as in use.
//
//   bench_report [--stations N] [--grade G] [--keep OUT.pdf] [--shot DIALOG.png]
//   bench_report [--stations N] [--grade G] --runs R --baseline OTHER/bench_report
//
// With --baseline, this build and the other one run turn about, R times each,
// each a process of its own, and the figures are printed side by side with
// the ratio of their medians.

#include <stdlib.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "db/data_source.h"
#include "db/install.h"
#include "db/report_store.h"
#include "levelling/number_text.h"
#include "levelling/report_command.h"
#include "report/report_engine.h"
#include "report/report_entry.h"
#include "report/report_export_dlg.h"
#include "report/report_page_view.h"
#include "report/report_viewer.h"
#include "session/levelling_session.h"

namespace {

struct PrintingSink final : lorvex::MessageSink {
    int count = 0;
    void Show(const lorvex::UserMessage& m) override {
        ++count;
        std::fprintf(stderr, "message: %s\n", m.text.c_str());
    }
};

// Data-list rows of a line: per station a back sight, two fore sights and a
// back sight again (B F F B), readings in metres, distances in metres.
std::vector<std::string> Sightings(int stations, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> reading(0.8, 2.4), distance(15.0, 48.0),
        noise(-0.0003, 0.0003);
    std::vector<std::string> rows;
    rows.reserve(static_cast<std::size_t>(stations) * 4);
    for (int s = 0; s < stations; ++s) {
        const std::string back = s == 0 ? "BM1" : "T" + std::to_string(s);
        const std::string fore = s + 1 == stations ? "BM2" : "T" + std::to_string(s + 1);
        const double b = reading(rng), f = reading(rng), db = distance(rng), df = distance(rng);
        auto row = [&](const std::string& id, const char* code, double r, double d) {
            rows.push_back(id + " " + code + " " + lorvex::FormatFixed(r, 5) + " " +
                           lorvex::FormatFixed(d, 2) + " 08:00:00 1 107");
        };
        row(back, "B", b, db);
        row(fore, "F", f, df);
        row(fore, "F", f + noise(rng), df + 0.02);
        row(back, "B", b + noise(rng), db - 0.01);
    }
    return rows;
}

// The figures one process printed: PDF written, first page shown (ms).
struct Figures {
    double pdf = -1;
    double firstPage = -1;
};

Figures RunOnce(const std::string& program, int stations, int grade) {
    const std::string command = "'" + program + "' --stations " + std::to_string(stations) +
                                " --grade " + std::to_string(grade) + " 2>/dev/null";
    Figures figures;
    std::FILE* out = ::popen(command.c_str(), "r");
    if (out == nullptr) return figures;
    char line[256];
    while (std::fgets(line, sizeof line, out) != nullptr) {
        const std::string_view text(line);
        // The label ends where the figure begins.
        auto figure = [&](std::string_view label) {
            return text.rfind(label, 0) == 0 ? std::atof(line + label.size()) : -1.0;
        };
        if (text.rfind("PDF written", 0) == 0) figures.pdf = figure("PDF written");
        if (text.rfind("first page shown", 0) == 0) figures.firstPage = figure("first page shown");
    }
    ::pclose(out);
    return figures;
}

void PrintSpread(const char* what, std::vector<double> ours, std::vector<double> theirs) {
    auto spread = [](std::vector<double>& v, double* median) {
        std::sort(v.begin(), v.end());
        *median = v.empty() ? 0 : v[v.size() / 2];
        char text[96];
        std::snprintf(text, sizeof text, "min %8.1f  median %8.1f  max %8.1f ms",
                      v.empty() ? 0 : v.front(), *median, v.empty() ? 0 : v.back());
        return std::string(text);
    };
    double mine = 0, base = 0;
    const std::string a = spread(ours, &mine);
    const std::string b = spread(theirs, &base);
    std::printf("%-18s this build  %s\n", what, a.c_str());
    std::printf("%-18s baseline    %s\n", "", b.c_str());
    std::printf("%-18s %.2fx the baseline (medians)\n", "", base > 0 ? mine / base : 0.0);
}

// Runs this program and the baseline turn about and compares their figures.
int CompareWithBaseline(const char* self, const std::string& baseline, int stations, int grade,
                        int runs) {
    std::vector<double> pdf[2], first[2];
    for (int r = 0; r < runs; ++r) {
        for (int which = 0; which < 2; ++which) {
            const Figures f = RunOnce(which == 0 ? std::string(self) : baseline, stations, grade);
            if (f.pdf < 0 || f.firstPage < 0) {
                std::fprintf(stderr, "%s printed no figures\n",
                             which == 0 ? self : baseline.c_str());
                return 1;
            }
            pdf[which].push_back(f.pdf);
            first[which].push_back(f.firstPage);
        }
    }
    std::printf("stations %d, %d runs each, turn about\n", stations, runs);
    PrintSpread("PDF written", pdf[0], pdf[1]);
    PrintSpread("first page shown", first[0], first[1]);
    std::printf("goals (10,000 stations): PDF <= 800 ms, first page <= 30 ms\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int stations = 10000;
    int grade = lorvex::GradeSecond;
    std::string keep;
    std::string shot;
    int runs = 3;
    std::string baseline;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--stations"))
            stations = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--grade"))
            grade = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--keep"))
            keep = argv[i + 1];
        else if (!std::strcmp(argv[i], "--shot"))
            shot = argv[i + 1];
        else if (!std::strcmp(argv[i], "--runs"))
            runs = std::max(1, std::atoi(argv[i + 1]));
        else if (!std::strcmp(argv[i], "--baseline"))
            baseline = std::filesystem::absolute(argv[i + 1]).string();
    }
    if (!baseline.empty()) {
        const std::string self = std::filesystem::absolute(argv[0]).string();
        return CompareWithBaseline(self.c_str(), baseline, stations, grade, runs);
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    QTemporaryDir dir;
    setenv("ODBCINI", (dir.path() + "/odbc.ini").toLocal8Bit().constData(), 1);
    setenv("XDG_DATA_HOME", (dir.path() + "/data").toLocal8Bit().constData(), 1);
    lorvex::db::InstallData(std::filesystem::path(LORVEX_SOURCE_DIR) / "resources", false);
    std::string error;
    if (!lorvex::db::RegisterDataSource(&error)) {
        std::fprintf(stderr, "cannot register the data source: %s\n", error.c_str());
        return 1;
    }

    lorvex::ReportHeader header;
    header.sStationStGo = "BM1";
    header.sStationEnGo = "BM2";
    header.sWeather = "晴";
    header.sImaging = "清晰";
    const auto rows = Sightings(stations, 42);
    const std::vector<std::string_view> views(rows.begin(), rows.end());
    const auto prepared = lorvex::PrepareReport(1, views, grade, header);
    if (prepared.stop) {
        std::fprintf(stderr, "the line was refused: %s\n", prepared.stop->text.c_str());
        return 1;
    }
    PrintingSink sink;
    QElapsedTimer t;
    t.start();
    lorvex::db::WriteReportTables(prepared.rows, sink);
    std::printf("stations                 %d\n", stations);
    std::printf("tables written           %8.1f ms\n", t.nsecsElapsed() / 1e6);

    const std::string pdf = keep.empty() ? (dir.path() + "/book.pdf").toStdString() : keep;
    t.restart();
    const bool ok = lorvex::report::WriteReportPdf(grade, pdf, sink);
    const double pdfMs = t.nsecsElapsed() / 1e6;
    std::printf("PDF written              %8.1f ms  (%s, %lld KiB)\n", pdfMs, ok ? "ok" : "FAILED",
                static_cast<long long>(ok ? std::filesystem::file_size(pdf) / 1024 : 0));

    // First page on screen: the dialog's whole start (maximise, open, fill,
    // read the rows) up to the painted first page.
    t.restart();
    {
        lorvex::report::CReportExportDlg dialog(sink);
        dialog.SelectTemplate(grade);
        dialog.OnInitDialog();
        const double openedMs = t.nsecsElapsed() / 1e6;
        const QImage firstPage = dialog.Viewer()->PageView()->viewport()->grab().toImage();
        const double firstMs = t.nsecsElapsed() / 1e6;
        std::printf(
            "first page shown         %8.1f ms  (%d pages, %dx%d px; %.1f ms to open and "
            "fill, %.1f ms to paint)\n",
            firstMs, dialog.Viewer()->PageView()->pageCount(), firstPage.width(),
            firstPage.height(), openedMs, firstMs - openedMs);
        if (!shot.empty()) dialog.grab().save(QString::fromStdString(shot));
        // Paging to the end is as cheap as the first page.
        t.restart();
        dialog.Viewer()->PageView()->goToPage(dialog.Viewer()->PageView()->pageCount() - 1);
        dialog.Viewer()->PageView()->viewport()->grab();
        std::printf("last page shown          %8.1f ms\n", t.nsecsElapsed() / 1e6);
    }
    std::printf("goals (10,000 stations): PDF <= 800 ms, first page <= 30 ms\n");
    return ok && sink.count == 0 ? 0 : 1;
}
