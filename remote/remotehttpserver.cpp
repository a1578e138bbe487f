#include "remotehttpserver.h"

#include "connectionguard.h"
#include "panelremote.h"
#include "remotepairing.h"
#include "remoteendpoint.h"
#include "stateevents.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QLoggingCategory>
#include <QNetworkRequest>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>
#include <QWebSocket>

namespace {

constexpr int CLOSE_WAIT_MS = 5000;
constexpr int HTTP_CONFLICT = 409;

// A refusal of the request itself (not the panel's 409 to a command it would
// not run): its connection is closed after the answer, so a client that is
// refused holds no slot.
bool ClosesTheConnection(int status)
{
    return status >= 400 && status < 500 && status != HTTP_CONFLICT;
}

QByteArray MethodName(QHttpServerRequest::Method method)
{
    switch (method) {
    case QHttpServerRequest::Method::Get: return QByteArrayLiteral("GET");
    case QHttpServerRequest::Method::Post: return QByteArrayLiteral("POST");
    case QHttpServerRequest::Method::Put: return QByteArrayLiteral("PUT");
    case QHttpServerRequest::Method::Delete: return QByteArrayLiteral("DELETE");
    case QHttpServerRequest::Method::Head: return QByteArrayLiteral("HEAD");
    case QHttpServerRequest::Method::Options: return QByteArrayLiteral("OPTIONS");
    case QHttpServerRequest::Method::Patch: return QByteArrayLiteral("PATCH");
    default: return QByteArrayLiteral("OTHER");
    }
}

bool IsWebSocketUpgrade(const QHttpServerRequest &request)
{
    return request.value(QByteArrayLiteral("upgrade")).compare("websocket", Qt::CaseInsensitive) == 0;
}

ApiRequest FromHttp(const QHttpServerRequest &request)
{
    ApiRequest api;
    api.method = MethodName(request.method());
    api.path = request.url().path();
    api.queryToken = request.query().queryItemValue(QStringLiteral("token")).toLatin1();
    api.body = request.body();
    for (const auto &[name, value] : request.headers()) {
        if (name.compare("host", Qt::CaseInsensitive) == 0) {
            api.host = value;
        } else if (name.compare("origin", Qt::CaseInsensitive) == 0) {
            api.origin = value;
            api.hasOrigin = true;
        } else if (name.compare("authorization", Qt::CaseInsensitive) == 0) {
            api.authorization = value;
        }
    }
    return api;
}

// "ADDRESS:PORT" of a client, an IPv4 peer on a dual-stack socket as IPv4.
QString PeerText(const QHostAddress &address, quint16 port)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return QStringLiteral("%1:%2").arg((isV4 ? QHostAddress(v4) : address).toString()).arg(port);
}

// The host and port a WebSocket's handshake named, as its Host header had them.
QByteArray HostOf(const QWebSocket &client)
{
    const QByteArray header = client.request().rawHeader("Host");
    if (!header.isEmpty())
        return header;
    const QUrl url = client.requestUrl();
    return url.authority(QUrl::FullyEncoded).toLatin1();
}

} // namespace

RemoteHttpServer::RemoteHttpServer(PanelRemote &panel, QByteArray token, QObject *parent)
    : QAbstractHttpServer(parent), m_panel(panel), m_token(std::move(token))
{
    m_events = new StateEvents(panel, this);
    // Qt's server warns of every WebSocket handshake it was told to refuse,
    // as if something were misconfigured; a refused handshake is ordinary
    // here, and a flood of them must not flood the panel's log.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.httpserver.warning=false"));
    connect(this, &QAbstractHttpServer::newWebSocketConnection, this, &RemoteHttpServer::AcceptWebSockets);
}

RemoteHttpServer::~RemoteHttpServer() = default;

bool RemoteHttpServer::Listen(const QHostAddress &address, quint16 port, QString *error)
{
    auto *guard = new ConnectionGuard(this);
    if (!guard->listen(BindAddress(address), port)) {
        *error = guard->errorString();
        delete guard;
        return false;
    }
    m_guard = guard;
    bind(guard);
    guard->ServerBound();
    m_gate = std::make_unique<RequestGate>(m_token, guard->serverPort(), m_pairing ? &m_pairing->Devices() : nullptr);
    m_api = std::make_unique<RemoteApi>(m_panel, *m_gate, m_pairing);
    return true;
}

