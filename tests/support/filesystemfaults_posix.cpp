#include "filesystemfaults.h"

#include <QCryptographicHash>
#include <QFile>

#include <fcntl.h>
#include <sched.h>
#include <sys/fsuid.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr qsizetype kFillChunk = 4096;

QString SystemError(const char *what, int error)
{
    return QStringLiteral("%1: %2").arg(QString::fromLatin1(what), QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace

QString EnterPrivateMounts()
{
    static const QString result = [] {
        if (::unshare(CLONE_NEWNS) != 0)
            return SystemError("unshare(CLONE_NEWNS) failed (the test needs root)", errno);
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return SystemError("making the mounts private failed", errno);
        return QString();
    }();
    return result;
}

TmpfsMount::TmpfsMount(const QString &folder, qint64 bytes)
    : m_folder(QFile::encodeName(folder))
{
    m_error = EnterPrivateMounts();
    if (!m_error.isEmpty())
        return;
    const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0755";
    if (::mount("tmpfs", m_folder.constData(), "tmpfs", 0, options.constData()) != 0) {
        m_error = SystemError("mounting a tmpfs failed", errno);
        return;
    }
    m_mounted = true;
}

TmpfsMount::~TmpfsMount()
{
    if (m_mounted)
        ::umount2(m_folder.constData(), MNT_DETACH);
}

QString TmpfsMount::RemountReadOnly()
{
    if (!m_mounted)
        return QStringLiteral("no tmpfs mounted");
    if (::mount(nullptr, m_folder.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0)
        return SystemError("remounting the tmpfs read-only failed", errno);
    return QString();
}

QString FillUp(const QString &folder)
{
    const QByteArray path = QFile::encodeName(folder + QStringLiteral("/filler"));
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return SystemError("creating the filler failed", errno);
    const QByteArray chunk(kFillChunk, 'x');
    int error = 0;
    while (error == 0) {
        if (::write(fd, chunk.constData(), size_t(chunk.size())) < 0 && errno != EINTR)
            error = errno;
    }
    ::close(fd);
    if (error != ENOSPC)
        return SystemError("filling stopped before the disk was full", error);
    const qint64 free = FreeBytes(folder);
    if (free != 0)
        return QStringLiteral("statvfs still reports %1 free bytes after filling").arg(free);
    return QString();
}

qint64 FreeBytes(const QString &folder)
{
    struct statvfs st {};
    if (::statvfs(QFile::encodeName(folder).constData(), &st) != 0)
        return -1;
    return qint64(st.f_bavail) * qint64(st.f_frsize);
}

FsIdentity::FsIdentity(uint32_t uid, uint32_t gid)
{
    // setfsuid answers with the previous id whatever happened: ask twice.
    ::setfsgid(gid);
    ::setfsuid(uid);
    if (uid_t(::setfsuid(uid)) != uid || gid_t(::setfsgid(gid)) != gid)
        m_error = QStringLiteral("could not take the file-system identity %1:%2 (the test needs root)").arg(uid).arg(gid);
}

FsIdentity::~FsIdentity()
{
    ::setfsuid(::geteuid());
    ::setfsgid(::getegid());
}

QString SetOwnerAndMode(const QString &path, uint32_t uid, uint32_t gid, int mode)
{
    const QByteArray native = QFile::encodeName(path);
    if (::chown(native.constData(), uid, gid) != 0)
        return SystemError("chown failed", errno);
    if (::chmod(native.constData(), mode_t(mode)) != 0)
        return SystemError("chmod failed", errno);
    return QString();
}

QByteArray Checksum(const QByteArray &data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex().left(16);
}
