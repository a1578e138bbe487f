#pragma once

// The listening socket of the remote API, guarding the panel against its
// clients so that no client can lock the others out or make the panel hoard
// memory:
// - at most maxConnections at once, and perClient of them from one client
//   (an IPv4 address, an IPv6 /64 network); a client at its share makes room
//   with the one of its connections that waited longest for a request;
// - a request must be whole, and its answer handed over, within requestMs of
//   its first byte; a connection waiting for its next request is closed after
//   idleMs; no byte resets either clock;
// - answers the client does not read are kept up to unsentBytes, then the
//   connection is closed (GuardedSocket);
// - each request is read ahead of Qt's parser (RequestScanner): one that
//   breaks a rule is answered 400 (413, 431) and closed before Qt sees it.
// Connections upgraded to event streams leave these clocks (StateEvents
// keeps its own limits on them).

#include "requestscanner.h"

#include <QHash>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTimer>

class GuardedSocket;
class QTcpSocket;

struct ConnectionLimits {
    static constexpr int MAX_CONNECTIONS = 64;
    static constexpr int PER_CLIENT = 8;
    static constexpr qint64 REQUEST_BYTES = 256 * 1024;
    static constexpr qint64 UNSENT_BYTES = 256 * 1024;
    static constexpr int REQUEST_MS = 5000;
    static constexpr int IDLE_MS = 30000;

    int maxConnections = MAX_CONNECTIONS;
    int perClient = PER_CLIENT;
    qint64 requestBytes = REQUEST_BYTES; // one request, head and body
    qint64 unsentBytes = UNSENT_BYTES;   // answers waiting for a client that does not read
    int requestMs = REQUEST_MS;
    int idleMs = IDLE_MS;
};

class ConnectionGuard : public QTcpServer {
    Q_OBJECT
public:
    static constexpr int SWEEP_MS = 1000;
    static constexpr int MIN_SWEEP_MS = 10;

    explicit ConnectionGuard(QObject *parent = nullptr);

    // To be called once the HTTP server is bound to this guard: from then on
    // the guard also hears, after each of the server's reads, what it left.
    void ServerBound();

    const ConnectionLimits &Limits() const { return m_limits; }
    // For connections accepted from now on (the clocks: for all).
    void SetLimits(const ConnectionLimits &limits);

    // The client asked for the connection to end after this answer
    // (Connection: close, or HTTP/1.0).
    bool CloseAfterAnswer(QTcpSocket *socket) const;
    // The connection becomes an event stream: it leaves the clocks.
    void Upgrading(QTcpSocket *socket);

    int OpenConnections();
    // Event streams open, of all clients or of the one address from is.
    int OpenStreams(const QHostAddress &from = {});
    // Answer bytes the connections hold that their clients have not taken.
    qint64 UnsentBytes();

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    struct Watch {
        QPointer<QTcpSocket> socket;
        QHostAddress peer; // the client it counts as (ClientOf)
        RequestScanner scanner{ConnectionLimits::REQUEST_BYTES};
        qint64 since = 0;     // the first byte of the pending request, or the start of the wait
        quint64 mark = 0;     // orders the waits that began within the same millisecond
        bool pending = false; // a request began and its answer is not all out
        bool stream = false;
        bool closing = false; // refused: its answer goes out, nothing more is read
        bool followed = false; // the slot after the server's reads is connected
        qint64 scannedUnread = 0; // bytes at the front of the socket's buffer scanned already
    };

    static bool Live(const Watch &watch);
    void Received(QTcpSocket *socket);
    void Written(QTcpSocket *socket);
    void Refuse(Watch &watch, const RequestScanner::Refusal &refusal);
    void Prune();
    void Sweep();
    void Drop(QTcpSocket *socket);
    int FromAddress(const QHostAddress &peer, bool streams) const;
    // Starts watch's clock now.
    void Restart(Watch &watch);

    QHash<QTcpSocket *, Watch> m_sockets;
    quint64 m_marks = 0;
    QTimer m_sweep;
    ConnectionLimits m_limits;
};
