#pragma once

// A non-blocking IPv4 TCP client socket whose connect and close events arrive
// as virtual calls on the thread that created it, from that thread's Qt event
// loop. Errors are Windows Sockets codes (socketerrors.h).
//
// Beyond the plain platform socket it never splits a buffer handed to Send:
// what the connection does not take at once waits in a small per-socket
// backlog and goes out, in order, when the connection drains. A buffer that
// does not fit into the backlog any more is refused whole.

#include "ipv4socketaddress.h"

#include <QByteArray>

#include <cstdint>
#include <memory>

class QObject;
class QSocketNotifier;

// Event selection bits for AsyncSelect, with the values the platform gives them.
#ifndef FD_CONNECT
constexpr int FD_READ = 0x01;
constexpr int FD_WRITE = 0x02;
constexpr int FD_CONNECT = 0x10;
constexpr int FD_CLOSE = 0x20;
#endif
#ifndef SOCKET_ERROR
constexpr int SOCKET_ERROR = -1;
#endif

class AsyncSocket {
public:
    AsyncSocket();
    virtual ~AsyncSocket();
    AsyncSocket(const AsyncSocket &) = delete;
    AsyncSocket &operator=(const AsyncSocket &) = delete;

    // Creates the socket, bound to any local address and port when it
    // connects. 0 or an error code; WSAEINVAL when one exists already.
    int Create();
    // Chooses the events to deliver: FD_CONNECT and/or FD_CLOSE (FD_READ and
    // FD_WRITE are accepted and ignored: incoming bytes are read and thrown
    // away so that a close is always noticed). 0 or an error code.
    int AsyncSelect(int events);
    // Starts a connect. 0 when it completed at once, WSAEWOULDBLOCK while it
    // is under way, another code when it failed. Either of the first two
    // ends in OnConnect.
    int Connect(const Ipv4SocketAddress &to);
    // Hands the whole buffer to the connection: returns len when it was
    // taken (sent or queued behind earlier bytes), SOCKET_ERROR when nothing
    // of it was, with the reason in LastError().
    int Send(const void *data, int len);
    // Closes the socket; bytes still in the backlog are dropped. Safe to call
    // from OnConnect and OnClose and on a closed socket.
    void Close();
    // Closes at once and makes the system drop what it still holds for the
    // peer (a reset), so that nothing given up arrives later.
    void Abort();

    // Dead-peer detection: keepalive probes after idleSeconds of silence,
    // every intervalSeconds, probes times; 0 or an error code.
    int SetKeepAlive(int idleSeconds, int intervalSeconds, int probes);
    // Gives up the connection when sent data stays unacknowledged for this
    // long; 0, or an error code where the platform lacks the option.
    int SetUserTimeout(int milliseconds);
    // The most bytes that may wait in the backlog, beyond the rest of a
    // buffer that the connection took only in part.
    void SetSendBacklog(int bytes);

    bool IsOpen() const { return m_fd >= 0; }
    bool IsConnecting() const { return m_connecting; }
    bool IsConnected() const { return m_connected; }
    int BacklogBytes() const { return int(m_backlog.size()); }
    int LastError() const { return m_lastError; }
    // Which connection of this object is open: a new number at every Create.
    uint64_t ConnectionSerial() const { return m_serial; }
    // Bytes of this connection that Send took (sent or queued), and those of
    // them that the system has taken; a queued buffer has gone out once
    // BytesWritten reaches the BytesAccepted that followed its Send.
    uint64_t BytesAccepted() const { return m_accepted; }
    uint64_t BytesWritten() const { return m_written; }
    // Of the bytes the system has taken (BytesWritten), those the peer's
    // machine has not acknowledged yet, sent or not; -1 when the socket is
    // closed or the platform cannot tell.
    int64_t UnacknowledgedBytes() const;

protected:
    virtual void OnConnect(int error);
    virtual void OnClose(int error);

private:
    void OnReadable();
    void OnWritable();
    void Flush();
    void PeerClosed(int error);
    void UpdateNotifiers();

    // The native socket: a descriptor, or a SOCKET handle on Windows.
    qintptr m_fd = -1;
    int m_events = 0;
    bool m_connecting = false;
    bool m_connected = false;
    int m_lastError = 0;
    int m_backlogLimit = 0;
    QByteArray m_backlog;
    uint64_t m_serial = 0;
    uint64_t m_accepted = 0;
    uint64_t m_written = 0;
    // Made once, in the creating thread, and pointed at each new socket.
    std::unique_ptr<QSocketNotifier> m_readNotifier;
    std::unique_ptr<QSocketNotifier> m_writeNotifier;
    // Windows: the socket's network-event object, watched by the event loop.
    std::unique_ptr<QObject> m_eventNotifier;
};
