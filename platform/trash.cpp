#include "trash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

QString EnsureUserTrash()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN) && !defined(Q_OS_ANDROID)
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

bool MoveToTrash(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return false;
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN) && !defined(Q_OS_ANDROID)
    if (EnsureUserTrash().isEmpty())
        return false;
#endif
    QFile file(path);
    return file.moveToTrash();
}
