#include "specialfiles.h"

#include <QByteArray>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

QString Failure(const char *what)
{
    return QStringLiteral("%1 failed: %2").arg(QString::fromLatin1(what), QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

QString MakeFifo(const QString &path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0644) == 0 ? QString() : Failure("mkfifo");
}

QString MakeLinkToEndlessDevice(const QString &path)
{
    return ::symlink("/dev/zero", QFile::encodeName(path).constData()) == 0 ? QString() : Failure("symlink to /dev/zero");
}

QString MakeSymbolicLink(const QString &target, const QString &link)
{
    return ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()) == 0
               ? QString()
               : Failure("symlink");
}

bool IsOwnerOnly(const QString &path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && (info.st_mode & 0777) == 0600;
}

QString OpenToOthers(const QString &path)
{
    return ::chmod(QFile::encodeName(path).constData(), 0644) == 0 ? QString() : Failure("chmod 0644");
}

QString MakeSparseFile(const QString &path, const QByteArray &head, qint64 bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(head) == head.size() && file.resize(bytes))
        return QString();
    return QStringLiteral("cannot make a %1-byte sparse file: %2").arg(bytes).arg(file.errorString());
}
