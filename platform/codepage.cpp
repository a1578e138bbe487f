#include "codepage.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <cstring>

namespace {

constexpr const char *kCodePage = "windows-1250";
constexpr char kSubstitute = 0x1A; // what the converter writes for a missing character

qsizetype CodePointCount(QStringView text)
{
    qsizetype n = 0;
    for (qsizetype i = 0; i < text.size(); ++i, ++n) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
    }
    return n;
}

QByteArray EncodeOne(QStringView cp)
{
    QStringEncoder enc(kCodePage);
    QByteArray b = enc.encode(cp);
    if (b.size() != 1 || (b[0] == kSubstitute && cp != u"\x1A"))
        return QByteArrayLiteral("?");
    return b;
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
    QStringDecoder dec(kCodePage);
    return dec.decode(ansi);
}

QByteArray QStringToAnsi(QStringView text)
{
    QStringEncoder enc(kCodePage);
    QByteArray out = enc.encode(text);
    // windows-1250 is single-byte, so output byte i belongs to code point i;
    // where that holds, substitutions can be put right in place.
    if (out.size() == CodePointCount(text)) {
        qsizetype pos = 0;
        for (qsizetype i = 0; i < text.size(); ++i, ++pos) {
            const bool pair = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
            if (out[pos] == kSubstitute && text[i] != QChar(0x1A))
                out[pos] = '?';
            if (pair)
                ++i;
        }
        return out;
    }
    out.clear();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype len = (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ? 2 : 1;
        out += EncodeOne(text.mid(i, len));
        i += len - 1;
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
