#include "report/page_sequence.h"

#include <QPagedPaintDevice>
#include <QSaveFile>

#include <algorithm>
#include <exception>

#include "report/report_engine.h"
#include "report/report_layout.h"

namespace lorvex::report {

PageSequence::PageSequence(QPagedPaintDevice& device) : m_device(device) {}

PageSequence::~PageSequence() {
    if (m_painter.isActive()) m_painter.end();
}

QPainter& PageSequence::NextPage(QSizeF pageSizeMm, const QPageLayout* layout) {
    // A PDF takes each page's paper before the page starts.
    if (layout) m_device.setPageLayout(*layout);
    if (!m_begun) {
        if (!m_painter.begin(&m_device)) {
            throw EngineError(kErrorOutput, "无法开始输出报表（设备不可用）。");
        }
        m_painter.setRenderHint(QPainter::Antialiasing, true);
        m_begun = true;
    } else if (!m_device.newPage()) {
        m_painter.end();
        throw EngineError(kErrorOutput, "无法输出报表的新一页。");
    }
    m_painter.save();
    MapPageToRect(m_painter, pageSizeMm, QRectF(0, 0, m_device.width(), m_device.height()));
    return m_painter;
}

void PageSequence::EndPage() { m_painter.restore(); }

void PageSequence::PaintReport(Report& report, int fromPage, int toPage, bool ownPaper,
                               DrawnCharacters* drawn) {
    report.Prepare();
    fromPage = std::max(fromPage, 0);
    toPage = std::min(toPage, report.PageCount() - 1);
    const QPageLayout paper = PaperOf(report.Template());
    for (int page = fromPage; page <= toPage; ++page) {
        QPainter& painter = NextPage(report.PageSizeMm(), ownPaper ? &paper : nullptr);
        report.PaintPage(painter, page, drawn);
        EndPage();
    }
}

void PageSequence::Finish() {
    if (!m_begun) return;
    m_begun = false;
    if (!m_painter.end()) throw EngineError(kErrorOutput, "报表输出失败。");
}

PdfPages::PdfPages(const QString& title) {
    m_painted.open(QIODevice::WriteOnly);
    m_writer = std::make_unique<QPdfWriter>(&m_painted);
    m_writer->setCreator(QStringLiteral("Lorvex"));
    m_writer->setTitle(title);
    m_writer->setResolution(1200);
    m_pages = std::make_unique<PageSequence>(*m_writer);
}

PdfPages::~PdfPages() = default;

void PdfPages::AddReport(Report& report, int fromPage, int toPage) {
    report.Prepare();
    AddFonts(TemplateFonts(report.Template()));
    m_pages->PaintReport(report, fromPage, toPage, true, &m_drawn);
}

void PdfPages::AddFonts(const std::vector<QFont>& fonts) {
    for (const QFont& f : fonts) {
        if (std::find(m_fonts.begin(), m_fonts.end(), f) == m_fonts.end()) m_fonts.push_back(f);
    }
}

void PdfPages::Save(const QString& path) {
    m_pages->Finish();
    // The writer puts out the rest of the document when it goes.
    m_pages.reset();
    m_writer.reset();
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly)) {
        throw EngineError(kErrorOutput, "无法写入 PDF 文件 " + path.toStdString() + "：" +
                                            out.errorString().toStdString());
    }
    try {
        WriteDrawnTextMaps(m_painted.data(), out, m_drawn, m_fonts);
    } catch (const std::exception& e) {
        const bool written = out.error() == QFileDevice::NoError;
        out.cancelWriting();
        if (!written) {
            throw EngineError(kErrorOutput, "无法写入 PDF 文件 " + path.toStdString() + "：" +
                                                out.errorString().toStdString());
        }
        throw EngineError(kErrorOutput, "无法写出 PDF 的文字层：" + std::string(e.what()));
    }
    if (!out.commit()) {
        throw EngineError(kErrorOutput, "无法写入 PDF 文件 " + path.toStdString() + "：" +
                                            out.errorString().toStdString());
    }
}

QPageLayout PaperOf(const ReportTemplate& t) {
    return QPageLayout(t.pageSize, t.orientation, QMarginsF(0, 0, 0, 0));
}

}  // namespace lorvex::report
