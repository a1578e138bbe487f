#pragma once

// Who may talk to the remote API: a browser page of another site must not
// (Origin), nor a name that could be made to point here (Host: only IP
// literals and localhost), nor anybody without the token. Pure checks on
// header values, shared by the HTTP requests and the WebSocket.

#include <QByteArray>

class DeviceTokens;

class RequestGate {
public:
    // token: the 32 hex characters callers must present; port: the port served;
    // devices: the paired tablets' tokens, taken wherever token is.
    RequestGate(QByteArray token, quint16 port, const DeviceTokens *devices = nullptr);

    // Host must be an IP literal or localhost with the served port (the port
    // may be left out only for port 80).
    bool HostAllowed(const QByteArray &host) const;
    // A request without Origin passes; one with it only as "http://" + its Host.
    static bool OriginAllowed(const QByteArray &origin, bool hasOrigin, const QByteArray &host);
    // TOKEN of an Authorization header "Bearer TOKEN"; empty for any other.
    static QByteArray BearerToken(const QByteArray &authorization);
    bool TokenValid(const QByteArray &given) const;

    // Host and Origin both allowed: the request may go on to the token.
    bool Admits(const QByteArray &host, const QByteArray &origin, bool hasOrigin) const;

    // Equal, in time that depends only on the lengths.
    static bool ConstantTimeEqual(const QByteArray &a, const QByteArray &b);

private:
    QByteArray m_token;
    quint16 m_port;
    const DeviceTokens *m_devices;
};
