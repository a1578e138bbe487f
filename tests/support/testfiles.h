#pragma once

// Whole-file reads and writes for tests that check files byte for byte.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTest>

inline QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// False when the file could not be written whole; the caller checks.
[[nodiscard]] inline bool WriteAll(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}
