#include "panellock.h"

#include "appendfile.h"
#include "messagebox.h"
#include "messagetexts.h"

PanelLock::PanelLock(const QString &folder)
    : m_folder(folder), m_lock(LockPath(folder))
{
    // Only a living holder counts: a lock is never stale by its age alone.
    m_lock.setStaleLockTime(0);
}

QString PanelLock::LockPath(const QString &folder)
{
    return folder + QStringLiteral("/plaxon.lock");
}

PanelLock::Result PanelLock::Acquire()
{
    if (m_lock.isLocked())
        return Result::Held;
    if (MakeFixedModeFolder(m_folder) != 0)
        return Result::Unavailable;
    if (m_lock.tryLock(0))
        return Result::Held;
    return m_lock.error() == QLockFile::LockFailedError ? Result::Busy : Result::Unavailable;
}

bool ClaimInstallation(PanelLock &lock)
{
    if (lock.Acquire() != PanelLock::Result::Busy)
        return true;
    ShowMessageBox(nullptr, MessageTextFor(MessageText::AlreadyRunning), QStringLiteral("Plaxon"), MsgIcon::Error);
    return false;
}
