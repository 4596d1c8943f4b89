#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>

#include "app/qt_translations.h"
#include "app/tarvel_format_app.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lorvex"));
    QApplication::setApplicationVersion(QStringLiteral("3.0.0.1"));
    QApplication::setQuitOnLastWindowClosed(false);  // the window's close ends start-up instead
    // Ties the windows to the menu entry (lorvex.desktop) on desktops that match by it.
    QGuiApplication::setDesktopFileName(QStringLiteral("lorvex"));
    lorvex::InstallQtChineseTranslations(application);

    // lorvex [FILE]: the menu entry passes the file a user double-clicked.
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("a measurement file to open"));
    parser.process(application);

    lorvex::CTarvelFormatApp theApp;
    if (!parser.positionalArguments().isEmpty())
        theApp.fileToOpen = QFileInfo(parser.positionalArguments().front()).absoluteFilePath();
    theApp.InitInstance();
    return 0;
}
