#include "report/report_output.h"

#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

#include <algorithm>

#include "report/report_engine.h"

namespace lorvex::report {
namespace {

QPageLayout FullPageLayout(const Report& report) {
    const auto& t = report.Template();
    // The template carries its own margins; the device page is the paper.
    return QPageLayout(t.pageSize, t.orientation, QMarginsF(0, 0, 0, 0));
}

}  // namespace

void PaintPages(Report& report, QPagedPaintDevice& device, int fromPage, int toPage) {
    report.Prepare();
    fromPage = std::max(fromPage, 0);
    toPage = std::min(toPage, report.PageCount() - 1);
    if (fromPage > toPage) return;
    QPainter painter;
    if (!painter.begin(&device)) {
        throw EngineError(kErrorOutput, "无法开始输出报表（设备不可用）。");
    }
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QRectF paper(0, 0, device.width(), device.height());
    for (int page = fromPage; page <= toPage; ++page) {
        if (page > fromPage && !device.newPage()) {
            painter.end();
            throw EngineError(kErrorOutput, "无法输出报表的新一页。");
        }
        painter.save();
        MapPageToRect(painter, report.PageSizeMm(), paper);
        report.PaintPage(painter, page);
        painter.restore();
    }
    if (!painter.end()) throw EngineError(kErrorOutput, "报表输出失败。");
}

void WritePdf(const RefPtr<Report>& report, const QString& path) {
    Report& r = report.Checked();
    r.Prepare();
    {
        // QPdfWriter reports no error of its own when the file cannot be
        // created; try it first so the user learns why.
        QFile probe(path);
        if (!probe.open(QIODevice::WriteOnly)) {
            throw EngineError(kErrorOutput, "无法写入 PDF 文件 " + path.toStdString() + "：" +
                                                probe.errorString().toStdString());
        }
    }
    QPdfWriter writer(path);
    writer.setCreator(QStringLiteral("Lorvex"));
    writer.setTitle(r.Template().title);
    writer.setResolution(1200);
    writer.setPageLayout(FullPageLayout(r));
    PaintPages(r, writer, 0, r.PageCount() - 1);
}

void PrintReport(const RefPtr<Report>& report, QPrinter& printer) {
    Report& r = report.Checked();
    r.Prepare();
    printer.setFullPage(true);
    printer.setPageLayout(FullPageLayout(r));
    int from = 0;
    int to = r.PageCount() - 1;
    if (printer.fromPage() > 0) {
        from = printer.fromPage() - 1;
        to = std::max(from, printer.toPage() - 1);
    }
    PaintPages(r, printer, from, to);
}

}  // namespace lorvex::report
