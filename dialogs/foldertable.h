#pragma once

// The program browser's folder table: every folder of the program tree with
// its path relative to the root (parts joined by backslashes, empty for the
// root itself), the entry of the folder above it and its tree item. Entry 0
// is the root. The real folders come first, depth first, parent before
// children; then the folders reached through links, again parent before
// children, so a link never takes the place of the folder it leads to. The
// table grows with the tree, so a tree of any size is shown whole. One
// process-wide table, filled again by every browser.

#include <QSet>
#include <QString>

#include <deque>
#include <vector>

class QFileInfo;
class QTreeWidgetItem;

struct FolderEntry {
    QString path;
    int parent = -1; // -1 for the root
    QTreeWidgetItem *item = nullptr;
};

class FolderTable {
public:
    FolderTable() { m_entries.reserve(100); }

    void Clear();
    // Fills the table with the root and every folder below it. A folder is a
    // directory whose name does not begin with "." and that holds no
    // "program.prg". A link is a folder only when it leads inside the root,
    // to a folder not listed otherwise: the walk never leaves the root.
    void Fill(const QString &root);
    int Count() const { return int(m_entries.size()); }
    const FolderEntry &At(int index) const { return m_entries[size_t(index)]; }
    void SetItem(int index, QTreeWidgetItem *item) { m_entries[size_t(index)].item = item; }
    // The items belong to a tree that is going away.
    void ForgetItems();
    // The root of the last fill with every link resolved; empty when it
    // does not exist.
    const QString &ResolvedRoot() const { return m_resolvedRoot; }

    // A symbolic link or a junction.
    static bool IsLink(const QFileInfo &entry);
    // Where the entry leads, resolved, when that lies below resolvedRoot (the
    // root itself does not count); empty otherwise.
    static QString TargetInside(const QFileInfo &entry, const QString &resolvedRoot);

private:
    struct PendingLink {
        QString path;     // on disk, through the link
        QString relative; // as listed
        QString target;   // resolved
        int parent;
    };
    int Add(const QString &path, int parent);
    // Lists the real folders below the folder at path (entry index, resolved
    // as resolved) and queues the links it meets.
    void Walk(const QString &path, int index, const QString &resolved, QSet<QString> &listed,
              std::deque<PendingLink> &links);

    std::vector<FolderEntry> m_entries;
    QString m_resolvedRoot;
};

// The process-wide table.
FolderTable &TheFolderTable();
