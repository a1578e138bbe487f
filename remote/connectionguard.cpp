#include "connectionguard.h"

#include "guardedsocket.h"
#include "remoteendpoint.h"

#include <QDeadlineTimer>
#include <QTcpSocket>

#include <algorithm>

namespace {

// A monotonic clock: moving the wall clock (a show over midnight, a time
// sync) must neither close every connection nor keep one for ever.
qint64 Now()
{
    return QDeadlineTimer::current().deadline();
}

constexpr int HTTP_PAYLOAD_TOO_LARGE = 413;
constexpr int HTTP_HEADERS_TOO_LARGE = 431;

QByteArray ReasonPhrase(int status)
{
    switch (status) {
    case HTTP_PAYLOAD_TOO_LARGE: return QByteArrayLiteral("Payload Too Large");
    case HTTP_HEADERS_TOO_LARGE: return QByteArrayLiteral("Request Header Fields Too Large");
    default: return QByteArrayLiteral("Bad Request");
    }
}

QByteArray RefusalAnswer(const RequestScanner::Refusal &refusal)
{
    const QByteArray body = refusal.reason + '\n';
    return "HTTP/1.1 " + QByteArray::number(refusal.status) + ' ' + ReasonPhrase(refusal.status)
           + "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " + QByteArray::number(body.size())
           + "\r\nConnection: close\r\n\r\n" + body;
}

} // namespace

ConnectionGuard::ConnectionGuard(QObject *parent) : QTcpServer(parent)
{
    connect(&m_sweep, &QTimer::timeout, this, &ConnectionGuard::Sweep);
    SetLimits(m_limits);
}

void ConnectionGuard::SetLimits(const ConnectionLimits &limits)
{
    m_limits = limits;
    setMaxPendingConnections(limits.maxConnections);
    // A few sweeps within the shorter limit, so none is overrun by much.
    constexpr int SWEEPS_PER_LIMIT = 4;
    m_sweep.start(std::clamp(std::min(limits.requestMs, limits.idleMs) / SWEEPS_PER_LIMIT, MIN_SWEEP_MS, SWEEP_MS));
}

bool ConnectionGuard::Live(const Watch &watch)
{
    // A socket closed but not yet deleted holds nothing any more.
    return watch.socket && watch.socket->state() != QAbstractSocket::UnconnectedState;
}

void ConnectionGuard::Restart(Watch &watch)
{
    watch.since = Now();
    watch.mark = ++m_marks;
}

int ConnectionGuard::FromAddress(const QHostAddress &peer, bool streams) const
{
    int count = 0;
    for (const Watch &watch : m_sockets)
        if (Live(watch) && watch.peer == peer && (!streams || watch.stream))
            ++count;
    return count;
}

void ConnectionGuard::incomingConnection(qintptr descriptor)
{
    auto *socket = new GuardedSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    Prune();
    const QHostAddress peer = ClientOf(socket->peerAddress());
    // A client at its share makes room with its connection that waited
    // longest for a next request (a browser keeps a few open); one with none
    // waiting is refused.
    if (FromAddress(peer, false) >= m_limits.perClient) {
        const Watch *oldest = nullptr;
        for (const Watch &watch : std::as_const(m_sockets))
            if (Live(watch) && watch.peer == peer && !watch.stream && !watch.pending && !watch.closing
                && (!oldest || watch.mark < oldest->mark))
                oldest = &watch;
        if (oldest)
            Drop(oldest->socket);
    }
    const qsizetype live = std::count_if(m_sockets.cbegin(), m_sockets.cend(), &ConnectionGuard::Live);
    if (live >= m_limits.maxConnections || FromAddress(peer, false) >= m_limits.perClient) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    socket->SetUnsentLimit(m_limits.unsentBytes);
    Watch watch;
    watch.socket = socket;
    watch.peer = peer;
    watch.scanner = RequestScanner(m_limits.requestBytes);
    Restart(watch);
    m_sockets.insert(socket, watch);
    // Connected before the HTTP server's own handler, so the bytes are seen
    // (and refused where they must be) before the server reads them.
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Received(socket); });
    connect(socket, &GuardedSocket::Answering, this, [this, socket] {
        if (auto it = m_sockets.find(socket); it != m_sockets.end())
            it->scanner.Answered();
    });
    connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { Written(socket); });
    connect(socket, &QObject::destroyed, this, [this, socket] { m_sockets.remove(socket); });
    addPendingConnection(socket);
}

