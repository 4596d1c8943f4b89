// The main window driven offscreen as a user drives it: import, line clicks,
// the grade radios, the header's time checks, in-place edits, deletion, the
// keyboard, and the first checks of the report command.

#include <QAction>
#include <QApplication>
#include <QDate>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "window/about_dlg.h"
#include "window/dialog_template.h"
#include "window_test_support.h"

using namespace lorvex;
using namespace lorvex::test;

Q_DECLARE_METATYPE(std::vector<std::string>)

namespace {

constexpr int kRadios[] = {IDC_GRADE_SECOND, IDC_GRADE_THIRD, IDC_GRADE_FOURTH};

// The header edits, each with the field it shows.
const std::vector<std::pair<int, std::string ReportHeader::*>>& HeaderEdits() {
    static const std::vector<std::pair<int, std::string ReportHeader::*>> edits{
        {IDC_STATION_ST_GO, &ReportHeader::sStationStGo},
        {IDC_STATION_EN_GO, &ReportHeader::sStationEnGo},
        {IDC_STATION_ST_BACK, &ReportHeader::sStationStBack},
        {IDC_STATION_EN_BACK, &ReportHeader::sStationEnBack},
        {IDC_HOUR_ST, &ReportHeader::sHourSt},
        {IDC_MIN_ST, &ReportHeader::sMinSt},
        {IDC_HOUR_EN, &ReportHeader::sHourEn},
        {IDC_MIN_EN, &ReportHeader::sMinEn},
        {IDC_YEAR, &ReportHeader::sYear},
        {IDC_MONTH, &ReportHeader::sMonth},
        {IDC_DAY, &ReportHeader::sDay},
        {IDC_WEATHER, &ReportHeader::sWeather},
        {IDC_IMAGING, &ReportHeader::sImaging},
        {IDC_TEMPERATURE, &ReportHeader::sTemperature},
        {IDC_CLOUD, &ReportHeader::sCloud},
        {IDC_WIND, &ReportHeader::sWind},
        {IDC_ROAD, &ReportHeader::sRoad},
        {IDC_SUN_LOCATION, &ReportHeader::sSunLocation},
    };
    return edits;
}

QLineEdit* Edit(const CTarvelFormatDlg& w, int id) {
    return qobject_cast<QLineEdit*>(w.GetDlgItem(id));
}
QRadioButton* Radio(const CTarvelFormatDlg& w, int id) {
    return qobject_cast<QRadioButton*>(w.GetDlgItem(id));
}

// Which radios are enabled and which checked, as two strings of 0/1 in the
// order 二等 三等 四等.
QString RadioStates(const CTarvelFormatDlg& w, bool checked) {
    QString s;
    for (const int id : kRadios) {
        const QRadioButton* r = Radio(w, id);
        s += (checked ? r->isChecked() : r->isEnabled()) ? QLatin1Char('1') : QLatin1Char('0');
    }
    return s;
}

QString SecondOrderEditsEnabled(const CTarvelFormatDlg& w) {
    QString s;
    for (const int id : kSecondOrderEdits) s += w.GetDlgItem(id)->isEnabled() ? '1' : '0';
    return s;
}

// Six records of a third-order line (A B B A, then two of the next station).
std::vector<std::string> SixRecords() {
    return {Rec("A", "B", "1.00001"), Rec("B", "F", "1.00002"), Rec("B", "F", "1.00003"),
            Rec("A", "B", "1.00004"), Rec("C", "B", "1.00005"), Rec("D", "F", "1.00006")};
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir_;
    RecordingUi ui_;
    std::unique_ptr<CTarvelFormatDlg> w_;

    void Import(const std::vector<std::string>& lines,
                const QString& name = QStringLiteral("a.mdt")) {
        ui_.Choose(WriteMdt(dir_, name, lines));
        w_->OnOpenData();
    }

  private Q_SLOTS:
    void init() {
        ui_ = RecordingUi();
        w_ = std::make_unique<CTarvelFormatDlg>(ui_);
        w_->show();
        QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
    }
    void cleanup() { w_.reset(); }

    void initialState() {
        const QDate today = QDate::currentDate();
        const ReportHeader& h = w_->Header();
        QCOMPARE(h.sYear, std::to_string(today.year()));
        QCOMPARE(h.sMonth, std::to_string(today.month()));
        QCOMPARE(h.sDay, std::to_string(today.day()));
        for (const auto& [id, member] : HeaderEdits()) {
            const bool isDate = id == IDC_YEAR || id == IDC_MONTH || id == IDC_DAY;
            QCOMPARE(Edit(*w_, id)->text().toStdString(), h.*member);
            if (!isDate) QVERIFY2((h.*member).empty(), qPrintable(QString::number(id)));
        }
        QCOMPARE(Edit(*w_, IDC_MONTH)->text(), QString::number(today.month()));  // no leading zero
        QCOMPARE(RadioStates(*w_, true), QStringLiteral("000"));
        QCOMPARE(RadioStates(*w_, false), QStringLiteral("000"));
        QCOMPARE(SecondOrderEditsEnabled(*w_), QStringLiteral("11111"));
        QCOMPARE(w_->Grade(), GradeNone);
        QCOMPARE(w_->windowTitle(), QStringLiteral("Lorvex 格式转换"));
        QCOMPARE(w_->DataList()->model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("数据文件内容"));
        QCOMPARE(w_->DataList()->columnWidth(0), 600);
        QCOMPARE(w_->LineList()->model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("线路名称"));
        QCOMPARE(w_->LineList()->columnWidth(0), 80);
        QCOMPARE(w_->DataList()->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(w_->LineList()->selectionMode(), QAbstractItemView::SingleSelection);
        QCOMPARE(w_->DataList()->TextRows()->RowCount(), 0);
        QCOMPARE(w_->LineList()->TextRows()->RowCount(), 0);
        QVERIFY(Edit(*w_, IDC_FILE_PATH)->isReadOnly());
        QVERIFY(ui_.shown.empty());
    }

    // The controls stand where the dialog template puts them, in dialog units
    // of the window's font.
    void layout_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("units");
        QTest::newRow("二等") << int(IDC_GRADE_SECOND) << "二等" << QRect(441, 244, 32, 10);
        QTest::newRow("四等") << int(IDC_GRADE_FOURTH) << "四等" << QRect(441, 300, 32, 10);
        QTest::newRow("data list") << int(IDC_DATA_LIST) << "" << QRect(6, 48, 418, 175);
        QTest::newRow("open") << int(IDC_OPEN_DATA) << "打开数据(&B)..." << QRect(429, 16, 66, 16);
        QTest::newRow("report") << int(IDC_GENERATE_REPORT) << "生成报表(&R)..."
                                << QRect(429, 322, 75, 28);
        QTest::newRow("delete") << int(IDC_DELETE_RECORDS) << "删除数据行(&D)"
                                << QRect(429, 207, 75, 16);
        QTest::newRow("road") << int(IDC_ROAD) << "" << QRect(181, 323, 82, 16);
        QTest::newRow("line list") << int(IDC_LINE_LIST) << "" << QRect(429, 48, 75, 155);
    }
    void layout() {
        QFETCH(int, id);
        QFETCH(QString, caption);
        QFETCH(QRect, units);
        const DialogBaseUnits base = DialogBaseUnits::ForFont(w_->font());
        QVERIFY(base.cx > 0 && base.cy > 0);
        QCOMPARE(w_->size(), base.ToPixels(QSize(510, 357)));
        QWidget* control = w_->GetDlgItem(id);
        QVERIFY(control);
        QCOMPARE(control->geometry(), base.ToPixels(units));
        if (auto* button = qobject_cast<QAbstractButton*>(control))
            QCOMPARE(button->text(), caption);
        if (auto* button = qobject_cast<QPushButton*>(control)) QVERIFY(!button->isDefault());
    }

    void tabOrderFollowsTemplate() {
        const QList<int> expected{1005, 1006, 1016, 1000, 1001, 1002, 1003, 1007, 1008,
                                  1009, 1010, 1011, 1012, 1013, 1014, 1017, 1018, 1019,
                                  1020, 1021, 1022, 1015, 1024, 1025, 1026, 1027, 1028};
        QList<int> chain;
        QWidget* first = w_->GetDlgItem(1005);
        QWidget* widget = first;
        do {
            const QString name = widget->objectName();
            if (name.startsWith(QLatin1String("control")) && widget->parentWidget() == w_.get()) {
                chain << name.mid(7).toInt();
            }
            widget = widget->nextInFocusChain();
        } while (widget != first && chain.size() < 100);
        QCOMPARE(chain, expected);
    }

    // ---- Import ---------------------------------------------------------------

    void importListsLinesAndReplacesEverything() {
        Import({Start("L1"), Rec("A"), Rec("A"), Rec("B"), Rec("B"), Start("L2"), Rec("X")});
        QCOMPARE(Rows(w_->LineList()), QStringList({"L1", "L2"}));
        // The .mdt filter stays first, the other levels' files and all files follow.
        QCOMPARE(ui_.lastFilter,
                 std::string("ASCII格式数据文件(*.mdt)|*.mdt|"
                             "徕卡 GSI 数据文件(*.gsi *.txt)|*.gsi;*.txt|"
                             "天宝 DiNi 数据文件(*.dat *.m5 *.txt)|*.dat;*.m5;*.txt|"
                             "所有文件(*)|*||"));
        QCOMPARE(w_->FormatIndex(), 1);
        ClickRow(w_->LineList(), 0);
        QCOMPARE(w_->DataList()->TextRows()->RowCount(), 4);
        w_->DataList()->selectAll();
        ui_.answers = {MessageAnswer::Yes};
        w_->OnDeleteRecords();
        QCOMPARE(w_->Session().RecordCount(0), std::size_t{0});
        Edit(*w_, IDC_WEATHER)->setText(QStringLiteral("晴"));

        const QString second =
            WriteMdt(dir_, QStringLiteral("b.mdt"),
                     {Start("M1"), Rec("P"), Start("M2"), Rec("Q"), Start("M3")});
        ui_.Choose(second);
        w_->OnOpenData();
        QCOMPARE(Rows(w_->LineList()), QStringList({"M1", "M2", "M3"}));
        QCOMPARE(w_->DataList()->TextRows()->RowCount(), 0);
        QCOMPARE(w_->ShownLine(), -1);
        QCOMPARE(w_->LineList()->CurrentRow(), -1);
        QCOMPARE(w_->Session().LineCount(), std::size_t{3});
        QCOMPARE(w_->Session().Records(0), std::vector<std::string>{Rec("P")});
        QCOMPARE(Edit(*w_, IDC_FILE_PATH)->text(), second);
        // The grade and the header are the user's, not the file's.
        QCOMPARE(Edit(*w_, IDC_WEATHER)->text(), QStringLiteral("晴"));
        QCOMPARE(w_->Grade(), GradeFourth);
        QVERIFY(ui_.Texts().size() == 1);  // only the delete question
    }

    void fileThatCannotBeOpenedChangesOnlyThePath() {
        Import({Start("L1"), Rec("A"), Rec("A"), Rec("B"), Rec("B")});
        ClickRow(w_->LineList(), 0);
        const QString missing = dir_.filePath(QStringLiteral("missing.mdt"));
        ui_.Choose(missing);
        w_->OnOpenData();
        QCOMPARE(Edit(*w_, IDC_FILE_PATH)->text(), missing);
        QCOMPARE(Rows(w_->LineList()), QStringList({"L1"}));
        QCOMPARE(w_->DataList()->TextRows()->RowCount(), 4);
        QCOMPARE(w_->Session().RecordCount(0), std::size_t{4});
        QVERIFY(ui_.shown.empty());
    }

    // What is no measurement file is refused with the reason and leaves the
    // lines; a file with text but no line empties them and says so, once, in
    // an OK box with the warning icon.
    void refusedOrEmptyFilesSayWhy_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("folder") << dir_.path()
                                << (dir_.path() + " 不是普通文件，不能作为测量数据文件打开。")
                                << QStringList{"L1"};
        QTest::newRow("device") << QStringLiteral("/dev/zero")
                                << QStringLiteral(
                                       "/dev/zero 不是普通文件，不能作为测量数据文件打开。")
                                << QStringList{"L1"};
        QTest::newRow("tabs") << WriteMdt(dir_, QStringLiteral("tabs.mdt"),
                                          {"@L9\tLine\t0\t0\t0\t0\t105"})
                              << QStringLiteral("文件中没有可识别的测量数据。") << QStringList{};
    }

