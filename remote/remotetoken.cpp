#include "remotetoken.h"

#include "regularfile.h"
#include "settingsfile.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr mode_t OWNER_ONLY = 0600;

QString SystemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QByteArray NewToken()
{
    quint32 words[RemoteToken::HEX_LENGTH / 8];
    QRandomGenerator::system()->fillRange(words);
    return QByteArray(reinterpret_cast<const char *>(words), sizeof words).toHex();
}

bool WriteNew(const QString &path, const QByteArray &token, QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, OWNER_ONLY);
    if (fd < 0) {
        *error = QStringLiteral("cannot create %1: %2").arg(path, SystemError(errno));
        return false;
    }
    const QByteArray line = token + '\n';
    const bool written = ::write(fd, line.constData(), size_t(line.size())) == line.size() && ::fsync(fd) == 0;
    const int writeError = errno;
    ::close(fd);
    if (!written) {
        ::unlink(name.constData());
        *error = QStringLiteral("cannot write %1: %2").arg(path, SystemError(writeError));
    }
    return written;
}

} // namespace

bool RemoteToken::WellFormed(const QByteArray &token)
{
    if (token.size() != HEX_LENGTH)
        return false;
    return std::all_of(token.begin(), token.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
    });
}

QString RemoteToken::DefaultPath()
{
    return QString::fromLatin1(DATA_DIR) + QStringLiteral("/remote-token");
}

QByteArray RemoteToken::LoadOrCreate(const QString &path, QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(name.constData(), &info) != 0) {
        if (errno != ENOENT) {
            *error = QStringLiteral("cannot read %1: %2").arg(path, SystemError(errno));
            return {};
        }
        QDir().mkpath(QFileInfo(path).absolutePath());
        const QByteArray token = NewToken();
        return WriteNew(path, token, error) ? token : QByteArray();
    }
    if (!S_ISREG(info.st_mode)) {
        *error = QStringLiteral("%1 is not a plain file").arg(path);
        return {};
    }
    const std::optional<QByteArray> read = ReadRegularFile(path);
    if (!read) {
        *error = QStringLiteral("cannot read %1").arg(path);
        return {};
    }
    const QByteArray token = read->trimmed();
    if (!WellFormed(token)) {
        *error = QStringLiteral("%1 holds no token (32 hex characters); remove it to have a new one made").arg(path);
        return {};
    }
    // Anyone who can read it can press the buttons.
    if ((info.st_mode & 077) != 0 && ::chmod(name.constData(), OWNER_ONLY) != 0) {
        *error = QStringLiteral("cannot make %1 private: %2").arg(path, SystemError(errno));
        return {};
    }
    return token;
}
