#include "sleepyclient.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

SleepyClient::SleepyClient(uint16_t port, int receiveWindow)
{
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return;
    m_socket = s;
    if (::setsockopt(s, SOL_SOCKET, SO_RCVBUF, &receiveWindow, sizeof receiveWindow) != 0)
        return;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    m_connected = ::connect(s, reinterpret_cast<const sockaddr *>(&to), sizeof to) == 0;
}

SleepyClient::~SleepyClient()
{
    if (m_socket >= 0)
        ::close(int(m_socket));
}

bool SleepyClient::Send(const QByteArray &bytes)
{
    return m_connected && ::send(int(m_socket), bytes.constData(), size_t(bytes.size()), 0) == ssize_t(bytes.size());
}
