#include "programlist.h"

#include "codepage.h"
#include "foldertable.h"
#include "regularfile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>

namespace {

template <size_t N>
void CopyField(char16_t (&field)[N], const QString &text)
{
    qsizetype n = std::min<qsizetype>(text.size(), qsizetype(N) - 1);
    if (n > 0 && n < text.size() && text[n - 1].isHighSurrogate())
        --n;
    std::memcpy(field, text.utf16(), size_t(n) * sizeof(char16_t));
    field[n] = u'\0';
}

template <size_t N>
QStringView FieldView(const char16_t (&field)[N])
{
    size_t n = 0;
    while (n < N && field[n])
        ++n;
    return QStringView(field, qsizetype(n));
}

ProgramDate ToProgramDate(const QDateTime &utc)
{
    if (!utc.isValid())
        return {};
    const QDate d = utc.date();
    const QTime t = utc.time();
    return ProgramDate{uint16_t(d.year()), uint16_t(d.month()), uint16_t(d.dayOfWeek() % 7), uint16_t(d.day()),
                       uint16_t(t.hour()), uint16_t(t.minute()), uint16_t(t.second()), uint16_t(t.msec())};
}

bool NewerToTheMinute(const ProgramDate &a, const ProgramDate &b)
{
    const auto key = [](const ProgramDate &d) {
        return std::make_tuple(d.wYear, d.wMonth, d.wDay, d.wHour, d.wMinute);
    };
    return key(a) > key(b);
}

} // namespace

ProgramList::ProgramList() : m_collator(QLocale(QLocale::Czech))
{
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    m_collator.setNumericMode(false);
    m_collator.setIgnorePunctuation(false); // hyphens and apostrophes count
}

ProgramList &TheProgramList()
{
    static ProgramList list;
    return list;
}

QString ProgramList::NameOf(int index) const
{
    return FieldView(At(index).name).toString();
}

QString ProgramList::DescriptionOf(int index) const
{
    return FieldView(At(index).description).toString();
}

void ProgramList::Clear()
{
    std::memset(static_cast<void *>(m_entries.data()), 0, sizeof m_entries);
    m_count = 0;
}

QString ProgramList::UpperAZ(const QString &text)
{
    QString out = text;
    for (QChar &c : out)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    return out;
}

QString ProgramList::FirstLine(const QString &path)
{
    // Enough bytes for the kept characters in any encoding.
    const std::optional<QByteArray> head = ReadRegularFile(path, 4 * DESCRIPTION_MAX + 8);
    return head ? DescriptionFromBytes(*head) : QString();
}

QString ProgramList::DescriptionFromBytes(QByteArray line)
{
    if (const qsizetype eol = line.indexOf('\n'); eol >= 0)
        line.truncate(eol);
    if (line.endsWith('\r'))
        line.chop(1);
    // Descriptions are written as UTF-8 or in the program's code page.
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(line);
    if (utf8.hasError())
        text = AnsiToQString(line);
    qsizetype n = std::min<qsizetype>(text.size(), DESCRIPTION_MAX);
    if (n > 0 && n < text.size() && text[n - 1].isHighSurrogate())
        --n;
    return text.left(n);
}

void ProgramList::Scan(const QString &folderPath, int folder, const QString &upperSearch, const QString &resolvedRoot)
{
    const QFileInfoList entries = QDir(folderPath).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                                                                 QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo &entry : entries) {
        if (m_count >= CAPACITY)
            return;
        const QString name = entry.fileName();
        // A backslash inside a name could not be told from the separator
        // of the program names the stations take.
        if (name == QLatin1String("_autorun") || name.contains(QLatin1Char('\\')))
            continue;
        if (!upperSearch.isEmpty() && !UpperAZ(name).contains(upperSearch))
            continue;
        // Nothing outside the programs folder is looked at, not even a date.
        if (FolderTable::IsLink(entry) && FolderTable::TargetInside(entry, resolvedRoot).isEmpty())
            continue;
        const QString dir = folderPath + QLatin1Char('/') + name;
        const QFileInfo prg(dir + QStringLiteral("/program.prg"));
        if (!prg.exists() && !prg.isSymLink())
            continue;
        ProgramEntry &e = m_entries[size_t(m_count)];
        std::memset(static_cast<void *>(&e), 0, sizeof e);
        CopyField(e.name, name);
        e.folder = folder;
        e.date = ToProgramDate(prg.lastModified().toUTC());
        CopyField(e.description, FirstLine(dir + QStringLiteral("/program.txt")));
        ++m_count;
    }
}

void ProgramList::Sort(int key)
{
    const auto begin = m_entries.begin();
    const auto end = begin + m_count;
    if (key == SORT_BY_DATE) {
        std::sort(begin, end, [](const ProgramEntry &a, const ProgramEntry &b) { return NewerToTheMinute(a.date, b.date); });
        return;
    }
    // The names are directory names: the part after the last backslash.
    std::sort(begin, end, [this](const ProgramEntry &a, const ProgramEntry &b) {
        return m_collator.compare(FieldView(a.name), FieldView(b.name)) < 0;
    });
}
