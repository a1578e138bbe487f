#include "asyncsocket.h"

#include "socketerrors.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#if defined(__linux__)
#include <linux/sockios.h>
#endif

#include <cerrno>
#include <cstring>

namespace {

#if defined(MSG_NOSIGNAL)
constexpr int kSendFlags = MSG_NOSIGNAL;
#else
constexpr int kSendFlags = 0; // SO_NOSIGPIPE is set on the socket instead
#endif

// A station that floods the link must not keep the event loop to itself.
constexpr int kMaxReadsPerEvent = 16;

int LastWsaError()
{
    return WsaErrorFromErrno(errno);
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
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return LastWsaError();
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0 || fcntl(fd, F_SETFD, FD_CLOEXEC) < 0) {
        const int err = LastWsaError();
        ::close(fd);
        return err;
    }
    int on = 1;
#if defined(SO_NOSIGPIPE)
    setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
    // Each record is one write that should leave at once, not wait for the
    // acknowledgement of the previous one.
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    // No explicit bind to port 0: connect picks the local address and port,
    // which is what binding to "any" means, without tying up a port early.

    if (!m_readNotifier) {
        m_readNotifier = std::make_unique<QSocketNotifier>(QSocketNotifier::Read);
        m_writeNotifier = std::make_unique<QSocketNotifier>(QSocketNotifier::Write);
        QObject::connect(m_readNotifier.get(), &QSocketNotifier::activated, m_readNotifier.get(),
                         [this] { OnReadable(); });
        QObject::connect(m_writeNotifier.get(), &QSocketNotifier::activated, m_writeNotifier.get(),
                         [this] { OnWritable(); });
    }
    m_readNotifier->setSocket(fd);
    m_writeNotifier->setSocket(fd);
    m_fd = fd;
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
    int rc = ::connect(m_fd, reinterpret_cast<const sockaddr *>(&sa), sizeof sa);
    const int err = rc == 0 ? 0 : errno;
    if (rc != 0 && err != EINPROGRESS && err != EINTR) {
        m_lastError = WsaErrorFromErrno(err);
        return m_lastError;
    }
    // Completed or under way: either way the result arrives as OnConnect,
    // from the event loop, as the platform delivers it.
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
        // Bytes must keep their order, so a new buffer queues behind the
        // backlog or is refused whole.
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
        const ssize_t n = ::send(m_fd, bytes + sent, size_t(len - sent), kSendFlags);
        if (n >= 0) {
            sent += n;
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            break;
        // The connection is broken (if part went out, the peer sees a cut
        // record followed by the end of the stream); its close notification
        // follows.
        m_lastError = LastWsaError();
        return SOCKET_ERROR;
    }
    if (sent == 0 && len > m_backlogLimit) {
        m_lastError = WSAEWOULDBLOCK;
        return SOCKET_ERROR;
    }
    if (sent < len) {
        // The connection took only part of it: the rest must follow, so it
        // waits even when it is larger than the backlog limit.
        m_backlog.append(bytes + sent, len - sent);
        UpdateNotifiers();
    }
    m_accepted += uint64_t(len);
    m_written += uint64_t(sent);
    return len;
}

void AsyncSocket::Close()
{
    if (m_readNotifier) {
        m_readNotifier->setSocket(-1);
        m_writeNotifier->setSocket(-1);
    }
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_events = 0;
    m_connecting = false;
    m_connected = false;
    m_backlog.clear();
}

void AsyncSocket::Abort()
{
    if (m_fd >= 0) {
        const linger now{1, 0};
        setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &now, sizeof now);
    }
    Close();
}

int AsyncSocket::SetKeepAlive(int idleSeconds, int intervalSeconds, int probes)
{
    if (m_fd < 0)
        return WSAENOTSOCK;
    int on = 1;
    if (setsockopt(m_fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) != 0)
        return LastWsaError();
#if defined(TCP_KEEPIDLE)
    if (setsockopt(m_fd, IPPROTO_TCP, TCP_KEEPIDLE, &idleSeconds, sizeof idleSeconds) != 0)
        return LastWsaError();
#elif defined(TCP_KEEPALIVE)
    if (setsockopt(m_fd, IPPROTO_TCP, TCP_KEEPALIVE, &idleSeconds, sizeof idleSeconds) != 0)
        return LastWsaError();
#endif
#if defined(TCP_KEEPINTVL) && defined(TCP_KEEPCNT)
    if (setsockopt(m_fd, IPPROTO_TCP, TCP_KEEPINTVL, &intervalSeconds, sizeof intervalSeconds) != 0
        || setsockopt(m_fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes) != 0)
        return LastWsaError();
#else
    (void)intervalSeconds;
    (void)probes;
#endif
    return 0;
}

int AsyncSocket::SetUserTimeout(int milliseconds)
{
    if (m_fd < 0)
        return WSAENOTSOCK;
#if defined(TCP_USER_TIMEOUT)
    const unsigned value = milliseconds > 0 ? unsigned(milliseconds) : 0u;
    if (setsockopt(m_fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &value, sizeof value) != 0)
        return LastWsaError();
    return 0;
#else
    (void)milliseconds;
    return WSAENOPROTOOPT;
#endif
}

int64_t AsyncSocket::UnacknowledgedBytes() const
{
    if (m_fd < 0)
        return -1;
#if defined(SIOCOUTQ)
    // What the send queue still holds: written but not acknowledged.
    int queued = 0;
    if (::ioctl(m_fd, SIOCOUTQ, &queued) == 0 && queued >= 0)
        return queued;
#endif
    return -1;
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
    if (m_fd < 0)
        return;
    // Reading is how a close (end of stream or an error) shows itself, so it
    // runs whenever close events are wanted on a connected socket.
    m_readNotifier->setEnabled(m_connected && (m_events & FD_CLOSE));
    m_writeNotifier->setEnabled(m_connecting || (m_connected && !m_backlog.isEmpty()));
}

void AsyncSocket::OnReadable()
{
    char scratch[4096];
    for (int i = 0; i < kMaxReadsPerEvent && m_fd >= 0; ++i) {
        const ssize_t n = ::recv(m_fd, scratch, sizeof scratch, 0);
        if (n > 0)
            continue; // nothing a station sends means anything here
        if (n == 0) {
            PeerClosed(0);
            return;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            PeerClosed(LastWsaError());
        return;
    }
}

void AsyncSocket::OnWritable()
{
    if (m_fd < 0)
        return;
    if (!m_connecting) {
        Flush();
        return;
    }
    int err = 0;
    socklen_t len = sizeof err;
    if (getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
        err = errno;
    if (err == 0) {
        sockaddr_in peer{};
        socklen_t plen = sizeof peer;
        if (getpeername(m_fd, reinterpret_cast<sockaddr *>(&peer), &plen) != 0 && errno == ENOTCONN)
            return; // woken early: the connect is still under way
    }
    m_connecting = false;
    m_connected = err == 0;
    UpdateNotifiers();
    if (m_events & FD_CONNECT)
        OnConnect(WsaErrorFromErrno(err));
}

void AsyncSocket::Flush()
{
    qsizetype sent = 0;
    bool broken = false;
    while (sent < m_backlog.size()) {
        const ssize_t n = ::send(m_fd, m_backlog.constData() + sent, size_t(m_backlog.size() - sent), kSendFlags);
        if (n >= 0) {
            sent += n;
            continue;
        }
        if (errno == EINTR)
            continue;
        broken = errno != EAGAIN && errno != EWOULDBLOCK;
        break;
    }
    m_written += uint64_t(sent);
    // A broken connection drops what waits; its close notification follows.
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
