#pragma once

// One panel per installation folder: the panel that starts takes a lock file
// in PLAXONDATA and holds it while it runs, so a second panel on the same
// files cannot overwrite the first one's saves. The lock of a panel that was
// killed names a process that is gone; it is stale and taken over.

#include <QLockFile>
#include <QString>

class PanelLock {
public:
    enum class Result {
        Held,        // this panel holds the lock
        Busy,        // another running panel holds it
        Unavailable, // the folder takes no lock file (read-only, say): nothing to guard
    };

    // folder: the installation's PLAXONDATA (made, mode 0755, if missing).
    explicit PanelLock(const QString &folder);
    PanelLock(const PanelLock &) = delete;
    PanelLock &operator=(const PanelLock &) = delete;

    Result Acquire();
    static QString LockPath(const QString &folder);

private:
    QString m_folder;
    QLockFile m_lock;
};

// Takes the lock for the panel that starts. When another panel runs in this
// folder, says so in a message box in the settings' language and returns
// false: the caller then ends without writing anything.
bool ClaimInstallation(PanelLock &lock);
