#include "window/tarvel_format_dlg.h"

#include <filesystem>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDate>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTimer>
#include <QUrl>

#include "base/messages.h"
#include "db/report_lock.h"
#include "db/report_store.h"
#include "sections/section_table.h"
#include "window/about_dlg.h"
#include "window/data_exchange.h"
#include "window/list_view.h"
#include "window/program_icon.h"
#include "window/report_history_dlg.h"
#include "window/run_comparison_dlg.h"
#include "window/system_menu.h"

namespace lorvex {
namespace {

QString Text(int id) { return QString::fromStdString(LoadString(id)); }

// The file chooser's filters: the .mdt filter of the string table first,
// then the other levels' files and all files.
std::string OpenFileFilter() {
    std::string filter = LoadString(IDS_FILE_FILTER);
    while (filter.ends_with("||")) filter.pop_back();  // keep one "|" after its pattern
    for (const int id : {IDS_FILTER_GSI, IDS_FILTER_M5, IDS_FILTER_ALL}) {
        filter.append(LoadString(id)).push_back('|');
    }
    filter.push_back('|');
    return filter;
}

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

// The folder of the last file imported, kept between runs.
QSettings ProgramSettings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("lorvex"),
                     QStringLiteral("lorvex"));
}
constexpr char kLastFolderKey[] = "chooser/lastFolder";

// The first local file a drag carries; empty when it carries none (text, a
// web address).
QString DraggedFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) return {};
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty()) return url.toLocalFile();
    }
    return {};
}

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
    // A line reached by the keyboard is shown as a clicked one is: the data
    // list never shows another line than the highlighted one.
    connect(m_lineList, &ListViewControl::keyboardMoved, this, &CTarvelFormatDlg::OnLineListClick);
    connect(m_dataList, &ListViewControl::deletePressed, this, &CTarvelFormatDlg::OnDeleteRecords);
    auto* history = new QAction(QStringLiteral("历史报表..."), m_lineList);
    connect(history, &QAction::triggered, this, &CTarvelFormatDlg::OnReportHistory);
    m_lineList->addAction(history);
    auto* allBooks = new QAction(QStringLiteral("全部线路生成报表(PDF)..."), m_lineList);
    allBooks->setObjectName(QStringLiteral("allBooks"));
    connect(allBooks, &QAction::triggered, this, &CTarvelFormatDlg::OnWriteAllBooks);
    m_lineList->addAction(allBooks);
    auto* sections = new QAction(QStringLiteral("导出测段高差表..."), m_lineList);
    sections->setObjectName(QStringLiteral("exportSections"));
    connect(sections, &QAction::triggered, this, &CTarvelFormatDlg::OnExportSections);
    m_lineList->addAction(sections);
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

    m_pendingTimer = new QTimer(this);
    m_pendingTimer->setInterval(100);
    connect(m_pendingTimer, &QTimer::timeout, this, [this] {
        const QString file = m_pendingFile;  // OpenFile clears the member
        OpenFile(file);
    });

    // A file dropped anywhere on the window is opened, also over an edit,
    // which would otherwise take the file's address as text.
    setAcceptDrops(true);
    for (QLineEdit* edit : findChildren<QLineEdit*>()) edit->installEventFilter(this);
    // The one line of the checks' summary goes right under the data list,
    // over the free stretch of the header frame's top edge (the template
    // leaves no row for it, and the controls keep their places).
    m_checkSummary = new QLabel(this);
    m_checkSummary->setObjectName(QStringLiteral("checkSummary"));
    m_checkSummary->setAutoFillBackground(true);
    m_checkSummary->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_checkSummary->setGeometry(DialogBaseUnits::ForFont(font()).ToPixels(QRect(80, 223, 344, 10)));
    m_checkSummary->hide();
    // The checks compute the whole line: they run once the rows are on the
    // screen, so that a click shows a long line as fast as without them, and
    // a burst of clicks or edits costs one run.
    m_checkTimer = new QTimer(this);
    m_checkTimer->setSingleShot(true);
    m_checkTimer->setInterval(0);
    connect(m_checkTimer, &QTimer::timeout, this, &CTarvelFormatDlg::ShowChecks);

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

    // The about box also from the two lists' context menus, where a user
    // right-clicks first; the window's background menu and F1 stay.
    // The line list's menu also compares the current line with another as
    // two runs of one section.
    auto* compare = new QAction(QStringLiteral("与其他线路比较往返测…"), this);
    compare->setObjectName(QStringLiteral("compareRuns"));
    connect(compare, &QAction::triggered, this,
            [this] { OnCompareLines(m_lineList->CurrentRow()); });
    m_lineList->addAction(compare);
    auto* about = new QAction(Text(IDS_ABOUTBOX), this);
    about->setObjectName(QStringLiteral("aboutFromLists"));
    connect(about, &QAction::triggered, this, [this] { OnSysCommand(IDM_ABOUTBOX); });
    for (ListViewControl* list : {m_lineList, m_dataList}) {
        list->addAction(about);
        list->setContextMenuPolicy(Qt::ActionsContextMenu);
    }

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

