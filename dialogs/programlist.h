#pragma once

// The program browser's list of programs: one process-wide block of 1000
// entries, made once and filled again by every scan, with the Czech collation
// that orders the names. Every browser uses the same list, one at a time.

#include <QCollator>
#include <QString>

#include <array>
#include <cstdint>

// The platform's date-time record, in UTC.
struct ProgramDate {
    uint16_t wYear;
    uint16_t wMonth;
    uint16_t wDayOfWeek; // 0 = Sunday
    uint16_t wDay;
    uint16_t wHour;
    uint16_t wMinute;
    uint16_t wSecond;
    uint16_t wMilliseconds;
};

struct ProgramEntry {
    char16_t name[260];        // the program directory's name
    int32_t folder;            // search results: the folder table entry that prefixes the name; -1 none
    ProgramDate date;          // last write of "program.prg"
    char16_t description[100]; // first line of "program.txt"
};

class ProgramList {
public:
    static constexpr int CAPACITY = 1000;
    static constexpr int DESCRIPTION_MAX = 98;
    static constexpr int SORT_BY_NAME = 0;
    static constexpr int SORT_BY_DATE = 1;

    ProgramList();

    int Count() const { return m_count; }
    const ProgramEntry &At(int index) const { return m_entries[size_t(index)]; }
    QString NameOf(int index) const;
    QString DescriptionOf(int index) const;
    void Clear();

    // Appends the program directories of the directory folderPath (entries
    // with a "program.prg", never "_autorun") until the list is full; with a
    // search text (upper-cased a to z) only those whose upper-cased name
    // contains it. folder is stored with each entry. A program directory that
    // is a link counts only when it leads below resolvedRoot.
    void Scan(const QString &folderPath, int folder, const QString &upperSearch, const QString &resolvedRoot);

    // By name (the Czech collation, case ignored) or by date, newest first,
    // to the minute. Equal entries come out in no defined order.
    void Sort(int key);

    const QCollator &Collator() const { return m_collator; }

    // Letters a to z upper-cased, everything else kept.
    static QString UpperAZ(const QString &text);
    // The first line of a description file, without its line end, at most
    // DESCRIPTION_MAX characters; empty when the file cannot be read.
    static QString FirstLine(const QString &path);
    // The description in the first line of a program.txt's bytes: UTF-8 when
    // valid, else the program's code page, cut to DESCRIPTION_MAX characters.
    static QString DescriptionFromBytes(QByteArray line);

private:
    std::array<ProgramEntry, CAPACITY> m_entries{};
    int m_count = 0;
    QCollator m_collator;
};

// The process-wide list.
ProgramList &TheProgramList();
