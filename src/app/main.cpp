#include <QApplication>

#include "app/tarvel_format_app.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lorvex"));
    QApplication::setApplicationVersion(QStringLiteral("3.0.0.1"));
    QApplication::setQuitOnLastWindowClosed(false);  // the window's close ends start-up instead

    lorvex::CTarvelFormatApp theApp;
    theApp.InitInstance();
    return 0;
}
