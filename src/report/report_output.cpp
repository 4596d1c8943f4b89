#include "report/report_output.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <algorithm>
#include <exception>

#include "report/pdf_text_map.h"
#include "report/report_engine.h"

namespace lorvex::report {

void PaintPages(Report& report, QPagedPaintDevice& device, int fromPage, int toPage,
                DrawnCharacters* drawn) {
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
        report.PaintPage(painter, page, drawn);
        painter.restore();
    }
    if (!painter.end()) throw EngineError(kErrorOutput, "报表输出失败。");
}

void WritePdf(const RefPtr<Report>& report, const QString& path) {
    Report& r = report.Checked();
    r.Prepare();
    // Written beside the target and renamed over it at the end, so a failure
    // never leaves half a record book under the name the user chose.
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly)) {
        throw EngineError(kErrorOutput, "无法写入 PDF 文件 " + path.toStdString() + "：" +
                                            out.errorString().toStdString());
    }
    QBuffer painted;
    painted.open(QIODevice::WriteOnly);
    DrawnCharacters drawn;
    {
        QPdfWriter writer(&painted);
        writer.setCreator(QStringLiteral("Lorvex"));
        writer.setTitle(r.Template().title);
        writer.setResolution(1200);
        // The template carries its own margins; the device page is the paper.
        writer.setPageLayout(
            QPageLayout(r.Template().pageSize, r.Template().orientation, QMarginsF(0, 0, 0, 0)));
        PaintPages(r, writer, 0, r.PageCount() - 1, &drawn);
    }
    QByteArray pdf;
    try {
        pdf = WriteDrawnTextMaps(painted.data(), drawn, TemplateFonts(r.Template()));
    } catch (const std::exception& e) {
        throw EngineError(kErrorOutput, "无法写出 PDF 的文字层：" + std::string(e.what()));
    }
    if (out.write(pdf) != pdf.size() || !out.commit()) {
        throw EngineError(kErrorOutput, "无法写入 PDF 文件 " + path.toStdString() + "：" +
                                            out.errorString().toStdString());
    }
}

void WritePdf(const std::vector<RefPtr<Report>>& books, const QString& path) {
    if (books.empty()) throw EngineError(kErrorOutput, "没有要输出的报表。");
    for (const auto& book : books) book.Checked().Prepare();
    // Written beside the target and renamed over it at the end, so a failure
    // never leaves half a record book under the name the user chose.
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly)) {
        throw EngineError(kErrorOutput, "无法写入 PDF 文件 " + path.toStdString() + "：" +
                                            out.errorString().toStdString());
    }
    QBuffer painted;
    painted.open(QIODevice::WriteOnly);
    DrawnCharacters drawn;
    std::vector<QFont> fonts;
    {
        const Report& first = *books.front();
        QPdfWriter writer(&painted);
        writer.setCreator(QStringLiteral("Lorvex"));
        writer.setTitle(first.Template().title);
        writer.setResolution(1200);
        QPainter painter;
        bool begun = false;
        for (const auto& book : books) {
            Report& r = *book;
            // The template carries its own margins; the device page is the paper.
            const QPageLayout layout(r.Template().pageSize, r.Template().orientation,
                                     QMarginsF(0, 0, 0, 0));
            for (const QFont& f : TemplateFonts(r.Template())) {
                if (std::find(fonts.begin(), fonts.end(), f) == fonts.end()) fonts.push_back(f);
            }
            for (int page = 0; page < r.PageCount(); ++page) {
                if (!begun) {
                    writer.setPageLayout(layout);
                    if (!painter.begin(&writer)) {
                        throw EngineError(kErrorOutput, "无法开始输出报表（设备不可用）。");
                    }
                    painter.setRenderHint(QPainter::Antialiasing, true);
                    begun = true;
                } else {
                    writer.setPageLayout(layout);
                    if (!writer.newPage()) {
                        painter.end();
                        throw EngineError(kErrorOutput, "无法输出报表的新一页。");
                    }
                }
                painter.save();
                MapPageToRect(painter, r.PageSizeMm(),
                              QRectF(0, 0, writer.width(), writer.height()));
                r.PaintPage(painter, page, &drawn);
                painter.restore();
            }
        }
        if (begun && !painter.end()) throw EngineError(kErrorOutput, "报表输出失败。");
    }
    QByteArray pdf;
    try {
        pdf = WriteDrawnTextMaps(painted.data(), drawn, fonts);
    } catch (const std::exception& e) {
        throw EngineError(kErrorOutput, "无法写出 PDF 的文字层：" + std::string(e.what()));
    }
    if (out.write(pdf) != pdf.size() || !out.commit()) {
        throw EngineError(kErrorOutput, "无法写入 PDF 文件 " + path.toStdString() + "：" +
                                            out.errorString().toStdString());
    }
}

}  // namespace lorvex::report
