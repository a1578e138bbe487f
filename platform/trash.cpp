#include "trash.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN) && !defined(Q_OS_ANDROID)
#define PLAXON_FREEDESKTOP_TRASH
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#endif

namespace {

TrashHook &Hook()
{
    static TrashHook hook;
    return hook;
}

void RunHook(TrashStep step)
{
    if (Hook())
        Hook()(step);
}

// A name that stays in its folder: no way up, down or sideways.
bool PlainName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
           && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) && !name.contains(QChar(0));
}

#ifdef PLAXON_FREEDESKTOP_TRASH

// A file descriptor that closes itself.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { Reset(); }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    Fd(Fd &&other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd &operator=(Fd &&other) noexcept
    {
        if (this != &other) {
            Reset();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    int Get() const { return m_fd; }
    bool Valid() const { return m_fd >= 0; }

private:
    void Reset()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    int m_fd;
};

// A trash's two folders, and the folder that names in its info files are
// relative to (empty for the home trash, whose names are absolute).
struct TrashFolders {
    Fd files;
    Fd info;
    QString topdir;
};

// Tries further names after the first when the trash already holds one.
constexpr int kMaxTrashNames = 1000;

Fd OpenFolder(int at, const QString &name, bool followLink)
{
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
    return Fd(::openat(at, QFile::encodeName(name).constData(), flags));
}

// files/ and info/ of an opened trash, made when missing, never through a link.
bool OpenTrashParts(const Fd &trash, TrashFolders &out)
{
    for (const char *part : {"files", "info"}) {
        if (::mkdirat(trash.Get(), part, 0700) != 0 && errno != EEXIST)
            return false;
    }
    out.files = OpenFolder(trash.Get(), QStringLiteral("files"), false);
    out.info = OpenFolder(trash.Get(), QStringLiteral("info"), false);
    return out.files.Valid() && out.info.Valid();
}

// The device a path lies on; a missing path counts as lying where the
// nearest existing folder above it lies.
std::optional<dev_t> DeviceOf(QString path)
{
    struct stat st {};
    while (!path.isEmpty()) {
        if (::stat(QFile::encodeName(path).constData(), &st) == 0)
            return st.st_dev;
        const QString up = QFileInfo(path).path();
        if (up == path)
            break;
        path = up;
    }
    return std::nullopt;
}

// The top folder of the mounted file system that holds path (on device dev).
QString MountPoint(const QString &path, dev_t device)
{
    QString top = path;
    for (;;) {
        const QString up = QFileInfo(top).path();
        struct stat st {};
        if (up == top || ::stat(QFile::encodeName(up).constData(), &st) != 0 || st.st_dev != device)
            return top;
        top = up;
    }
}

bool OpenHomeTrash(TrashFolders &out)
{
    const QString home = EnsureUserTrash();
    if (home.isEmpty())
        return false;
    const Fd trash = OpenFolder(AT_FDCWD, home, true);
    return trash.Valid() && OpenTrashParts(trash, out);
}

// A trash folder of this user inside an opened folder: a real folder we own.
bool OwnTrash(const Fd &at, const QString &name, TrashFolders &out)
{
    if (::mkdirat(at.Get(), QFile::encodeName(name).constData(), 0700) != 0 && errno != EEXIST)
        return false;
    const Fd trash = OpenFolder(at.Get(), name, false);
    struct stat st {};
    if (!trash.Valid() || ::fstat(trash.Get(), &st) != 0 || st.st_uid != ::getuid())
        return false;
    return OpenTrashParts(trash, out);
}

// The trash at the top of another file system: the shared ".Trash" (a real
// folder with the sticky bit) with a folder per user, else ".Trash-<uid>".
bool OpenTopdirTrash(const QString &topdir, TrashFolders &out)
{
    const Fd top = OpenFolder(AT_FDCWD, topdir, true);
    if (!top.Valid())
        return false;
    const QString uid = QString::number(::getuid());
    struct stat st {};
    if (::fstatat(top.Get(), ".Trash", &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
        const Fd shared = OpenFolder(top.Get(), QStringLiteral(".Trash"), false);
        if (shared.Valid() && OwnTrash(shared, uid, out)) {
            out.topdir = topdir;
            return true;
        }
    }
    if (!OwnTrash(top, QStringLiteral(".Trash-") + uid, out))
        return false;
    out.topdir = topdir;
    return true;
}

bool WriteAll(int fd, const QByteArray &data)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

QByteArray TrashInfo(const QString &originalPath)
{
    return QByteArrayLiteral("[Trash Info]\nPath=") + QFile::encodeName(originalPath).toPercentEncoding("/")
           + QByteArrayLiteral("\nDeletionDate=")
           + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1() + '\n';
}

// Moves the entry name of the opened folder into the trash under a free name,
// its info file written first, as the trash's readers expect.
TrashResult MoveInto(const Fd &folder, const QString &name, const TrashFolders &trash, const QString &originalPath)
{
    const QByteArray entry = QFile::encodeName(name);
    for (int n = 0; n < kMaxTrashNames; ++n) {
        const QString trashName = n == 0 ? name : name + QLatin1Char('.') + QString::number(n);
        const QByteArray trashEntry = QFile::encodeName(trashName);
        const QByteArray infoName = trashEntry + ".trashinfo";
        Fd info(::openat(trash.info.Get(), infoName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                         0600));
        if (!info.Valid()) {
            if (errno == EEXIST)
                continue;
            return TrashResult::Failed;
        }
        const auto dropInfo = [&] { ::unlinkat(trash.info.Get(), infoName.constData(), 0); };
        struct stat st {};
        if (::fstatat(trash.files.Get(), trashEntry.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            dropInfo(); // a leftover without its info file: keep it, take the next name
            continue;
        }
        if (!WriteAll(info.Get(), TrashInfo(originalPath))) {
            dropInfo();
            return TrashResult::Failed;
        }
        info = Fd();
        RunHook(TrashStep::BeforeMove);
        if (::renameat(folder.Get(), entry.constData(), trash.files.Get(), trashEntry.constData()) == 0)
            return TrashResult::Moved;
        const int error = errno;
        dropInfo();
        return error == ENOENT ? TrashResult::NotInside : TrashResult::Failed;
    }
    return TrashResult::Failed;
}

#endif

} // namespace

TrashHook SetTrashHook(TrashHook hook)
{
    return std::exchange(Hook(), std::move(hook));
}

QString EnsureUserTrash()
{
#ifdef PLAXON_FREEDESKTOP_TRASH
    // Without this folder the file engine falls back to a trash in the
    // current directory instead of the user's.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        return QString();
    const QString trash = data + QStringLiteral("/Trash");
    QDir dir;
    if (!dir.mkpath(trash + QStringLiteral("/files")) || !dir.mkpath(trash + QStringLiteral("/info")))
        return QString();
    // The trash holds what the user threw away: for the user's eyes only.
    QFile::setPermissions(trash, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return trash;
#else
    return QString();
#endif
}

TrashResult MoveToTrashBelow(const QString &root, const QStringList &relative)
{
    RunHook(TrashStep::BeforeChecks);
    if (relative.isEmpty())
        return TrashResult::NotInside;
    for (const QString &name : relative)
        if (!PlainName(name))
            return TrashResult::NotInside;
    const QString &name = relative.last();
#ifdef PLAXON_FREEDESKTOP_TRASH
    Fd folder = OpenFolder(AT_FDCWD, root, true);
    for (qsizetype i = 0; folder.Valid() && i + 1 < relative.size(); ++i)
        folder = OpenFolder(folder.Get(), relative[i], false);
    struct stat st {};
    if (!folder.Valid() || ::fstatat(folder.Get(), QFile::encodeName(name).constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return TrashResult::NotInside;
    // Only where it was: the path is what the trash's readers show.
    QString folderPath = QFileInfo(root).canonicalFilePath();
    for (qsizetype i = 0; i + 1 < relative.size(); ++i)
        folderPath += QLatin1Char('/') + relative[i];
    const QString originalPath = folderPath + QLatin1Char('/') + name;

    // The home trash for the home file system, the file system's own trash
    // for any other: a move never crosses file systems.
    TrashFolders trash;
    const std::optional<dev_t> home =
        DeviceOf(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    if (home && *home == st.st_dev) {
        if (!OpenHomeTrash(trash))
            return TrashResult::Failed;
    } else if (!OpenTopdirTrash(MountPoint(folderPath, st.st_dev), trash)) {
        return TrashResult::Failed;
    }
    // A file system's own trash records names relative to its top, so they
    // still hold when it is mounted elsewhere.
    const QString recorded =
        trash.topdir.isEmpty() ? originalPath : QDir(trash.topdir).relativeFilePath(originalPath);
    return MoveInto(folder, name, trash, recorded);
#else
    // No folder handles here: every folder on the way is checked on its path
    // just before the move.
    QString path = root;
    for (qsizetype i = 0; i + 1 < relative.size(); ++i) {
        path += QLatin1Char('/') + relative[i];
        const QFileInfo folder(path);
        if (folder.isSymLink() || folder.isJunction() || !folder.isDir())
            return TrashResult::NotInside;
    }
    path += QLatin1Char('/') + name;
    const QFileInfo entry(path);
    if (!entry.exists() && !entry.isSymLink())
        return TrashResult::NotInside;
    RunHook(TrashStep::BeforeMove);
    QFile file(path);
    return file.moveToTrash() ? TrashResult::Moved : TrashResult::Failed;
#endif
}

bool MoveToTrash(const QString &path)
{
    const QFileInfo info(path);
    return MoveToTrashBelow(info.absolutePath(), {info.fileName()}) == TrashResult::Moved;
}
