#include "webassets.h"

#include <QFile>
#include <QRegularExpression>

// The files live in a static library's resources, which must be registered by hand.
static void RegisterWebRemote()
{
    Q_INIT_RESOURCE(webremote);
}

namespace {

QByteArray ContentTypeFor(const QString &name)
{
    if (name.endsWith(QLatin1String(".html")))
        return QByteArrayLiteral("text/html; charset=utf-8");
    if (name.endsWith(QLatin1String(".css")))
        return QByteArrayLiteral("text/css; charset=utf-8");
    if (name.endsWith(QLatin1String(".js")))
        return QByteArrayLiteral("text/javascript; charset=utf-8");
    if (name.endsWith(QLatin1String(".svg")))
        return QByteArrayLiteral("image/svg+xml");
    if (name.endsWith(QLatin1String(".png")))
        return QByteArrayLiteral("image/png");
    return QByteArrayLiteral("application/octet-stream");
}

} // namespace

std::optional<WebAsset> FindWebAsset(const QString &path)
{
    static const bool registered = (RegisterWebRemote(), true);
    Q_UNUSED(registered);
    static const QRegularExpression assetName(QStringLiteral("^/assets/([A-Za-z0-9_-]+\\.[a-z]+)$"));
    QString name;
    if (path == QLatin1String("/") || path == QLatin1String("/index.html")) {
        name = QStringLiteral("index.html");
    } else if (const QRegularExpressionMatch m = assetName.match(path); m.hasMatch()) {
        name = QStringLiteral("assets/") + m.captured(1);
    } else {
        return std::nullopt;
    }
    QFile file(QStringLiteral(":/remote/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return WebAsset{ContentTypeFor(name), file.readAll()};
}