void CTarvelFormatDlg::Show(const Messages& messages) { ShowMessages(m_ui, this, messages); }

void CTarvelFormatDlg::ShowGradeControls() {
    for (const LevellingGrade grade : {GradeSecond, GradeThird, GradeFourth})
        GetDlgItem(kGradeRadios[grade])->setEnabled(m_session.GradeSelectable(grade));
    for (const int id : kSecondOrderEdits)
        GetDlgItem(id)->setEnabled(m_session.SecondOrderFieldsEnabled());
}

// ---- Commands ----------------------------------------------------------------

void CTarvelFormatDlg::OnOpenData() {
    UpdateData(true);
    const QString lastFolder = ProgramSettings().value(QLatin1String(kLastFolderKey)).toString();
    const std::filesystem::path folder =
        m_session.ChooserFolder(std::filesystem::path(lastFolder.toStdU16String()),
                                std::filesystem::path(QDir::homePath().toStdU16String()));
    const std::optional<OpenFileChoice> choice = m_ui.ChooseFileToOpen(
        this, OpenFileFilter(), QString::fromStdU16String(folder.u16string()));
    if (!choice) return;
    m_formatIndex = choice->filterIndex;
    ImportMeasurementFile(choice->path);
}

void CTarvelFormatDlg::ImportMeasurementFile(const QString& path) {
    const ImportOutcome outcome =
        m_session.ImportFile(std::filesystem::path(path.toStdU16String()));
    UpdateData(false);  // the path field shows the chosen path in any case
    if (!outcome.opened) {
        Show(outcome.messages);  // why a file was refused; nothing for a missing one
        return;
    }
    ProgramSettings().setValue(QLatin1String(kLastFolderKey), QFileInfo(path).absolutePath());
    m_dataList->TextRows()->RowsReset();
    ClearChecks();
    m_lineList->TextRows()->ReplaceRows(m_session.LineNames());
    Show(outcome.messages);
    if (const auto& question = outcome.gradeQuestion) {
        // A cancelled question leaves the preselected grade in the records.
        const std::optional<LevellingGrade> grade =
            m_ui.ChooseGrade(this, question->allowed, question->preselected);
        if (grade) m_session.SetFileGrade(*grade);
    }
}

void CTarvelFormatDlg::OpenFile(const QString& path) {
    const QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && modal != this) {
        m_pendingFile = path;
        m_pendingTimer->start();
        return;
    }
    m_pendingTimer->stop();
    m_pendingFile.clear();
    UpdateData(true);  // header text typed since the last pull stays
    ImportMeasurementFile(path);
}

void CTarvelFormatDlg::OnLineListClick() {
    UpdateData(true);
    const Messages messages = m_session.ClickLine(m_lineList->CurrentRow());
    m_dataList->TextRows()->RowsReset();
    ShowGradeControls();
    Show(messages);
    UpdateData(false);
    ScheduleChecks();
}

bool CTarvelFormatDlg::ChecksPending() const { return m_checkTimer->isActive(); }

void CTarvelFormatDlg::ClearChecks() {
    m_checkTimer->stop();
    m_dataList->TextRows()->SetRowMarks({});
    m_checkSummary->clear();
    m_checkSummary->hide();
}

void CTarvelFormatDlg::ScheduleChecks() {
    // The marks and summary shown belong to rows that are gone or changed.
    ClearChecks();
    m_checkTimer->start();
}

