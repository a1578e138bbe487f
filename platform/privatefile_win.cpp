// Windows: the file is opened as itself (a reparse point is refused), and
// its type, owner and DACL are read from that handle.

#include "privatefile.h"

#include "safefilewrite.h"
#include "win32path.h"
#include "win32security.h"

#include <windows.h>
#include <aclapi.h>

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

PrivateFileRead Refused(const QString &reason)
{
    return {PrivateFileRead::Outcome::Refused, {}, reason};
}

PrivateFileRead Failed(const QString &what, const QString &path, DWORD error)
{
    return {PrivateFileRead::Outcome::Failed, {}, QStringLiteral("%1 %2: %3").arg(what, path, Win32ErrorText(error))};
}

} // namespace

PrivateFileRead ReadPrivateFile(const QString &path, qint64 maxBytes)
{
    if (path.isEmpty() || Win32NamesDevice(path))
        return Refused(QStringLiteral("%1 is not a plain file").arg(path));
    const std::wstring name = Win32Path(path);
    const Handle file(CreateFileW(name.c_str(), GENERIC_READ | READ_CONTROL | WRITE_DAC, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.Valid()) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return {PrivateFileRead::Outcome::Missing, {}, QStringLiteral("%1 does not exist").arg(path)};
        return Failed(QStringLiteral("cannot open"), path, error);
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(file.Get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(file.Get(), &info))
        return Refused(QStringLiteral("%1 is not a plain file").arg(path));
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return Refused(QStringLiteral("%1 is a symbolic link").arg(path));
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return Refused(QStringLiteral("%1 is not a plain file").arg(path));

    OwnerOnlySecurity security;
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD got = GetSecurityInfo(file.Get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                      &owner, nullptr, &dacl, nullptr, &descriptor);
    if (got != ERROR_SUCCESS)
        return Failed(QStringLiteral("cannot read the access control of"), path, got);
    const bool ownedByUser = security.Valid() && owner && EqualSid(owner, security.User());
    const bool ownerOnly = ownedByUser && security.IsOwnerOnly(dacl);
    LocalFree(descriptor);
    if (!ownedByUser)
        return Refused(QStringLiteral("%1 belongs to another user").arg(path));
    if (!ownerOnly) {
        const DWORD set = SetSecurityInfo(file.Get(), SE_FILE_OBJECT,
                                          DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                          nullptr, security.Dacl(), nullptr);
        if (set != ERROR_SUCCESS)
            return Refused(QStringLiteral("cannot make %1 private: %2").arg(path, Win32ErrorText(set)));
    }
    const qint64 size = (qint64(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (size > maxBytes)
        return Refused(QStringLiteral("%1 is larger than %2 bytes").arg(path).arg(maxBytes));

    QByteArray data(qsizetype(maxBytes + 1), Qt::Uninitialized);
    qsizetype have = 0;
    while (have < data.size()) {
        DWORD n = 0;
        if (!ReadFile(file.Get(), data.data() + have, DWORD(data.size() - have), &n, nullptr))
            return Failed(QStringLiteral("cannot read"), path, GetLastError());
        if (n == 0)
            break;
        have += n;
    }
    if (have > maxBytes)
        return Refused(QStringLiteral("%1 is larger than %2 bytes").arg(path).arg(maxBytes));
    data.truncate(have);
    return {PrivateFileRead::Outcome::Ok, data, {}};
}

QString WritePrivateFile(const QString &path, const QByteArrayView bytes)
{
    const int rc = WriteFileSafely(path, bytes, SaveAccess::OwnerOnly);
    return rc == 0 ? QString() : QStringLiteral("cannot write %1: %2").arg(path, Win32ErrorText(DWORD(rc)));
}
