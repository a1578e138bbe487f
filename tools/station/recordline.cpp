#include "recordline.h"

#include "codepage.h"
#include "commandrecord.h"

#include <QStringList>

#include <cstring>

namespace {

// Control characters are shown as \xHH so that one record stays one line.
QString Printable(const QString &text)
{
    QString out;
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

bool AllZero(QByteArrayView bytes)
{
    for (const char b : bytes) {
        if (b != 0)
            return false;
    }
    return true;
}

} // namespace

QString FormatRecordLine(const QDateTime &when, quint16 port, const QString &peer, QByteArrayView record)
{
    CommandRecord rec{};
    std::memcpy(&rec, record.data(), std::min<qsizetype>(record.size(), sizeof rec));
    const QByteArrayView argument(rec.argument, sizeof rec.argument);

    QString line = QStringLiteral("%1  port %2  peer %3  ").arg(when.toString(QStringLiteral("HH:mm:ss.zzz"))).arg(port).arg(peer);
    QStringList notes;
    const char *name = CommandName(rec.code);
    line += name ? QString::fromLatin1(name) : QStringLiteral("UNKNOWN(%1)").arg(rec.code);

    qsizetype used = 0;
    switch (rec.code) {
    case CMD_RUN:
    case CMD_RUN_INLINE: {
        const qsizetype len = argument.indexOf('\0');
        if (len < 0) {
            notes << QStringLiteral("no terminator");
            used = argument.size();
        } else {
            used = len + 1;
        }
        line += QStringLiteral("  \"%1\"").arg(Printable(AnsiToQString(argument.first(len < 0 ? argument.size() : len))));
        break;
    }
    case CMD_BRIGHTNESS: {
        int32_t value = 0;
        std::memcpy(&value, rec.argument, sizeof value);
        used = sizeof value;
        line += QStringLiteral("  %1").arg(value);
        if (value < 0 || value > 100)
            notes << QStringLiteral("brightness out of 0..100");
        break;
    }
    case CMD_STOP:
    case CMD_PLAY:
    case CMD_PAUSE:
        break;
    default:
        line += QStringLiteral("  %1").arg(QString::fromLatin1(argument.toByteArray().toHex(' ')));
        used = argument.size();
        break;
    }
    if (!AllZero(argument.sliced(used)))
        notes << QStringLiteral("non-zero bytes after the argument");
    if (!notes.isEmpty())
        line += QStringLiteral("  [%1]").arg(notes.join(QStringLiteral("; ")));
    return line;
}
