#include "codepage.h"

#include <QStringDecoder>

#include <cstring>

#include <array>

namespace {

constexpr const char *kCodePage = "windows-1250";

// The code page is single-byte: both directions become tables, built once
// from the platform converter, so a conversion costs no converter set-up.
struct CodePageTables {
    std::array<char16_t, 256> toUnicode{};
    std::array<unsigned char, 65536> fromUnicode{}; // 0 = not in the code page (but U+0000)

    CodePageTables()
    {
        QByteArray all(256, '\0');
        for (int i = 0; i < 256; ++i)
            all[i] = char(i);
        QStringDecoder dec(kCodePage);
        const QString text = dec.decode(all);
        for (int i = 0; i < 256; ++i) {
            // A byte the converter cannot map decodes to itself, as Latin-1 would.
            const char16_t u = text.size() == 256 ? char16_t(text[i].unicode()) : char16_t(i);
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
