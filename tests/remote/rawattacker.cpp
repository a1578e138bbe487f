#include "rawattacker.h"

#include <algorithm>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A small receive window: the panel's answers back up in it at once.
constexpr int RECEIVE_WINDOW = 2048;
// A connection the panel closed is opened again no sooner than this.
constexpr qint64 REOPEN_MS = 100;

sockaddr_in Loopback(const QHostAddress &address, quint16 port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(address.toIPv4Address());
    return a;
}

} // namespace

RawAttacker::RawAttacker(const QHostAddress &from, quint16 port, int connections, QByteArray request, Mode mode,
                         int tickMs, QObject *parent)
    : QObject(parent), m_from(from), m_port(port), m_request(std::move(request)), m_mode(mode),
      m_connections(size_t(connections))
{
    connect(&m_timer, &QTimer::timeout, this, &RawAttacker::Tick);
    m_timer.start(tickMs);
    Tick();
}

RawAttacker::~RawAttacker()
{
    for (Connection &connection : m_connections)
        if (connection.fd >= 0)
            ::close(connection.fd);
}

void RawAttacker::Open(Connection &connection)
{
    connection.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (connection.fd < 0)
        return;
    ::setsockopt(connection.fd, SOL_SOCKET, SO_RCVBUF, &RECEIVE_WINDOW, sizeof RECEIVE_WINDOW);
    const sockaddr_in from = Loopback(m_from, 0);
    const sockaddr_in to = Loopback(QHostAddress(QHostAddress::LocalHost), m_port);
    if (::bind(connection.fd, reinterpret_cast<const sockaddr *>(&from), sizeof from) != 0
        || (::connect(connection.fd, reinterpret_cast<const sockaddr *>(&to), sizeof to) != 0 && errno != EINPROGRESS)) {
        ::close(connection.fd);
        connection.fd = -1;
        return;
    }
    connection.age.start();
    connection.sent = 0;
    connection.made = false;
}

void RawAttacker::Close(Connection &connection)
{
    ::close(connection.fd);
    connection.fd = -1;
    ++m_closed;
    if (connection.made)
        m_longestLife = std::max(m_longestLife, connection.age.elapsed());
    connection.age.start(); // now: since the close
}

qint64 RawAttacker::OldestOpen() const
{
    qint64 oldest = 0;
    for (const Connection &connection : m_connections)
        if (connection.fd >= 0 && connection.made)
            oldest = std::max(oldest, connection.age.elapsed());
    return oldest;
}

void RawAttacker::Tick()
{
    for (Connection &connection : m_connections) {
        if (connection.fd < 0) {
            if (!connection.age.isValid() || connection.age.elapsed() >= REOPEN_MS)
                Open(connection);
            continue;
        }
        pollfd state{connection.fd, POLLOUT | POLLRDHUP, 0};
        ::poll(&state, 1, 0);
        // Reset, refused, or ended by the panel (whatever of its answer is unread).
        if (state.revents & (POLLERR | POLLHUP | POLLRDHUP)) {
            Close(connection);
            continue;
        }
        if (!(state.revents & POLLOUT))
            continue; // still connecting, or the panel reads no more
        if (!connection.made) {
            connection.made = true;
            connection.age.start();
        }
        if (m_mode == Mode::Once) {
            char sink[4096];
            while (::recv(connection.fd, sink, sizeof sink, MSG_DONTWAIT) > 0) {
            }
        }
        QByteArrayView bytes;
        switch (m_mode) {
        case Mode::Repeat:
            bytes = m_request;
            break;
        case Mode::Drip:
            bytes = QByteArrayView(m_request).sliced(connection.sent % m_request.size(), 1);
            break;
        case Mode::Once:
            bytes = QByteArrayView(m_request).sliced(std::min(connection.sent, m_request.size()));
            break;
        }
        if (bytes.isEmpty())
            continue;
        const ssize_t sent = ::send(connection.fd, bytes.data(), size_t(bytes.size()), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent > 0)
            connection.sent += sent;
        else if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            Close(connection);
    }
}
