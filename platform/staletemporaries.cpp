// The leftovers of saves that were cut short: the same on every platform,
// since both implementations of the save name their temporaries alike.
#include "safefilewrite.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

QString SaveTemporaryTarget(const QString &name)
{
    // The suffix RandomSuffix makes (QSaveFile's is of the same form).
    static const QRegularExpression temporary(QStringLiteral("^(.+)\\.[A-Za-z0-9]{6}$"));
    const QRegularExpressionMatch m = temporary.match(name);
    return m.hasMatch() ? m.captured(1) : QString();
}

int RemoveStaleSaveTemporaries(const QString &folder, const std::function<bool(const QString &target)> &isTarget,
                               const QDateTime &startedAt)
{
    QDir dir(folder);
    int removed = 0;
    for (const QFileInfo &info : dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
        const QString target = SaveTemporaryTarget(info.fileName());
        if (target.isEmpty() || !isTarget(target) || info.isSymLink() || !info.isFile())
            continue;
        // A save running now (another program's, say) is left alone.
        if (info.lastModified() >= startedAt)
            continue;
        removed += dir.remove(info.fileName()) ? 1 : 0;
    }
    return removed;
}
