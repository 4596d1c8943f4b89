#pragma once

// The report viewer: a finished report on screen with the viewer's own
// functions (page navigation, zoom, print, save as PDF). The report filling
// drives it through four operations: AttachReport, the two display flags and
// ShowReport.

#include <QWidget>

#include "report/ref_ptr.h"

class QAction;
class QLabel;
class QListWidget;
class QPrinter;
class QSpinBox;
class QStatusBar;
class QToolBar;

namespace lorvex::report {

class Report;
class ReportPageView;

class ReportViewer final : public QWidget {
    Q_OBJECT

  public:
    explicit ReportViewer(QWidget* parent = nullptr);
    ~ReportViewer() override;

    // The report to show at the next ShowReport; none empties the viewer.
    void AttachReport(RefPtr<Report> report);
    // Display flag: the side list of pages.
    void SetShowPageList(bool show);
    // Display flag: the status line (page, zoom, row count).
    void SetShowStatusBar(bool show);
    // Reads the rows of the report's first page if not done yet and shows
    // it; the other rows are read after, on the event loop (rowsRead when
    // all are in). Throws EngineError when the rows cannot be read.
    void ShowReport();

    const RefPtr<Report>& AttachedReport() const { return m_attached; }
    const RefPtr<Report>& ShownReport() const;
    ReportPageView* PageView() const { return m_view; }
    bool PageListShown() const { return m_showPageList; }
    bool StatusBarShown() const { return m_showStatus; }

    // The actions behind the tool bar, callable without dialogs.
    bool SavePdf(const QString& path);  // false after showing a message
    void Print(QPrinter& printer);

  signals:
    // Every row of the shown report has been read (or reading failed and
    // the viewer is empty).
    void rowsRead();

  private:
    void onReadMore();
    void fillPageList();
    void onPrint();
    void onSavePdf();
    void onPageChanged(int page);
    void updateState();

    ReportPageView* m_view = nullptr;
    QToolBar* m_toolBar = nullptr;
    QListWidget* m_pageList = nullptr;
    QStatusBar* m_status = nullptr;
    QSpinBox* m_pageBox = nullptr;
    QLabel* m_pageTotal = nullptr;
    QAction* m_first = nullptr;
    QAction* m_prev = nullptr;
    QAction* m_next = nullptr;
    QAction* m_last = nullptr;
    QAction* m_fitWidth = nullptr;
    QAction* m_fitPage = nullptr;
    QAction* m_zoomIn = nullptr;
    QAction* m_zoomOut = nullptr;
    QAction* m_print = nullptr;
    QAction* m_savePdf = nullptr;
    RefPtr<Report> m_attached;
    bool m_showPageList = true;
    bool m_showStatus = true;
};

}  // namespace lorvex::report
