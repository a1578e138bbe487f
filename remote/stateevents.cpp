#include "stateevents.h"

#include "panelremote.h"
#include "remoteendpoint.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QWebSocket>

#include <algorithm>

StateEvents::StateEvents(PanelRemote &panel, QObject *parent) : QObject(parent), m_panel(panel)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &StateEvents::Broadcast);
    connect(&m_panel, &PanelRemote::StateChanged, this, &StateEvents::Schedule);
    m_clock.start();
    connect(&m_ping, &QTimer::timeout, this, &StateEvents::Ping);
    m_ping.start(PING_MS);
}

StateEvents::~StateEvents()
{
    for (const std::unique_ptr<QWebSocket> &client : m_clients)
        client->disconnect(this);
}

QString StateEvents::Message() const
{
    const QJsonObject message{{QStringLiteral("type"), QStringLiteral("state")},
                              {QStringLiteral("state"), m_panel.State()}};
    return QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact));
}

int StateEvents::ClientsFrom(const QHostAddress &address) const
{
    const QHostAddress from = ClientOf(address);
    return int(std::count_if(m_clients.begin(), m_clients.end(), [&](const std::unique_ptr<QWebSocket> &c) {
        return ClientOf(c->peerAddress()) == from;
    }));
}

void StateEvents::Add(std::unique_ptr<QWebSocket> client, const QByteArray &token)
{
    if (ClientsFrom(client->peerAddress()) >= STREAMS_PER_CLIENT) {
        const QHostAddress from = ClientOf(client->peerAddress());
        const auto oldest = std::find_if(m_clients.begin(), m_clients.end(), [&](const std::unique_ptr<QWebSocket> &c) {
            return ClientOf(c->peerAddress()) == from;
        });
        QWebSocket *gone = oldest->get();
        gone->abort();
        Remove(gone);
    }
    client->setMaxAllowedIncomingMessageSize(MAX_INCOMING);
    client->setMaxAllowedIncomingFrameSize(MAX_INCOMING);
    QWebSocket *socket = client.get();
    connect(socket, &QWebSocket::disconnected, this, [this, socket] { Remove(socket); });
    m_tokens.insert(socket, token);
    m_lastHeard.insert(socket, m_clock.elapsed());
    connect(socket, &QWebSocket::pong, this, [this, socket] { m_lastHeard.insert(socket, m_clock.elapsed()); });
    m_clients.push_back(std::move(client));
    socket->sendTextMessage(Message());
}

void StateEvents::Remove(QWebSocket *client)
{
    const auto it = std::find_if(m_clients.begin(), m_clients.end(),
                                 [client](const std::unique_ptr<QWebSocket> &c) { return c.get() == client; });
    if (it == m_clients.end())
        return;
    m_tokens.remove(client);
    m_lastHeard.remove(client);
    // Deleted later: this runs inside the socket's own signal.
    it->release()->deleteLater();
    m_clients.erase(it);
}

void StateEvents::CloseUnless(const std::function<bool(const QByteArray &)> &valid)
{
    QList<QWebSocket *> revoked;
    for (const std::unique_ptr<QWebSocket> &client : m_clients)
        if (!valid(m_tokens.value(client.get())))
            revoked.append(client.get());
    for (QWebSocket *client : revoked) {
        client->close(QWebSocketProtocol::CloseCodePolicyViolated);
        Remove(client);
    }
}

void StateEvents::Ping()
{
    constexpr int ROUNDS_WITHOUT_ANSWER = 2;
    const qint64 now = m_clock.elapsed();
    QList<QWebSocket *> gone;
    for (const std::unique_ptr<QWebSocket> &client : m_clients) {
        if (now - m_lastHeard.value(client.get(), now) > qint64(ROUNDS_WITHOUT_ANSWER) * m_ping.interval())
            gone.append(client.get());
        else
            client->ping();
    }
    for (QWebSocket *client : gone) {
        client->abort();
        Remove(client);
    }
}

void StateEvents::Schedule()
{
    if (m_clients.empty() || m_timer.isActive())
        return;
    // Never sooner than COALESCE_MS after the last message; never at once,
    // so a dialog that is just opening is seen as open.
    const qint64 since = m_sinceLast.isValid() ? m_sinceLast.elapsed() : m_coalesceMs;
    m_timer.start(int(std::max<qint64>(0, m_coalesceMs - since)));
}

void StateEvents::Broadcast()
{
    if (m_clients.empty())
        return;
    const QString message = Message();
    if (message == m_lastSent)
        return;
    m_lastSent = message;
    m_sinceLast.start();
    QList<QWebSocket *> stalled;
    for (const std::unique_ptr<QWebSocket> &client : m_clients) {
        if (client->bytesToWrite() > m_backlogLimit)
            stalled.append(client.get());
        else
            client->sendTextMessage(message);
    }
    for (QWebSocket *client : stalled) {
        client->abort();
        Remove(client);
    }
}
