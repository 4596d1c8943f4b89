#pragma once

// The scrolling page area of the report viewer: the pages one under the
// other, painted only where they are visible, so a report of a thousand
// pages shows as fast as one of a single page.

#include <QAbstractScrollArea>

#include "report/ref_ptr.h"

namespace lorvex::report {

class Report;

class ReportPageView final : public QAbstractScrollArea {
    Q_OBJECT

  public:
    enum class ZoomMode { Custom, FitWidth, FitPage };

    explicit ReportPageView(QWidget* parent = nullptr);
    ~ReportPageView() override;

    // A prepared report, or none to show an empty area.
    void setReport(RefPtr<Report> report);
    const RefPtr<Report>& report() const { return m_report; }

    int pageCount() const;
    int currentPage() const { return m_current; }
    void goToPage(int page);

    double zoom() const { return m_zoom; }
    ZoomMode zoomMode() const { return m_mode; }
    void setZoom(double zoom);  // 1.0 = the paper's real size on the screen
    void setZoomMode(ZoomMode mode);

    // Where a page lies in viewport coordinates (for tests and hit testing).
    QRect pageRect(int page) const;

  signals:
    void currentPageChanged(int page);
    void zoomChanged(double zoom);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    QSize pageSizePx() const;
    void applyMode();
    void updateScrollBars();
    void updateCurrentPage();

    RefPtr<Report> m_report;
    double m_zoom = 1.0;
    ZoomMode m_mode = ZoomMode::FitWidth;
    int m_current = 0;
};

}  // namespace lorvex::report
