#pragma once

// The report window "生成报表": opens maximised, lays the viewer and the
// "退出(&O)" button over the window, has the grade's template filled and
// hands the finished report to the viewer. The user then pages, zooms,
// prints or saves the record book through the viewer.

#include <QDialog>

#include <filesystem>
#include <memory>
#include <optional>

#include "base/grade.h"
#include "report/report_fill.h"

class QPushButton;

namespace lorvex {
class MessageSink;
}
namespace lorvex::db {
class ReportLock;
}

namespace lorvex::report {

class ReportViewer;

// The last step of the report command: the report window for the grade,
// run modally over owner. A grade outside second to fourth order shows
// "模板不存在！" and the window opens without a template. Without rows, the
// report is filled from the data source "Qel". lock, when given, is released
// once the record book is filled, before the window waits for the user.
void RunReportDialog(LevellingGrade grade, MessageSink& sink, QWidget* owner = nullptr,
                     std::shared_ptr<ReportRowSource> rows = nullptr,
                     db::ReportLock* lock = nullptr);

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
    // Where the fill takes its rows; the data source "Qel" unless set.
    void SetRowSource(std::shared_ptr<ReportRowSource> rows) { m_rows = std::move(rows); }

    // Maximises, lays out, fills and shows the report. Runs once; exec()
    // calls it when it has not run yet.
    bool OnInitDialog();
    int exec() override;

    std::optional<ReportTemplateKind> TemplateKind() const { return m_templateKind; }
    const std::filesystem::path& TemplatePathUsed() const { return m_templatePath; }
    const EngineReferences& Held() const { return m_held; }
    ReportViewer* Viewer() const { return m_viewer; }
    // The record book is on screen and its later rows are still being read.
    bool RowsPending() const;
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
    std::shared_ptr<ReportRowSource> m_rows;
    bool m_initialised = false;
};

}  // namespace lorvex::report
