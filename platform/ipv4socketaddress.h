#pragma once

// An IPv4 socket address laid out as the platform's sockaddr_in (16 bytes:
// family, port and address in network byte order, eight zero bytes), so the
// code above the platform layer can hold one without the system headers.

#include <cstdint>

struct Ipv4SocketAddress {
    uint16_t family = 0;
    uint16_t port = 0;    // network byte order
    uint32_t address = 0; // network byte order
    unsigned char zero[8] = {};
};

static_assert(sizeof(Ipv4SocketAddress) == 16);
