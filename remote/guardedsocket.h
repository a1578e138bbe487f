#pragma once

// A connection of the remote API as the connection guard accepts it. It
// mends two things of Qt's HTTP and WebSocket servers of this version:
// - the HTTP server drops every signal connection of a socket whose request
//   it could not parse and forgets it, so the socket would stay open for
//   good: it is closed instead;
// - the WebSocket handshake answer carries cross-origin headers, which this
//   API never sends: they are left out.

#include <QTcpSocket>

class GuardedSocket : public QTcpSocket {
    Q_OBJECT
public:
    using QTcpSocket::QTcpSocket;

protected:
    void disconnectNotify(const QMetaMethod &signal) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    void CloseIfAbandoned();

    bool m_switched = false; // the handshake answer went out
};
