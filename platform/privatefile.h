#pragma once

// Small files only their owner may read or write (the remote's token, a
// device's token): checked on the open file, never through a second path.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

struct PrivateFileRead {
    enum class Outcome { Ok, Missing, Refused, Failed };
    Outcome outcome = Outcome::Failed;
    QByteArray bytes;
    QString reason;
};

// Opens without following links; checks on the open descriptor/handle: a
// regular file, owned by the current user, readable and writable by the
// owner alone (POSIX mode 0600 / a DACL naming only the current user); at
// most maxBytes. A file of this user that others may also read is made
// private on the open descriptor/handle and read; when that fails it is
// refused. Missing when there is no such file, Refused when it is a link, no
// regular file, another user's or too large, Failed when it cannot be read.
PrivateFileRead ReadPrivateFile(const QString &path, qint64 maxBytes);

// Writes through the safe save (platform/safefilewrite), the new file
// readable and writable by the owner alone from its creation. Empty on
// success, else the reason in words.
QString WritePrivateFile(const QString &path, const QByteArrayView bytes);
