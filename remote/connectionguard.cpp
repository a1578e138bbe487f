#include "connectionguard.h"

#include "guardedsocket.h"

#include <QDateTime>
#include <QTcpSocket>

namespace {

qint64 Now()
{
    return QDateTime::currentMSecsSinceEpoch();
}

const QByteArray kTooLarge = QByteArrayLiteral(
    "HTTP/1.1 413 Payload Too Large\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");

} // namespace

ConnectionGuard::ConnectionGuard(QObject *parent) : QTcpServer(parent)
{
    setMaxPendingConnections(MAX_CONNECTIONS);
    m_sweep.setInterval(SWEEP_MS);
    connect(&m_sweep, &QTimer::timeout, this, &ConnectionGuard::Sweep);
    m_sweep.start();
}

void ConnectionGuard::incomingConnection(qintptr descriptor)
{
    auto *socket = new GuardedSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    Prune();
    if (m_sockets.size() >= MAX_CONNECTIONS) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    m_sockets.insert(socket, Watch{socket, 0, Now(), false});
    // Connected before the HTTP server's own handler, so each count sees the
    // bytes before the server reads them.
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Received(socket); });
    connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] {
        if (auto it = m_sockets.find(socket); it != m_sockets.end()) {
            it->unanswered = 0;
            it->lastActivity = Now();
        }
    });
    connect(socket, &QObject::destroyed, this, [this, socket] { m_sockets.remove(socket); });
    addPendingConnection(socket);
}

void ConnectionGuard::Received(QTcpSocket *socket)
{
    auto it = m_sockets.find(socket);
    if (it == m_sockets.end() || it->exempt)
        return;
    it->unanswered += socket->bytesAvailable();
    it->lastActivity = Now();
    if (it->unanswered > REQUEST_BYTES) {
        it->exempt = true;
        socket->write(kTooLarge);
        socket->disconnectFromHost();
        // The server must not parse what is still buffered.
        socket->readAll();
    }
}

void ConnectionGuard::MarkUpgraded(const QHostAddress &address, quint16 port)
{
    for (Watch &watch : m_sockets)
        if (watch.socket && watch.socket->peerPort() == port && watch.socket->peerAddress() == address)
            watch.exempt = true;
}

void ConnectionGuard::Prune()
{
    // Handing a socket to the WebSocket server, or giving up on it, cuts
    // every connection of its signals, the one that would remove it here too.
    m_sockets.removeIf([](const auto &entry) { return entry.value().socket.isNull(); });
}

int ConnectionGuard::OpenConnections()
{
    Prune();
    return int(m_sockets.size());
}

void ConnectionGuard::Sweep()
{
    Prune();
    const qint64 now = Now();
    QList<QTcpSocket *> idle;
    for (const Watch &watch : std::as_const(m_sockets))
        if (watch.socket && !watch.exempt && now - watch.lastActivity > m_idleMs)
            idle.append(watch.socket);
    for (QTcpSocket *socket : idle)
        Drop(socket);
}

void ConnectionGuard::Drop(QTcpSocket *socket)
{
    m_sockets.remove(socket);
    socket->abort();
    socket->deleteLater();
}
