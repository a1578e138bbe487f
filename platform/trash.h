#pragma once

// Delete to the user's trash: the Recycle Bin on Windows, the Trash on macOS,
// the freedesktop trash elsewhere ($XDG_DATA_HOME/Trash for the home file
// system, $topdir/.Trash/$uid or $topdir/.Trash-$uid on any other). A
// symbolic link is moved as the link; what it points to stays where it is.

#include <QString>
#include <QStringList>

#include <functional>

enum class TrashResult {
    Moved,
    // A folder on the way is missing or is no real folder (a link, say), or
    // the entry itself is missing: nothing was moved.
    NotInside,
    // The trash could not be made or the entry could not be moved into it:
    // nothing was moved.
    Failed,
};

// Moves the entry reached from the folder root through the names in relative
// (the last one is the entry) to the trash. Every folder on the way must be a
// real folder: it is opened without following links, one name after the
// other, and the entry is moved out of the folder so opened, so nothing
// outside root can be moved however the tree changes meanwhile. Names must
// be plain ("", "." and ".." and names with a slash are refused). Where the
// platform offers no such handles the same is checked on the paths just
// before the move.
TrashResult MoveToTrashBelow(const QString &root, const QStringList &relative);

// Moves the file or directory at path to the trash; false when it could not
// be moved (it then stays where it was).
bool MoveToTrash(const QString &path);

// The user's trash folder on systems that keep it as a folder, created with
// its files/ and info/ folders when missing; empty where the system keeps the
// trash itself or the folder cannot be made.
QString EnsureUserTrash();

// For tests: the points where MoveToTrashBelow calls the hook, so a test can
// change the tree there as another process could.
enum class TrashStep {
    BeforeChecks, // nothing looked at yet
    BeforeMove,   // the entry's folder is checked (and held open), the move comes next
};
using TrashHook = std::function<void(TrashStep)>;
// Replaces the hook (an empty one removes it) and returns the previous one.
TrashHook SetTrashHook(TrashHook hook);
