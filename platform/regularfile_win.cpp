// Windows: the file is opened only when its name names no device or pipe,
// and it is read only when the open handle is a disk file and no folder.
// Opening a device (a serial port, the console) or a pipe could wait or take
// the device from another program, so such names are refused before any open.

#include "regularfile.h"

#include "win32path.h"

#include <windows.h>

#include <algorithm>

namespace {

class Handle {
public:
    explicit Handle(HANDLE h) : m_h(h) {}
    ~Handle()
    {
        if (m_h != INVALID_HANDLE_VALUE)
            CloseHandle(m_h);
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    HANDLE Get() const { return m_h; }
    bool Valid() const { return m_h != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_h;
};

} // namespace

std::optional<QByteArray> ReadRegularFile(const QString &path, qint64 maxBytes)
{
    if (path.isEmpty() || Win32NamesDevice(path))
        return std::nullopt;
    const std::wstring name = Win32Path(path);
    // Without FILE_FLAG_BACKUP_SEMANTICS a folder does not open at all.
    const Handle file(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid() || GetFileType(file.Get()) != FILE_TYPE_DISK)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file.Get(), &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    const qint64 size = (qint64(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (size > READ_LIMIT_BYTES)
        return std::nullopt;
    // One byte past the limit tells a file that grew meanwhile from one that fits.
    const qint64 want = maxBytes < 0 ? READ_LIMIT_BYTES + 1 : std::min(maxBytes, READ_LIMIT_BYTES);
    QByteArray data(qsizetype(std::min<qint64>(want, std::max<qint64>(size, 1))), Qt::Uninitialized);
    qint64 have = 0;
    while (have < want) {
        if (have == data.size())
            data.resize(qsizetype(std::min<qint64>(want, have * 2)));
        DWORD n = 0;
        if (!ReadFile(file.Get(), data.data() + have, DWORD(data.size() - have), &n, nullptr))
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
