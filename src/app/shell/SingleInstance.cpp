#include "app/shell/SingleInstance.h"

#include "base/Log.h"

#include <QLocalSocket>
#include <unistd.h>

namespace brivio {

namespace {
constexpr int handoffTimeoutMs = 1000;
const QByteArray showPanel = "show-panel\n";
} // namespace

SingleInstance::SingleInstance(QString name, QObject* parent) : QObject(parent), name_(std::move(name)) {
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains("show-panel"))
                    Q_EMIT activationRequested();
                socket->disconnectFromServer();
            });
        }
    });
}

QString SingleInstance::defaultName() {
    return QStringLiteral("brivio-%1").arg(getuid());
}

bool SingleInstance::askRunningInstance() {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(handoffTimeoutMs))
        return false;
    socket.write(showPanel);
    socket.waitForBytesWritten(handoffTimeoutMs);
    // The other side closes once it has read the request.
    socket.waitForDisconnected(handoffTimeoutMs);
    return true;
}

bool SingleInstance::claim() {
    if (askRunningInstance())
        return false;
    // Nobody answered: a socket file left by a crashed instance must not keep this one from starting.
    QLocalServer::removeServer(name_);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_.listen(name_)) {
        logError(LogCategory::AppDelegate, "Single-instance socket unavailable: {}",
                 server_.errorString().toStdString());
    }
    return true;
}

} // namespace brivio
