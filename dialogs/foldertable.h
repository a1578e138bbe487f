#pragma once

// The program browser's folder table: every folder of the program tree with
// its path relative to the root (parts joined by backslashes, empty for the
// root itself) and its tree item, in the order the folders were found (depth
// first, parent before children). Entry 0 is the root. The table grows with
// the tree, so a tree of any size is shown whole. One process-wide table,
// filled again by every browser.

#include <QString>

#include <vector>

class QTreeWidgetItem;

struct FolderEntry {
    QString path;
    QTreeWidgetItem *item = nullptr;
};

class FolderTable {
public:
    FolderTable() { m_entries.reserve(100); }

    void Clear() { m_entries.clear(); }
    // Appends an entry and returns its index.
    int Add(const QString &path, QTreeWidgetItem *item);
    int Count() const { return int(m_entries.size()); }
    const FolderEntry &At(int index) const { return m_entries[size_t(index)]; }
    // The items belong to a tree that is going away.
    void ForgetItems();

private:
    std::vector<FolderEntry> m_entries;
};

// The process-wide table.
FolderTable &TheFolderTable();
