#include "report/report_viewer.h"

#include <QAction>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "report/report_engine.h"
#include "report/report_output.h"
#include "report/report_page_view.h"

namespace lorvex::report {
namespace {

// Prints the pages the printer's range asks for (all when none), through the
// same page painting as the screen and the PDF.
void PrintReport(const RefPtr<Report>& report, QPrinter& printer) {
    Report& r = report.Checked();
    r.Prepare();
    printer.setFullPage(true);
    // The template carries its own margins; the device page is the paper.
    printer.setPageLayout(
        QPageLayout(r.Template().pageSize, r.Template().orientation, QMarginsF(0, 0, 0, 0)));
    int from = 0;
    int to = r.PageCount() - 1;
    if (printer.fromPage() > 0) {
        from = printer.fromPage() - 1;
        to = std::max(from, printer.toPage() - 1);
    }
    PaintPages(r, printer, from, to);
}

}  // namespace

ReportViewer::ReportViewer(QWidget* parent) : QWidget(parent) {
    m_view = new ReportPageView(this);
    m_toolBar = new QToolBar(this);
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_pageList = new QListWidget(this);
    m_pageList->setMaximumWidth(110);
    m_pageList->setUniformItemSizes(true);
    m_status = new QStatusBar(this);
    m_status->setSizeGripEnabled(false);

    m_first = m_toolBar->addAction(QStringLiteral("首页"));
    m_prev = m_toolBar->addAction(QStringLiteral("上一页"));
    m_pageBox = new QSpinBox(this);
    m_pageBox->setMinimum(1);
    m_pageBox->setKeyboardTracking(false);
    m_pageBox->setPrefix(QStringLiteral("第 "));
    m_pageBox->setSuffix(QStringLiteral(" 页"));
    m_toolBar->addWidget(m_pageBox);
    m_pageTotal = new QLabel(this);
    m_toolBar->addWidget(m_pageTotal);
    m_next = m_toolBar->addAction(QStringLiteral("下一页"));
    m_last = m_toolBar->addAction(QStringLiteral("末页"));
    m_toolBar->addSeparator();
    m_fitWidth = m_toolBar->addAction(QStringLiteral("适合宽度"));
    m_fitPage = m_toolBar->addAction(QStringLiteral("整页"));
    m_zoomIn = m_toolBar->addAction(QStringLiteral("放大"));
    m_zoomOut = m_toolBar->addAction(QStringLiteral("缩小"));
    m_toolBar->addSeparator();
    m_print = m_toolBar->addAction(QStringLiteral("打印(&P)..."));
    m_savePdf = m_toolBar->addAction(QStringLiteral("保存为 PDF(&S)..."));
    m_first->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Home));
    m_last->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_End));
    m_prev->setShortcut(QKeySequence(Qt::Key_PageUp));
    m_next->setShortcut(QKeySequence(Qt::Key_PageDown));
    m_zoomIn->setShortcut(QKeySequence::ZoomIn);
    m_zoomOut->setShortcut(QKeySequence::ZoomOut);
    m_print->setShortcut(QKeySequence::Print);

    auto* body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 0, 0);
    body->addWidget(m_pageList);
    body->addWidget(m_view, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_toolBar);
    layout->addLayout(body, 1);
    layout->addWidget(m_status);

    connect(m_first, &QAction::triggered, this, [this] { m_view->goToPage(0); });
    connect(m_prev, &QAction::triggered, this,
            [this] { m_view->goToPage(m_view->currentPage() - 1); });
    connect(m_next, &QAction::triggered, this,
            [this] { m_view->goToPage(m_view->currentPage() + 1); });
    connect(m_last, &QAction::triggered, this,
            [this] { m_view->goToPage(m_view->pageCount() - 1); });
    connect(m_pageBox, &QSpinBox::valueChanged, this, [this](int v) { m_view->goToPage(v - 1); });
    connect(m_fitWidth, &QAction::triggered, this,
            [this] { m_view->setZoomMode(ReportPageView::ZoomMode::FitWidth); });
    connect(m_fitPage, &QAction::triggered, this,
            [this] { m_view->setZoomMode(ReportPageView::ZoomMode::FitPage); });
    connect(m_zoomIn, &QAction::triggered, this,
            [this] { m_view->setZoom(m_view->zoom() * 1.25); });
    connect(m_zoomOut, &QAction::triggered, this,
            [this] { m_view->setZoom(m_view->zoom() / 1.25); });
    connect(m_print, &QAction::triggered, this, &ReportViewer::onPrint);
    connect(m_savePdf, &QAction::triggered, this, &ReportViewer::onSavePdf);
    connect(m_view, &ReportPageView::currentPageChanged, this, &ReportViewer::onPageChanged);
    connect(m_view, &ReportPageView::zoomChanged, this, [this] { updateState(); });
    connect(m_pageList, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0 && row != m_view->currentPage()) m_view->goToPage(row);
    });
    updateState();
}

