#pragma once

// The main window: import a measurement file, pick a levelling line, correct
// or delete its records, type the report header and generate the report.
// The window binds its controls to a levelling session and forwards events
// to it; every decision is the session's, writing the tables the database's.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QDialog>
#include <QString>

class QTimer;

#include "base/grade.h"
#include "db/report_store.h"
#include "levelling/report_command.h"
#include "levelling/report_header.h"
#include "session/levelling_session.h"
#include "window/dialog_template.h"
#include "window/ui_services.h"

namespace lorvex::db {
class ReportLock;
struct ArchivedRows;
}  // namespace lorvex::db

class QLabel;

namespace lorvex {

class DataExchange;
class ListViewControl;

// Control ids of dialog template 102.
enum MainWindowControl : int {
    IDC_DATA_LIST = 1000,
    IDC_FILE_PATH = 1001,
    IDC_OPEN_DATA = 1002,
    IDC_GENERATE_REPORT = 1003,
    IDC_GRADE_SECOND = 1005,
    IDC_GRADE_THIRD = 1006,
    IDC_DELETE_RECORDS = 1007,
    IDC_STATION_ST_GO = 1008,
    IDC_STATION_EN_GO = 1009,
    IDC_YEAR = 1010,
    IDC_MONTH = 1011,
    IDC_DAY = 1012,
    IDC_STATION_ST_BACK = 1013,
    IDC_STATION_EN_BACK = 1014,
    IDC_WEATHER = 1015,
    IDC_GRADE_FOURTH = 1016,
    IDC_HOUR_ST = 1017,
    IDC_MIN_ST = 1018,
    IDC_HOUR_EN = 1019,
    IDC_IMAGING = 1020,
    IDC_MIN_EN = 1021,
    IDC_TEMPERATURE = 1022,
    IDC_CLOUD = 1024,
    IDC_ROAD = 1025,
    IDC_WIND = 1026,
    IDC_SUN_LOCATION = 1027,
    IDC_LINE_LIST = 1028,
};

// The system-menu command of the about item.
inline constexpr unsigned IDM_ABOUTBOX = 0x0010;

// The header edits recorded for second-order lines only.
inline constexpr int kSecondOrderEdits[] = {IDC_TEMPERATURE, IDC_CLOUD, IDC_WIND, IDC_ROAD,
                                            IDC_SUN_LOCATION};

class CTarvelFormatDlg final : public QDialog {
    Q_OBJECT

  public:
    explicit CTarvelFormatDlg(UiServices& ui = StandardUiServices(), QWidget* parent = nullptr);
    ~CTarvelFormatDlg() override;

    // The report step of "生成报表(&R)...", run after the tables have been
    // written: it opens the report dialog for the grade (selecting the
    // template of a known grade, "模板不存在！" for any other). It gets the
    // data folder's report lock, held since before the write, and releases
    // it once the record book is filled. Until it is set the command ends
    // once the tables are written.
    using ReportStep = std::function<void(LevellingGrade grade, db::ReportLock& lock)>;
    void SetReportStep(ReportStep step) { m_reportStep = std::move(step); }

    // Where a report chosen in the archive's list ("历史报表...", the line
    // list's context menu) is shown: the report window over this one.
    using ArchivedReportStep = std::function<void(const db::ArchivedRows& report)>;
    void SetArchivedReportStep(ArchivedReportStep step) { m_archivedReportStep = std::move(step); }

    // The writer of "全部线路生成报表(PDF)...": the lines' prepared reports
    // (name and report, in line-list order) as one PDF at path, with
    // progress(done, steps) after each step, false when the user cancels.
    // Returns whether the file was written; it shows its own messages.
    // Until it is set the command ends once the lines are computed.
    using BookSetProgress = std::function<bool(std::size_t done, std::size_t steps)>;
    using BookSetStep =
        std::function<bool(const std::vector<std::pair<std::string, PreparedReport>>& lines,
                           const std::filesystem::path& path, const BookSetProgress& progress)>;
    void SetBookSetStep(BookSetStep step) { m_bookSetStep = std::move(step); }

