// Winsock's resolver; Winsock is started here too, as the resolver thread
// may look a name up before any socket exists.

#include <winsock2.h>
#include <ws2tcpip.h>

#include "hostlookup.h"

#include "socketerrors.h"

#include <cstring>

static_assert(sizeof(Ipv4SocketAddress) == sizeof(sockaddr_in));

namespace {

bool WinsockStarted()
{
    static const bool started = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

} // namespace

int ResolveIPv4(const char *text, uint32_t port, Ipv4SocketAddress *out)
{
    if (!text || text[0] == '\0')
        return -1;
    *out = Ipv4SocketAddress{};
    out->family = AF_INET;

    in_addr literal{};
    if (inet_pton(AF_INET, text, &literal) == 1) {
        out->address = literal.s_addr;
    } else {
        if (!WinsockStarted())
            return WSAEINVAL;
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo *answer = nullptr;
        if (getaddrinfo(text, nullptr, &hints, &answer) != 0 || !answer)
            return WSAEINVAL;
        sockaddr_in first{};
        std::memcpy(&first, answer->ai_addr, sizeof first);
        freeaddrinfo(answer);
        out->address = first.sin_addr.s_addr;
    }
    out->port = htons(static_cast<uint16_t>(port & 0xFFFF));
    return 0;
}
