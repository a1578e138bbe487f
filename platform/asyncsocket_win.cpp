// Windows Sockets: a non-blocking SOCKET whose network events (WSAEventSelect)
// signal an event object that the Qt event loop watches. WSAEnumNetworkEvents
// then tells which events happened and, for a connect or a close, the error
// that came with it: a refused connect or a reset arrives with its own code.
// Errors are WSAGetLastError() values as they are.

#include <winsock2.h>
#include <mstcpip.h>
#include <ws2tcpip.h>

#include "asyncsocket.h"

#include "socketerrors.h"

#include <QSocketNotifier>
#include <QWinEventNotifier>

#include <cstring>

namespace {

// Option numbers of ws2ipdef.h that older MinGW headers lack.
constexpr int kTcpMaxRt = 5;    // TCP_MAXRT: seconds of unacknowledged data before the connection is dropped
constexpr int kTcpKeepCnt = 16; // TCP_KEEPCNT: probes (Windows 10 1703 on; earlier ones send 10)

constexpr int kMaxReadsPerEvent = 16;
constexpr long kNetworkEvents = FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE;
constexpr int kMillisecondsPerSecond = 1000;

// Winsock is started once per process and stays up until it exits.
int StartWinsock()
{
    static int result = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data);
    }();
    return result;
}

SOCKET Handle(qintptr fd)
{
    return static_cast<SOCKET>(fd);
}

} // namespace

AsyncSocket::AsyncSocket() = default;

AsyncSocket::~AsyncSocket()
{
    Close();
}

int AsyncSocket::Create()
{
    if (m_fd >= 0)
        return WSAEINVAL;
    if (const int rc = StartWinsock())
        return rc;
    // Not inheritable: a program started from here must not hold the link open.
    const SOCKET s = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET)
        return WSAGetLastError();
    u_long nonBlocking = 1;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        const int err = WSAGetLastError();
        closesocket(s);
        return err;
    }
    // Each record is one write that should leave at once.
    BOOL on = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&on), sizeof on);

    // Selected once, before the connect starts, so no event can come too early.
    const WSAEVENT event = WSACreateEvent();
    if (event == WSA_INVALID_EVENT || WSAEventSelect(s, event, kNetworkEvents) != 0) {
        const int err = WSAGetLastError();
        if (event != WSA_INVALID_EVENT)
            WSACloseEvent(event);
        closesocket(s);
        return err;
    }
    auto notifier = std::make_unique<QWinEventNotifier>(event);
    QObject::connect(notifier.get(), &QWinEventNotifier::activated, notifier.get(), [this] { OnReadable(); });
    m_eventNotifier = std::move(notifier);
    m_fd = qintptr(s);
    m_events = 0;
    m_connecting = false;
    m_connected = false;
    m_lastError = 0;
    m_backlog.clear();
    ++m_serial;
    m_accepted = 0;
    m_written = 0;
    return 0;
}

int AsyncSocket::AsyncSelect(int events)
{
    if (m_fd < 0)
        return WSAENOTSOCK;
    m_events = events;
    UpdateNotifiers();
    return 0;
}

int AsyncSocket::Connect(const Ipv4SocketAddress &to)
{
    if (m_fd < 0)
        return WSAENOTSOCK;
    if (m_connected)
        return WSAEISCONN;
    if (m_connecting)
        return WSAEALREADY;
    sockaddr_in sa{};
    std::memcpy(&sa, &to, sizeof sa);
    sa.sin_family = AF_INET;
    const int rc = ::connect(Handle(m_fd), reinterpret_cast<const sockaddr *>(&sa), sizeof sa);
    const int err = rc == 0 ? 0 : WSAGetLastError();
    if (rc != 0 && err != WSAEWOULDBLOCK) {
        m_lastError = err;
        return m_lastError;
    }
    m_connecting = true;
    UpdateNotifiers();
    m_lastError = rc == 0 ? 0 : WSAEWOULDBLOCK;
    return m_lastError;
}

