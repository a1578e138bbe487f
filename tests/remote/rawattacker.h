#pragma once

// Connections from one loopback address that misbehave as told, on raw
// non-blocking sockets, so that nothing the panel sends them is buffered in
// this process (the panel under test shares it). A timer drives them from
// the test's event loop; a connection the panel closes is opened again at
// the next tick, as a determined attacker would.

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <vector>

class RawAttacker : public QObject {
    Q_OBJECT
public:
    enum class Mode {
        Repeat, // sends the request again at every tick, never reads
        Drip,   // sends the request one byte a tick
        Once,   // sends the request once, then holds the connection (reading what comes)
    };

    RawAttacker(const QHostAddress &from, quint16 port, int connections, QByteArray request, Mode mode,
                int tickMs, QObject *parent = nullptr);
    ~RawAttacker() override;

    int ClosedByPanel() const { return m_closed; }
    // The longest a connection lived, from the moment the panel took it
    // until it closed it, in ms.
    qint64 LongestLife() const { return m_longestLife; }
    // The age of the oldest connection now open, in ms.
    qint64 OldestOpen() const;

private:
    struct Connection {
        int fd = -1;
        QElapsedTimer age; // since the connection was made (or, while closed, since it was closed)
        bool made = false; // the panel took it (a full accept queue keeps some waiting)
        qsizetype sent = 0;
    };

    void Tick();
    void Open(Connection &connection);
    void Close(Connection &connection);

    QHostAddress m_from;
    quint16 m_port;
    QByteArray m_request;
    Mode m_mode;
    std::vector<Connection> m_connections;
    QTimer m_timer;
    int m_closed = 0;
    qint64 m_longestLife = 0;
};