void ConnectionGuard::Received(QTcpSocket *socket)
{
    auto it = m_sockets.find(socket);
    if (it == m_sockets.end() || it->stream || !socket->isOpen())
        return;
    if (it->closing) {
        socket->readAll(); // nothing more is taken from it
        return;
    }
    if (!it->pending) {
        it->pending = true;
        Restart(*it);
    }
    // The server reads one request at a time: what it left unread last time
    // was scanned then, and only what follows it is new.
    const qint64 available = socket->bytesAvailable();
    const QByteArray fresh = socket->peek(available).mid(it->scannedUnread);
    it->scannedUnread = available;
    if (const std::optional<RequestScanner::Refusal> refusal = it->scanner.Feed(fresh))
        Refuse(*it, *refusal);
}

void ConnectionGuard::ServerBound()
{
    // Connected after the server's own handler of new connections, so each
    // socket's slot below comes after the server's reading slot.
    connect(this, &QTcpServer::newConnection, this, [this] {
        for (Watch &watch : m_sockets) {
            if (watch.followed || !watch.socket)
                continue;
            watch.followed = true;
            QTcpSocket *socket = watch.socket;
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                if (auto it = m_sockets.find(socket); it != m_sockets.end())
                    it->scannedUnread = socket->bytesAvailable();
            });
        }
    });
}

void ConnectionGuard::Written(QTcpSocket *socket)
{
    auto it = m_sockets.find(socket);
    if (it == m_sockets.end() || it->stream || it->closing)
        return;
    // All answered and out: the wait for the next request begins.
    if (socket->bytesToWrite() == 0 && it->scanner.Idle()) {
        it->pending = false;
        Restart(*it);
    }
}

void ConnectionGuard::Refuse(Watch &watch, const RequestScanner::Refusal &refusal)
{
    watch.closing = true;
    watch.pending = true;
    Restart(watch);
    QTcpSocket *socket = watch.socket;
    // The server must not parse what it refuses.
    socket->readAll();
    watch.scannedUnread = 0;
    socket->write(RefusalAnswer(refusal));
    socket->disconnectFromHost();
}

bool ConnectionGuard::CloseAfterAnswer(QTcpSocket *socket) const
{
    const auto it = m_sockets.constFind(socket);
    return it != m_sockets.cend() && it->scanner.CloseAfterAnswer();
}

void ConnectionGuard::Upgrading(QTcpSocket *socket)
{
    if (auto it = m_sockets.find(socket); it != m_sockets.end())
        it->stream = true;
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

int ConnectionGuard::OpenStreams(const QHostAddress &from)
{
    Prune();
    return int(std::count_if(m_sockets.cbegin(), m_sockets.cend(), [&](const Watch &watch) {
        return Live(watch) && watch.stream && (from.isNull() || watch.peer == ClientOf(from));
    }));
}

qint64 ConnectionGuard::UnsentBytes()
{
    Prune();
    qint64 bytes = 0;
    for (const Watch &watch : std::as_const(m_sockets))
        if (watch.socket)
            bytes += watch.socket->bytesToWrite();
    return bytes;
}

void ConnectionGuard::Sweep()
{
    Prune();
    const qint64 now = Now();
    QList<QTcpSocket *> late;
    for (const Watch &watch : std::as_const(m_sockets)) {
        if (!watch.socket || watch.stream)
            continue;
        if (now - watch.since > (watch.pending ? m_limits.requestMs : m_limits.idleMs))
            late.append(watch.socket);
    }
    for (QTcpSocket *socket : late)
        Drop(socket);
}

void ConnectionGuard::Drop(QTcpSocket *socket)
{
    m_sockets.remove(socket);
    socket->abort();
    socket->deleteLater();
}