int AsyncSocket::Send(const void *data, int len)
{
    if (len < 0) {
        m_lastError = WSAEINVAL;
        return SOCKET_ERROR;
    }
    if (m_fd < 0 || !m_connected) {
        m_lastError = m_fd < 0 ? WSAENOTSOCK : WSAENOTCONN;
        return SOCKET_ERROR;
    }
    const char *bytes = static_cast<const char *>(data);
    if (!m_backlog.isEmpty()) {
        if (m_backlog.size() + len > m_backlogLimit) {
            m_lastError = WSAEWOULDBLOCK;
            return SOCKET_ERROR;
        }
        m_backlog.append(bytes, len);
        m_accepted += uint64_t(len);
        return len;
    }
    qsizetype sent = 0;
    while (sent < len) {
        const int n = ::send(Handle(m_fd), bytes + sent, int(len - sent), 0);
        if (n != SOCKET_ERROR) {
            sent += n;
            continue;
        }
        const int err = WSAGetLastError();
        if (err == WSAEWOULDBLOCK)
            break; // Winsock posts FD_WRITE once there is room again
        m_lastError = err;
        return SOCKET_ERROR;
    }
    if (sent == 0 && len > m_backlogLimit) {
        m_lastError = WSAEWOULDBLOCK;
        return SOCKET_ERROR;
    }
    if (sent < len) {
        m_backlog.append(bytes + sent, len - sent);
        UpdateNotifiers();
    }
    m_accepted += uint64_t(len);
    m_written += uint64_t(sent);
    return len;
}

void AsyncSocket::Close()
{
    if (m_eventNotifier) {
        auto *notifier = static_cast<QWinEventNotifier *>(m_eventNotifier.get());
        const HANDLE event = notifier->handle();
        notifier->setEnabled(false);
        // Close may run inside the notifier's own signal: it goes once that returns.
        m_eventNotifier.release()->deleteLater();
        if (m_fd >= 0)
            WSAEventSelect(Handle(m_fd), nullptr, 0);
        WSACloseEvent(event);
    }
    if (m_fd >= 0)
        closesocket(Handle(m_fd));
    m_fd = -1;
    m_events = 0;
    m_connecting = false;
    m_connected = false;
    m_backlog.clear();
}

void AsyncSocket::Abort()
{
    if (m_fd >= 0) {
        // A zero linger makes closesocket reset the connection and drop what
        // the system still holds for the peer.
        const linger now{1, 0};
        setsockopt(Handle(m_fd), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char *>(&now), sizeof now);
    }
    Close();
}

int64_t AsyncSocket::UnacknowledgedBytes() const
{
    if (m_fd < 0)
        return -1;
#if defined(SIO_TCP_INFO) && defined(NTDDI_WIN10_RS2) && NTDDI_VERSION >= NTDDI_WIN10_RS2
    // Windows 10 1703 and later: of what the system took, the bytes out on
    // the wire and not yet acknowledged, plus those it has not sent at all.
    DWORD version = 0;
    TCP_INFO_v0 info{};
    DWORD returned = 0;
    if (WSAIoctl(Handle(m_fd), SIO_TCP_INFO, &version, sizeof version, &info, sizeof info, &returned, nullptr, nullptr)
            == 0
        && returned >= sizeof info) {
        const uint64_t sentOnce = info.BytesOut >= info.BytesRetrans ? info.BytesOut - info.BytesRetrans : 0;
        const uint64_t unsent = m_written > sentOnce ? m_written - sentOnce : 0;
        return int64_t(unsent + info.BytesInFlight);
    }
#endif
    // Older systems and Wine cannot tell: what the system took counts as reached.
    return -1;
}

int AsyncSocket::SetKeepAlive(int idleSeconds, int intervalSeconds, int probes)
{
    if (m_fd < 0)
        return WSAENOTSOCK;
    tcp_keepalive values{};
    values.onoff = 1;
    values.keepalivetime = u_long(idleSeconds) * kMillisecondsPerSecond;
    values.keepaliveinterval = u_long(intervalSeconds) * kMillisecondsPerSecond;
    DWORD returned = 0;
    if (WSAIoctl(Handle(m_fd), SIO_KEEPALIVE_VALS, &values, sizeof values, nullptr, 0, &returned, nullptr, nullptr)
        != 0)
        return WSAGetLastError();
    // Systems before Windows 10 1703 know no probe count and send ten; the
    // retransmission limit below still bounds how long a dead peer lasts.
    const DWORD count = DWORD(probes);
    setsockopt(Handle(m_fd), IPPROTO_TCP, kTcpKeepCnt, reinterpret_cast<const char *>(&count), sizeof count);
    return 0;
}

