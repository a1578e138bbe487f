#include "codepage.h"

#include <QStringDecoder>

#if defined(Q_OS_WIN)
#include <windows.h>
#endif

#include <cstring>

#include <array>

namespace {

// windows-1250 from 0x80 up; below that it is ASCII. Kept in the program so
// that no Qt build without this converter can make it write another code page.
// The five bytes the code page leaves unassigned map to the same code point,
// as the platform's own conversion does.
constexpr std::array<char16_t, 128> kUpperHalf = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021,
    0x0088, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

constexpr int kAsciiEnd = 128;

// Both directions as tables, so a conversion costs one look-up a character.
struct CodePageTables {
    std::array<char16_t, 256> toUnicode{};
    std::array<unsigned char, 65536> fromUnicode{}; // 0 = not in the code page (but U+0000)

    CodePageTables()
    {
        for (int i = 0; i < 256; ++i) {
            const char16_t u = i < kAsciiEnd ? char16_t(i) : kUpperHalf[size_t(i - kAsciiEnd)];
            toUnicode[size_t(i)] = u;
            if (i != 0 && fromUnicode[u] == 0)
                fromUnicode[u] = static_cast<unsigned char>(i);
        }
    }
};

const CodePageTables &Tables()
{
    static const CodePageTables tables;
    return tables;
}

template <typename Unit>
qsizetype CopyBounded(const Unit *src, qsizetype len, Unit *out, qsizetype cap)
{
    if (cap <= 0)
        return 0;
    const qsizetype n = std::min(len, cap - 1);
    if (n > 0)
        std::memcpy(out, src, size_t(n) * sizeof(Unit));
    out[n] = 0;
    return n;
}

qsizetype CopyUtf16Bounded(QStringView text, char16_t *out, qsizetype cap)
{
    if (cap <= 0)
        return 0;
    qsizetype n = std::min(text.size(), cap - 1);
    if (n > 0 && n < text.size() && text[n - 1].isHighSurrogate() && text[n].isLowSurrogate())
        --n;
    return CopyBounded(reinterpret_cast<const char16_t *>(text.utf16()), n, out, cap);
}

} // namespace

QString AnsiToQString(QByteArrayView ansi)
{
    const auto &t = Tables().toUnicode;
    QString out(ansi.size(), Qt::Uninitialized);
    char16_t *o = reinterpret_cast<char16_t *>(out.data());
    for (qsizetype i = 0; i < ansi.size(); ++i)
        o[i] = t[static_cast<unsigned char>(ansi[i])];
    return out;
}

QByteArray QStringToAnsi(QStringView text)
{
    const auto &t = Tables().fromUnicode;
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i; // a character outside the basic plane: one '?'
            out += '?';
        } else if (u == 0) {
            out += '\0';
        } else {
            out += t[u] ? char(t[u]) : '?';
        }
    }
    return out;
}

bool SurvivesAnsi(QStringView text)
{
    return AnsiToQString(QStringToAnsi(text)) == text;
}

AnsiFit FitAnsiField(QStringView text, qsizetype fieldSize)
{
    if (!SurvivesAnsi(text) || text.contains(QChar(u'\0')))
        return AnsiFit::Unstorable;
    // One byte per character in this code page.
    return QStringToAnsi(text).size() < fieldSize ? AnsiFit::Fits : AnsiFit::TooLong;
}

qsizetype AnsiToUtf8(QByteArrayView ansi, char *out, qsizetype cap)
{
    return Utf16ToUtf8(AnsiToQString(ansi), out, cap);
}

qsizetype Utf8ToAnsi(QByteArrayView utf8, char *out, qsizetype cap)
{
    return Utf16ToAnsi(QString::fromUtf8(utf8), out, cap);
}

qsizetype Utf16ToUtf8(QStringView text, char *out, qsizetype cap)
{
    if (cap <= 0)
        return 0;
    const QByteArray b = text.toUtf8();
    qsizetype n = b.size();
    if (n > cap - 1) {
        // Qt's UTF-8 is well formed: back up to the lead byte of a cut character.
        n = cap - 1;
        while (n > 0 && (static_cast<unsigned char>(b[n]) & 0xC0) == 0x80)
            --n;
    }
    return CopyBounded(b.constData(), n, out, cap);
}

qsizetype Utf8ToUtf16(QByteArrayView utf8, char16_t *out, qsizetype cap)
{
    return CopyUtf16Bounded(QString::fromUtf8(utf8), out, cap);
}

qsizetype Utf16ToAnsi(QStringView text, char *out, qsizetype cap)
{
    const QByteArray b = QStringToAnsi(text);
    return CopyBounded(b.constData(), b.size(), out, cap);
}

qsizetype AnsiToUtf16(QByteArrayView ansi, char16_t *out, qsizetype cap)
{
    return CopyUtf16Bounded(AnsiToQString(ansi), out, cap);
}

std::optional<QString> DecodeCodePage(int codePage, QByteArrayView bytes)
{
    const QByteArray name = codePage == 65001 ? QByteArray("UTF-8")
                                              : (codePage >= 1250 && codePage <= 1258) || codePage == 874
                                                    ? "windows-" + QByteArray::number(codePage)
                                                    : "CP" + QByteArray::number(codePage);
    QStringDecoder decoder(name.constData());
    if (decoder.isValid())
        return decoder.decode(bytes);
#if defined(Q_OS_WIN)
    if (bytes.isEmpty())
        return QString();
    const int n = MultiByteToWideChar(UINT(codePage), 0, bytes.data(), int(bytes.size()), nullptr, 0);
    if (n > 0) {
        QString text(n, Qt::Uninitialized);
        MultiByteToWideChar(UINT(codePage), 0, bytes.data(), int(bytes.size()), reinterpret_cast<wchar_t *>(text.data()), n);
        return text;
    }
#endif
    return std::nullopt;
}
