#include "SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace tavro::app {

namespace {

constexpr int HandshakeTimeoutMs = 2000;
const QByteArray Request = "activate\n";

} // namespace

TSingleInstance::TSingleInstance(QObject* parent) : QObject(parent) {}

QString TSingleInstance::ServerName() {
    return QStringLiteral("Tavro - FIDO style message viewer and editor-%1").arg(::getuid());
}

bool TSingleInstance::RunningCopyTakesOver(const QString& name) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(HandshakeTimeoutMs))
        return false;
    socket.write(Request);
    if (!socket.waitForBytesWritten(HandshakeTimeoutMs))
        return false;
    while (!socket.canReadLine())
        if (!socket.waitForReadyRead(HandshakeTimeoutMs))
            return false;
    return socket.readLine().trimmed().toInt() != 0;
}

bool TSingleInstance::Listen(std::function<int()> answer, const QString& name) {
    Answerer = std::move(answer);
    Server = new QLocalServer(this);
    connect(Server, &QLocalServer::newConnection, this, &TSingleInstance::Answer);
    if (Server->listen(name))
        return true;
    // A name left behind by a copy that died answers nobody; take it over.
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(HandshakeTimeoutMs))
        return false;
    QLocalServer::removeServer(name);
    return Server->listen(name);
}

void TSingleInstance::Answer() {
    while (QLocalSocket* socket = Server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine())
                return;
            if (socket->readLine() == Request) {
                const int answer = Answerer ? Answerer() : 0;
                socket->write(QByteArray::number(answer) + '\n');
                socket->flush();
            }
            socket->disconnectFromServer();
        });
    }
}

} // namespace tavro::app
