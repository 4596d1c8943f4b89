// The keyboard and the small start-up faults: Enter on a focused button,
// arrow keys on the line list, Delete in the data list, the about box from
// the lists' menus, the program icon on the first box, and a data folder
// installed when it is missing.

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUuid>

#include "app/tarvel_format_app.h"
#include "base/strings.h"
#include "db/data_source.h"
#include "window_test_support.h"

using namespace lorvex;
using namespace lorvex::test;

namespace {

const std::vector<std::string> kThreeLines = {Start("L1"),    Rec("A1", "B"), Rec("A2", "F"),  //
                                              Start("L2"),    Rec("B1", "B"), Rec("B2", "F"),
                                              Rec("B3", "B"),  //
                                              Start("L3"),    Rec("C1", "B")};

// Closes whatever modal window comes up next (the about box's exec()).
void CloseNextModal(QString* title) {
    QTimer::singleShot(0, [title] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) return CloseNextModal(title);
        *title = modal->metaObject()->className();
        modal->close();
    });
}

class IconWatchingUi final : public UiServices {
  public:
    std::vector<std::pair<UserMessage, bool>> shown;  // with "the program icon was set"
    MessageAnswer ShowMessage(QWidget*, const UserMessage& message, MessageButtons) override {
        shown.emplace_back(message, !QApplication::windowIcon().isNull());
        return MessageAnswer::Ok;
    }
    std::optional<OpenFileChoice> ChooseFileToOpen(QWidget*, std::string_view,
                                                   const QString&) override {
        return std::nullopt;
    }
};

}  // namespace

class KeyboardTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void init() {
        m_ui = std::make_unique<RecordingUi>();
        m_window = std::make_unique<CTarvelFormatDlg>(*m_ui);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        m_window->ImportMeasurementFile(WriteMdt(m_dir, QStringLiteral("k.mdt"), kThreeLines));
    }
    void cleanup() {
        m_window.reset();
        m_ui.reset();
    }

    void noButtonIsTheDefault() {
        for (QPushButton* button : m_window->findChildren<QPushButton*>()) {
            QVERIFY2(!button->isDefault() && !button->autoDefault(), qPrintable(button->text()));
        }
    }

    void enter_data() {
        QTest::addColumn<int>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("chooserCalls");
        QTest::addColumn<int>("boxes");
        QTest::newRow("Return on 打开数据") << int(IDC_OPEN_DATA) << int(Qt::Key_Return) << 1 << 0;
        QTest::newRow("keypad Enter on 打开数据")
            << int(IDC_OPEN_DATA) << int(Qt::Key_Enter) << 1 << 0;
        // No line shown: the report command stops with its message.
        QTest::newRow("Return on 生成报表")
            << int(IDC_GENERATE_REPORT) << int(Qt::Key_Return) << 0 << 1;
        QTest::newRow("Return in an edit") << int(IDC_WEATHER) << int(Qt::Key_Return) << 0 << 0;
        QTest::newRow("Return on a radio")
            << int(IDC_GRADE_SECOND) << int(Qt::Key_Return) << 0 << 0;
    }

    void enter() {
        QFETCH(int, focus);
        QFETCH(int, key);
        QFETCH(int, chooserCalls);
        QFETCH(int, boxes);
        QWidget* control = m_window->GetDlgItem(focus);
        control->setEnabled(true);
        control->setFocus();
        QCOMPARE(m_window->focusWidget(), control);
        QTest::keyClick(control, Qt::Key(key),
                        key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        QCOMPARE(m_ui->chooserCalls, chooserCalls);
        QCOMPARE(int(m_ui->shown.size()), boxes);
        QVERIFY(m_window->isVisible());
    }

    // Every key that moves the highlight shows the highlighted line.
    void arrowKeysShowTheHighlightedLine() {
        ListViewControl* lines = m_window->LineList();
        ClickRow(lines, 0);
        QCOMPARE(m_window->ShownLine(), 0);
        const struct {
            Qt::Key key;
            int line;
            int rows;
        } steps[] = {{Qt::Key_Down, 1, 3},  {Qt::Key_Down, 2, 1}, {Qt::Key_Down, 2, 1},
                     {Qt::Key_Home, 0, 2},  {Qt::Key_End, 2, 1},  {Qt::Key_Up, 1, 3},
                     {Qt::Key_PageUp, 0, 2}};
        for (const auto& step : steps) {
            QTest::keyClick(lines, step.key);
            QCOMPARE(lines->CurrentRow(), step.line);
            QCOMPARE(m_window->ShownLine(), step.line);
            QCOMPARE(m_window->DataList()->TextRows()->RowCount(), step.rows);
        }
        QCOMPARE(m_window->DataList()->TextRows()->RowText(0),
                 std::string_view("A1 B 1.23456 25.30 08:00:00 1"));
    }

    void deleteKeyDeletesSelectedRows() {
        ClickRow(m_window->LineList(), 1);
        ListViewControl* data = m_window->DataList();
        ClickRow(data, 1);
        m_ui->answers = {MessageAnswer::No, MessageAnswer::Yes};
        QTest::keyClick(data, Qt::Key_Delete);  // asked, and declined
        QCOMPARE(data->TextRows()->RowCount(), 3);
        QTest::keyClick(data, Qt::Key_Delete);
        QCOMPARE(data->TextRows()->RowCount(), 2);
        QCOMPARE(int(m_ui->shown.size()), 2);
        QCOMPARE(m_ui->shown.back().buttons, MessageButtons::YesNo);
        QCOMPARE(m_window->Session().RecordCount(1), std::size_t(2));

        QTest::keyClick(m_window->LineList(), Qt::Key_Delete);  // the line list deletes nothing
        QCOMPARE(m_window->Session().LineCount(), std::size_t(3));
        QCOMPARE(int(m_ui->shown.size()), 2);
    }

    void aboutFromBothListsAndTheBackground() {
        const QString about = QString::fromStdString(LoadString(IDS_ABOUTBOX));
        for (QWidget* list : {static_cast<QWidget*>(m_window->LineList()),
                              static_cast<QWidget*>(m_window->DataList())}) {
            QCOMPARE(list->contextMenuPolicy(), Qt::ActionsContextMenu);
            QAction* item = nullptr;
            for (QAction* action : list->actions())
                if (action->text() == about) item = action;
            QVERIFY(item != nullptr);
            QString opened;
            CloseNextModal(&opened);
            item->trigger();
            QCOMPARE(opened, QStringLiteral("lorvex::CAboutDlg"));
        }
        // The background menu and F1 stay.
        QCOMPARE(m_window->contextMenuPolicy(), Qt::ActionsContextMenu);
        bool f1 = false;
        for (QAction* action : m_window->actions())
            f1 = f1 || (action->text() == about && action->shortcut() == QKeySequence(Qt::Key_F1));
        QVERIFY(f1);
    }

    // The first box of a start-up, "无法连接数据库！", carries the program icon.
    void firstBoxShowsTheProgramIcon() {
        QApplication::setWindowIcon(QIcon());
        IconWatchingUi ui;
        CTarvelFormatApp app;
        app.ui = &ui;
        app.instanceName =
            QStringLiteral("lorvex-test-") + QUuid::createUuid().toString(QUuid::Id128).left(12);
        app.installDataIfMissing = [] {};
        app.registerDataSource = [](std::string*) { return false; };
        app.runWindow = [](CTarvelFormatDlg&) {};
        app.InitInstance();
        QCOMPARE(int(ui.shown.size()), 1);
        QCOMPARE(ui.shown[0].first.text, LoadString(IDS_DSN_FAILED));
        QVERIFY(ui.shown[0].second);
    }

    void missingDataFolder_data() {
        QTest::addColumn<bool>("resourcesThere");
        QTest::newRow("installed from the resources") << true;
        QTest::newRow("resources missing: said once, the window still runs") << false;
    }

    void missingDataFolder() {
        QFETCH(bool, resourcesThere);
        QTemporaryDir data;
        const QByteArray savedData = qgetenv("XDG_DATA_HOME");
        const QByteArray savedResources = qgetenv("LORVEX_RESOURCES");
        qputenv("XDG_DATA_HOME", data.path().toUtf8());
        if (!resourcesThere)
            qputenv("LORVEX_RESOURCES", data.filePath(QStringLiteral("none")).toUtf8());

        RecordingUi ui;
        CTarvelFormatApp app;
        app.ui = &ui;
        app.instanceName =
            QStringLiteral("lorvex-test-") + QUuid::createUuid().toString(QUuid::Id128).left(12);
        app.registerDataSource = [](std::string*) { return true; };
        int windows = 0;
        app.runWindow = [&windows](CTarvelFormatDlg&) { ++windows; };
        app.InitInstance();

        const std::filesystem::path folder = db::GetDataFolder();
        qputenv("XDG_DATA_HOME", savedData);
        if (savedResources.isEmpty())
            qunsetenv("LORVEX_RESOURCES");
        else
            qputenv("LORVEX_RESOURCES", savedResources);
        QCOMPARE(windows, 1);
        QVERIFY(folder.string().rfind(data.path().toStdString(), 0) == 0);
        QCOMPARE(std::filesystem::exists(folder / db::DatabaseFileName()), resourcesThere);
        QCOMPARE(int(ui.shown.size()), resourcesThere ? 0 : 1);
        if (!resourcesThere) QCOMPARE(ui.shown[0].message.icon, MessageIcon::Error);
    }

  private:
    QTemporaryDir m_dir;
    std::unique_ptr<RecordingUi> m_ui;
    std::unique_ptr<CTarvelFormatDlg> m_window;
};

QTEST_MAIN(KeyboardTest)
#include "keyboard_test.moc"
