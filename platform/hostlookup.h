#pragma once

// Turns a station's address text and port into an IPv4 socket address. It
// may block for as long as the system's host lookup takes, so only the
// resolver thread calls it.

#include "ipv4socketaddress.h"

#include <cstdint>

// 0 on success. An empty text fails with -1; a text that is neither a dotted
// IPv4 literal nor a name the lookup knows fails with WSAEINVAL (10022). The
// first IPv4 address of the answer is taken; the port's low 16 bits are used.
int ResolveIPv4(const char *text, uint32_t port, Ipv4SocketAddress *out);
