#include "privatefile.h"

#include "safefilewrite.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr mode_t OWNER_ONLY = 0600;
constexpr mode_t PERMISSION_BITS = 07777;
constexpr mode_t NOT_OWNER = 077;

QString SystemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

PrivateFileRead Outcome(PrivateFileRead::Outcome outcome, const QString &reason)
{
    PrivateFileRead read;
    read.outcome = outcome;
    read.reason = reason;
    return read;
}

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

PrivateFileRead ReadPrivateFile(const QString &path, qint64 maxBytes)
{
    using O = PrivateFileRead::Outcome;
    const QByteArray name = QFile::encodeName(path);
    // O_NONBLOCK: a FIFO put in its place must not hold the panel.
    const Descriptor fd(::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.Get() < 0) {
        const int error = errno;
        if (error == ENOENT)
            return Outcome(O::Missing, QStringLiteral("%1 does not exist").arg(path));
        if (error == ELOOP)
            return Outcome(O::Refused, QStringLiteral("%1 is a symbolic link").arg(path));
        return Outcome(O::Failed, QStringLiteral("cannot open %1: %2").arg(path, SystemError(error)));
    }
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0)
        return Outcome(O::Failed, QStringLiteral("cannot examine %1: %2").arg(path, SystemError(errno)));
    if (!S_ISREG(info.st_mode))
        return Outcome(O::Refused, QStringLiteral("%1 is not a plain file").arg(path));
    if (info.st_uid != ::geteuid())
        return Outcome(O::Refused, QStringLiteral("%1 belongs to another user").arg(path));
    if ((info.st_mode & PERMISSION_BITS) != OWNER_ONLY)
        return Outcome(O::Refused, QStringLiteral("%1 may be read by others (mode %2, must be 0600)")
                                       .arg(path)
                                       .arg(info.st_mode & PERMISSION_BITS, 4, 8, QLatin1Char('0')));
    if (info.st_size > maxBytes)
        return Outcome(O::Refused, QStringLiteral("%1 is larger than %2 bytes").arg(path).arg(maxBytes));
    QByteArray bytes;
    bytes.resize(qsizetype(maxBytes) + 1);
    qsizetype got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd.Get(), bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Outcome(O::Failed, QStringLiteral("cannot read %1: %2").arg(path, SystemError(errno)));
        if (n == 0)
            break;
        got += n;
    }
    if (got > maxBytes) // grew since fstat
        return Outcome(O::Refused, QStringLiteral("%1 is larger than %2 bytes").arg(path).arg(maxBytes));
    bytes.truncate(got);
    PrivateFileRead read;
    read.outcome = O::Ok;
    read.bytes = bytes;
    return read;
}

QString WritePrivateFile(const QString &path, const QByteArrayView bytes)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(name.constData(), &info) == 0) {
        if (S_ISLNK(info.st_mode))
            return QStringLiteral("%1 is a symbolic link").arg(path);
        // The save keeps the old file's bits: make them owner-only first.
        if (S_ISREG(info.st_mode) && (info.st_mode & PERMISSION_BITS) != OWNER_ONLY
            && ::chmod(name.constData(), OWNER_ONLY) != 0)
            return QStringLiteral("cannot make %1 private: %2").arg(path, SystemError(errno));
    }
    // The save's temporary file is made under this mask, so it is never
    // readable by others, not even for a moment. The resolver, the only
    // other thread, creates no files.
    const mode_t previous = ::umask(NOT_OWNER);
    const int rc = WriteFileSafely(path, bytes);
    ::umask(previous);
    if (rc != 0)
        return QStringLiteral("cannot write %1: %2").arg(path, SystemError(rc));
    return QString();
}
