#pragma once

// The command line's [ADDRESS:]PORT for --remote and --osc, and the
// ADDR[,ADDR...] of --osc-allow. ADDRESS defaults to 127.0.0.1, so nothing is
// reachable from other machines unless the operator says so.

#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

struct RemoteEndpoint {
    QHostAddress address{QHostAddress::LocalHost};
    quint16 port = 0; // 0: any free port

    // "ADDRESS:PORT", with IPv6 addresses in brackets.
    QString Text(quint16 actualPort) const;
};

using AddressRange = QPair<QHostAddress, int>; // an address and its prefix length

// PORT, ADDRESS:PORT or [IPV6]:PORT; nothing, with error set, for anything else.
std::optional<RemoteEndpoint> ParseEndpoint(const QString &text, QString *error);
// Addresses or subnets (ADDR/PREFIX), separated by commas.
std::optional<QList<AddressRange>> ParseAddressList(const QString &text, QString *error);
// 127.0.0.0/8 and ::1: the senders heard when no list is given.
QList<AddressRange> LoopbackRanges();
bool InRanges(const QList<AddressRange> &ranges, const QHostAddress &address);
// An IPv4 peer of a dual-stack socket (::ffff:a.b.c.d) as plain IPv4.
QHostAddress PlainAddress(const QHostAddress &address);
// The client a peer's connections count as, for its share of them: an IPv4
// address as it is, an IPv6 one by its /64 network, since one machine may
// take any number of addresses there.
QHostAddress ClientOf(const QHostAddress &address);
// The address to bind for an endpoint: [::] stands for every address, IPv4
// ones too (bound as it is, the system would hear IPv6 only).
QHostAddress BindAddress(const QHostAddress &address);