    void refusedOrEmptyFilesSayWhy() {
        QFETCH(QString, path);
        QFETCH(QString, shown);
        QFETCH(QStringList, lines);
        Import({Start("L1"), Rec("A")});
        ui_.shown.clear();
        ui_.Choose(path);
        w_->OnOpenData();
        QCOMPARE(ui_.shown.size(), std::size_t{1});
        QCOMPARE(QString::fromStdString(ui_.shown[0].message.text), shown);
        QCOMPARE(ui_.shown[0].message.icon, MessageIcon::Warning);
        QCOMPARE(ui_.shown[0].buttons, MessageButtons::Ok);
        QCOMPARE(Rows(w_->LineList()), lines);
    }

    void cancelledChooserChangesNothing() {
        Import({Start("L1"), Rec("A")});
        const QString before = Edit(*w_, IDC_FILE_PATH)->text();
        ui_.choice.reset();
        w_->OnOpenData();
        QCOMPARE(Edit(*w_, IDC_FILE_PATH)->text(), before);
        QCOMPARE(Rows(w_->LineList()), QStringList({"L1"}));
    }

    void readErrorIsReported() {
#ifdef Q_OS_LINUX
        // /proc/self/mem opens, and reading its first page fails with EIO.
        ui_.Choose(QStringLiteral("/proc/self/mem"));
        w_->OnOpenData();
        QCOMPARE(ui_.Texts(), std::vector<std::string>{"访问 /proc/self/mem 时发生未知错误。"});
        QCOMPARE(w_->DataList()->TextRows()->RowCount(), 0);
#else
        QSKIP("needs a file whose reading fails");
#endif
    }