ReportViewer::~ReportViewer() = default;

void ReportViewer::AttachReport(RefPtr<Report> report) {
    m_attached = std::move(report);
    if (!m_attached) {
        m_view->setReport({});
        m_pageList->clear();
        updateState();
    }
}

void ReportViewer::SetShowPageList(bool show) {
    m_showPageList = show;
    m_pageList->setVisible(show);
}

void ReportViewer::SetShowStatusBar(bool show) {
    m_showStatus = show;
    m_status->setVisible(show);
}

const RefPtr<Report>& ReportViewer::ShownReport() const { return m_view->report(); }

void ReportViewer::ShowReport() {
    // Throws before anything changes on screen.
    if (m_attached) m_attached->PrepareFirstPage();
    m_view->setReport(m_attached);
    fillPageList();
    updateState();
    onPageChanged(m_view->currentPage());
    if (m_attached && !m_attached->IsPrepared()) {
        QTimer::singleShot(0, this, &ReportViewer::onReadMore);
    } else {
        emit rowsRead();
    }
}

void ReportViewer::onReadMore() {
    const RefPtr<Report> report = m_view->report();
    if (!report || report->IsPrepared()) return;  // replaced, or read through meanwhile
    const int pages = report->PageCount();
    try {
        // A few milliseconds a batch, so the window stays responsive.
        if (!report->ReadMoreRows(2000)) {
            QTimer::singleShot(0, this, &ReportViewer::onReadMore);
            return;
        }
    } catch (const EngineError& e) {
        AttachReport({});
        QMessageBox::warning(this, windowTitle(), QString::fromStdString(e.Describe()));
        emit rowsRead();
        return;
    }
    if (report->PageCount() != pages) fillPageList();
    updateState();
    // The sums print at the places of all rows: paint again with them.
    m_view->viewport()->update();
    emit rowsRead();
}

void ReportViewer::fillPageList() {
    m_pageList->clear();
    if (!m_view->report()) return;
    QStringList names;
    const int pages = m_view->report()->PageCount();
    names.reserve(pages);
    for (int i = 0; i < pages; ++i) names << QStringLiteral("第 %1 页").arg(i + 1);
    m_pageList->addItems(names);
}

void ReportViewer::onPageChanged(int page) {
    {
        const QSignalBlocker block(m_pageBox);
        m_pageBox->setValue(page + 1);
    }
    {
        const QSignalBlocker block(m_pageList);
        m_pageList->setCurrentRow(page);
    }
    updateState();
}

void ReportViewer::updateState() {
    const int pages = m_view->pageCount();
    const int page = m_view->currentPage();
    const bool any = pages > 0;
    {
        const QSignalBlocker block(m_pageBox);
        m_pageBox->setMaximum(std::max(1, pages));
    }
    m_pageBox->setEnabled(any);
    m_pageTotal->setText(QStringLiteral(" 共 %1 页 ").arg(pages));
    m_first->setEnabled(any && page > 0);
    m_prev->setEnabled(any && page > 0);
    m_next->setEnabled(any && page + 1 < pages);
    m_last->setEnabled(any && page + 1 < pages);
    for (QAction* a : {m_fitWidth, m_fitPage, m_zoomIn, m_zoomOut, m_print, m_savePdf})
        a->setEnabled(any);
    if (any) {
        const int rows = m_view->report()->RowCount();
        m_status->showMessage(QStringLiteral("第 %1 页 共 %2 页    %3 个测站    %4%")
                                  .arg(page + 1)
                                  .arg(pages)
                                  .arg(rows)
                                  .arg(qRound(m_view->zoom() * 100)));
    } else {
        m_status->clearMessage();
    }
}

bool ReportViewer::SavePdf(const QString& path) {
    try {
        WritePdf(m_view->report(), path);
        return true;
    } catch (const EngineError& e) {
        QMessageBox::warning(this, windowTitle(), QString::fromStdString(e.Describe()));
        return false;
    }
}

void ReportViewer::Print(QPrinter& printer) {
    try {
        PrintReport(m_view->report(), printer);
    } catch (const EngineError& e) {
        QMessageBox::warning(this, windowTitle(), QString::fromStdString(e.Describe()));
    }
}

void ReportViewer::onPrint() {
    if (!m_view->report()) return;
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    dialog.setMinMax(1, m_view->pageCount());
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    if (dialog.exec() == QDialog::Accepted) Print(printer);
}

void ReportViewer::onSavePdf() {
    if (!m_view->report()) return;
    QString name = m_view->report()->Template().title;
    if (name.isEmpty()) name = QStringLiteral("report");
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("保存为 PDF"),
                                                      name + QStringLiteral(".pdf"),
                                                      QStringLiteral("PDF 文件 (*.pdf)"));
    if (!path.isEmpty()) SavePdf(path);
}

}  // namespace lorvex::report
