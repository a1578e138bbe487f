#pragma once

// A log file that only grows, for the journal: opened without following a
// symbolic link (neither the file nor its folder), refused unless it is a
// regular file, and appended to in whole pieces: a piece that does not go in
// whole is taken back out, so the file never ends in half a line.

#include <QByteArrayView>
#include <QString>

class AppendFile {
public:
    // Why an open or a write did not happen (besides the system's error numbers).
    static constexpr int NOT_REGULAR = -1;  // the name holds something other than a plain file
    static constexpr int SYMBOLIC_LINK = -2; // the file or its folder is a symbolic link

    AppendFile() = default;
    ~AppendFile();
    AppendFile(const AppendFile &) = delete;
    AppendFile &operator=(const AppendFile &) = delete;

    // Opens (creating with mode 0644) the file name inside folder, which must
    // exist. 0, an error number, NOT_REGULAR or SYMBOLIC_LINK.
    int Open(const QString &folder, const QString &name);
    void Close();
    bool IsOpen() const;
    // True while the folder still holds the open file under its name (it was
    // neither deleted nor renamed nor replaced).
    bool StillInPlace() const;
    // The file's size, -1 when unknown.
    qint64 Size() const;
    // Bytes free for an ordinary writer on the file's file system, -1 when unknown.
    qint64 FreeBytes() const;
    // Appends data whole: 0, or the error number with the file as it was.
    int Append(QByteArrayView data);

    // A text for a code from Open or Append, in the system's words.
    static QString ErrorText(int code);

private:
    QString m_folder;
    QString m_name;
#if defined(Q_OS_UNIX)
    int m_fd = -1;
    unsigned long long m_device = 0;
    unsigned long long m_inode = 0;
#else
    struct Native;
    Native *m_native = nullptr;
#endif
};

// Creates folder (and the missing folders above it) with mode 0755 whatever
// the process's umask; an existing folder is left as it is. 0 or an error
// number; ENOTDIR when a part of it is a file.
int MakeFixedModeFolder(const QString &folder);
