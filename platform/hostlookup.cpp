#include "hostlookup.h"

#include "socketerrors.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

static_assert(sizeof(Ipv4SocketAddress) == sizeof(sockaddr_in));

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
