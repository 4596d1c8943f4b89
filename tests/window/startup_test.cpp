// Start-up: one instance per user, handing over to the running one, a socket
// left by a crashed instance, and a refused data-source registration.

#include <QApplication>
#include <QLocalServer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUuid>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#endif

#include "app/single_instance.h"
#include "app/tarvel_format_app.h"
#include "window_test_support.h"

using namespace lorvex;
using namespace lorvex::test;

namespace {

QString UniqueName() {
    return QStringLiteral("lorvex-test-") + QUuid::createUuid().toString(QUuid::Id128).left(12);
}

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void nameDependsOnTitleAndIsPlain() {
        const QString a = SingleInstance::ServerNameFor(QStringLiteral("Lorvex 格式转换"));
        QCOMPARE(a, SingleInstance::ServerNameFor(QStringLiteral("Lorvex 格式转换")));
        QVERIFY(a != SingleInstance::ServerNameFor(QStringLiteral("Lorvex")));
        for (const QChar c : a) QVERIFY(c.isLetterOrNumber() || c == QLatin1Char('-'));
    }

    void secondStartRestoresTheFirstWindow() {
        const QString name = UniqueName();
        SingleInstance first(name);
        QVERIFY(!first.HandOverToRunningInstance(200));  // nobody there yet
        QVERIFY(first.Listen());

        RecordingUi ui;
        CTarvelFormatDlg window(ui);
        connect(&first, &SingleInstance::activationRequested, &window,
                [&window] { BringToFront(&window); });
        window.showMinimized();
        QTRY_VERIFY(window.windowState() & Qt::WindowMinimized);
        QSignalSpy spy(&first, &SingleInstance::activationRequested);

        SingleInstance second(name);
        QVERIFY(second.HandOverToRunningInstance());
        QTRY_COMPARE(spy.count(), 1);
        QVERIFY(!(window.windowState() & Qt::WindowMinimized));
        QVERIFY(window.isVisible());
    }

    void secondInstanceEndsWithoutRegisteringOrShowing() {
        const QString name = UniqueName();
        SingleInstance first(name);
        QVERIFY(first.Listen());

        RecordingUi ui;
        CTarvelFormatApp app;
        app.ui = &ui;
        app.instanceName = name;
        int registrations = 0;
        int windows = 0;
        app.registerDataSource = [&registrations](std::string*) { return ++registrations > 0; };
        app.runWindow = [&windows](CTarvelFormatDlg&) { ++windows; };
        QSignalSpy spy(&first, &SingleInstance::activationRequested);
        QVERIFY(!app.InitInstance());
        QCOMPARE(registrations, 0);
        QCOMPARE(windows, 0);
        QTRY_COMPARE(spy.count(), 1);
    }

    void refusedRegistrationIsShownOnceAndTheWindowStillOpens() {
        RecordingUi ui;
        CTarvelFormatApp app;
        app.ui = &ui;
        app.instanceName = UniqueName();
        app.registerDataSource = [](std::string* error) {
            *error = "driver missing";
            return false;
        };
        QString title;
        app.runWindow = [&title](CTarvelFormatDlg& window) { title = window.windowTitle(); };
        QVERIFY(!app.InitInstance());
        QCOMPARE(ui.Texts(), std::vector<std::string>{"无法连接数据库！"});
        QCOMPARE(ui.shown[0].message.icon, MessageIcon::Error);
        QCOMPARE(title, QStringLiteral("Lorvex 格式转换"));
    }

    void closingTheWindowEndsStartUp() {
        RecordingUi ui;
        CTarvelFormatApp app;
        app.ui = &ui;
        app.instanceName = UniqueName();
        app.registerDataSource = [](std::string*) { return true; };
        bool closed = false;
        // The real modal run; the close box is pressed once it is up.
        QTimer::singleShot(0, this, [&closed] {
            if (auto* window = qobject_cast<CTarvelFormatDlg*>(QApplication::activeModalWidget())) {
                closed = window->close();
            }
        });
        QVERIFY(!app.InitInstance());
        QVERIFY(closed);
        QVERIFY(ui.shown.empty());
    }

    void staleSocketOfACrashedInstanceIsReplaced() {
#ifdef Q_OS_UNIX
        // A crashed instance leaves its socket file behind: bound, nobody listening.
        const QString name = UniqueName();
        const QString path = QDir::cleanPath(QDir::tempPath() + QLatin1Char('/') + name);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(fd >= 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray encoded = QFile::encodeName(path);
        std::memcpy(address.sun_path, encoded.constData(),
                    static_cast<std::size_t>(encoded.size()));
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
        QVERIFY(QFile::exists(path));

        SingleInstance next(name);
        QVERIFY(!next.HandOverToRunningInstance(200));
        QVERIFY(next.Listen());
        QSignalSpy spy(&next, &SingleInstance::activationRequested);
        SingleInstance later(name);
        QVERIFY(later.HandOverToRunningInstance());
        QTRY_COMPARE(spy.count(), 1);
#else
        QSKIP("socket files are a Unix matter");
#endif
    }
};

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
