#include "foldertable.h"

int FolderTable::Add(const QString &path, QTreeWidgetItem *item)
{
    m_entries.push_back(FolderEntry{path, item});
    return int(m_entries.size()) - 1;
}

void FolderTable::ForgetItems()
{
    for (FolderEntry &entry : m_entries)
        entry.item = nullptr;
}

FolderTable &TheFolderTable()
{
    static FolderTable table;
    return table;
}
