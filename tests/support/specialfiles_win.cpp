#include "specialfiles.h"

#include "underwine.h"
#include "unixshell_win.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <windows.h>
#include <aclapi.h>

#include <vector>

namespace {

std::wstring Native(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

// The link's target as the Linux side names it.
QString UnixTarget(const QString &target)
{
    return QDir::isAbsolutePath(target) ? UnixPathOf(target) : QDir::fromNativeSeparators(target);
}

QString UnderWineOnly(const QString &script)
{
    if (!RunningUnderWine())
        return QStringLiteral("Windows has no such file to make");
    return RunUnixShell(script);
}

std::vector<unsigned char> CurrentUser()
{
    std::vector<unsigned char> buffer;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return buffer;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    buffer.resize(size);
    if (!size || !GetTokenInformation(token, TokenUser, buffer.data(), size, &size))
        buffer.clear();
    CloseHandle(token);
    return buffer;
}

} // namespace

QString MakeFifo(const QString &path)
{
    // Windows keeps pipes out of the file system; Wine shows a Linux FIFO as one.
    return UnderWineOnly(QStringLiteral("mkfifo -m 644 %1").arg(ShellQuoted(UnixPathOf(path))));
}

QString MakeLinkToEndlessDevice(const QString &path)
{
    // A Windows program reads the device through the Linux link like a file.
    return UnderWineOnly(QStringLiteral("ln -sf /dev/zero %1").arg(ShellQuoted(UnixPathOf(path))));
}

QString MakeSymbolicLink(const QString &target, const QString &link)
{
    if (RunningUnderWine()) {
        // Wine 8's CreateSymbolicLinkW reports success and makes nothing, and
        // a Linux link is no reparse point to a Windows program.
        return QStringLiteral("Wine makes no reparse points");
    }
    const QString absolute = QDir::isAbsolutePath(target) ? target : QFileInfo(link).dir().filePath(target);
    const DWORD flags = (QFileInfo(absolute).isDir() ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0)
                        | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
    if (CreateSymbolicLinkW(Native(link).c_str(), Native(target).c_str(), flags))
        return QString();
    return QStringLiteral("CreateSymbolicLinkW failed with error %1").arg(GetLastError());
}

bool IsOwnerOnly(const QString &path)
{
    const std::vector<unsigned char> user = CurrentUser();
    if (user.empty())
        return false;
    const PSID self = reinterpret_cast<const TOKEN_USER *>(user.data())->User.Sid;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(Native(path).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    bool ownerOnly = dacl != nullptr;
    ACL_SIZE_INFORMATION info{};
    if (ownerOnly && !GetAclInformation(dacl, &info, sizeof info, AclSizeInformation))
        ownerOnly = false;
    for (DWORD i = 0; ownerOnly && i < info.AceCount; ++i) {
        void *ace = nullptr;
        if (!GetAce(dacl, i, &ace)) {
            ownerOnly = false;
            break;
        }
        const auto *header = static_cast<const ACE_HEADER *>(ace);
        if (header->AceType == ACCESS_DENIED_ACE_TYPE)
            continue;
        ownerOnly = header->AceType == ACCESS_ALLOWED_ACE_TYPE
                    && EqualSid(reinterpret_cast<PSID>(&static_cast<ACCESS_ALLOWED_ACE *>(ace)->SidStart), self);
    }
    LocalFree(descriptor);
    return ownerOnly;
}

QString OpenToOthers(const QString &path)
{
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const std::wstring name = Native(path);
    if (const DWORD rc = GetNamedSecurityInfoW(name.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                               nullptr, &dacl, nullptr, &descriptor))
        return QStringLiteral("GetNamedSecurityInfoW failed with error %1").arg(rc);
    wchar_t everyone[] = L"EVERYONE";
    EXPLICIT_ACCESSW entry{};
    entry.grfAccessPermissions = GENERIC_READ;
    entry.grfAccessMode = GRANT_ACCESS;
    entry.grfInheritance = NO_INHERITANCE;
    entry.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
    entry.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    entry.Trustee.ptstrName = everyone;
    PACL wider = nullptr;
    DWORD rc = SetEntriesInAclW(1, &entry, dacl, &wider);
    if (rc == ERROR_SUCCESS)
        rc = SetNamedSecurityInfoW(const_cast<wchar_t *>(name.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                   nullptr, nullptr, wider, nullptr);
    LocalFree(wider);
    LocalFree(descriptor);
    return rc == ERROR_SUCCESS ? QString() : QStringLiteral("widening the DACL failed with error %1").arg(rc);
}

QString MakeSparseFile(const QString &path, const QByteArray &head, qint64 bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(head) == head.size() && file.resize(bytes))
        return QString();
    const QString error = file.errorString();
    file.close();
    // Wine 8 refuses to extend a file that far (ERROR_INVALID_FUNCTION); the
    // Linux side makes the same hole.
    if (RunningUnderWine())
        return RunUnixShell(QStringLiteral("truncate -s %1 %2").arg(bytes).arg(ShellQuoted(UnixPathOf(path))));
    return QStringLiteral("cannot make a %1-byte sparse file: %2").arg(bytes).arg(error);
}