void CTarvelFormatDlg::SetLimitFile(const std::filesystem::path& file) {
    m_limitMessages = m_session.LoadLimits(file);
}

void CTarvelFormatDlg::ShowChecks() {
    std::optional<RowMarks> marks = m_session.CheckRows();
    if (!marks) {
        ClearChecks();
        return;
    }
    m_checkSummary->setText(QString::fromStdString(lorvex::CheckSummary(marks->Check())));
    m_dataList->TextRows()->SetRowMarks(std::move(*marks));
    m_checkSummary->show();
    if (!m_limitMessages.empty()) {
        const Messages messages = std::move(m_limitMessages);
        m_limitMessages.clear();
        Show(messages);
    }
}

void CTarvelFormatDlg::OnCompareLines(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= m_session.LineCount()) return;
    const std::vector<std::string> names = m_session.LineNames();
    LineChooserDlg chooser(names, row, this);
    if (chooser.exec() != QDialog::Accepted) return;
    const std::optional<int> other = chooser.Chosen();
    if (!other) return;
    const LineComparison outcome =
        m_session.CompareLines(static_cast<std::size_t>(row), static_cast<std::size_t>(*other));
    if (outcome.stop) {
        Show(*outcome.stop);
        return;
    }
    RunComparisonDlg shown(outcome.comparison, names[static_cast<std::size_t>(row)],
                           names[static_cast<std::size_t>(*other)], this);
    shown.exec();
}

void CTarvelFormatDlg::OnRecordEditEnd(int row, const std::optional<std::string>& text) {
    if (!m_session.EditRow(row, text)) return;
    m_dataList->TextRows()->RowChanged(row);
    // The rows keep their places: the marks stay until the checks have run.
    m_checkTimer->start();
}

void CTarvelFormatDlg::OnDeleteRecords() {
    const std::vector<int> selected = m_dataList->SelectedRows();
    const std::optional<UserMessage> question = m_session.DeleteQuestion(selected);
    if (!question || Show(*question, MessageButtons::YesNo) != MessageAnswer::Yes) return;
    m_session.DeleteRows(selected);
    m_dataList->TextRows()->RowsReset();
    ScheduleChecks();
}

void CTarvelFormatDlg::OnGenerateReport() {
    UpdateData(true);
    const PreparedReport prepared = m_session.PrepareReport();
    if (prepared.stop) {
        Show(*prepared.stop);
        return;
    }
    UpdateData(false);
    UiMessageSink boxes(m_ui, this);
    // Without a database every station fails alike: one box with the count.
    RepeatCollapsingSink sink(boxes);
    // Held until the record book is filled, so that it shows this report
    // even when a script writes another one meanwhile.
    std::optional<db::ReportLock> lock = db::ReportLock::Acquire(sink);
    if (!lock) return;
    // No record book for a report that was not written.
    if (m_reportWriter.Write(prepared.rows, sink, prepared.check ? &*prepared.check : nullptr) !=
        db::WriteOutcome::Written) {
        return;
    }

    sink.Flush();
    // The report dialog's call site.
    m_reportedCheck = prepared.check;
    if (m_reportStep) m_reportStep(prepared.rows.grade, *lock);
}

void CTarvelFormatDlg::OnReportHistory() {
    CReportHistoryDlg dialog(m_ui, m_archivedReportStep, this);
    dialog.exec();
}

// Where the save choosers open: the measurement file's folder, as the open
// chooser does.
QString CTarvelFormatDlg::SaveFolder() const {
    const QString lastFolder = ProgramSettings().value(QLatin1String(kLastFolderKey)).toString();
    const std::filesystem::path folder =
        m_session.ChooserFolder(std::filesystem::path(lastFolder.toStdU16String()),
                                std::filesystem::path(QDir::homePath().toStdU16String()));
    return QString::fromStdU16String(folder.u16string());
}

