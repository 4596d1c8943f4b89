#include "window/tarvel_format_dlg.h"

#include <filesystem>
#include <vector>

#include <QAction>
#include <QCloseEvent>
#include <QDate>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "base/messages.h"
#include "db/report_lock.h"
#include "db/report_store.h"
#include "window/about_dlg.h"
#include "window/data_exchange.h"
#include "window/list_view.h"
#include "window/program_icon.h"
#include "window/report_history_dlg.h"
#include "window/system_menu.h"

namespace lorvex {
namespace {

QString Text(int id) { return QString::fromStdString(LoadString(id)); }

constexpr int kGradeRadios[] = {IDC_GRADE_SECOND, IDC_GRADE_THIRD, IDC_GRADE_FOURTH};

struct TimeEdit {
    int id;
    TimeField field;
};
constexpr TimeEdit kTimeEdits[] = {
    {IDC_HOUR_ST, TimeField::HourStart},
    {IDC_MIN_ST, TimeField::MinuteStart},
    {IDC_HOUR_EN, TimeField::HourEnd},
    {IDC_MIN_EN, TimeField::MinuteEnd},
};

}  // namespace

CTarvelFormatDlg::CTarvelFormatDlg(UiServices& ui, QWidget* parent)
    : QDialog(parent), m_ui(ui), m_icon(ProgramIcon()) {
    m_controls = BuildDialog(LoadBuiltInTemplate(QStringLiteral("main_102")), this);
    m_lineList = m_controls.Get<ListViewControl>(IDC_LINE_LIST);
    m_dataList = m_controls.Get<ListViewControl>(IDC_DATA_LIST);
    Q_ASSERT(m_lineList && m_dataList);

    // The event table.
    connect(m_controls.Get<QPushButton>(IDC_OPEN_DATA), &QPushButton::clicked, this,
            &CTarvelFormatDlg::OnOpenData);
    connect(m_controls.Get<QPushButton>(IDC_GENERATE_REPORT), &QPushButton::clicked, this,
            &CTarvelFormatDlg::OnGenerateReport);
    connect(m_controls.Get<QPushButton>(IDC_DELETE_RECORDS), &QPushButton::clicked, this,
            &CTarvelFormatDlg::OnDeleteRecords);
    const std::pair<int, LevellingGrade> radios[] = {{IDC_GRADE_THIRD, GradeThird},
                                                     {IDC_GRADE_SECOND, GradeSecond},
                                                     {IDC_GRADE_FOURTH, GradeFourth}};
    for (const auto& [id, grade] : radios) {
        connect(m_controls.Get<QRadioButton>(id), &QRadioButton::clicked, this,
                [this, grade = grade] { ApplyGrade(grade); });
    }
    connect(m_lineList, &ListViewControl::mouseClicked, this, &CTarvelFormatDlg::OnLineListClick);
    auto* history = new QAction(QStringLiteral("历史报表..."), m_lineList);
    connect(history, &QAction::triggered, this, &CTarvelFormatDlg::OnReportHistory);
    m_lineList->addAction(history);
    m_lineList->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_dataList->TextRows()->ShowRows(m_session.DataRows());
    m_dataList->TextRows()->SetEditEndHandler(
        [this](int row, const std::optional<std::string>& text) { OnRecordEditEnd(row, text); });
    for (const TimeEdit& time : kTimeEdits) {
        // textChanged, not textEdited: a correction pushed into the edit
        // runs the check once more, as the edit's change notification does.
        connect(m_controls.Get<QLineEdit>(time.id), &QLineEdit::textChanged, this,
                [this, field = time.field] { CheckTimeField(field); });
    }

    OnInitDialog();
}

CTarvelFormatDlg::~CTarvelFormatDlg() {
    // The child widgets outlive the session member (QWidget deletes them
    // after this class's members are gone): the data list must not show the
    // session's rows any longer.
    m_dataList->TextRows()->ReplaceRows({});
}

bool CTarvelFormatDlg::UpdateData(bool saveAndValidate) {
    DataExchange dx(m_controls, saveAndValidate);
    DoDataExchange(dx);
    return true;
}

void CTarvelFormatDlg::DoDataExchange(DataExchange& dx) {
    ReportHeader& header = m_session.Header();
    DDX_Text(dx, IDC_FILE_PATH, m_session.FilePath());
    DDX_Radio(dx, IDC_GRADE_SECOND, m_session.Grade());
    DDX_Text(dx, IDC_CLOUD, header.sCloud);
    DDX_Text(dx, IDC_DAY, header.sDay);
    DDX_Text(dx, IDC_HOUR_EN, header.sHourEn);
    DDX_Text(dx, IDC_MIN_EN, header.sMinEn);
    DDX_Text(dx, IDC_STATION_ST_GO, header.sStationStGo);
    DDX_Text(dx, IDC_STATION_EN_GO, header.sStationEnGo);
    DDX_Text(dx, IDC_IMAGING, header.sImaging);
    DDX_Text(dx, IDC_MONTH, header.sMonth);
    DDX_Text(dx, IDC_STATION_ST_BACK, header.sStationStBack);
    DDX_Text(dx, IDC_STATION_EN_BACK, header.sStationEnBack);
    DDX_Text(dx, IDC_ROAD, header.sRoad);
    DDX_Text(dx, IDC_HOUR_ST, header.sHourSt);
    DDX_Text(dx, IDC_MIN_ST, header.sMinSt);
    DDX_Text(dx, IDC_SUN_LOCATION, header.sSunLocation);
    DDX_Text(dx, IDC_TEMPERATURE, header.sTemperature);
    DDX_Text(dx, IDC_WEATHER, header.sWeather);
    DDX_Text(dx, IDC_WIND, header.sWind);
    DDX_Text(dx, IDC_YEAR, header.sYear);
}

bool CTarvelFormatDlg::OnInitDialog() {
    UpdateData(false);
    setWindowTitle(Text(IDS_WINDOW_TITLE));

    AppendSystemMenuItem(this, Text(IDS_ABOUTBOX), IDM_ABOUTBOX,
                         [this](unsigned id) { OnSysCommand(id); });
    setWindowIcon(m_icon);

    m_dataList->InsertColumn(Text(IDS_DATA_COLUMN), 600);
    m_lineList->InsertColumn(Text(IDS_LINE_COLUMN), 80);

    const QDate today = QDate::currentDate();
    SetHeaderDate(m_session.Header(), today.isValid() ? today.year() : 0,
                  today.isValid() ? today.month() : 0, today.isValid() ? today.day() : 0);

    UpdateData(false);
    return true;
}

MessageAnswer CTarvelFormatDlg::Show(const UserMessage& message, MessageButtons buttons) {
    return m_ui.ShowMessage(this, message, buttons);
}

void CTarvelFormatDlg::Show(const Messages& messages) {
    for (const UserMessage& message : messages) Show(message);
}

void CTarvelFormatDlg::ShowGradeControls() {
    for (const LevellingGrade grade : {GradeSecond, GradeThird, GradeFourth})
        GetDlgItem(kGradeRadios[grade])->setEnabled(m_session.GradeSelectable(grade));
    for (const int id : kSecondOrderEdits)
        GetDlgItem(id)->setEnabled(m_session.SecondOrderFieldsEnabled());
}

// ---- Commands ----------------------------------------------------------------

void CTarvelFormatDlg::OnOpenData() {
    UpdateData(true);
    const std::optional<OpenFileChoice> choice =
        m_ui.ChooseFileToOpen(this, LoadString(IDS_FILE_FILTER));
    if (!choice) return;
    m_formatIndex = choice->filterIndex;
    ImportMeasurementFile(choice->path);
}

void CTarvelFormatDlg::ImportMeasurementFile(const QString& path) {
    const ImportOutcome outcome =
        m_session.ImportFile(std::filesystem::path(path.toStdU16String()));
    UpdateData(false);  // the path field shows the chosen path in any case
    if (!outcome.opened) return;
    m_dataList->TextRows()->RowsReset();
    m_lineList->TextRows()->ReplaceRows(m_session.LineNames());
    Show(outcome.messages);
}

void CTarvelFormatDlg::OnLineListClick() {
    UpdateData(true);
    const Messages messages = m_session.ClickLine(m_lineList->CurrentRow());
    m_dataList->TextRows()->RowsReset();
    ShowGradeControls();
    Show(messages);
    UpdateData(false);
}

void CTarvelFormatDlg::OnRecordEditEnd(int row, const std::optional<std::string>& text) {
    if (m_session.EditRow(row, text)) m_dataList->TextRows()->RowChanged(row);
}

void CTarvelFormatDlg::OnDeleteRecords() {
    const std::vector<int> selected = m_dataList->SelectedRows();
    const std::optional<UserMessage> question = m_session.DeleteQuestion(selected);
    if (!question || Show(*question, MessageButtons::YesNo) != MessageAnswer::Yes) return;
    m_session.DeleteRows(selected);
    m_dataList->TextRows()->RowsReset();
}

void CTarvelFormatDlg::OnGenerateReport() {
    UpdateData(true);
    const PreparedReport prepared = m_session.PrepareReport();
    if (prepared.stop) {
        Show(*prepared.stop);
        return;
    }
    UpdateData(false);
    UiMessageSink sink(m_ui, this);
    // Held until the record book is filled, so that it shows this report
    // even when a script writes another one meanwhile.
    std::optional<db::ReportLock> lock = db::ReportLock::Acquire(sink);
    if (!lock) return;
    // No record book for a report that was not written.
    if (db::WriteReportTables(prepared.rows, sink) != db::WriteOutcome::Written) return;

    // The report dialog's call site.
    if (m_reportStep) m_reportStep(prepared.rows.grade, *lock);
}

void CTarvelFormatDlg::OnReportHistory() {
    CReportHistoryDlg dialog(m_ui, m_archivedReportStep, this);
    dialog.exec();
}

void CTarvelFormatDlg::ApplyGrade(LevellingGrade grade) {
    // Pull first: the push below would otherwise put back what the header
    // edits held at the last pull, and text typed since would be lost.
    UpdateData(true);
    if (!m_session.ApplyGrade(grade)) return;
    UpdateData(false);
    ShowGradeControls();
}

void CTarvelFormatDlg::CheckTimeField(TimeField field) {
    UpdateData(true);
    if (m_session.CheckTimeField(field)) UpdateData(false);
}

// ---- Window ------------------------------------------------------------------

void CTarvelFormatDlg::OnSysCommand(unsigned id) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about(this);
        about.exec();
    }
    // Every other system command is the window manager's.
}

void CTarvelFormatDlg::accept() {}

void CTarvelFormatDlg::reject() {}

void CTarvelFormatDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();  // dropped: Esc never closes the window
        return;
    }
    QDialog::keyPressEvent(event);
}

void CTarvelFormatDlg::closeEvent(QCloseEvent* event) {
    QDialog::closeEvent(event);
    done(QDialog::Rejected);
    event->accept();
}

bool CTarvelFormatDlg::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    if (HandleSystemMenuEvent(
            eventType, message, result, [this](unsigned id) { OnSysCommand(id); }, IDM_ABOUTBOX)) {
        return true;
    }
    return QDialog::nativeEvent(eventType, message, result);
}

}  // namespace lorvex
