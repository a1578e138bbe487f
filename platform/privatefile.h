#pragma once

// Files only their owner may read: the remote control's keys. Read without
// following links and judged on the descriptor that is read, so no swap
// between a check and the read can slip another file in.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

struct PrivateFileRead {
    enum class Outcome { Ok, Missing, Refused, Failed };
    Outcome outcome = Outcome::Failed;
    QByteArray bytes;
    QString reason;
};

// Opens without following links; checks on the open descriptor: a regular file, owned by the current user, mode 0600; at most maxBytes.
PrivateFileRead ReadPrivateFile(const QString &path, qint64 maxBytes);
// Writes through platform/safefilewrite's safe save, the new file owner-only from its creation. Empty on success, else the reason.
QString WritePrivateFile(const QString &path, const QByteArrayView bytes);
