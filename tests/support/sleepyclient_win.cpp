#include <winsock2.h>
#include <ws2tcpip.h>

#include "sleepyclient.h"

SleepyClient::SleepyClient(uint16_t port, int receiveWindow)
{
    WSADATA data{};
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return;
    const SOCKET s = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET)
        return;
    m_socket = intptr_t(s);
    if (setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char *>(&receiveWindow), sizeof receiveWindow) != 0)
        return;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    m_connected = ::connect(s, reinterpret_cast<const sockaddr *>(&to), sizeof to) == 0;
}

SleepyClient::~SleepyClient()
{
    if (m_socket != -1)
        closesocket(SOCKET(m_socket));
    WSACleanup();
}

bool SleepyClient::Send(const QByteArray &bytes)
{
    return m_connected && ::send(SOCKET(m_socket), bytes.constData(), int(bytes.size()), 0) == int(bytes.size());
}
