// Windows build under Wine: the same faults, staged from the Linux side with
// the system's own programs (scripts/windows.sh runs the tests in a private
// mount namespace as root). Windows itself cannot stage them this way, and
// says so.

#include "filesystemfaults.h"

#include "unixshell_win.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <windows.h>

namespace {

constexpr qsizetype kFillChunk = 4096;

} // namespace

QString EnterPrivateMounts()
{
    if (qEnvironmentVariable("PLAXON_PRIVATE_MOUNTS") != QLatin1String("1"))
        return QStringLiteral("mounts are not private: run the tests with scripts/windows.sh test, as root");
    return QString();
}

TmpfsMount::TmpfsMount(const QString &folder, qint64 bytes)
    : m_folder(UnixPathOf(folder).toUtf8())
{
    m_error = EnterPrivateMounts();
    if (!m_error.isEmpty())
        return;
    if (m_folder.isEmpty()) {
        m_error = QStringLiteral("no Linux path for %1").arg(folder);
        return;
    }
    m_error = RunUnixShell(QStringLiteral("mount -t tmpfs -o size=%1,mode=0755 tmpfs %2")
                               .arg(bytes)
                               .arg(ShellQuoted(QString::fromUtf8(m_folder))));
    m_mounted = m_error.isEmpty();
}

TmpfsMount::~TmpfsMount()
{
    if (m_mounted)
        RunUnixShell(QStringLiteral("umount -l %1").arg(ShellQuoted(QString::fromUtf8(m_folder))));
}

QString TmpfsMount::RemountReadOnly()
{
    if (!m_mounted)
        return QStringLiteral("no tmpfs mounted");
    return RunUnixShell(QStringLiteral("mount -o remount,ro %1").arg(ShellQuoted(QString::fromUtf8(m_folder))));
}

QString FillUp(const QString &folder)
{
    QFile filler(folder + QStringLiteral("/filler"));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return QStringLiteral("creating the filler failed: %1").arg(filler.errorString());
    const QByteArray chunk(kFillChunk, 'x');
    while (filler.write(chunk) == chunk.size()) {
    }
    filler.close();
    const qint64 free = FreeBytes(folder);
    if (free != 0)
        return QStringLiteral("the system still reports %1 free bytes after filling").arg(free);
    return QString();
}

qint64 FreeBytes(const QString &folder)
{
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(QDir::toNativeSeparators(folder).toStdWString().c_str(), &available, nullptr, nullptr))
        return -1;
    return qint64(available.QuadPart);
}

FsIdentity::FsIdentity(uint32_t, uint32_t)
    : m_error(QStringLiteral("Windows has no file-system user id to take"))
{
}

FsIdentity::~FsIdentity() = default;

QString SetOwnerAndMode(const QString &, uint32_t, uint32_t, int)
{
    return QStringLiteral("Windows files have no owner and mode bits");
}

QByteArray Checksum(const QByteArray &data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex().left(16);
}
