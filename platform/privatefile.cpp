#include "privatefile.h"

#include "safefilewrite.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr mode_t kOwnerOnly = 0600;

QString SystemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

struct Descriptor {
    int fd = -1;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

PrivateFileRead Refused(const QString &reason)
{
    return {PrivateFileRead::Outcome::Refused, {}, reason};
}

} // namespace

PrivateFileRead ReadPrivateFile(const QString &path, qint64 maxBytes)
{
    // O_NOFOLLOW: a link is refused, never read through; O_NONBLOCK: a FIFO
    // does not hold the open.
    const Descriptor file{::open(QFile::encodeName(path).constData(),
                                 O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
    if (file.fd < 0) {
        const int error = errno;
        if (error == ENOENT)
            return {PrivateFileRead::Outcome::Missing, {}, QStringLiteral("%1 does not exist").arg(path)};
        if (error == ELOOP)
            return Refused(QStringLiteral("%1 is a symbolic link").arg(path));
        return {PrivateFileRead::Outcome::Failed, {}, QStringLiteral("cannot open %1: %2").arg(path, SystemError(error))};
    }
    struct stat st {};
    if (::fstat(file.fd, &st) != 0)
        return {PrivateFileRead::Outcome::Failed, {}, QStringLiteral("cannot read %1: %2").arg(path, SystemError(errno))};
    if (!S_ISREG(st.st_mode))
        return Refused(QStringLiteral("%1 is not a plain file").arg(path));
    if (st.st_uid != ::geteuid())
        return Refused(QStringLiteral("%1 belongs to another user").arg(path));
    if (st.st_size > maxBytes)
        return Refused(QStringLiteral("%1 is larger than %2 bytes").arg(path).arg(maxBytes));
    if ((st.st_mode & 07777) != kOwnerOnly && ::fchmod(file.fd, kOwnerOnly) != 0)
        return Refused(QStringLiteral("cannot make %1 private: %2").arg(path, SystemError(errno)));

    // One byte past the limit tells a file that grew meanwhile.
    QByteArray data(qsizetype(maxBytes + 1), Qt::Uninitialized);
    qsizetype have = 0;
    while (have < data.size()) {
        const ssize_t n = ::read(file.fd, data.data() + have, size_t(data.size() - have));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return {PrivateFileRead::Outcome::Failed, {}, QStringLiteral("cannot read %1: %2").arg(path, SystemError(errno))};
        if (n == 0)
            break;
        have += n;
    }
    if (have > maxBytes)
        return Refused(QStringLiteral("%1 is larger than %2 bytes").arg(path).arg(maxBytes));
    data.truncate(have);
    return {PrivateFileRead::Outcome::Ok, data, {}};
}

QString WritePrivateFile(const QString &path, const QByteArrayView bytes)
{
    // The save follows a link to the file it names; a key is never written
    // anywhere but under its own name.
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode))
        return QStringLiteral("%1 is a symbolic link").arg(path);
    const int rc = WriteFileSafely(path, bytes, SaveAccess::OwnerOnly);
    return rc == 0 ? QString() : QStringLiteral("cannot write %1: %2").arg(path, SystemError(rc));
}