    // Pull (true: controls to members) or push (false: members to controls).
    bool UpdateData(bool saveAndValidate = true);

    // The handlers of the event table; public so that tools and tests can
    // drive the window as the events would.
    void OnOpenData();
    void ImportMeasurementFile(const QString& path);
    // A file given from outside the chooser (the command line, a second
    // start, a drop): imported as "打开数据(&B)..." imports the chosen one.
    // While another modal window of the program is up (a message box, the
    // chooser, the report window) the import waits until it closes; the
    // last file asked for wins.
    void OpenFile(const QString& path);
    void OnLineListClick();
    void OnRecordEditEnd(int row, const std::optional<std::string>& text);
    void OnDeleteRecords();
    void OnGenerateReport();
    void OnReportHistory();
    // "全部线路生成报表(PDF)...": every line's record book in one PDF.
    void OnWriteAllBooks();
    // "导出测段高差表...": the section table as CSV or XLSX, by the filter
    // chosen.
    void OnExportSections();
    void ApplyGrade(LevellingGrade grade);
    void CheckTimeField(TimeField field);
    void OnSysCommand(unsigned id);
    // "与其他线路比较往返测…" on line row of the line list: asks for the
    // second line and shows the comparison of the two runs.
    void OnCompareLines(int row);

    // Reads the limit table the checks use (the data folder's limits.tsv);
    // its messages are shown once, with the first checks shown.
    void SetLimitFile(const std::filesystem::path& file);

    // State, for tests and tools.
    QLabel* CheckSummary() const { return m_checkSummary; }
    // Whether the checks of the rows shown are still to run (they follow a
    // click, an edit or a deletion once the rows are on the screen).
    bool ChecksPending() const;
    // The limit checks of the report last written, for its record book.
    const std::optional<LineCheck>& ReportedCheck() const { return m_reportedCheck; }
    QWidget* GetDlgItem(int id) const { return m_controls.Item(id); }
    ListViewControl* LineList() const { return m_lineList; }
    ListViewControl* DataList() const { return m_dataList; }
    const LevellingSession& Session() const { return m_session; }
    int ShownLine() const { return m_session.ShownLine(); }
    int FormatIndex() const { return m_formatIndex; }
    const std::string& FilePath() const { return m_session.FilePath(); }
    LevellingGrade Grade() const { return m_session.Grade(); }
    const ReportHeader& Header() const { return m_session.Header(); }

  protected:
    void DoDataExchange(DataExchange& dx);
    bool OnInitDialog();
    void accept() override;  // OnOK: Enter never closes the window
    void reject() override;  // OnCancel: nor does Esc
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;

  private:
    MessageAnswer Show(const UserMessage& message, MessageButtons buttons = MessageButtons::Ok);
    void Show(const Messages& messages);
    // Enables the grade radios and the second-order edits as the session says.
    void ShowGradeControls();

    UiServices& m_ui;
    DialogControls m_controls;

    int m_formatIndex = 0;  // filter index of the last file chooser
    LevellingSession m_session;
    ListViewControl* m_lineList = nullptr;
    ListViewControl* m_dataList = nullptr;
    QIcon m_icon;
    ReportStep m_reportStep;
    QString m_pendingFile;  // OpenFile's file, waiting for a modal window to close
    QTimer* m_pendingTimer = nullptr;
    QLabel* m_checkSummary = nullptr;  // under the data list
    Messages m_limitMessages;          // shown once, then cleared
    std::optional<LineCheck> m_reportedCheck;
    // Kept between reports: on a server a report then costs no connect.
    db::ReportWriter m_reportWriter;

    // Checks the data rows as they are against the limits: marks the rows
    // of flagged stations and says in the summary what was found. A line
    // that does not compute shows no marks.
    void ShowChecks();
    // Takes the marks and summary away at once and runs ShowChecks when
    // the event loop is next idle; ClearChecks only takes them away.
    void ScheduleChecks();
    void ClearChecks();
    QTimer* m_checkTimer = nullptr;
    ArchivedReportStep m_archivedReportStep;
    BookSetStep m_bookSetStep;
    QString SaveFolder() const;
};

}  // namespace lorvex