    // ---- Line click -----------------------------------------------------------

    void lineClick_data() {
        QTest::addColumn<std::vector<std::string>>("records");
        QTest::addColumn<int>("grade");        // after the click
        QTest::addColumn<QString>("enabled");  // radios 二等 三等 四等
        QTest::addColumn<QString>("stGo");
        QTest::addColumn<QString>("enGo");
        QTest::addColumn<QString>("message");

        QTest::newRow("A A B B: fourth order")
            << std::vector<std::string>{Rec("A"), Rec("A"), Rec("B"), Rec("B"),
                                        Rec("B"), Rec("B"), Rec("C"), Rec("E")}
            << int(GradeFourth) << "001"
            << "A"
            << "E"
            << "";
        QTest::newRow("A B B A C B: second order")
            << std::vector<std::string>{Rec("A"), Rec("B"), Rec("B"), Rec("A"), Rec("C"), Rec("B")}
            << int(GradeSecond) << "100"
            << "A"
            << "B"
            << "";
        QTest::newRow("A B B A C D: third order, end is the last but one")
            << std::vector<std::string>{Rec("A", "B", "1", "1", "105"), Rec("B"), Rec("B"),
                                        Rec("A", "B", "1", "1", "105"), Rec("C"), Rec("D")}
            << int(GradeThird) << "010"
            << "A"
            << "C"
            << "";
        QTest::newRow("A B B A C D with code 107 fourth: second order")
            << std::vector<std::string>{Rec("A"), Rec("B"),
                                        Rec("B"), Rec("A", "B", "1", "1", "107"),
                                        Rec("C"), Rec("D")}
            << int(GradeSecond) << "100"
            << "A"
            << "D"
            << "";
        QTest::newRow("five records decided by the fourth code")
            << std::vector<std::string>{Rec("A"), Rec("B"), Rec("B"),
                                        Rec("A", "B", "1", "1", "105"), Rec("C")}
            << int(GradeThird) << "010"
            << "A"
            << "A"
            << "";
        QTest::newRow("three records, code 106: fourth, end points kept")
            << std::vector<std::string>{Rec("A", "B", "1", "1", "106"), Rec("B"), Rec("C")}
            << int(GradeFourth) << "001"
            << "old start"
            << "old end"
            << "";
        QTest::newRow("three records, unknown code: no grade")
            << std::vector<std::string>{Rec("A", "B", "1", "1", "999"), Rec("B"), Rec("C")}
            << int(GradeNone) << "000"
            << "old start"
            << "old end"
            << "";
        QTest::newRow("A B C D: format not supported")
            << std::vector<std::string>{Rec("A"), Rec("B"), Rec("C"), Rec("D")} << int(GradeNone)
            << "000"
            << "old start"
            << "old end"
            << "数据格式不支持！";
    }
    void lineClick() {
        QFETCH(std::vector<std::string>, records);
        QFETCH(int, grade);
        QFETCH(QString, enabled);
        QFETCH(QString, stGo);
        QFETCH(QString, enGo);
        QFETCH(QString, message);

        std::vector<std::string> lines{Start("N")};
        lines.insert(lines.end(), records.begin(), records.end());
        Import(lines);
        Edit(*w_, IDC_STATION_ST_GO)->setText(QStringLiteral("old start"));
        Edit(*w_, IDC_STATION_EN_GO)->setText(QStringLiteral("old end"));

        ClickRow(w_->LineList(), 0);

        QStringList expectedRows;  // each record cut before its method code
        for (const std::string& r : records) {
            expectedRows << QString::fromStdString(r.substr(0, r.rfind(' ')));
        }
        QCOMPARE(Rows(w_->DataList()), expectedRows);
        QCOMPARE(w_->ShownLine(), 0);
        QCOMPARE(w_->Grade(), grade);
        QCOMPARE(RadioStates(*w_, false), enabled);
        QCOMPARE(RadioStates(*w_, true), enabled);  // the detected radio is also checked
        QCOMPARE(Edit(*w_, IDC_STATION_ST_GO)->text(), stGo);
        QCOMPARE(Edit(*w_, IDC_STATION_EN_GO)->text(), enGo);
        QCOMPARE(SecondOrderEditsEnabled(*w_), grade == GradeThird || grade == GradeFourth
                                                   ? QStringLiteral("00000")
                                                   : QStringLiteral("11111"));
        if (message.isEmpty()) {
            QVERIFY(ui_.shown.empty());
        } else {
            QCOMPARE(ui_.shown.size(), std::size_t{1});
            QCOMPARE(QString::fromStdString(ui_.shown[0].message.text), message);
            QCOMPARE(ui_.shown[0].message.icon, MessageIcon::Warning);
        }
    }