int AsyncSocket::SetUserTimeout(int milliseconds)
{
    if (m_fd < 0)
        return WSAENOTSOCK;
    // TCP_MAXRT counts whole seconds; rounding up never gives up earlier.
    const DWORD seconds = milliseconds > 0 ? DWORD((milliseconds + kMillisecondsPerSecond - 1) / kMillisecondsPerSecond) : 0;
    if (setsockopt(Handle(m_fd), IPPROTO_TCP, kTcpMaxRt, reinterpret_cast<const char *>(&seconds), sizeof seconds) != 0)
        return WSAGetLastError();
    return 0;
}

void AsyncSocket::SetSendBacklog(int bytes)
{
    m_backlogLimit = bytes > 0 ? bytes : 0;
}

void AsyncSocket::OnConnect(int)
{
}

void AsyncSocket::OnClose(int)
{
}

void AsyncSocket::UpdateNotifiers()
{
    // Every network event stays selected; which ones matter is decided when
    // they arrive.
}

void AsyncSocket::OnReadable()
{
    if (m_fd < 0)
        return;
    WSANETWORKEVENTS events{};
    auto *notifier = static_cast<QWinEventNotifier *>(m_eventNotifier.get());
    if (WSAEnumNetworkEvents(Handle(m_fd), notifier->handle(), &events) != 0)
        return;
    const uint64_t serial = m_serial;
    // Each step may end in OnConnect or OnClose, which may close the socket
    // or make a new one: the rest is for the connection that was here.
    const auto same = [&] { return m_fd >= 0 && m_serial == serial; };
    if ((events.lNetworkEvents & FD_CONNECT) && m_connecting) {
        const int err = events.iErrorCode[FD_CONNECT_BIT];
        m_connecting = false;
        m_connected = err == 0;
        if (m_events & FD_CONNECT)
            OnConnect(err);
        if (!same())
            return;
    }
    if ((events.lNetworkEvents & FD_WRITE) && m_connected && !m_backlog.isEmpty()) {
        Flush();
        if (!same())
            return;
    }
    if ((events.lNetworkEvents & (FD_READ | FD_CLOSE)) && m_connected)
        OnWritable();
    if (!same())
        return;
    if ((events.lNetworkEvents & FD_CLOSE) && m_connected)
        PeerClosed(events.iErrorCode[FD_CLOSE_BIT]);
}

// Reads and drops what the station sent: nothing it sends means anything
// here, but a close is noticed only once it is read. A read error ends the
// connection.
void AsyncSocket::OnWritable()
{
    char scratch[4096];
    for (int i = 0; i < kMaxReadsPerEvent && m_fd >= 0 && m_connected; ++i) {
        const int n = ::recv(Handle(m_fd), scratch, sizeof scratch, 0);
        if (n > 0)
            continue;
        if (n == 0)
            return; // the end of the stream: FD_CLOSE says so with its reason
        const int err = WSAGetLastError();
        if (err != WSAEWOULDBLOCK)
            PeerClosed(err);
        return;
    }
}

void AsyncSocket::Flush()
{
    qsizetype sent = 0;
    bool broken = false;
    while (sent < m_backlog.size()) {
        const int n = ::send(Handle(m_fd), m_backlog.constData() + sent, int(m_backlog.size() - sent), 0);
        if (n != SOCKET_ERROR) {
            sent += n;
            continue;
        }
        broken = WSAGetLastError() != WSAEWOULDBLOCK;
        break;
    }
    m_written += uint64_t(sent);
    m_backlog.remove(0, broken ? m_backlog.size() : sent);
    UpdateNotifiers();
}

void AsyncSocket::PeerClosed(int error)
{
    m_connected = false;
    m_backlog.clear();
    UpdateNotifiers();
    if (m_events & FD_CLOSE)
        OnClose(error);
}