quint16 RemoteHttpServer::Port() const
{
    return m_guard ? m_guard->serverPort() : 0;
}

bool RemoteHttpServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    // A request that came after one asking for the close is not taken (nor
    // one on a connection the guard has refused).
    if (socket->state() != QAbstractSocket::ConnectedState)
        return !IsWebSocketUpgrade(request);
    // Qt asks here before it upgrades a connection to a WebSocket: true lets
    // it, false has it close the connection after our refusal went out.
    if (IsWebSocketUpgrade(request)) {
        const ApiReply reply = m_api->AnswerUpgrade(FromHttp(request));
        if (reply.status == RemoteApi::SWITCHING_PROTOCOLS) {
            if (m_guard)
                m_guard->Upgrading(socket);
            return true;
        }
        Write(makeResponder(request, socket), reply, socket);
        return false;
    }
    ApiRequest api = FromHttp(request);
    api.peer = PeerText(socket->peerAddress(), socket->peerPort());
    Write(makeResponder(request, socket), m_api->Answer(api), socket);
    return true;
}

void RemoteHttpServer::Write(QHttpServerResponder &&responder, const ApiReply &reply, QTcpSocket *socket)
{
    const bool close = ClosesTheConnection(reply.status) || (m_guard && m_guard->CloseAfterAnswer(socket));
    responder.writeStatusLine(QHttpServerResponder::StatusCode(reply.status));
    responder.writeHeader(QByteArrayLiteral("Content-Type"), reply.contentType);
    responder.writeHeader(QByteArrayLiteral("Content-Length"), QByteArray::number(reply.body.size()));
    responder.writeHeader(QByteArrayLiteral("Cache-Control"), QByteArrayLiteral("no-store"));
    responder.writeHeader(QByteArrayLiteral("X-Content-Type-Options"), QByteArrayLiteral("nosniff"));
    // The page takes nothing from anywhere but here.
    responder.writeHeader(QByteArrayLiteral("Content-Security-Policy"),
                          QByteArrayLiteral("default-src 'self'; connect-src 'self'; frame-ancestors 'none'"));
    responder.writeHeader(QByteArrayLiteral("Referrer-Policy"), QByteArrayLiteral("no-referrer"));
    if (!reply.allow.isEmpty())
        responder.writeHeader(QByteArrayLiteral("Allow"), reply.allow);
    if (close)
        responder.writeHeader(QByteArrayLiteral("Connection"), QByteArrayLiteral("close"));
    responder.writeBody(reply.body);
    if (close)
        socket->disconnectFromHost();
}

void RemoteHttpServer::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket)
{
    // Reached only for a refused upgrade, which handleRequest has answered.
    if (!IsWebSocketUpgrade(request)) {
        makeResponder(request, socket).write(QHttpServerResponder::StatusCode::NotFound);
        socket->disconnectFromHost();
    }
}

void RemoteHttpServer::DropRevokedStreams()
{
    if (m_gate)
        m_events->CloseUnless([this](const QByteArray &token) { return m_gate->TokenValid(token); });
}

void RemoteHttpServer::AcceptWebSockets()
{
    while (hasPendingWebSocketConnections())
        Accept(nextPendingWebSocketConnection());
}

void RemoteHttpServer::Accept(std::unique_ptr<QWebSocket> client)
{
    if (!client)
        return;
    // handleRequest let this one through; checked again all the same, so a
    // change in how Qt upgrades can never open the stream to anyone.
    ApiRequest handshake;
    handshake.method = QByteArrayLiteral("GET");
    handshake.path = client->requestUrl().path();
    handshake.host = HostOf(*client);
    handshake.origin = client->origin().toUtf8();
    handshake.hasOrigin = !handshake.origin.isEmpty();
    handshake.queryToken = QUrlQuery(client->requestUrl()).queryItemValue(QStringLiteral("token")).toLatin1();
    if (m_api->AnswerUpgrade(handshake).status == RemoteApi::SWITCHING_PROTOCOLS) {
        m_events->Add(std::move(client), handshake.queryToken);
        return;
    }
    QWebSocket *socket = client.release();
    connect(socket, &QWebSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(CLOSE_WAIT_MS, socket, &QObject::deleteLater); // a peer that never answers the close
    socket->close(QWebSocketProtocol::CloseCodePolicyViolated);
}
