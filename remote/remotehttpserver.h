#pragma once

// HTTP and WebSocket on one port for the web remote and the API. Qt's HTTP
// server parses the requests; RemoteApi answers them; the WebSocket at
// /api/events goes to the event stream once Host, Origin and the token pass.

#include "remoteapi.h"

#include <QAbstractHttpServer>
#include <QHostAddress>

class ConnectionGuard;
class PanelRemote;
class RemotePairing;
class StateEvents;
class QHttpServerResponder;
class QWebSocket;

class RemoteHttpServer : public QAbstractHttpServer {
    Q_OBJECT
public:
    RemoteHttpServer(PanelRemote &panel, QByteArray token, QObject *parent = nullptr);
    ~RemoteHttpServer() override;

    // Pairing and the paired tablets' tokens; before Listen.
    void UsePairing(RemotePairing *pairing) { m_pairing = pairing; }
    // Closes the event streams whose token no longer opens anything.
    void DropRevokedStreams();
    // Listens on address:port (0: any free port); false with error on failure.
    bool Listen(const QHostAddress &address, quint16 port, QString *error);
    quint16 Port() const;
    StateEvents &Events() { return *m_events; }
    ConnectionGuard *Guard() { return m_guard; }

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    void Write(QHttpServerResponder &&responder, const ApiReply &reply, QTcpSocket *socket);
    void AcceptWebSockets();
    void Accept(std::unique_ptr<QWebSocket> client);

    PanelRemote &m_panel;
    QByteArray m_token;
    ConnectionGuard *m_guard = nullptr;
    RemotePairing *m_pairing = nullptr;
    std::unique_ptr<RequestGate> m_gate;
    std::unique_ptr<RemoteApi> m_api;
    StateEvents *m_events = nullptr;
};
