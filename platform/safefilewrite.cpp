#include "safefilewrite.h"

#include <QFileInfo>

#include <cerrno>

#if defined(Q_OS_UNIX)
#include <QFile>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#else
#include <QSaveFile>
#endif

#if defined(Q_OS_UNIX)

namespace {

constexpr int kCreateAttempts = 100;  // fresh names tried while a name is taken
constexpr int kSuffixLength = 6;      // random characters in a temporary name
constexpr qsizetype kBaseKeep = 200;  // bytes of the file's name kept in its temporary's name

int LastError()
{
    return errno ? errno : EIO;
}

// Owns a descriptor; Close() reports what closing it did.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;

    int Get() const { return m_fd; }
    bool IsOpen() const { return m_fd >= 0; }
    void Reset(int fd)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    // The descriptor is released even when close fails, so it is never retried.
    int Close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0 ? 0 : LastError();
    }

private:
    int m_fd;
};

// Writes every byte from the descriptor's position on, through short writes and interruptions.
int WriteAll(int fd, QByteArrayView data)
{
    const char *p = data.data();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return LastError();
        }
        if (n == 0)
            return ENOSPC; // a regular file that takes nothing has no room left
        p += n;
        left -= n;
    }
    return 0;
}

int FlushToMedium(int fd)
{
    while (::fsync(fd) != 0) {
        if (errno != EINTR)
            return LastError();
    }
    return 0;
}

QByteArray RandomSuffix()
{
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray s(kSuffixLength, '\0');
    for (char &c : s)
        c = alphabet[QRandomGenerator::global()->bounded(int(sizeof alphabet - 1))];
    return s;
}

// Rewrites an existing file through fd, the only save without a temporary
// file, for folders that take no new file.
int WriteInPlace(FileDescriptor &fd, const struct stat &old, QByteArrayView data)
{
#if defined(__linux__)
    // Reserve the blocks the file grows by first: a full medium then fails
    // before a byte of the old content is overwritten.
    const off_t block = old.st_blksize > 0 ? off_t(old.st_blksize) : off_t(1);
    const off_t held = (old.st_size + block - 1) / block * block;
    if (off_t(data.size()) > held
        && ::fallocate(fd.Get(), FALLOC_FL_KEEP_SIZE, held, off_t(data.size()) - held) != 0
        && errno != EOPNOTSUPP && errno != ENOSYS)
        return LastError();
#else
    (void)old;
#endif
    if (const int rc = WriteAll(fd.Get(), data))
        return rc;
    if (::ftruncate(fd.Get(), off_t(data.size())) != 0)
        return LastError();
    if (const int rc = FlushToMedium(fd.Get()))
        return rc;
    return fd.Close();
}

// Makes the rename itself durable. A folder that cannot be opened for this,
// or a file system that does not flush folders, is no failure.
int FlushFolder(const QByteArray &folder)
{
    FileDescriptor dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.IsOpen())
        return 0;
    if (const int rc = FlushToMedium(dir.Get()); rc != 0 && rc != EINVAL && rc != ENOTSUP && rc != EROFS)
        return rc;
    return 0;
}

// Follows a symbolic link to the file it names. existed tells whether that
// is a regular file (old then holds its status); a folder or any other kind
// of file is refused, a missing one is no error.
int InspectTarget(QByteArray &target, struct stat &old, bool &existed)
{
    existed = false;
    if (::lstat(target.constData(), &old) == 0 && S_ISLNK(old.st_mode)) {
        if (char *resolved = ::realpath(target.constData(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }
    if (::stat(target.constData(), &old) != 0)
        return errno == ENOENT ? 0 : LastError();
    if (S_ISDIR(old.st_mode))
        return EISDIR;
    if (!S_ISREG(old.st_mode))
        return EINVAL;
    existed = true;
    return 0;
}

// Creates a new file named prefix plus a random suffix, trying other
// suffixes while a name is taken; 0 with out open, or the last error.
int CreateTemporary(const QByteArray &prefix, mode_t mode, QByteArray &temporary, FileDescriptor &out)
{
    for (int attempt = 0; attempt < kCreateAttempts && !out.IsOpen(); ++attempt) {
        temporary = prefix + RandomSuffix();
        out.Reset(::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, mode));
        if (!out.IsOpen() && errno != EEXIST)
            break;
    }
    return out.IsOpen() ? 0 : LastError();
}

} // namespace

int WriteFileSafely(const QString &path, QByteArrayView data, SaveAccess access)
{
    if (path.isEmpty())
        return ENOENT;
    const bool ownerOnly = access == SaveAccess::OwnerOnly;
    QByteArray target = QFile::encodeName(path);

    struct stat old {};
    bool existed = false;
    if (const int rc = InspectTarget(target, old, existed))
        return rc;

    // An existing file must take writes, as it would be rewritten in place:
    // a read-only file is not replaced behind its back.
    FileDescriptor existing;
    if (existed) {
        existing.Reset(::open(target.constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (!existing.IsOpen())
            return LastError();
    }

    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : target.left(slash);
    const QByteArray base = target.mid(slash + 1).left(kBaseKeep);
    const QByteArray prefix = (slash < 0 ? QByteArray() : target.left(slash + 1)) + base + '.';

    QByteArray temporary;
    FileDescriptor out;
    if (const int rc = CreateTemporary(prefix, ownerOnly ? 0600 : 0666, temporary, out)) {
        if (existed && !ownerOnly && (rc == EACCES || rc == EPERM || rc == EROFS)) {
            // The folder takes no new file, but the file itself takes writes.
            if (::lseek(existing.Get(), 0, SEEK_SET) != 0)
                return LastError();
            return WriteInPlace(existing, old, data);
        }
        return rc;
    }
    existing.Reset(-1);

    int rc = 0;
    if (ownerOnly) {
        // The creation mode passed the umask; this leaves no doubt.
        if (::fchmod(out.Get(), 0600) != 0)
            rc = LastError();
    } else if (existed) {
        // The replacement keeps the old file's owner where this process may
        // set it, and its permission bits.
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
            (void)!::fchown(out.Get(), old.st_uid, old.st_gid);
        if (::fchmod(out.Get(), old.st_mode & 07777) != 0)
            rc = LastError();
    }
    if (rc == 0)
        rc = WriteAll(out.Get(), data);
    if (rc == 0)
        rc = FlushToMedium(out.Get());
    if (rc == 0)
        rc = out.Close();
    if (rc == 0 && ::rename(temporary.constData(), target.constData()) != 0)
        rc = LastError();
    if (rc != 0) {
        out.Reset(-1);
        ::unlink(temporary.constData());
        return rc;
    }
    return FlushFolder(folder);
}

#else

int WriteFileSafely(const QString &path, QByteArrayView data, SaveAccess)
{
    if (path.isEmpty())
        return ENOENT;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    // An explicit flush: commit() alone does not report a flush that failed.
    if (file.write(data.data(), data.size()) != data.size() || !file.flush()) {
        file.cancelWriting();
        file.commit();
        return 1;
    }
    return file.commit() ? 0 : 1;
}

#endif

int CheckSaveTarget(const QString &path)
{
    if (path.isEmpty())
        return ENOENT;
    const QFileInfo info(path);
    if (info.isDir())
        return EISDIR;
    if (info.exists())
        return info.isFile() ? 0 : EINVAL;
    const QFileInfo folder(info.absolutePath());
    if (!folder.exists())
        return ENOENT;
    return folder.isDir() ? 0 : ENOTDIR;
}
