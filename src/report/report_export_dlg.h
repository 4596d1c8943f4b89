#pragma once

// The report window "生成报表": opens maximised, lays the viewer and the
// "退出(&O)" button over the window, fills the grade's template and shows it.
// The user then pages, zooms, prints or saves the record book through the
// viewer.

#include <QDialog>

#include <filesystem>
#include <optional>

#include "base/grade.h"
#include "report/report_fill.h"

class QPushButton;

namespace lorvex {
class MessageSink;
}

namespace lorvex::report {

class ReportViewer;

// Where the viewer and the button go for a window whose outer size is
// outer: the viewer at (0, 30) sized W-100 by H-100, the button at
// (W-90, H-90) sized 70 by 20. The outer size is used as if it were the
// client area, which leaves a margin right of and below the viewer.
struct ReportDialogLayout {
    QRect viewer;
    QRect button;
};
ReportDialogLayout ComputeReportDialogLayout(QSize outer);

class CReportExportDlg final : public QDialog {
    Q_OBJECT

  public:
    CReportExportDlg(MessageSink& sink, QWidget* owner = nullptr);
    ~CReportExportDlg() override;

    // 0 opens "Second.rpt", 1 and 2 "ThirdandFour.rpt"; any other grade shows
    // "模板不存在！" and leaves the template unchosen.
    void SelectTemplate(LevellingGrade grade);

    // Maximises, lays out, fills and shows the report. Runs once; exec()
    // calls it when it has not run yet.
    bool OnInitDialog();
    int exec() override;

    std::optional<ReportTemplateKind> TemplateKind() const { return m_templateKind; }
    const std::filesystem::path& TemplatePathUsed() const { return m_templatePath; }
    const EngineReferences& Held() const { return m_held; }
    ReportViewer* Viewer() const { return m_viewer; }
    QPushButton* ExitButton() const { return m_exit; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void onOK();
    void layoutControls();

    EngineReferences m_held;  // engine, report, parameter field
    std::filesystem::path m_dataFolder;
    ReportViewer* m_viewer = nullptr;
    std::optional<ReportTemplateKind> m_templateKind;
    QPushButton* m_exit = nullptr;
    MessageSink& m_sink;
    std::filesystem::path m_templatePath;
    bool m_initialised = false;
};

}  // namespace lorvex::report
