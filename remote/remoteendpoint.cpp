#include "remoteendpoint.h"

#include <QRegularExpression>

namespace {

constexpr int MAX_PORT = 65535;
constexpr int IPV4_LOOPBACK_PREFIX = 8;
constexpr int IPV6_HOST_PREFIX = 128;
constexpr int IPV4_HOST_PREFIX = 32;
constexpr int IPV6_NETWORK_BYTES = 8; // a /64

} // namespace

QString RemoteEndpoint::Text(quint16 actualPort) const
{
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
                             : address.toString();
    return host + QLatin1Char(':') + QString::number(actualPort);
}

std::optional<RemoteEndpoint> ParseEndpoint(const QString &text, QString *error)
{
    static const QRegularExpression form(QStringLiteral("^(?:(?:\\[([0-9A-Fa-f:.]+)\\]|([0-9.]+)):)?([0-9]{1,5})$"));
    const QRegularExpressionMatch match = form.match(text);
    const int port = match.hasMatch() ? match.captured(3).toInt() : -1;
    if (port < 0 || port > MAX_PORT) {
        *error = QStringLiteral("'%1' is not [ADDRESS:]PORT (an IP address and a port of 0 to 65535)").arg(text);
        return std::nullopt;
    }
    RemoteEndpoint endpoint;
    endpoint.port = quint16(port);
    const QString host = match.captured(1).isEmpty() ? match.captured(2) : match.captured(1);
    if (!host.isEmpty() && !endpoint.address.setAddress(host)) {
        *error = QStringLiteral("'%1' is not an IP address").arg(host);
        return std::nullopt;
    }
    return endpoint;
}

std::optional<QList<AddressRange>> ParseAddressList(const QString &text, QString *error)
{
    QList<AddressRange> ranges;
    for (const QString &item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString entry = item.trimmed();
        AddressRange range = QHostAddress::parseSubnet(entry);
        if (!entry.contains(QLatin1Char('/'))) {
            QHostAddress address;
            range = address.setAddress(entry)
                        ? AddressRange(address, address.protocol() == QAbstractSocket::IPv6Protocol ? IPV6_HOST_PREFIX : IPV4_HOST_PREFIX)
                        : AddressRange(QHostAddress(), -1);
        }
        if (range.first.isNull() || range.second < 0) {
            *error = QStringLiteral("'%1' is not an IP address or ADDRESS/PREFIX").arg(entry);
            return std::nullopt;
        }
        ranges.append(range);
    }
    if (ranges.isEmpty()) {
        *error = QStringLiteral("no address given");
        return std::nullopt;
    }
    return ranges;
}

QList<AddressRange> LoopbackRanges()
{
    return {{QHostAddress(QHostAddress::LocalHost), IPV4_LOOPBACK_PREFIX},
            {QHostAddress(QHostAddress::LocalHostIPv6), IPV6_HOST_PREFIX}};
}

bool InRanges(const QList<AddressRange> &ranges, const QHostAddress &address)
{
    const QHostAddress plain = PlainAddress(address);
    for (const AddressRange &range : ranges)
        if (plain.isInSubnet(range))
            return true;
    return false;
}

QHostAddress BindAddress(const QHostAddress &address)
{
    return address == QHostAddress(QHostAddress::AnyIPv6) ? QHostAddress(QHostAddress::Any) : address;
}

QHostAddress PlainAddress(const QHostAddress &address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4) : address;
}

QHostAddress ClientOf(const QHostAddress &address)
{
    const QHostAddress plain = PlainAddress(address);
    if (plain.protocol() != QAbstractSocket::IPv6Protocol)
        return plain;
    Q_IPV6ADDR bytes = plain.toIPv6Address();
    for (int i = IPV6_NETWORK_BYTES; i < int(sizeof bytes.c); ++i)
        bytes.c[i] = 0;
    return QHostAddress(bytes);
}
