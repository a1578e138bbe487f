#pragma once

// The WebSocket event stream: every client gets the panel's state at once
// and again after each change, as {"type": "state", "state": {...}}. A burst
// of changes is coalesced to one message per COALESCE_MS at most, and a
// state equal to the last one sent is not sent again. Every PING_MS each
// client is pinged; one that has not answered for two rounds (a tablet
// switched off, a peer that vanished) is let go.

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class PanelRemote;
class QHostAddress;
class QWebSocket;

class StateEvents : public QObject {
    Q_OBJECT
public:
    static constexpr int COALESCE_MS = 100;
    static constexpr qint64 MAX_INCOMING = 4096; // clients only listen
    // A client that stops reading (a tablet gone to sleep) is let go once
    // this much waits for it, rather than have the panel keep it all.
    static constexpr qint64 MAX_BACKLOG = 1024 * 1024;
    // Streams one client (an IPv4 address, an IPv6 /64 network) may hold; a
    // new one pushes out its oldest, so a
    // tablet that slept through the end of its old streams always gets one,
    // and no address takes the connections of the others.
    static constexpr int STREAMS_PER_CLIENT = 4;
    static constexpr int PING_MS = 20000;

    explicit StateEvents(PanelRemote &panel, QObject *parent = nullptr);
    ~StateEvents() override;

    // token: what the client opened the stream with, for CloseUnless.
    void Add(std::unique_ptr<QWebSocket> client, const QByteArray &token = QByteArray());
    // Closes every client whose token valid no longer takes.
    void CloseUnless(const std::function<bool(const QByteArray &)> &valid);
    int ClientCount() const { return int(m_clients.size()); }
    int ClientsFrom(const QHostAddress &address) const;
    void SetBacklogLimit(qint64 bytes) { m_backlogLimit = bytes; }
    void SetCoalesceInterval(int ms) { m_coalesceMs = ms; }
    void SetPingInterval(int ms) { m_ping.start(ms); }

private:
    void Schedule();
    void Broadcast();
    QString Message() const;
    void Remove(QWebSocket *client);
    void Ping();

    PanelRemote &m_panel;
    std::vector<std::unique_ptr<QWebSocket>> m_clients;
    QHash<QWebSocket *, QByteArray> m_tokens;
    QTimer m_timer;
    QTimer m_ping;
    QElapsedTimer m_clock;
    QHash<QWebSocket *, qint64> m_lastHeard; // m_clock's time of each client's last pong
    QElapsedTimer m_sinceLast;
    QString m_lastSent;
    qint64 m_backlogLimit = MAX_BACKLOG;
    int m_coalesceMs = COALESCE_MS;
};
