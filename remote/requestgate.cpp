#include "requestgate.h"

#include "devicetokens.h"

#include <QHostAddress>
#include <QUrl>

namespace {

constexpr quint16 DEFAULT_HTTP_PORT = 80;
const QByteArray kBearer = QByteArrayLiteral("Bearer ");

} // namespace

RequestGate::RequestGate(QByteArray token, quint16 port, const DeviceTokens *devices)
    : m_token(std::move(token)), m_port(port), m_devices(devices)
{
}

bool RequestGate::HostAllowed(const QByteArray &host) const
{
    if (host.isEmpty() || host.size() > 300)
        return false;
    // QUrl takes the header apart; anything beyond host and port (user,
    // path, query) means it was no plain Host value.
    const QUrl url(QStringLiteral("http://") + QString::fromLatin1(host), QUrl::StrictMode);
    if (!url.isValid() || !url.userInfo().isEmpty() || !url.path().isEmpty() || url.hasQuery()
        || url.hasFragment())
        return false;
    const int port = url.port(DEFAULT_HTTP_PORT);
    if (port != m_port)
        return false;
    const QString name = url.host();
    if (name.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    QHostAddress address;
    return address.setAddress(name);
}

bool RequestGate::OriginAllowed(const QByteArray &origin, bool hasOrigin, const QByteArray &host)
{
    if (!hasOrigin)
        return true;
    return !host.isEmpty() && origin.compare(QByteArrayLiteral("http://") + host, Qt::CaseInsensitive) == 0;
}

QByteArray RequestGate::BearerToken(const QByteArray &authorization)
{
    if (!authorization.startsWith(kBearer))
        return QByteArray();
    return authorization.mid(kBearer.size()).trimmed();
}

bool RequestGate::TokenValid(const QByteArray &given) const
{
    const bool api = !m_token.isEmpty() && ConstantTimeEqual(given, m_token);
    return api || (m_devices && m_devices->Accepts(given));
}

bool RequestGate::Admits(const QByteArray &host, const QByteArray &origin, bool hasOrigin) const
{
    return HostAllowed(host) && OriginAllowed(origin, hasOrigin, host);
}

bool RequestGate::ConstantTimeEqual(const QByteArray &a, const QByteArray &b)
{
    // Every byte of b is looked at whatever a holds, so the time tells
    // nothing about how much of a guess was right.
    unsigned difference = unsigned(a.size() != b.size());
    for (qsizetype i = 0; i < b.size(); ++i) {
        const char c = i < a.size() ? a[i] : char(0);
        difference |= unsigned(static_cast<unsigned char>(c ^ b[i]));
    }
    return difference == 0;
}
