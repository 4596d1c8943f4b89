#include "app/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QWidget>

namespace lorvex {
namespace {

// One request a line. A path travels in base64 of its UTF-8 text, since a
// file name may hold a line break.
constexpr char kActivate[] = "activate\n";
constexpr char kOpen[] = "open ";

QString CurrentUser() {
    for (const char* variable : {"USER", "USERNAME", "LOGNAME"}) {
        const QString user = qEnvironmentVariable(variable);
        if (!user.isEmpty()) return user;
    }
    return QDir::homePath();
}

}  // namespace

SingleInstance::SingleInstance(QString serverName, QObject* parent)
    : QObject(parent), m_name(std::move(serverName)) {
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
}

QString SingleInstance::ServerNameFor(const QString& windowTitle) {
    // Hashed: socket and pipe names must stay short and plain ASCII.
    const QByteArray key = (windowTitle + QLatin1Char('\n') + CurrentUser()).toUtf8();
    const QByteArray hash = QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex();
    return QStringLiteral("lorvex-") + QString::fromLatin1(hash.left(24));
}

bool SingleInstance::HandOverToRunningInstance(int timeoutMs, const QString& file) {
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(timeoutMs)) return false;
    if (file.isEmpty()) {
        socket.write(kActivate);
    } else {
        socket.write(kOpen + QFileInfo(file).absoluteFilePath().toUtf8().toBase64() + '\n');
    }
    socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(timeoutMs);
    return true;
}

bool SingleInstance::Listen() {
    if (m_server.listen(m_name)) return true;
    if (m_server.serverError() != QAbstractSocket::AddressInUseError) return false;
    // Nobody answered on the name (the caller asked first), so what holds it
    // is the socket file of an instance that crashed.
    QLocalServer::removeServer(m_name);
    return m_server.listen(m_name);
}

void SingleInstance::onNewConnection() {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        const auto read = [this, socket] {
            while (socket->canReadLine()) {
                const QByteArray line = socket->readLine();
                if (line == kActivate) {
                    Q_EMIT activationRequested();
                } else if (line.startsWith(kOpen) && line.endsWith('\n')) {
                    const QByteArray encoded = line.mid(qsizetype(sizeof kOpen) - 1).chopped(1);
                    const auto decoded = QByteArray::fromBase64Encoding(
                        encoded, QByteArray::AbortOnBase64DecodingErrors);
                    if (decoded && !decoded.decoded.isEmpty())
                        Q_EMIT fileOpenRequested(QString::fromUtf8(decoded.decoded));
                }
            }
        };
        connect(socket, &QLocalSocket::readyRead, this, read);
        read();
    }
}

void BringToFront(QWidget* window) {
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->show();
    window->raise();
    window->activateWindow();
}

}  // namespace lorvex