    void unsupportedLineKeepsGradeButDisablesEveryRadio() {
        Import({Start("good"), Rec("A"), Rec("B"), Rec("B"), Rec("A"), Rec("C"), Rec("B"),  //
                Start("bad"), Rec("P"), Rec("Q"), Rec("R"), Rec("S")});
        ClickRow(w_->LineList(), 0);
        QCOMPARE(w_->Grade(), GradeSecond);
        ClickRow(w_->LineList(), 1);
        QCOMPARE(ui_.Texts(), std::vector<std::string>{"数据格式不支持！"});
        QCOMPARE(w_->Grade(), GradeSecond);
        QCOMPARE(RadioStates(*w_, false), QStringLiteral("000"));
        QCOMPARE(RadioStates(*w_, true), QStringLiteral("100"));
        QCOMPARE(Edit(*w_, IDC_STATION_EN_GO)->text(), QStringLiteral("B"));
        QCOMPARE(w_->DataList()->TextRows()->RowCount(), 4);
    }

    void clickOnLineWithoutRecordsOnlyEmptiesTheDataList() {
        Import({Start("L1"), Rec("A"), Rec("A"), Rec("B"), Rec("B"), Start("empty")});
        ClickRow(w_->LineList(), 0);
        ClickRow(w_->LineList(), 1);
        QCOMPARE(w_->DataList()->TextRows()->RowCount(), 0);
        QCOMPARE(w_->Grade(), GradeFourth);
        QCOMPARE(RadioStates(*w_, false), QStringLiteral("001"));
    }

