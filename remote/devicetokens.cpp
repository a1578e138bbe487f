#include "devicetokens.h"

#include "privatefile.h"
#include "requestgate.h"
#include "settingsfile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>

namespace {

constexpr int HASH_HEX = 64;
constexpr qint64 FILE_LIMIT = qint64(DeviceTokens::MAX_DEVICES + 1) * (HASH_HEX + 1);

QByteArray HashOf(const QByteArray &token)
{
    return QCryptographicHash::hash(token, QCryptographicHash::Sha256).toHex();
}

bool IsLowerHex(const QByteArray &text, qsizetype length)
{
    return text.size() == length && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

} // namespace

DeviceTokens::DeviceTokens(QString path) : m_path(std::move(path)) {}

QString DeviceTokens::DefaultPath()
{
    return QString::fromLatin1(DATA_DIR) + QStringLiteral("/remote-devices");
}

bool DeviceTokens::Load(QString *error)
{
    m_hashes.clear();
    const PrivateFileRead read = ReadPrivateFile(m_path, FILE_LIMIT);
    if (read.outcome == PrivateFileRead::Outcome::Missing)
        return true;
    if (read.outcome != PrivateFileRead::Outcome::Ok) {
        *error = read.reason;
        return false;
    }
    for (const QByteArray &line : read.bytes.split('\n')) {
        const QByteArray hash = line.trimmed();
        if (hash.isEmpty())
            continue;
        if (!IsLowerHex(hash, HASH_HEX)) {
            m_hashes.clear();
            *error = QStringLiteral("%1 is damaged; remove it and pair the tablets again").arg(m_path);
            return false;
        }
        m_hashes.append(hash);
    }
    while (m_hashes.size() > MAX_DEVICES)
        m_hashes.removeFirst();
    return true;
}

QString DeviceTokens::Save() const
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QByteArray bytes;
    for (const QByteArray &hash : m_hashes)
        bytes += hash + '\n';
    return WritePrivateFile(m_path, bytes);
}

QByteArray DeviceTokens::Issue(QString *error)
{
    quint32 words[TOKEN_HEX / 8];
    QRandomGenerator::system()->fillRange(words);
    const QByteArray token = QByteArray(reinterpret_cast<const char *>(words), sizeof words).toHex();
    const QList<QByteArray> before = m_hashes;
    m_hashes.append(HashOf(token));
    while (m_hashes.size() > MAX_DEVICES)
        m_hashes.removeFirst();
    if (const QString why = Save(); !why.isEmpty()) {
        // A token that would be lost at the next start is not handed out.
        m_hashes = before;
        *error = why;
        return QByteArray();
    }
    return token;
}

bool DeviceTokens::Accepts(const QByteArray &token) const
{
    if (!IsLowerHex(token, TOKEN_HEX))
        return false;
    const QByteArray hash = HashOf(token);
    bool found = false;
    for (const QByteArray &known : m_hashes)
        found = RequestGate::ConstantTimeEqual(hash, known) || found;
    return found;
}

bool DeviceTokens::ForgetAll(QString *error)
{
    m_hashes.clear();
    if (const QString why = Save(); !why.isEmpty()) {
        *error = why;
        return false;
    }
    return true;
}
