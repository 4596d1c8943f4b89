#include "window/tarvel_format_dlg.h"

#include <filesystem>
#include <span>
#include <string_view>
#include <vector>

#include <QCloseEvent>
#include <QDate>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "db/report_lock.h"
#include "db/report_store.h"
#include "import/line_selection.h"
#include "import/measurement_reader.h"
#include "levelling/report_command.h"
#include "levelling/strings.h"
#include "window/about_dlg.h"
#include "window/data_exchange.h"
#include "window/list_view.h"
#include "window/program_icon.h"
#include "window/system_menu.h"

namespace lorvex {
namespace {

QString Text(int id) { return QString::fromStdString(LoadString(id)); }

// Database messages arrive while the tables are written; each is a modal box.
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
    m_dataList->rows()->SetEditEndHandler(
        [this](int row, const std::optional<std::string>& text) { OnRecordEditEnd(row, text); });
    for (const TimeEdit& time : kTimeEdits) {
        // textChanged, not textEdited: a correction pushed into the edit
        // runs the check once more, as the edit's change notification does.
        connect(m_controls.Get<QLineEdit>(time.id), &QLineEdit::textChanged, this,
                [this, field = time.field] { CheckTimeField(field); });
    }

    OnInitDialog();
}

CTarvelFormatDlg::~CTarvelFormatDlg() = default;

bool CTarvelFormatDlg::UpdateData(bool saveAndValidate) {
    DataExchange dx(m_controls, saveAndValidate);
    DoDataExchange(dx);
    return true;
}

void CTarvelFormatDlg::DoDataExchange(DataExchange& dx) {
    DDX_Text(dx, IDC_FILE_PATH, m_path);
    DDX_Radio(dx, IDC_GRADE_SECOND, m_grade);
    DDX_Text(dx, IDC_CLOUD, m_header.sCloud);
    DDX_Text(dx, IDC_DAY, m_header.sDay);
    DDX_Text(dx, IDC_HOUR_EN, m_header.sHourEn);
    DDX_Text(dx, IDC_MIN_EN, m_header.sMinEn);
    DDX_Text(dx, IDC_STATION_ST_GO, m_header.sStationStGo);
    DDX_Text(dx, IDC_STATION_EN_GO, m_header.sStationEnGo);
    DDX_Text(dx, IDC_IMAGING, m_header.sImaging);
    DDX_Text(dx, IDC_MONTH, m_header.sMonth);
    DDX_Text(dx, IDC_STATION_ST_BACK, m_header.sStationStBack);
    DDX_Text(dx, IDC_STATION_EN_BACK, m_header.sStationEnBack);
    DDX_Text(dx, IDC_ROAD, m_header.sRoad);
    DDX_Text(dx, IDC_HOUR_ST, m_header.sHourSt);
    DDX_Text(dx, IDC_MIN_ST, m_header.sMinSt);
    DDX_Text(dx, IDC_SUN_LOCATION, m_header.sSunLocation);
    DDX_Text(dx, IDC_TEMPERATURE, m_header.sTemperature);
    DDX_Text(dx, IDC_WEATHER, m_header.sWeather);
    DDX_Text(dx, IDC_WIND, m_header.sWind);
    DDX_Text(dx, IDC_YEAR, m_header.sYear);
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
    SetHeaderDate(m_header, today.isValid() ? today.year() : 0, today.isValid() ? today.month() : 0,
                  today.isValid() ? today.day() : 0);

    UpdateData(false);
    return true;
}

MessageAnswer CTarvelFormatDlg::Show(const UserMessage& message, MessageButtons buttons) {
    return m_ui.ShowMessage(this, message, buttons);
}

// ---- Import ------------------------------------------------------------------

void CTarvelFormatDlg::OnOpenData() {
    UpdateData(true);
    const std::optional<OpenFileChoice> choice =
        m_ui.ChooseFileToOpen(this, LoadString(IDS_FILE_FILTER));
    if (!choice) return;
    m_path = choice->path.toStdString();
    m_formatIndex = choice->filterIndex;
    UpdateData(false);
    ImportMeasurementFile(choice->path);
}

void CTarvelFormatDlg::ImportMeasurementFile(const QString& path) {
    const ImportResult result =
        lorvex::ImportMeasurementFile(std::filesystem::path(path.toStdU16String()), m_store);
    if (!result.opened) return;  // the store and both lists keep what they had
    m_shownLine = -1;
    m_dataList->rows()->DeleteAllRows();
    ShowImportedLines();
    if (result.message) Show(*result.message);
}

void CTarvelFormatDlg::ShowImportedLines() {
    std::vector<std::string> names;
    names.reserve(m_store.LineCount());
    for (std::size_t i = 0; i < m_store.LineCount(); ++i) names.push_back(m_store.Name(i));
    m_lineList->rows()->ReplaceRows(std::move(names));
}

// ---- Line selection ----------------------------------------------------------

void CTarvelFormatDlg::OnLineListClick() {
    const int line = m_lineList->CurrentRow();
    m_shownLine = line;
    m_dataList->rows()->DeleteAllRows();
    if (line < 0 || m_store.RecordCount(static_cast<std::size_t>(line)) == 0) return;

    for (const int id : {IDC_GRADE_SECOND, IDC_GRADE_THIRD, IDC_GRADE_FOURTH}) {
        GetDlgItem(id)->setEnabled(false);
    }
    UpdateData(true);

    const std::vector<std::string_view> records =
        m_store.RecordViews(static_cast<std::size_t>(line));
    LineSelection selection =
        ShowLine(records, m_grade, m_header.sStationStGo, m_header.sStationEnGo);
    m_dataList->rows()->ReplaceRows(std::move(selection.rows));

    if (selection.outcome == LineSelection::Outcome::Unsupported) {
        // Grade and end points stay as they were; every grade radio stays
        // disabled until another line is shown.
        if (selection.message) Show(*selection.message);
        return;
    }
    m_grade = selection.grade;
    m_header.sStationStGo = std::move(selection.stationStGo);
    m_header.sStationEnGo = std::move(selection.stationEnGo);
    UpdateData(false);
    if (IsKnownGrade(m_grade)) ApplyGrade(m_grade);
}

// ---- Record editing and deletion ---------------------------------------------

void CTarvelFormatDlg::OnRecordEditEnd(int row, const std::optional<std::string>& text) {
    // The edit changes the working copy only; the stored record stays, and
    // clicking the line again brings it back.
    if (!text || text->empty()) return;
    m_dataList->rows()->SetRowText(row, *text);
}

void CTarvelFormatDlg::OnDeleteRecords() {
    const std::vector<int> selected = m_dataList->SelectedRows();
    if (selected.empty()) return;
    if (Show(MessageFromId(IDS_CONFIRM_DELETE, MessageIcon::Question), MessageButtons::YesNo) !=
        MessageAnswer::Yes) {
        return;
    }
    // Row r of the data list is record r of the shown line: remove the same
    // indexes from both, in one pass each.
    m_dataList->rows()->DeleteRows(selected);
    if (m_shownLine >= 0 && static_cast<std::size_t>(m_shownLine) < m_store.LineCount()) {
        auto& spans = m_store.Spans(static_cast<std::size_t>(m_shownLine));
        std::size_t kept = 0;
        auto next = selected.begin();
        for (std::size_t i = 0; i < spans.size(); ++i) {
            if (next != selected.end() && static_cast<std::size_t>(*next) == i) {
                ++next;
                continue;
            }
            spans[kept++] = spans[i];
        }
        spans.resize(kept);
    }
}

// ---- Report ------------------------------------------------------------------

void CTarvelFormatDlg::OnGenerateReport() {
    UpdateData(true);
    const PreparedReport prepared =
        PrepareReport(static_cast<std::size_t>(m_lineList->rows()->RowCount()),
                      std::span<const std::string>(m_dataList->rows()->Rows()), m_grade, m_header);
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

// ---- Grade and header --------------------------------------------------------

void CTarvelFormatDlg::ApplyGrade(LevellingGrade grade) {
    if (!IsKnownGrade(grade)) return;
    // Pull first: the push below would otherwise put back what the header
    // edits held at the last pull, and text typed since would be lost.
    UpdateData(true);
    m_grade = grade;
    UpdateData(false);
    for (const int id : kSecondOrderEdits) GetDlgItem(id)->setEnabled(grade == GradeSecond);
    const int radio[] = {IDC_GRADE_SECOND, IDC_GRADE_THIRD, IDC_GRADE_FOURTH};
    GetDlgItem(radio[grade])->setEnabled(true);
}

void CTarvelFormatDlg::CheckTimeField(TimeField field) {
    UpdateData(true);
    std::string& value = m_header.*TimeFieldMember(field);
    std::string checked = lorvex::CheckTimeField(field, value);
    if (checked != value) {
        value = std::move(checked);
        UpdateData(false);
    }
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
