#pragma once

// Whole-file saves that never leave a damaged or emptied file behind.
//
// The bytes go to a new temporary file beside the target, which replaces the
// target only after every write, the flush to the medium and the close have
// succeeded. Only where the folder takes no new file but the file itself is
// writable is the file rewritten in place. Every step's result is checked; a
// failure before the replacement leaves the previous file as it was.

#include <QByteArrayView>
#include <QDateTime>
#include <QString>

#include <functional>

// Who may use a saved file.
enum class SaveAccess {
    Usual,     // an existing file keeps its permissions; a new one gets the usual ones
    OwnerOnly, // readable and writable by the owner alone, from the file's creation on
};

// Writes data as the whole content of the file at path. 0 on success, else
// the system's error number (or another non-zero code where there is none).
// A file that existed keeps its permission bits; a new one gets the usual
// ones for a new file. A symbolic link is followed: the file it names is saved.
// An existing file that takes no writes, a folder or another non-regular file
// is refused. An I/O error while flushing the folder after the replacement is
// reported too, although the file then already holds the new content.
// With SaveAccess::OwnerOnly the new file is private whatever the old one allowed.
int WriteFileSafely(const QString &path, QByteArrayView data, SaveAccess access = SaveAccess::Usual);

// 0 when a save to path may be tried: path names no folder and no other
// non-regular file, and its folder exists. Writes nothing.
int CheckSaveTarget(const QString &path);

// The name of the file a save's temporary named name was made for, or an
// empty text when name is not of the form such a temporary takes (the
// target's name, a dot and six letters or digits).
QString SaveTemporaryTarget(const QString &name);

// Removes from folder the temporaries that interrupted saves left behind:
// regular files (never links or folders) named as a save names them, for a
// target isTarget accepts, last changed before startedAt. The number removed.
int RemoveStaleSaveTemporaries(const QString &folder, const std::function<bool(const QString &target)> &isTarget,
                               const QDateTime &startedAt);