    // ---- Grade ----------------------------------------------------------------

    void applyGrade_data() {
        QTest::addColumn<int>("grade");
        QTest::addColumn<QString>("checked");
        QTest::addColumn<QString>("enabled");
        QTest::addColumn<QString>("secondOrderEdits");
        QTest::newRow("second") << int(GradeSecond) << "100"
                                << "101"
                                << "11111";
        QTest::newRow("third") << int(GradeThird) << "010"
                               << "011"
                               << "00000";
        QTest::newRow("fourth") << int(GradeFourth) << "001"
                                << "001"
                                << "00000";
        QTest::newRow("-1 changes nothing") << -1 << "001"
                                            << "001"
                                            << "00000";
        QTest::newRow("3 changes nothing") << 3 << "001"
                                           << "001"
                                           << "00000";
    }
    void applyGrade() {
        QFETCH(int, grade);
        QFETCH(QString, checked);
        QFETCH(QString, enabled);
        QFETCH(QString, secondOrderEdits);
        for (const int id : kSecondOrderEdits) Edit(*w_, id)->setText(QString::number(id));
        w_->ApplyGrade(GradeFourth);
        w_->ApplyGrade(grade);
        QCOMPARE(RadioStates(*w_, true), checked);
        QCOMPARE(RadioStates(*w_, false), enabled);
        QCOMPARE(SecondOrderEditsEnabled(*w_), secondOrderEdits);
        for (const int id : kSecondOrderEdits) QCOMPARE(Edit(*w_, id)->text(), QString::number(id));
    }

    void radioClickAppliesItsGrade() {
        w_->ApplyGrade(GradeThird);
        w_->ApplyGrade(GradeSecond);  // both enabled now, 二等 checked
        QTest::mouseClick(Radio(*w_, IDC_GRADE_THIRD), Qt::LeftButton);
        QCOMPARE(w_->Grade(), GradeThird);
        QCOMPARE(SecondOrderEditsEnabled(*w_), QStringLiteral("00000"));
        // A disabled radio cannot be picked.
        QTest::mouseClick(Radio(*w_, IDC_GRADE_FOURTH), Qt::LeftButton);
        QCOMPARE(w_->Grade(), GradeThird);
        QCOMPARE(RadioStates(*w_, true), QStringLiteral("010"));
    }

    void pullWithNoRadioCheckedGivesNoGrade() {
        w_->ApplyGrade(GradeThird);
        QCOMPARE(RadioStates(*w_, true), QStringLiteral("010"));
        Radio(*w_, IDC_GRADE_THIRD)->setAutoExclusive(false);
        Radio(*w_, IDC_GRADE_THIRD)->setChecked(false);
        Radio(*w_, IDC_GRADE_THIRD)->setAutoExclusive(true);
        w_->UpdateData(true);
        QCOMPARE(w_->Grade(), GradeNone);
        w_->UpdateData(false);
        QCOMPARE(RadioStates(*w_, true), QStringLiteral("000"));
    }

