#pragma once

// The tokens paired tablets present, kept in PLAXONDATA/remote-devices so a
// tablet's bookmark keeps working across restarts. The file holds only each
// token's SHA-256, one a line: whoever reads it learns no token. It is read
// and written owner-only, never through a link.

#include <QByteArray>
#include <QList>
#include <QString>

class DeviceTokens {
public:
    // Beyond this the oldest pairing is forgotten: pairing needs a code from
    // the operator, so only a long show life reaches it.
    static constexpr int MAX_DEVICES = 64;
    static constexpr int TOKEN_HEX = 32;

    explicit DeviceTokens(QString path);

    // Reads the file; a missing one is no device. False with error when the
    // file cannot be trusted or read.
    bool Load(QString *error);
    // A new token, kept in the file; empty with error when it could not be.
    QByteArray Issue(QString *error);
    bool Accepts(const QByteArray &token) const;
    // Every paired tablet must pair again; false with error when the file
    // could not be emptied (the tokens are forgotten here all the same).
    bool ForgetAll(QString *error);
    int Count() const { return int(m_hashes.size()); }
    const QString &Path() const { return m_path; }

    static QString DefaultPath();

private:
    QString Save() const;

    QString m_path;
    QList<QByteArray> m_hashes; // hex SHA-256, oldest first
};
