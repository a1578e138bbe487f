#pragma once

// The remote API's token: 32 hex characters from the system's random
// source, kept in PLAXONDATA/remote-token (readable and writable by its
// owner alone) so a tablet's saved link keeps working after a restart. Made
// on the first start that needs it.

#include <QByteArray>
#include <QString>

class RemoteToken {
public:
    static constexpr int HEX_LENGTH = 32;

    // Reads the token at path, or makes one there when there is no file or
    // an empty one, or one an interrupted write cut short.
    // Empty on failure, with error saying why.
    static QByteArray LoadOrCreate(const QString &path, QString *error);
    static bool WellFormed(const QByteArray &token);
    static QString DefaultPath();
};
