#include "report/report_output.h"

#include "report/page_sequence.h"
#include "report/report_engine.h"

namespace lorvex::report {

void PaintPages(Report& report, QPagedPaintDevice& device, int fromPage, int toPage,
                DrawnCharacters* drawn) {
    // The device keeps the paper it was set up with (a printer's dialog).
    PageSequence pages(device);
    pages.PaintReport(report, fromPage, toPage, false, drawn);
    pages.Finish();
}

void WritePdf(const RefPtr<Report>& report, const QString& path) {
    Report& r = report.Checked();
    r.Prepare();
    PdfPages pdf(r.Template().title);
    pdf.AddReport(r, 0, r.PageCount() - 1);
    pdf.Save(path);
}

void WritePdf(const std::vector<RefPtr<Report>>& books, const QString& path) {
    if (books.empty()) throw EngineError(kErrorOutput, "没有要输出的报表。");
    for (const auto& book : books) book.Checked().Prepare();
    PdfPages pdf(books.front()->Template().title);
    // Each book paints its own pages: its page numbers, page checks and
    // totals are its own, whatever comes before it in the file.
    for (const auto& book : books) pdf.AddReport(*book, 0, book->PageCount() - 1);
    pdf.Save(path);
}

}  // namespace lorvex::report
