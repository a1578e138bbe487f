#pragma once

#include <optional>

// The program's 8-bit code page is windows-1250 on every platform. Every text
// field of the records holds bytes in it; these functions are the only place
// where those bytes meet UTF-16 and UTF-8.
//
// The bounded forms write at most cap - 1 units, always terminate the output
// (when cap > 0), never split a character, and return the units written
// without the terminator.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// windows-1250 bytes to UTF-16.
QString AnsiToQString(QByteArrayView ansi);
// A text field of the records, read no further than its capacity.
template <qsizetype N>
QString FieldToQString(const char (&field)[N])
{
    qsizetype n = 0;
    while (n < N && field[n] != '\0')
        ++n;
    return AnsiToQString(QByteArrayView(field, n));
}
// UTF-16 to windows-1250; a character the code page lacks becomes '?'.
QByteArray QStringToAnsi(QStringView text);
// True when the text converts to windows-1250 and back unchanged.
bool SurvivesAnsi(QStringView text);

// Whether a text can be kept in a record field of fieldSize bytes, its
// terminator included: it must come back from windows-1250 unchanged (a NUL
// inside would cut it) and leave room for the terminator.
enum class AnsiFit { Fits, Unstorable, TooLong };
AnsiFit FitAnsiField(QStringView text, qsizetype fieldSize);

qsizetype AnsiToUtf8(QByteArrayView ansi, char *out, qsizetype cap);
qsizetype Utf8ToAnsi(QByteArrayView utf8, char *out, qsizetype cap);
qsizetype Utf16ToUtf8(QStringView text, char *out, qsizetype cap);
qsizetype Utf8ToUtf16(QByteArrayView utf8, char16_t *out, qsizetype cap);
qsizetype Utf16ToAnsi(QStringView text, char *out, qsizetype cap);
qsizetype AnsiToUtf16(QByteArrayView ansi, char16_t *out, qsizetype cap);

// Decodes bytes of a Windows code page (1250..1258, 874, ...) with the
// system's own converter: Qt's where it has one, else the system's table
// (Windows builds of Qt without ICU know only UTF-8 and Latin-1). Empty
// optional when neither knows the code page.
std::optional<QString> DecodeCodePage(int codePage, QByteArrayView bytes);
