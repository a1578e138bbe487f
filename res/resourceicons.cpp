#include "resourceicons.h"

#include <QHash>

QIcon ResourceIcon(int id)
{
    static QHash<int, QIcon> cache;
    auto it = cache.find(id);
    if (it == cache.end())
        it = cache.insert(id, QIcon(QStringLiteral(":/icons/%1.svg").arg(id)));
    return *it;
}
