#pragma once

// Reading the program's own small files (settings, button sets, help,
// program descriptions) without ever blocking on what is not a plain file:
// a FIFO, a device or an endless file is refused at once, as is anything far
// larger than such a file can be.

#include <QByteArray>
#include <QString>

#include <optional>

// No settings, button set, help text or description comes near this.
inline constexpr qint64 READ_LIMIT_BYTES = 1024 * 1024;

// The bytes of the regular file at path, at most maxBytes of them from its
// start (all when maxBytes < 0); nullopt when it is missing, is not a regular
// file, is larger than READ_LIMIT_BYTES or cannot be read. Symbolic links
// are followed, as for any file the user names.
std::optional<QByteArray> ReadRegularFile(const QString &path, qint64 maxBytes = -1);
