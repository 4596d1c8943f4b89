#pragma once

// One running instance per user. The first instance answers on a local socket
// named from the window title and the user; a later start connects, asks it
// to bring its window to the front (and to open the file the later start was
// given), and ends.

#include <QLocalServer>
#include <QObject>
#include <QString>

class QWidget;

namespace lorvex {

class SingleInstance final : public QObject {
    Q_OBJECT

  public:
    explicit SingleInstance(QString serverName, QObject* parent = nullptr);

    // The socket name for a window title and the current user.
    static QString ServerNameFor(const QString& windowTitle);

    // True when a running instance took the request to show its window, or,
    // with a file, to open that file (a relative path is made absolute here,
    // where it was given) and show its window.
    bool HandOverToRunningInstance(int timeoutMs = 1000, const QString& file = QString());

    // Starts answering later starts. A socket left behind by an instance that
    // crashed is removed first. False when the name cannot be taken.
    bool Listen();

    const QString& ServerName() const { return m_name; }

  Q_SIGNALS:
    void activationRequested();
    void fileOpenRequested(const QString& absolutePath);

  private:
    void onNewConnection();

    QString m_name;
    QLocalServer m_server;
};

// Shows a window restored (also from minimised), on top and active.
void BringToFront(QWidget* window);

}  // namespace lorvex
