#pragma once

// A connection of the remote API as the connection guard accepts it. It
// mends two things of Qt's HTTP and WebSocket servers of this version:
// - the HTTP server drops every signal connection of a socket whose request
//   it could not parse and forgets it, so the socket would stay open for
//   good: it is closed instead;
// - the WebSocket handshake answer carries cross-origin headers, which this
//   API never sends: they are left out.
// It also keeps at most the unsent limit of answers for a client that does
// not read them: past it the connection is closed, whatever it is doing.

#include <QTcpSocket>

#include <limits>

class GuardedSocket : public QTcpSocket {
    Q_OBJECT
public:
    using QTcpSocket::QTcpSocket;

    // Answers waiting to go out beyond which the connection is closed (not
    // once it is an event stream, which keeps its own limit).
    void SetUnsentLimit(qint64 bytes) { m_unsentLimit = bytes; }

signals:
    // The status line of an answer is being written.
    void Answering();

protected:
    void disconnectNotify(const QMetaMethod &signal) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    void CloseIfAbandoned();
    void Overflow();

    qint64 m_unsentLimit = std::numeric_limits<qint64>::max();
    bool m_switched = false;   // the handshake answer went out
    bool m_overflowed = false; // past the unsent limit: closing, nothing more is written
};
