// Windows: every folder from root down to the entry's is opened without
// following reparse points and held open without delete sharing, so none of
// them can be renamed, removed or swapped for a junction until the entry has
// gone to the Recycle Bin through the shell's file operation.

#include "trash.h"

#include "win32path.h"

#include <QDir>
#include <QFileInfo>

#include <windows.h>
#include <shellapi.h>

#include <utility>
#include <vector>

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

bool PlainName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
           && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) && !name.contains(QChar(0))
           && !name.contains(QLatin1Char(':'));
}

class Handle {
public:
    explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : m_h(h) {}
    ~Handle()
    {
        if (Valid())
            CloseHandle(m_h);
    }
    Handle(Handle &&other) noexcept : m_h(std::exchange(other.m_h, INVALID_HANDLE_VALUE)) {}
    Handle &operator=(Handle &&) = delete;
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    HANDLE Get() const { return m_h; }
    bool Valid() const { return m_h != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_h;
};

// A folder held open: it cannot be deleted or renamed while the handle lives.
Handle HoldFolder(const std::wstring &path, bool followReparsePoint)
{
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followReparsePoint ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    Handle h(CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, flags, nullptr));
    if (!h.Valid())
        return h;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h.Get(), &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        || (!followReparsePoint && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)))
        return Handle();
    return h;
}

// The entry itself, a reparse point as the point: false when it is missing.
bool EntryExists(const std::wstring &path)
{
    const Handle h(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                               nullptr));
    return h.Valid();
}

// The drive or share's root, where the system keeps a Recycle Bin or not.
bool HasRecycleBin(const std::wstring &path)
{
    wchar_t volume[MAX_PATH + 1];
    if (!GetVolumePathNameW(path.c_str(), volume, MAX_PATH))
        return false;
    SHQUERYRBINFO info{};
    info.cbSize = sizeof info;
    return SUCCEEDED(SHQueryRecycleBinW(volume, &info));
}

bool RecycleOne(const std::wstring &path)
{
    // The shell's list of names ends with an empty one.
    std::wstring from = path;
    from.push_back(L'\0');
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    // FOF_WANTNUKEWARNING: where the entry cannot be recycled after all, the
    // shell asks before destroying it rather than deleting it silently.
    op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT | FOF_WANTNUKEWARNING;
    return SHFileOperationW(&op) == 0 && !op.fAnyOperationsAborted && !EntryExists(path);
}

} // namespace

TrashHook SetTrashHook(TrashHook hook)
{
    return std::exchange(Hook(), std::move(hook));
}

QString EnsureUserTrash()
{
    return QString(); // the system keeps the Recycle Bin itself
}

TrashResult MoveToTrashBelow(const QString &root, const QStringList &relative)
{
    RunHook(TrashStep::BeforeChecks);
    if (relative.isEmpty())
        return TrashResult::NotInside;
    for (const QString &name : relative)
        if (!PlainName(name))
            return TrashResult::NotInside;
    if (root.isEmpty() || Win32NamesDevice(root))
        return TrashResult::NotInside;

    std::vector<Handle> held;
    std::wstring path = Win32Path(QFileInfo(root).absoluteFilePath());
    held.push_back(HoldFolder(path, true));
    for (qsizetype i = 0; held.back().Valid() && i + 1 < relative.size(); ++i) {
        path += L'\\' + relative[i].toStdWString();
        held.push_back(HoldFolder(path, false));
    }
    if (!held.back().Valid())
        return TrashResult::NotInside;
    path += L'\\' + relative.last().toStdWString();
    if (!EntryExists(path))
        return TrashResult::NotInside;
    if (!HasRecycleBin(path))
        return TrashResult::Failed;
    RunHook(TrashStep::BeforeMove);
    if (!EntryExists(path))
        return TrashResult::NotInside;
    return RecycleOne(path) ? TrashResult::Moved : TrashResult::Failed;
}

bool MoveToTrash(const QString &path)
{
    const QFileInfo info(path);
    return MoveToTrashBelow(info.absolutePath(), {info.fileName()}) == TrashResult::Moved;
}
