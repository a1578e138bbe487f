// Windows: the new content goes to a temporary file beside the target, every
// WriteFile checked, FlushFileBuffers, then ReplaceFileW (which keeps the old
// file's attributes and security) or MoveFileExW with write-through. Errors
// are GetLastError() values; refusals the POSIX build reports with an errno
// value (a folder, a non-file) keep that value here, as CheckSaveTarget's do.

#include "safefilewrite.h"

#include "win32path.h"
#include "win32security.h"

#include <QFileInfo>
#include <QRandomGenerator>

#include <windows.h>

#include <cerrno>
#include <string>
#include <utility>

namespace {

constexpr int kCreateAttempts = 100;
constexpr int kSuffixLength = 6;
constexpr qsizetype kBaseKeep = 200;
constexpr DWORD kMaxChunk = 1u << 20; // bytes per WriteFile call

int LastError()
{
    const DWORD e = GetLastError();
    return e ? int(e) : int(ERROR_WRITE_FAULT);
}

class Handle {
public:
    explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : m_h(h) {}
    ~Handle() { Reset(); }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    HANDLE Get() const { return m_h; }
    bool Valid() const { return m_h != INVALID_HANDLE_VALUE; }
    void Reset(HANDLE h = INVALID_HANDLE_VALUE)
    {
        if (Valid())
            CloseHandle(m_h);
        m_h = h;
    }
    int Close()
    {
        const HANDLE h = std::exchange(m_h, INVALID_HANDLE_VALUE);
        return CloseHandle(h) ? 0 : LastError();
    }

private:
    HANDLE m_h;
};

int WriteAll(HANDLE h, QByteArrayView data)
{
    const char *p = data.data();
    qsizetype left = data.size();
    while (left > 0) {
        const DWORD chunk = left > qsizetype(kMaxChunk) ? kMaxChunk : DWORD(left);
        DWORD n = 0;
        if (!WriteFile(h, p, chunk, &n, nullptr))
            return LastError();
        if (n == 0)
            return int(ERROR_DISK_FULL);
        p += n;
        left -= n;
    }
    return 0;
}

int FlushToMedium(HANDLE h)
{
    return FlushFileBuffers(h) ? 0 : LastError();
}

std::wstring RandomSuffix()
{
    static const wchar_t alphabet[] = L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::wstring s(kSuffixLength, L'\0');
    for (wchar_t &c : s)
        c = alphabet[QRandomGenerator::global()->bounded(int(std::size(alphabet) - 1))];
    return s;
}

// The rewrite through the open file, for folders that take no new file. The
// clusters the file grows by are reserved first, so a full disk fails before
// a byte of the old content is overwritten.
int WriteInPlace(Handle &file, QByteArrayView data)
{
    FILE_ALLOCATION_INFO reserve{};
    reserve.AllocationSize.QuadPart = data.size();
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size))
        return LastError();
    if (data.size() > size.QuadPart
        && !SetFileInformationByHandle(file.Get(), FileAllocationInfo, &reserve, sizeof reserve))
        return LastError();
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(file.Get(), start, nullptr, FILE_BEGIN))
        return LastError();
    if (const int rc = WriteAll(file.Get(), data))
        return rc;
    if (!SetEndOfFile(file.Get()))
        return LastError();
    if (const int rc = FlushToMedium(file.Get()))
        return rc;
    return file.Close();
}

// The file the path names, links followed; existed tells whether that is a
// regular disk file, and a folder or a device is refused.
int InspectTarget(std::wstring &target, bool &existed)
{
    existed = false;
    Handle probe(CreateFileW(target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!probe.Valid()) {
        const DWORD e = GetLastError();
        return e == ERROR_FILE_NOT_FOUND ? 0 : int(e);
    }
    if (GetFileType(probe.Get()) != FILE_TYPE_DISK)
        return EINVAL;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(probe.Get(), &info))
        return LastError();
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return EISDIR;
    // A link is saved through: the replacement goes beside the file it names.
    wchar_t resolved[MAX_PATH * 4];
    const DWORD n = GetFinalPathNameByHandleW(probe.Get(), resolved, DWORD(std::size(resolved)), FILE_NAME_NORMALIZED);
    if (n > 0 && n < std::size(resolved))
        target.assign(resolved, n);
    existed = true;
    return 0;
}

int CreateTemporary(const std::wstring &prefix, SECURITY_ATTRIBUTES *security, std::wstring &temporary, Handle &out)
{
    DWORD error = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < kCreateAttempts && !out.Valid() && error == ERROR_FILE_EXISTS; ++attempt) {
        temporary = prefix + RandomSuffix();
        out.Reset(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, security, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        error = out.Valid() ? 0 : GetLastError();
    }
    return out.Valid() ? 0 : int(error);
}

bool FolderRefusesNewFile(int rc)
{
    return rc == int(ERROR_ACCESS_DENIED) || rc == int(ERROR_WRITE_PROTECT);
}

// Puts the written temporary in the target's place.
// ReplaceFileW gives the new file the old one's security, so a private file
// is moved into place instead.
int Replace(const std::wstring &temporary, const std::wstring &target, bool existed, bool keepOldSecurity)
{
    if (existed && keepOldSecurity) {
        if (ReplaceFileW(target.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
            return 0;
        const DWORD e = GetLastError();
        // Only a file system without the replace call gets the plain move;
        // any other failure (the file is in use, say) is reported.
        if (e != ERROR_INVALID_FUNCTION && e != ERROR_NOT_SUPPORTED && e != ERROR_INVALID_PARAMETER)
            return int(e);
    }
    if (!MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return LastError();
    return 0;
}

} // namespace

int WriteFileSafely(const QString &path, QByteArrayView data, SaveAccess access)
{
    const bool ownerOnly = access == SaveAccess::OwnerOnly;
    if (path.isEmpty())
        return ENOENT;
    std::wstring target = Win32Path(path);
    if (Win32NamesDevice(path))
        return EINVAL;
    bool existed = false;
    if (const int rc = InspectTarget(target, existed))
        return rc;

    // An existing file must take writes, as it would be rewritten in place:
    // a read-only file is not replaced behind its back.
    Handle existing;
    if (existed) {
        existing.Reset(CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!existing.Valid())
            return LastError();
    }

    // The final path of a link's target may carry the "\\?\" prefix; the
    // temporary goes into the same folder either way.
    const size_t slash = target.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : target.substr(0, slash + 1);
    const std::wstring base = target.substr(slash == std::wstring::npos ? 0 : slash + 1).substr(0, size_t(kBaseKeep));
    const std::wstring prefix = folder + base + L'.';

    OwnerOnlySecurity privateSecurity;
    if (ownerOnly && !privateSecurity.Valid())
        return LastError();
    std::wstring temporary;
    Handle out;
    if (const int rc = CreateTemporary(prefix, ownerOnly ? privateSecurity.Attributes() : nullptr, temporary, out)) {
        if (existed && !ownerOnly && FolderRefusesNewFile(rc))
            return WriteInPlace(existing, data);
        return rc;
    }
    existing.Reset();

    int rc = WriteAll(out.Get(), data);
    if (rc == 0)
        rc = FlushToMedium(out.Get());
    if (rc == 0)
        rc = out.Close();
    if (rc == 0)
        rc = Replace(temporary, target, existed, !ownerOnly);
    if (rc != 0) {
        out.Reset();
        DeleteFileW(temporary.c_str());
    }
    return rc;
}

int CheckSaveTarget(const QString &path)
{
    if (path.isEmpty())
        return ENOENT;
    if (Win32NamesDevice(path))
        return EINVAL;
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
