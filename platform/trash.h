#pragma once

// Delete to the user's trash: the Recycle Bin on Windows, the Trash on macOS,
// the freedesktop trash ($XDG_DATA_HOME/Trash) elsewhere. A symbolic link is
// moved as the link; what it points to stays where it is.

#include <QString>

// Moves the file or directory at path to the trash; false when it could not
// be moved (it then stays where it was).
bool MoveToTrash(const QString &path);

// The user's trash folder on systems that keep it as a folder, created with
// its files/ and info/ folders when missing; empty where the system keeps the
// trash itself or the folder cannot be made.
QString EnsureUserTrash();
