#pragma once

// The remote HTTP API without the sockets: one request in, one answer out.
// Checks Host, Origin and the token, then runs the route. The HTTP server
// hands its parsed requests here; tests and the fuzzer call it directly.

#include "requestgate.h"

#include <QByteArray>
#include <QString>

class PanelRemote;

struct ApiRequest {
    QByteArray method; // as sent: "GET", "POST", ...
    QString path;
    QByteArray host;
    QByteArray origin;
    bool hasOrigin = false;
    QByteArray authorization;
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

    RemoteApi(PanelRemote &panel, const RequestGate &gate);

    ApiReply Answer(const ApiRequest &request);
    const RequestGate &Gate() const { return m_gate; }

private:
    ApiReply Route(const ApiRequest &request);
    ApiReply Command(const ApiRequest &request);

    PanelRemote &m_panel;
    RequestGate m_gate;
};
