#include "appendfile.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>

#if defined(Q_OS_UNIX)

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

constexpr mode_t kFileMode = 0644;
constexpr mode_t kFolderMode = 0755;

int LastError()
{
    return errno ? errno : EIO;
}

} // namespace

AppendFile::~AppendFile()
{
    Close();
}

int AppendFile::Open(const QString &folder, const QString &name)
{
    Close();
    const int dir = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0)
        return errno == ELOOP || errno == ENOTDIR ? SYMBOLIC_LINK : LastError();
    // O_NONBLOCK: a FIFO put in the file's place must not hold the panel.
    const int fd = ::openat(dir, QFile::encodeName(name).constData(),
                            O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, kFileMode);
    const int openError = errno;
    ::close(dir);
    if (fd < 0)
        return openError == ELOOP ? SYMBOLIC_LINK : openError == ENXIO ? NOT_REGULAR : (openError ? openError : EIO);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return NOT_REGULAR;
    }
    m_fd = fd;
    m_device = st.st_dev;
    m_inode = st.st_ino;
    m_folder = folder;
    m_name = name;
    return 0;
}

void AppendFile::Close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool AppendFile::IsOpen() const
{
    return m_fd >= 0;
}

bool AppendFile::StillInPlace() const
{
    if (m_fd < 0)
        return false;
    struct stat st {};
    const QByteArray path = QFile::encodeName(m_folder + QLatin1Char('/') + m_name);
    return ::lstat(path.constData(), &st) == 0 && st.st_dev == m_device && st.st_ino == m_inode;
}

qint64 AppendFile::Size() const
{
    struct stat st {};
    return m_fd >= 0 && ::fstat(m_fd, &st) == 0 ? qint64(st.st_size) : -1;
}

qint64 AppendFile::FreeBytes() const
{
    struct statvfs vfs {};
    if (m_fd < 0 || ::fstatvfs(m_fd, &vfs) != 0)
        return -1;
    return qint64(vfs.f_bavail) * qint64(vfs.f_frsize);
}

int AppendFile::Append(QByteArrayView data)
{
    if (m_fd < 0)
        return EBADF;
    const qint64 before = Size();
    const char *p = data.data();
    qsizetype left = data.size();
    int rc = 0;
    while (left > 0) {
        const ssize_t n = ::write(m_fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            rc = n < 0 ? LastError() : ENOSPC;
            break;
        }
        p += n;
        left -= n;
    }
    // Whatever part went in comes out again: the file ends where it ended.
    if (rc != 0 && before >= 0 && left < data.size())
        (void)::ftruncate(m_fd, off_t(before));
    return rc;
}

QString AppendFile::ErrorText(int code)
{
    switch (code) {
    case NOT_REGULAR: return QStringLiteral("not a regular file");
    case SYMBOLIC_LINK: return QStringLiteral("a symbolic link");
    default: return QString::fromLocal8Bit(std::strerror(code));
    }
}

int MakeFixedModeFolder(const QString &folder)
{
    const QString clean = QDir::cleanPath(folder);
    if (clean.isEmpty())
        return ENOENT;
    // Each missing part in turn, from the top, so every one gets the mode.
    qsizetype from = clean.startsWith(QLatin1Char('/')) ? 1 : 0;
    for (;;) {
        const qsizetype slash = clean.indexOf(QLatin1Char('/'), from);
        const QByteArray part = QFile::encodeName(slash < 0 ? clean : clean.left(slash));
        if (::mkdir(part.constData(), kFolderMode) == 0) {
            // The umask took bits away from the mode asked for; put them back.
            if (::chmod(part.constData(), kFolderMode) != 0)
                return LastError();
        } else if (errno != EEXIST) {
            return LastError();
        } else {
            struct stat st {};
            if (::stat(part.constData(), &st) != 0)
                return LastError();
            if (!S_ISDIR(st.st_mode))
                return ENOTDIR;
        }
        if (slash < 0)
            return 0;
        from = slash + 1;
    }
}

#else

#include <QFileInfo>
#include <QStorageInfo>

struct AppendFile::Native {
    QFile file;
};

AppendFile::~AppendFile()
{
    Close();
}

int AppendFile::Open(const QString &folder, const QString &name)
{
    Close();
    const QString path = folder + QLatin1Char('/') + name;
    if (QFileInfo(folder).isSymLink() || QFileInfo(path).isSymLink())
        return SYMBOLIC_LINK;
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return NOT_REGULAR;
    m_native = new Native;
    m_native->file.setFileName(path);
    if (!m_native->file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        Close();
        return EACCES;
    }
    m_folder = folder;
    m_name = name;
    return 0;
}

void AppendFile::Close()
{
    delete m_native;
    m_native = nullptr;
}

bool AppendFile::IsOpen() const
{
    return m_native != nullptr;
}

bool AppendFile::StillInPlace() const
{
    return m_native && QFileInfo::exists(m_native->file.fileName());
}

qint64 AppendFile::Size() const
{
    return m_native ? m_native->file.size() : -1;
}

qint64 AppendFile::FreeBytes() const
{
    return m_native ? QStorageInfo(m_folder).bytesAvailable() : -1;
}

int AppendFile::Append(QByteArrayView data)
{
    if (!m_native)
        return EBADF;
    const qint64 before = m_native->file.size();
    if (m_native->file.write(data.data(), data.size()) == data.size())
        return 0;
    m_native->file.resize(before);
    return ENOSPC;
}

QString AppendFile::ErrorText(int code)
{
    switch (code) {
    case NOT_REGULAR: return QStringLiteral("not a regular file");
    case SYMBOLIC_LINK: return QStringLiteral("a symbolic link");
    default: return QString::fromLocal8Bit(std::strerror(code));
    }
}

int MakeFixedModeFolder(const QString &folder)
{
    const QFileInfo info(folder);
    if (info.exists())
        return info.isDir() ? 0 : ENOTDIR;
    return QDir().mkpath(folder) ? 0 : EACCES;
}

#endif
