#include "report/report_page_view.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>

#include <algorithm>
#include <climits>
#include <cmath>

#include "report/engine_error.h"
#include "report/report_engine.h"

namespace lorvex::report {
namespace {

constexpr int kGap = 12;  // pixels around and between pages
constexpr double kMinZoom = 0.1;
constexpr double kMaxZoom = 8.0;

}  // namespace

ReportPageView::ReportPageView(QWidget* parent) : QAbstractScrollArea(parent) {
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
    verticalScrollBar()->setSingleStep(40);
    horizontalScrollBar()->setSingleStep(40);
}

ReportPageView::~ReportPageView() = default;

void ReportPageView::setReport(RefPtr<Report> report) {
    m_report = std::move(report);
    m_current = 0;
    applyMode();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    viewport()->update();
    emit currentPageChanged(m_current);
}

int ReportPageView::pageCount() const {
    return (m_report && m_report->IsOpened()) ? m_report->PageCount() : 0;
}

QSize ReportPageView::pageSizePx() const {
    if (!m_report) return {};
    const QSizeF mm = m_report->PageSizeMm();
    const double pxPerMm = logicalDpiX() / 25.4 * m_zoom;
    return QSize(std::max(1, static_cast<int>(std::lround(mm.width() * pxPerMm))),
                 std::max(1, static_cast<int>(std::lround(mm.height() * pxPerMm))));
}

QRect ReportPageView::pageRect(int page) const {
    const QSize size = pageSizePx();
    const int contentWidth = size.width() + 2 * kGap;
    const int x = contentWidth < viewport()->width() ? (viewport()->width() - size.width()) / 2
                                                     : kGap - horizontalScrollBar()->value();
    const long long y =
        kGap + static_cast<long long>(page) * (size.height() + kGap) - verticalScrollBar()->value();
    return QRect(QPoint(x, static_cast<int>(y)), size);
}

void ReportPageView::goToPage(int page) {
    if (pageCount() == 0) return;
    page = std::clamp(page, 0, pageCount() - 1);
    const long long y = static_cast<long long>(page) * (pageSizePx().height() + kGap);
    verticalScrollBar()->setValue(
        static_cast<int>(std::min<long long>(y, verticalScrollBar()->maximum())));
    if (m_current != page) {
        m_current = page;
        emit currentPageChanged(page);
    }
}

void ReportPageView::setZoom(double zoom) {
    m_mode = ZoomMode::Custom;
    const int page = m_current;
    m_zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
    updateScrollBars();
    goToPage(page);
    viewport()->update();
    emit zoomChanged(m_zoom);
}

void ReportPageView::setZoomMode(ZoomMode mode) {
    m_mode = mode;
    const int page = m_current;
    applyMode();
    goToPage(page);
    viewport()->update();
}

void ReportPageView::applyMode() {
    if (m_report && m_mode != ZoomMode::Custom) {
        const QSizeF mm = m_report->PageSizeMm();
        const double px = logicalDpiX() / 25.4;
        // The scroll bar's width is kept free so fitting does not flip it.
        const int barWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        const double availW = std::max(
            50, viewport()->width() - 2 * kGap - (verticalScrollBar()->isVisible() ? 0 : barWidth));
        const double availH = std::max(50, viewport()->height() - 2 * kGap);
        double z = availW / (mm.width() * px);
        if (m_mode == ZoomMode::FitPage) z = std::min(z, availH / (mm.height() * px));
        z = std::clamp(z, kMinZoom, kMaxZoom);
        if (std::abs(z - m_zoom) > 1e-6) {
            m_zoom = z;
            emit zoomChanged(m_zoom);
        }
    }
    updateScrollBars();
}

void ReportPageView::updateScrollBars() {
    const QSize size = pageSizePx();
    const int pages = pageCount();
    const long long contentH =
        pages == 0 ? 0 : kGap + static_cast<long long>(pages) * (size.height() + kGap);
    const int contentW = pages == 0 ? 0 : size.width() + 2 * kGap;
    const int maxV =
        static_cast<int>(std::clamp<long long>(contentH - viewport()->height(), 0, INT_MAX));
    verticalScrollBar()->setRange(0, maxV);
    verticalScrollBar()->setPageStep(viewport()->height());
    horizontalScrollBar()->setRange(0, std::max(0, contentW - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
}

void ReportPageView::updateCurrentPage() {
    if (pageCount() == 0) return;
    const int stride = pageSizePx().height() + kGap;
    // The page that holds the upper third of the view is the current one.
    const long long probe = verticalScrollBar()->value() + viewport()->height() / 3;
    const int page = std::clamp(static_cast<int>(probe / std::max(1, stride)), 0, pageCount() - 1);
    if (page != m_current) {
        m_current = page;
        emit currentPageChanged(page);
    }
}

void ReportPageView::paintEvent(QPaintEvent* event) {
    const int pages = pageCount();
    if (pages == 0) return;
    QPainter painter(viewport());
    const QSize size = pageSizePx();
    const int stride = size.height() + kGap;
    const int top = verticalScrollBar()->value();
    const int first = std::max(0, (top - kGap) / stride);
    const int last = std::min(pages - 1, (top + viewport()->height()) / stride);
    for (int page = first; page <= last; ++page) {
        const QRect r = pageRect(page);
        if (!r.intersects(event->rect())) continue;
        painter.fillRect(r.translated(2, 2), QColor(0, 0, 0, 60));
        painter.fillRect(r, Qt::white);
        painter.save();
        painter.setClipRect(r);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        MapPageToRect(painter, m_report->PageSizeMm(), QRectF(r));
        try {
            // A page further on than the rows read so far waits for them.
            m_report->ReadThrough(page);
            m_report->PaintPage(painter, page);
        } catch (const EngineError&) {
            // The page stays blank; the viewer reports the failed read.
        }
        painter.restore();
    }
}

void ReportPageView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    const int page = m_current;
    applyMode();
    if (m_mode != ZoomMode::Custom) goToPage(page);
}

void ReportPageView::scrollContentsBy(int, int) {
    updateCurrentPage();
    viewport()->update();
}

void ReportPageView::wheelEvent(QWheelEvent* event) {
    if (event->modifiers() & Qt::ControlModifier) {
        const double steps = event->angleDelta().y() / 120.0;
        setZoom(m_zoom * std::pow(1.15, steps));
        event->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

}  // namespace lorvex::report
