#pragma once

// Real file-system faults for save tests: a small tmpfs in a private mount
// namespace (filled up, or remounted read-only), and a file-system user id
// without the root capabilities, so that permission bits apply. Each helper
// returns an empty text when it staged its fault, else why it could not.

#include <QByteArray>
#include <QString>

#include <cstdint>

// Moves this thread into its own mount namespace whose mounts do not
// propagate to the rest of the system (once per process; needs root). The
// Windows build runs under Wine in the namespace scripts/windows.sh made and
// mounts with the system's mount program.
QString EnterPrivateMounts();

// A tmpfs of the given size mounted on an existing folder for the object's
// lifetime (lazily unmounted at the end).
class TmpfsMount {
public:
    TmpfsMount(const QString &folder, qint64 bytes);
    ~TmpfsMount();
    TmpfsMount(const TmpfsMount &) = delete;
    TmpfsMount &operator=(const TmpfsMount &) = delete;

    const QString &Error() const { return m_error; }
    QString RemountReadOnly();

private:
    QByteArray m_folder;
    QString m_error;
    bool m_mounted = false;
};

// Writes a filler file into folder until the file system has no block left,
// then checks that the system reports no free space.
QString FillUp(const QString &folder);
// Free bytes for an unprivileged writer, as the system reports them; -1 on error.
qint64 FreeBytes(const QString &folder);

// For its lifetime, this thread's file-system accesses run as uid/gid, which
// drops the capability to override permission bits. Undone at the end.
class FsIdentity {
public:
    FsIdentity(uint32_t uid, uint32_t gid);
    ~FsIdentity();
    FsIdentity(const FsIdentity &) = delete;
    FsIdentity &operator=(const FsIdentity &) = delete;

    const QString &Error() const { return m_error; }

private:
    QString m_error;
};

// Hands a file or folder to uid/gid with the given permission bits.
QString SetOwnerAndMode(const QString &path, uint32_t uid, uint32_t gid, int mode);

// A short hex checksum of the bytes, printed next to a test's verdicts.
QByteArray Checksum(const QByteArray &data);
