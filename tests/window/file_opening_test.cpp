// Files reach the window the usual ways: the chooser opening where the user
// last was, the command line, a second start handing its file to the running
// instance (two processes), and a drop on the window.

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QSettings>
#include <QTest>
#include <QUrl>
#include <QUuid>

#include "app/single_instance.h"
#include "app/tarvel_format_app.h"
#include "window_test_support.h"

using namespace lorvex;
using namespace lorvex::test;

namespace {

const std::vector<std::string> kTwoLines = {Start("L1"), Rec("A", "B"), Rec("B", "F"),
                                            Start("L2"), Rec("C", "B"), Rec("D", "F")};

QStringList LineNames(const CTarvelFormatDlg& window) { return Rows(window.LineList()); }

// A start-up that registers nothing and installs nothing.
void Quiet(CTarvelFormatApp& app, UiServices& ui, const QString& name) {
    app.ui = &ui;
    app.instanceName = name;
    app.installDataIfMissing = [] {};
    app.registerDataSource = [](std::string*) { return true; };
}

}  // namespace

class FileOpeningTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase() {
        // The remembered folder goes to a scratch place, never the user's.
        QVERIFY(m_settings.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings.path());
    }

    void init() {
        QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("lorvex"),
                  QStringLiteral("lorvex"))
            .clear();
    }

    // Home first; after an import the folder of that file, remembered by the
    // next window; a path typed into the path field wins over both.
    void chooserOpensWhereTheUserWas() {
        QTemporaryDir first, typed;
        const QString file = WriteMdt(first, QStringLiteral("a.mdt"), kTwoLines);
        {
            RecordingUi ui;
            CTarvelFormatDlg window(ui);
            window.OnOpenData();
            QCOMPARE(ui.lastFolder, QDir::homePath());
            ui.Choose(file);
            window.OnOpenData();
            QCOMPARE(ui.lastFolder, QDir::homePath());
            QCOMPARE(LineNames(window), QStringList({QStringLiteral("L1"), QStringLiteral("L2")}));
            ui.choice.reset();
            window.OnOpenData();
            QCOMPARE(ui.lastFolder, QFileInfo(file).absolutePath());
        }
        RecordingUi ui;
        CTarvelFormatDlg window(ui);
        window.OnOpenData();  // a new window, as at the next start
        QCOMPARE(ui.lastFolder, QFileInfo(file).absolutePath());

        auto* path = qobject_cast<QLineEdit*>(window.GetDlgItem(IDC_FILE_PATH));
        path->setText(typed.filePath(QStringLiteral("not-yet.mdt")));
        window.OnOpenData();
        QCOMPARE(ui.lastFolder, typed.path());
    }

    // A file that does not open is not remembered as the last folder.
    void failedImportLeavesTheLastFolder() {
        QTemporaryDir dir, other;
        RecordingUi ui;
        CTarvelFormatDlg window(ui);
        ui.Choose(WriteMdt(dir, QStringLiteral("a.mdt"), kTwoLines));
        window.OnOpenData();
        window.OpenFile(other.filePath(QStringLiteral("missing.mdt")));

        RecordingUi next;
        CTarvelFormatDlg fresh(next);
        fresh.OnOpenData();
        QCOMPARE(next.lastFolder, dir.path());
    }

    void commandLineFileOpensOnceTheWindowShows() {
        QTemporaryDir dir;
        const QString file = WriteMdt(dir, QStringLiteral("线路.mdt"), kTwoLines);
        RecordingUi ui;
        CTarvelFormatApp app;
        Quiet(app, ui, UniqueName());
        app.fileToOpen = file;
        bool checked = false;
        app.runWindow = [&](CTarvelFormatDlg& window) {
            QCOMPARE(window.LineList()->TextRows()->RowCount(), 0);  // not before it shows
            window.show();
            QTRY_COMPARE(LineNames(window),
                         QStringList({QStringLiteral("L1"), QStringLiteral("L2")}));
            QCOMPARE(qobject_cast<QLineEdit*>(window.GetDlgItem(IDC_FILE_PATH))->text(), file);
            QCOMPARE(QString::fromStdString(window.FilePath()), file);
            checked = true;
        };
        app.InitInstance();
        QVERIFY(checked);
        QVERIFY(ui.shown.empty());
    }

    // The real program as the second process: it hands its file (given
    // relative to its own working folder) to this one and ends at once.
    void secondProcessHandsItsFileToTheRunningWindow() {
        QTemporaryDir dir;
        const QString file = WriteMdt(dir, QStringLiteral("second start.mdt"), kTwoLines);
        // The socket name comes from the title and the user: a user of our
        // own keeps this test apart from any other running Lorvex.
        const QByteArray user =
            "lorvex-test-" + QUuid::createUuid().toByteArray(QUuid::Id128).left(12);
        const QByteArray savedUser = qgetenv("USER");
        qputenv("USER", user);

        RecordingUi ui;
        CTarvelFormatApp app;
        Quiet(app, ui, QString());
        bool checked = false;
        app.runWindow = [&](CTarvelFormatDlg& window) {
            window.showMinimized();
            QProcess second;
            second.setWorkingDirectory(dir.path());
            second.setProcessChannelMode(QProcess::ForwardedChannels);
            second.start(QStringLiteral(LORVEX_PROGRAM), {QStringLiteral("second start.mdt")});
            QVERIFY(second.waitForStarted());
            QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 60000);
            QCOMPARE(second.exitStatus(), QProcess::NormalExit);
            QCOMPARE(second.exitCode(), 0);
            QTRY_COMPARE(QString::fromStdString(window.FilePath()), file);
            QCOMPARE(LineNames(window), QStringList({QStringLiteral("L1"), QStringLiteral("L2")}));
            QVERIFY(window.isVisible());
            QVERIFY(!(window.windowState() & Qt::WindowMinimized));  // came forward
            checked = true;
        };
        app.InitInstance();
        qputenv("USER", savedUser);
        QVERIFY(checked);
    }

    // A hand-over while a message box is up waits for the box, so an import
    // never runs under a command that is still asking the user something.
    void handedFileWaitsForAnOpenBox() {
        QTemporaryDir dir;
        const QString first = WriteMdt(dir, QStringLiteral("1.mdt"), kTwoLines);
        const QString second = WriteMdt(dir, QStringLiteral("2.mdt"), {Start("Z"), Rec("A")});
        RecordingUi ui;
        CTarvelFormatDlg window(ui);
        window.show();
        QMessageBox box(QMessageBox::Question, QStringLiteral("Lorvex"), QStringLiteral("?"),
                        QMessageBox::Ok, &window);
        box.setWindowModality(Qt::ApplicationModal);
        box.show();
        QTRY_COMPARE(QApplication::activeModalWidget(), &box);
        window.OpenFile(first);
        window.OpenFile(second);  // the last one asked for wins
        QTest::qWait(250);
        QCOMPARE(window.FilePath(), std::string());
        box.hide();
        QTRY_COMPARE(QString::fromStdString(window.FilePath()), second);
        QCOMPARE(LineNames(window), QStringList({QStringLiteral("Z")}));
    }

    void drop_data() {
        QTest::addColumn<int>("target");  // 0: the window itself, else a control id
        QTest::addColumn<QString>("carries");
        QTest::addColumn<bool>("opens");
        QTest::newRow("file on the window") << 0 << "file" << true;
        QTest::newRow("file on the path edit") << int(IDC_FILE_PATH) << "file" << true;
        QTest::newRow("file on a header edit") << int(IDC_WEATHER) << "file" << true;
        QTest::newRow("text on the window") << 0 << "text" << false;
        QTest::newRow("web address on the window") << 0 << "web" << false;
    }

    void drop() {
        QFETCH(int, target);
        QFETCH(QString, carries);
        QFETCH(bool, opens);
        QTemporaryDir dir;
        const QString file = WriteMdt(dir, QStringLiteral("dropped.mdt"), kTwoLines);
        RecordingUi ui;
        CTarvelFormatDlg window(ui);
        window.show();
        QWidget* on = target == 0 ? static_cast<QWidget*>(&window) : window.GetDlgItem(target);

        QMimeData data;
        if (carries == QLatin1String("file")) data.setUrls({QUrl::fromLocalFile(file)});
        if (carries == QLatin1String("text")) data.setText(file);
        if (carries == QLatin1String("web"))
            data.setUrls({QUrl(QStringLiteral("https://example.org/a.mdt"))});
        const QPoint at = on->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(on, &enter);
        if (opens) QVERIFY(enter.isAccepted());
        if (target == 0 && !opens) QVERIFY(!enter.isAccepted());
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(on, &dropped);

        QCOMPARE(QString::fromStdString(window.FilePath()), opens ? file : QString());
        QCOMPARE(window.LineList()->TextRows()->RowCount(), opens ? 2 : 0);
        if (target != 0)  // the edit did not take the file's address as text
            QVERIFY(!qobject_cast<QLineEdit*>(on)->text().contains(QLatin1String("file:")));
    }

  private:
    static QString UniqueName() {
        return QStringLiteral("lorvex-test-") + QUuid::createUuid().toString(QUuid::Id128).left(12);
    }

    QTemporaryDir m_settings;
};

QTEST_MAIN(FileOpeningTest)
#include "file_opening_test.moc"
