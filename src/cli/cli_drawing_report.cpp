// The drawing module with the report engine: record books through Qt Gui
// and qpdf, with no window.

#include <cstdlib>
#include <memory>

#include <QGuiApplication>

#include "base/messages.h"
#include "cli_drawing_module.h"
#include "report/archived_report.h"
#include "report/report_book_set.h"
#include "report/report_entry.h"
#include "report/report_fill.h"

namespace lorvex::cli {
namespace {

// Fonts and painting need a GUI application; a headless one (the offscreen
// platform unless QT_QPA_PLATFORM says otherwise) will do. It lives until
// the process ends: Qt's font caches outlive any one book.
void StartGuiApplication() {
    if (QGuiApplication::instance() != nullptr) return;
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "lorvex-cli";
    static char* argv[] = {name, nullptr};
    static QGuiApplication application(argc, argv);
}

class ReportBookSet final : public BookSet {
  public:
    void Add(std::string name, const PreparedReport& prepared) override {
        m_lines.push_back(report::BookLineFrom(std::move(name), prepared));
    }

    BookSetResult Write(const std::filesystem::path& dataFolder, const std::filesystem::path& out,
                        MessageSink& sink) override {
        BookSetResult result;
        Guarded(sink, [&] {
            StartGuiApplication();
            report::BookSetOutcome outcome =
                report::WriteBookSetPdf(m_lines, dataFolder, out, sink);
            result.result = static_cast<BookSetResult::Result>(outcome.result);
            result.firstPages = std::move(outcome.firstPages);
            result.pageCounts = std::move(outcome.pageCounts);
            result.reasons = std::move(outcome.reasons);
            return true;
        });
        // A failure thrown half-way leaves no book; the contents say why.
        result.firstPages.resize(m_lines.size(), 0);
        result.pageCounts.resize(m_lines.size(), 0);
        result.reasons.resize(m_lines.size());
        return result;
    }

  private:
    std::vector<report::BookSetLine> m_lines;
};

static_assert(static_cast<int>(report::BookSetOutcome::Result::OutputFailed) ==
              static_cast<int>(BookSetResult::Result::OutputFailed));

class ReportDrawing final : public Drawing {
  public:
    bool DrawsRecordBooks() const override { return true; }

    bool WriteRecordBook(LevellingGrade grade, const LineCheck* check, const std::string* lineName,
                         const std::filesystem::path& dataFolder, const std::filesystem::path& out,
                         MessageSink& sink) override {
        return Guarded(sink, [&] {
            StartGuiApplication();
            // The 备注 and footer of the checks ride beside the stored rows.
            std::shared_ptr<report::ReportRowSource> rows = report::MakeOdbcReportRows();
            if (check) {
                rows = report::WithRecordBookChecks(std::move(rows),
                                                    report::RecordBookChecksOf(*check));
            }
            // The line's name on every page, so a loose page can be placed.
            if (lineName) rows = report::WithRecordBookLine(std::move(rows), {*lineName, grade});
            return report::WriteReportPdf(grade, dataFolder, *rows, out, sink);
        });
    }

    bool WriteRecordBookFrom(const ReportRows& rows, const std::optional<LineCheck>& check,
                             const std::filesystem::path& out, MessageSink& sink) override {
        return Guarded(sink, [&] {
            StartGuiApplication();
            return report::WriteReportPdfFrom(rows, check, out, sink);
        });
    }

    std::unique_ptr<BookSet> StartBookSet() override { return std::make_unique<ReportBookSet>(); }

    bool WriteSectionXlsx(const std::vector<SectionRow>& rows, const std::filesystem::path& out,
                          std::string& error) override {
        return WriteXlsxGuarded(rows, out, error);
    }
};

}  // namespace
}  // namespace lorvex::cli

LORVEX_DRAWING_EXPORT lorvex::cli::Drawing* lorvex_cli_drawing_v1() {
    static lorvex::cli::ReportDrawing drawing;
    return &drawing;
}
