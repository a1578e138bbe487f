#pragma once

// The listening socket of the remote API, guarding the panel against its
// clients: at most MAX_CONNECTIONS at once, no request of more than
// REQUEST_BYTES before its answer, no connection idle longer than IDLE_MS,
// and none left open once the HTTP server has given up on it (a request it
// could not parse). Connections upgraded to WebSockets are left alone.

#include <QHash>
#include <QPointer>
#include <QTcpServer>
#include <QTimer>

class QTcpSocket;

class ConnectionGuard : public QTcpServer {
    Q_OBJECT
public:
    static constexpr int MAX_CONNECTIONS = 64;
    static constexpr qint64 REQUEST_BYTES = 256 * 1024;
    static constexpr int IDLE_MS = 30000;
    static constexpr int SWEEP_MS = 1000;

    explicit ConnectionGuard(QObject *parent = nullptr);

    // How long a connection may stay silent (IDLE_MS unless set).
    void SetIdleLimit(int ms) { m_idleMs = ms; }

    // The connection from peer (address, port) became a WebSocket.
    void MarkUpgraded(const QHostAddress &address, quint16 port);
    int OpenConnections();

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    struct Watch {
        QPointer<QTcpSocket> socket;
        qint64 unanswered = 0; // bytes received since the last answer went out
        qint64 lastActivity = 0;
        bool exempt = false; // a WebSocket, or already being closed: counted no further
    };

    void Received(QTcpSocket *socket);
    void Prune();
    void Sweep();
    void Drop(QTcpSocket *socket);

    QHash<QTcpSocket *, Watch> m_sockets;
    QTimer m_sweep;
    int m_idleMs = IDLE_MS;
};