void CTarvelFormatDlg::OnWriteAllBooks() {
    if (m_session.LineCount() == 0) {
        ShowMessages(m_ui, this, std::vector<UserMessage>{MessageFromId(IDS_NO_LINES)});
        return;
    }
    UpdateData(true);
    std::vector<std::pair<std::string, PreparedReport>> lines;
    lines.reserve(m_session.LineCount());
    std::vector<UserMessage> stops;
    for (std::size_t i = 0; i < m_session.LineCount(); ++i) {
        lines.emplace_back(m_session.LineName(i),
                           m_session.PrepareLineReport(i, m_session.Header()).prepared);
        if (const auto& stop = lines.back().second.stop)
            stops.push_back(UserMessage{lines.back().first + "：" + stop->text, stop->icon});
    }
    // Not a single book to make: say why for every line, and ask for no file.
    if (stops.size() == lines.size()) {
        ShowMessages(m_ui, this, stops);
        return;
    }
    const auto choice = m_ui.ChooseFileToSave(this, "PDF 文件|*.pdf||", SaveFolder());
    if (!choice || !m_bookSetStep) return;
    // The bar counts each line twice: its book filled, then painted.
    const auto count = static_cast<int>(lines.size());
    QProgressDialog progress(QStringLiteral("正在生成报表..."), QStringLiteral("取消"), 0,
                             2 * count, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setValue(0);
    m_bookSetStep(lines, std::filesystem::path(choice->path.toStdU16String()),
                  [&progress, count](std::size_t done, std::size_t) {
                      const int step = static_cast<int>(done);
                      const int line = (step - 1) % count + 1;
                      progress.setLabelText(QStringLiteral("%1：第 %2 / %3 条线路")
                                                .arg(step <= count ? QStringLiteral("正在填写报表")
                                                                   : QStringLiteral("正在输出 PDF"))
                                                .arg(line)
                                                .arg(count));
                      progress.setValue(step);
                      return !progress.wasCanceled();
                  });
}

void CTarvelFormatDlg::OnExportSections() {
    if (m_session.LineCount() == 0) {
        ShowMessages(m_ui, this, std::vector<UserMessage>{MessageFromId(IDS_NO_LINES)});
        return;
    }
    UpdateData(true);
    const std::vector<SectionRow> rows = BuildSectionTable(m_session, m_session.Header());
    std::vector<UserMessage> stops;
    for (const SectionRow& row : rows) {
        if (row.stop)
            stops.push_back(UserMessage{row.name + "：" + row.stop->text, row.stop->icon});
    }
    // Not a single section: no table is written, and no file asked for.
    if (stops.size() == rows.size()) {
        ShowMessages(m_ui, this, stops);
        return;
    }
    const auto choice =
        m_ui.ChooseFileToSave(this, "CSV 文件|*.csv|Excel 工作簿|*.xlsx||", SaveFolder());
    if (!choice) return;
    // The chosen filter decides, unless the typed name says otherwise.
    const bool xlsx = choice->path.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive) ||
                      (choice->filterIndex == 2 &&
                       !choice->path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive));
    const std::filesystem::path path(choice->path.toStdU16String());
    std::string error;
    const bool written =
        xlsx ? WriteSectionXlsx(rows, path, error) : WriteSectionCsv(rows, path, error);
    // The lines left out, and a failure to write, after the table.
    if (!written) stops.push_back(UserMessage{error, MessageIcon::Stop});
    ShowMessages(m_ui, this, stops);
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
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Enter presses the focused push button as Space does. No button is
        // the default one, so Enter anywhere else (in an edit) does nothing.
        auto* button = qobject_cast<QPushButton*>(focusWidget());
        if (button != nullptr && button->isEnabled() && button->isVisible()) {
            event->accept();
            button->click();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

void CTarvelFormatDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (!DraggedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void CTarvelFormatDlg::dragMoveEvent(QDragMoveEvent* event) {
    if (!DraggedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void CTarvelFormatDlg::dropEvent(QDropEvent* event) {
    const QString file = DraggedFile(event->mimeData());
    if (file.isEmpty()) return;
    event->acceptProposedAction();
    OpenFile(file);
}

bool CTarvelFormatDlg::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (DraggedFile(drop->mimeData()).isEmpty()) break;  // text: the edit's own
            if (event->type() == QEvent::Drop)
                dropEvent(drop);
            else
                drop->acceptProposedAction();
            return true;
        }
        default:
            break;
    }
    return QDialog::eventFilter(watched, event);
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
