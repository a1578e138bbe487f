#include "regularfile.h"

#include <QFile>
#include <QFileInfo>

#if defined(Q_OS_UNIX)
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>

#if defined(Q_OS_UNIX)

namespace {

// Closes the descriptor on every way out.
struct FileDescriptor {
    int fd = -1;
    ~FileDescriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

std::optional<QByteArray> ReadRegularFile(const QString &path, qint64 maxBytes)
{
    if (path.isEmpty())
        return std::nullopt;
    // O_NONBLOCK: opening a FIFO with no writer would otherwise wait forever.
    FileDescriptor file{::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
    if (file.fd < 0)
        return std::nullopt;
    struct stat st {};
    if (::fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > READ_LIMIT_BYTES)
        return std::nullopt;
    // One byte past the limit tells a file that grew meanwhile from one that fits.
    const qint64 want = maxBytes < 0 ? READ_LIMIT_BYTES + 1 : std::min(maxBytes, READ_LIMIT_BYTES);
    QByteArray data(qsizetype(std::min<qint64>(want, std::max<qint64>(st.st_size, 1))), Qt::Uninitialized);
    qint64 have = 0;
    while (have < want) {
        if (have == data.size())
            data.resize(qsizetype(std::min<qint64>(want, have * 2)));
        const ssize_t n = ::read(file.fd, data.data() + have, size_t(data.size() - have));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        have += n;
    }
    if (maxBytes < 0 && have > READ_LIMIT_BYTES)
        return std::nullopt;
    data.truncate(qsizetype(have));
    return data;
}

#else

std::optional<QByteArray> ReadRegularFile(const QString &path, qint64 maxBytes)
{
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > READ_LIMIT_BYTES)
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const qint64 want = maxBytes < 0 ? READ_LIMIT_BYTES + 1 : std::min(maxBytes, READ_LIMIT_BYTES);
    QByteArray data = file.read(want);
    if (maxBytes < 0 && data.size() > READ_LIMIT_BYTES)
        return std::nullopt;
    return data;
}

#endif
