#include "foldertable.h"

#include <QDir>
#include <QFileInfo>

namespace {

bool HoldsProgram(const QString &directory)
{
    const QFileInfo prg(directory + QStringLiteral("/program.prg"));
    return prg.exists() || prg.isSymLink();
}

} // namespace

void FolderTable::Clear()
{
    m_entries.clear();
    m_resolvedRoot.clear();
}

int FolderTable::Add(const QString &path, int parent)
{
    m_entries.push_back(FolderEntry{path, parent, nullptr});
    return int(m_entries.size()) - 1;
}

void FolderTable::ForgetItems()
{
    for (FolderEntry &entry : m_entries)
        entry.item = nullptr;
}

bool FolderTable::IsLink(const QFileInfo &entry)
{
    return entry.isSymLink() || entry.isJunction();
}

QString FolderTable::TargetInside(const QFileInfo &entry, const QString &resolvedRoot)
{
    if (resolvedRoot.isEmpty())
        return QString();
    const QString target = entry.canonicalFilePath();
    const QString prefix = resolvedRoot.endsWith(QLatin1Char('/')) ? resolvedRoot : resolvedRoot + QLatin1Char('/');
    if (target.size() <= prefix.size() || !target.startsWith(prefix))
        return QString();
    return target;
}

void FolderTable::Fill(const QString &root)
{
    Clear();
    Add(QString(), -1);
    m_resolvedRoot = QFileInfo(root).canonicalFilePath();
    if (m_resolvedRoot.isEmpty())
        return;
    // Resolved paths already in the table: a second way to a folder adds
    // nothing.
    QSet<QString> listed{m_resolvedRoot};
    std::deque<PendingLink> links;
    Walk(root, 0, m_resolvedRoot, listed, links);
    // Links only once every real folder is in: the real name wins.
    while (!links.empty()) {
        const PendingLink link = links.front();
        links.pop_front();
        if (listed.contains(link.target) || HoldsProgram(link.path))
            continue;
        listed.insert(link.target);
        Walk(link.path, Add(link.relative, link.parent), link.target, listed, links);
    }
}

void FolderTable::Walk(const QString &path, int index, const QString &resolved, QSet<QString> &listed,
                       std::deque<PendingLink> &links)
{
    const QString relative = m_entries[size_t(index)].path;
    const QFileInfoList entries =
        QDir(path).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo &entry : entries) {
        const QString name = entry.fileName();
        // A backslash inside a name could not be told from the separator.
        if (name.startsWith(QLatin1Char('.')) || name.contains(QLatin1Char('\\')))
            continue;
        const QString childRelative = relative.isEmpty() ? name : relative + QLatin1Char('\\') + name;
        if (IsLink(entry)) {
            // Resolved now, before anything behind it is looked at.
            if (const QString target = TargetInside(entry, m_resolvedRoot); !target.isEmpty())
                links.push_back(PendingLink{entry.filePath(), childRelative, target, index});
            continue;
        }
        if (HoldsProgram(entry.filePath()))
            continue;
        const QString childResolved =
            resolved.endsWith(QLatin1Char('/')) ? resolved + name : resolved + QLatin1Char('/') + name;
        if (listed.contains(childResolved))
            continue; // below a link, already listed
        listed.insert(childResolved);
        Walk(entry.filePath(), Add(childRelative, index), childResolved, listed, links);
    }
}

FolderTable &TheFolderTable()
{
    static FolderTable table;
    return table;
}
