#include "app/shell/SingleInstance.h"

#include "app/AgentSocket.h"
#include "base/Log.h"

#include <QLocalSocket>
#include <unistd.h>

namespace brivio {

namespace {
constexpr int handoffTimeoutMs = 1000;

QByteArray line(std::string_view request) {
    return QByteArray(request.data(), static_cast<qsizetype>(request.size())) + '\n';
}
} // namespace

SingleInstance::SingleInstance(QString name, QObject* parent) : QObject(parent), name_(std::move(name)) {
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            // One request a connection, a line each: the connection ends once the line is in.
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine())
                    return;
                QByteArray request = socket->readLine();
                socket->disconnectFromServer();
                if (request == line(showPanelRequest))
                    Q_EMIT activationRequested();
                else if (request == line(stepUpRequest))
                    Q_EMIT stepRequested(+1);
                else if (request == line(stepDownRequest))
                    Q_EMIT stepRequested(-1);
            });
        }
    });
}

QString SingleInstance::defaultName() {
    return QString::fromStdString(agentSocketPath());
}

bool SingleInstance::askRunningInstance() {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(handoffTimeoutMs))
        return false;
    socket.write(line(showPanelRequest));
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
