#pragma once

// The web remote's files, served from the program's resources: the page at
// "/" and its files under "/assets/". Nothing is read from disk.

#include <QByteArray>
#include <QString>

#include <optional>

struct WebAsset {
    QByteArray contentType;
    QByteArray body;
};

// The file a request path names, or nothing.
std::optional<WebAsset> FindWebAsset(const QString &path);