    // ---- Time fields ----------------------------------------------------------

    void timeFields_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("hour 24") << int(IDC_HOUR_ST) << "24"
                                 << "0";
        QTest::newRow("hour 23") << int(IDC_HOUR_ST) << "23"
                                 << "23";
        QTest::newRow("end hour 24") << int(IDC_HOUR_EN) << "24"
                                     << "0";
        QTest::newRow("minute 60") << int(IDC_MIN_ST) << "60"
                                   << "0";
        QTest::newRow("minute 59") << int(IDC_MIN_EN) << "59"
                                   << "59";
        QTest::newRow("minute -1") << int(IDC_MIN_EN) << "-1"
                                   << "0";
        QTest::newRow("abc counts as 0") << int(IDC_MIN_ST) << "abc"
                                         << "abc";
        QTest::newRow("7x counts as 7") << int(IDC_HOUR_EN) << "7x"
                                        << "7x";
        QTest::newRow("24 typed after 7x: 7x24 counts as 7") << int(IDC_HOUR_ST) << "7x24"
                                                             << "7x24";
        QTest::newRow("hour 100 goes at the third key") << int(IDC_HOUR_ST) << "100"
                                                        << "0";
        QTest::newRow("not a time field") << int(IDC_YEAR) << "99999"
                                          << "99999";
    }
    void timeFields() {
        QFETCH(int, id);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QLineEdit* edit = Edit(*w_, id);
        edit->clear();
        int changes = 0;
        connect(edit, &QLineEdit::textChanged, this, [&changes] { ++changes; });
        QTest::keyClicks(edit, typed);
        QCOMPARE(edit->text(), shown);
        QVERIFY(changes < 2 * typed.size() + 2);  // a correction runs the check once more, no loop
        // The check pulls every edit into the members.
        for (const auto& [editId, member] : HeaderEdits()) {
            if (editId == id && id != IDC_YEAR) {
                QCOMPARE(QString::fromStdString(w_->Header().*member), shown);
            }
        }
    }

    void emptyTimeFieldStaysEmpty() {
        QLineEdit* edit = Edit(*w_, IDC_MIN_ST);
        QTest::keyClicks(edit, QStringLiteral("5"));
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), QString());
        QCOMPARE(w_->Header().sMinSt, std::string());
    }

    // ---- Editing and deleting -------------------------------------------------

    void editInPlace_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("row");
        QTest::newRow("typed text is taken as typed")
            << "X  1 2" << int(Qt::Key_Return) << "X  1 2";
        QTest::newRow("empty text leaves the row")
            << "" << int(Qt::Key_Return) << "A B 1.00001 25.30 08:00:00 1";
        QTest::newRow("cancelled edit leaves the row")
            << "changed" << int(Qt::Key_Escape) << "A B 1.00001 25.30 08:00:00 1";
    }
    void editInPlace() {
        QFETCH(QString, typed);
        QFETCH(int, key);
        QFETCH(QString, row);
        std::vector<std::string> lines{Start("N")};
        for (const std::string& r : SixRecords()) lines.push_back(r);
        Import(lines);
        ClickRow(w_->LineList(), 0);
        const std::vector<std::string> stored = w_->Session().Records(0);

        ListViewControl* list = w_->DataList();
        list->setCurrentIndex(list->model()->index(0, 0));
        QTest::keyClick(list, Qt::Key_F2);
        auto* editor = list->findChild<QLineEdit*>();
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClick(editor, Qt::Key_Delete);
        QTest::keyClicks(editor, typed);
        QTest::keyClick(editor, Qt::Key(key));
        QCoreApplication::processEvents();

        QCOMPARE(Rows(list).value(0), row);
        QCOMPARE(w_->Session().Records(0), stored);  // an edit never reaches the store
        QVERIFY(w_->isVisible());                    // Esc ended the edit, not the window
        ClickRow(w_->LineList(), 0);
        QCOMPARE(Rows(list).value(0), QStringLiteral("A B 1.00001 25.30 08:00:00 1"));
    }

    void deleteWithoutSelectionAsksNothing() {
        Import({Start("N"), Rec("A"), Rec("A"), Rec("B"), Rec("B")});
        ClickRow(w_->LineList(), 0);
        w_->DataList()->clearSelection();
        w_->OnDeleteRecords();
        QVERIFY(ui_.shown.empty());
        QCOMPARE(w_->DataList()->TextRows()->RowCount(), 4);
    }

    void deleteRecords_data() {
        QTest::addColumn<QList<int>>("selected");  // rows, from 0
        QTest::addColumn<int>("answer");
        QTest::addColumn<QList<int>>("left");  // the records left, by their old row
        QTest::newRow("rows 2 and 4 of six")
            << QList<int>{1, 3} << int(MessageAnswer::Yes) << QList<int>{0, 2, 4, 5};
        QTest::newRow("answer No")
            << QList<int>{1, 3} << int(MessageAnswer::No) << QList<int>{0, 1, 2, 3, 4, 5};
        QTest::newRow("every row")
            << QList<int>{0, 1, 2, 3, 4, 5} << int(MessageAnswer::Yes) << QList<int>{};
        QTest::newRow("first and last")
            << QList<int>{5, 0} << int(MessageAnswer::Yes) << QList<int>{1, 2, 3, 4};
    }
    void deleteRecords() {
        QFETCH(QList<int>, selected);
        QFETCH(int, answer);
        QFETCH(QList<int>, left);
        std::vector<std::string> lines{Start("N")};
        const std::vector<std::string> records = SixRecords();
        lines.insert(lines.end(), records.begin(), records.end());
        lines.push_back(Start("other"));
        lines.push_back(Rec("Z"));
        Import(lines);
        ClickRow(w_->LineList(), 0);
        ListViewControl* list = w_->DataList();
        ClickRow(list, selected.front());
        for (qsizetype i = 1; i < selected.size(); ++i) CtrlClickRow(list, selected[i]);
        QCOMPARE(qsizetype(list->SelectedRows().size()), selected.size());
        const QStringList before = Rows(list);

        ui_.answers = {MessageAnswer(answer)};
        QTest::mouseClick(w_->GetDlgItem(IDC_DELETE_RECORDS), Qt::LeftButton);

        QCOMPARE(ui_.shown.size(), std::size_t{1});
        QCOMPARE(ui_.shown[0].message.text, std::string("确实要删除所选择的数据吗？"));
        QCOMPARE(ui_.shown[0].message.icon, MessageIcon::Question);
        QCOMPARE(ui_.shown[0].buttons, MessageButtons::YesNo);
        QStringList expectedRows;
        std::vector<std::string> expectedStore;
        for (const int r : left) {
            expectedRows << before[r];
            expectedStore.push_back(records[static_cast<std::size_t>(r)]);
        }
        QCOMPARE(Rows(list), expectedRows);
        QCOMPARE(w_->Session().Records(0), expectedStore);
        QCOMPARE(w_->Session().Records(1),
                 std::vector<std::string>{Rec("Z")});  // other lines untouched
        ClickRow(w_->LineList(), 0);
        QCOMPARE(Rows(list), expectedRows);
    }

    void editedRowThenDeletedRemovesTheStoredRecord() {
        std::vector<std::string> lines{Start("N")};
        const std::vector<std::string> records = SixRecords();
        lines.insert(lines.end(), records.begin(), records.end());
        Import(lines);
        ClickRow(w_->LineList(), 0);
        w_->OnRecordEditEnd(0, std::string("edited"));
        QCOMPARE(Rows(w_->DataList()).value(0), QStringLiteral("edited"));
        ClickRow(w_->DataList(), 0);
        ui_.answers = {MessageAnswer::Yes};
        w_->OnDeleteRecords();
        QCOMPARE(w_->Session().Records(0),
                 std::vector<std::string>(records.begin() + 1, records.end()));
        QCOMPARE(w_->DataList()->TextRows()->RowCount(), 5);
    }

    // ---- Keyboard and closing -------------------------------------------------

    void enterAndEscNeverClose() {
        w_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w_.get()));
        QLineEdit* weather = Edit(*w_, IDC_WEATHER);
        weather->setFocus();
        QTest::keyClick(weather, Qt::Key_Return);
        QTest::keyClick(weather, Qt::Key_Enter, Qt::KeypadModifier);
        QTest::keyClick(weather, Qt::Key_Escape);
        QTest::keyClick(w_.get(), Qt::Key_Escape);
        w_->LineList()->setFocus();
        QTest::keyClick(w_->LineList(), Qt::Key_Return);
        QVERIFY(w_->isVisible());
        QCOMPARE(ui_.chooserCalls, 0);  // no button became the default
        QVERIFY(ui_.shown.empty());

        QVERIFY(w_->close());
        QVERIFY(!w_->isVisible());
        QCOMPARE(w_->result(), int(QDialog::Rejected));
    }

    void mnemonics_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("imported");
        QTest::addColumn<int>("chooserCalls");
        QTest::addColumn<QString>("message");
        QTest::newRow("&B opens a file") << int(Qt::Key_B) << true << 1 << "";
        QTest::newRow("&R generates the report")
            << int(Qt::Key_R) << false << 0 << "没有线路数据，请导入！";
        QTest::newRow("&D deletes rows")
            << int(Qt::Key_D) << true << 0 << "确实要删除所选择的数据吗？";
    }
    void mnemonics() {
        QFETCH(int, key);
        QFETCH(bool, imported);
        QFETCH(int, chooserCalls);
        QFETCH(QString, message);
        if (imported) {
            Import({Start("N"), Rec("A"), Rec("A"), Rec("B"), Rec("B")});
            ClickRow(w_->LineList(), 0);
            ClickRow(w_->DataList(), 1);
        }
        ui_.chooserCalls = 0;
        ui_.choice.reset();
        w_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w_.get()));
        QTest::keyClick(w_.get(), Qt::Key(key), Qt::AltModifier);
        QTest::qWait(300);  // a mnemonic clicks its button animated, after 100 ms
        QCOMPARE(ui_.chooserCalls, chooserCalls);
        QCOMPARE(ui_.Texts(), message.isEmpty() ? std::vector<std::string>{}
                                                : std::vector<std::string>{message.toStdString()});
    }

    // ---- The report command's first checks ------------------------------------

    void reportWithoutLines() {
        w_->OnGenerateReport();
        QCOMPARE(ui_.Texts(), std::vector<std::string>{"没有线路数据，请导入！"});
        QCOMPARE(ui_.shown[0].message.icon, MessageIcon::Warning);
    }

    void reportWithoutShownLine() {
        Import({Start("N"), Rec("A"), Rec("A"), Rec("B"), Rec("B")});
        w_->OnGenerateReport();
        QCOMPARE(ui_.Texts(), std::vector<std::string>{"没有测量数据，请选择线路名称！"});
    }

    void reportStopsBeforeWriting_data() {
        QTest::addColumn<QString>("editedRow");  // replaces data row 1 when set
        QTest::addColumn<int>("rows");           // data rows kept
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("icon");
        QTest::newRow("six records")
            << "" << 6 << "数据中有非线路测量的数据或测站数据不完整，请检查！"
            << int(MessageIcon::Warning);
        QTest::newRow("a row that splits into no fields")
            << "PtID" << 4 << "遇到不适当的参数。" << int(MessageIcon::Stop);
        QTest::newRow("a row of three fields")
            << "A B 1" << 4 << "遇到不适当的参数。" << int(MessageIcon::Stop);
        QTest::newRow("broken pattern")
            << "Q B 1.0 2.0" << 4 << "数据中有非线路测量的数据或测站数据不完整，请检查！"
            << int(MessageIcon::Warning);
    }
    void reportStopsBeforeWriting() {
        QFETCH(QString, editedRow);
        QFETCH(int, rows);
        QFETCH(QString, message);
        QFETCH(int, icon);
        std::vector<std::string> lines{Start("N")};
        const std::vector<std::string> records = SixRecords();
        lines.insert(lines.end(), records.begin(), records.begin() + rows);
        Import(lines);
        ClickRow(w_->LineList(), 0);
        QCOMPARE(w_->Grade(), GradeSecond);
        if (!editedRow.isEmpty()) w_->OnRecordEditEnd(0, editedRow.toStdString());
        bool reported = false;
        w_->SetReportStep([&reported](LevellingGrade, db::ReportLock&) { reported = true; });
        w_->OnGenerateReport();
        QCOMPARE(ui_.Texts(), std::vector<std::string>{message.toStdString()});
        QCOMPARE(int(ui_.shown[0].message.icon), icon);
        QVERIFY(!reported);
    }

    // ---- About box --------------------------------------------------------------

    void aboutItem() {
        const QList<QAction*> actions = w_->actions();
        QCOMPARE(actions.size(), 1);
        QCOMPARE(actions[0]->text(), QStringLiteral("关于 Lorvex(&A)..."));
        QCOMPARE(actions[0]->shortcut(), QKeySequence(Qt::Key_F1));
        QCOMPARE(w_->contextMenuPolicy(), Qt::ActionsContextMenu);

        for (const unsigned command : {0x10u, 0x13u, 0xF020u}) {
            bool opened = false;
            QTimer::singleShot(0, this, [&opened] {
                if (auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget())) {
                    opened = true;
                    QCOMPARE(about->windowTitle(), QStringLiteral("关于 Lorvex"));
                    QTest::keyClick(about, Qt::Key_Return);  // the default button, 确定
                }
            });
            w_->OnSysCommand(command);
            QCoreApplication::processEvents();
            QCOMPARE(opened, command != 0xF020u);
        }
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
