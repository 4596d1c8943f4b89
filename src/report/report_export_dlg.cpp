#include "report/report_export_dlg.h"

#include <QPushButton>
#include <QResizeEvent>

#include "base/messages.h"
#include "db/data_source.h"
#include "db/report_lock.h"
#include "db/report_store.h"
#include "report/report_engine.h"
#include "report/report_viewer.h"

namespace lorvex::report {

void RunReportDialog(LevellingGrade grade, MessageSink& sink, QWidget* owner,
                     std::shared_ptr<ReportRowSource> rows, db::ReportLock* lock) {
    CReportExportDlg dialog(sink, owner);
    if (!rows) rows = MakeOdbcReportRows();
    dialog.SetRowSource(WithGradeKnown(std::move(rows), grade));
    dialog.SelectTemplate(grade);  // shows "模板不存在！" for a grade it has no template for
    dialog.OnInitDialog();         // fills the record book
    // The rows after the first page are read while the dialog runs; the
    // tables stay locked until they are all in.
    if (lock != nullptr) {
        if (!dialog.RowsPending()) {
            lock->Release();
        } else {
            QObject::connect(dialog.Viewer(), &ReportViewer::rowsRead, &dialog,
                             [lock] { lock->Release(); });
        }
    }
    dialog.exec();
    if (lock != nullptr) lock->Release();
}

ReportDialogLayout ComputeReportDialogLayout(QSize outer) {
    const int w = outer.width();
    const int h = outer.height();
    return {QRect(0, 30, std::max(0, w - 100), std::max(0, h - 100)),
            QRect(w - 90, h - 90, 70, 20)};
}

CReportExportDlg::CReportExportDlg(MessageSink& sink, QWidget* owner)
    : QDialog(owner), m_sink(sink) {
    setWindowTitle(QStringLiteral("生成报表"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);
    resize(740, 370);  // the resource size; replaced at once by the maximised layout
    m_viewer = new ReportViewer(this);
    m_viewer->setObjectName(QStringLiteral("viewer"));
    m_viewer->setWindowTitle(windowTitle());
    m_exit = new QPushButton(QStringLiteral("退出(&O)"), this);
    m_exit->setDefault(true);
    m_exit->setAutoDefault(true);
    connect(m_exit, &QPushButton::clicked, this, &CReportExportDlg::onOK);
}

CReportExportDlg::~CReportExportDlg() = default;

void CReportExportDlg::SelectTemplate(LevellingGrade grade) {
    if (const auto kind = TemplateKindForGrade(grade)) {
        m_templateKind = kind;
    } else {
        m_sink.Show(MessageFromId(IDS_NO_TEMPLATE));
    }
}

void CReportExportDlg::layoutControls() {
    const ReportDialogLayout l = ComputeReportDialogLayout(frameGeometry().size());
    m_viewer->setGeometry(l.viewer);
    m_exit->setGeometry(l.button);
}

bool CReportExportDlg::OnInitDialog() {
    if (m_initialised) return true;
    m_initialised = true;
    showMaximized();
    layoutControls();
    repaint();
    m_dataFolder = db::GetDataFolder();
    m_templatePath = TemplatePath(m_dataFolder, m_templateKind);
    const std::shared_ptr<ReportRowSource> rows = m_rows ? m_rows : MakeOdbcReportRows();
    if (FillReportGuarded(m_held, m_templatePath, m_templateKind, *rows, m_sink)) {
        // The viewer shows the pages alone: no list of pages, no status line.
        m_viewer->AttachReport(m_held.report);
        m_viewer->SetShowPageList(false);
        m_viewer->SetShowStatusBar(false);
        m_viewer->ShowReport();  // the report is prepared: this only paints
    }
    return true;
}

bool CReportExportDlg::RowsPending() const {
    const RefPtr<Report>& shown = m_viewer->ShownReport();
    return shown && !shown->IsPrepared();
}

int CReportExportDlg::exec() {
    OnInitDialog();
    return QDialog::exec();
}

void CReportExportDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    // The same rule after the user restores or resizes the window, so the
    // viewer never ends up hidden behind a smaller frame.
    if (m_initialised) layoutControls();
}

void CReportExportDlg::onOK() {
    m_held.report.Reset();
    m_held.engine.Reset();
    m_held.parameterField.Reset();
    m_viewer->AttachReport({});
    accept();
}

}  // namespace lorvex::report
