#include "remotetoken.h"

#include "privatefile.h"
#include "settingsfile.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>

namespace {

// A token line and a little slack; anything longer is no token file.
constexpr qint64 kMaxTokenFileBytes = 256;

QByteArray NewToken()
{
    quint32 words[RemoteToken::HEX_LENGTH / 8];
    QRandomGenerator::system()->fillRange(words);
    return QByteArray(reinterpret_cast<const char *>(words), sizeof words).toHex();
}

bool LowerHex(const QByteArray &text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// What an earlier start left when it stopped while writing the file: nothing
// at all, or the first characters of a token without its line end.
bool CutShort(const QByteArray &bytes)
{
    const QByteArray trimmed = bytes.trimmed();
    return trimmed.isEmpty() || (bytes.size() < RemoteToken::HEX_LENGTH && LowerHex(bytes));
}

QByteArray CreateAt(const QString &path, QString *error)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray token = NewToken();
    const QString failure = WritePrivateFile(path, token + '\n');
    if (!failure.isEmpty()) {
        *error = failure;
        return {};
    }
    return token;
}

} // namespace

bool RemoteToken::WellFormed(const QByteArray &token)
{
    return token.size() == HEX_LENGTH && LowerHex(token);
}

QString RemoteToken::DefaultPath()
{
    return QString::fromLatin1(DATA_DIR) + QStringLiteral("/remote-token");
}

QByteArray RemoteToken::LoadOrCreate(const QString &path, QString *error)
{
    // Every check is made on the file as it was opened for this read.
    const PrivateFileRead read = ReadPrivateFile(path, kMaxTokenFileBytes);
    switch (read.outcome) {
    case PrivateFileRead::Outcome::Missing:
        return CreateAt(path, error);
    case PrivateFileRead::Outcome::Ok:
        break;
    case PrivateFileRead::Outcome::Refused:
    case PrivateFileRead::Outcome::Failed:
        *error = read.reason;
        return {};
    }
    if (CutShort(read.bytes))
        return CreateAt(path, error);
    const QByteArray token = read.bytes.trimmed();
    if (!WellFormed(token)) {
        *error = QStringLiteral("%1 holds no token (32 hex characters); remove it to have a new one made").arg(path);
        return {};
    }
    return token;
}
