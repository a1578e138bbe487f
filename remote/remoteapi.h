#pragma once

// The remote HTTP API without the sockets: one request in, one answer out.
// Checks Host, Origin and the token, then runs the route. The HTTP server
// hands its parsed requests here; tests and the fuzzer call it directly.

#include "requestgate.h"

#include <QByteArray>
#include <QString>

class PanelRemote;
class RemotePairing;

struct ApiRequest {
    QString peer;      // the client's "ADDRESS:PORT", for the journal
    QByteArray method; // as sent: "GET", "POST", ...
    QString path;
    QByteArray host;
    QByteArray origin;
    bool hasOrigin = false;
    QByteArray authorization;
    QByteArray queryToken; // ?token=, which only the WebSocket carries
    QByteArray body;
};

struct ApiReply {
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    QByteArray allow; // 405: the methods the path takes
};

class RemoteApi {
public:
    static constexpr qsizetype BODY_LIMIT = 64 * 1024;
    // AnswerUpgrade's status for a handshake that may become the event stream.
    static constexpr int SWITCHING_PROTOCOLS = 101;

    // pairing: where POST /api/pair exchanges a code for a device token
    // (none: the path is unknown).
    RemoteApi(PanelRemote &panel, const RequestGate &gate, RemotePairing *pairing = nullptr);

    ApiReply Answer(const ApiRequest &request);
    // A WebSocket handshake: SWITCHING_PROTOCOLS for GET /api/events with
    // the token in its query, else the refusal to send instead.
    ApiReply AnswerUpgrade(const ApiRequest &request);

private:
    ApiReply Route(const ApiRequest &request);
    ApiReply Command(const ApiRequest &request);
    ApiReply Pair(const ApiRequest &request);

    PanelRemote &m_panel;
    RequestGate m_gate;
    RemotePairing *m_pairing;
};
