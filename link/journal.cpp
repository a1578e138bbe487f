#include "journal.h"

#include "codepage.h"
#include "commandrecord.h"
#include "settingsfile.h"
#include "socketerrors.h"

#include <QDir>
#include <QRegularExpression>
#include <QStringList>

namespace {

const char *const kDayFormat = "yyyy-MM-dd";

QString Reason(const LinkDelivery &link)
{
    switch (link.outcome) {
    case LinkOutcome::NotConnected: return QStringLiteral("not connected");
    case LinkOutcome::Queued: return QStringLiteral("queued");
    case LinkOutcome::Dropped: return QStringLiteral("dropped");
    case LinkOutcome::Failed: return QStringLiteral("failed %1").arg(link.error);
    case LinkOutcome::Lost: return QStringLiteral("lost");
    default: return QString();
    }
}

// "PC2 0/1 (7003 not connected)": links that took the record of those configured.
QString StationText(int s, const StationDelivery &station, bool withProgram)
{
    QString text = QStringLiteral("PC%1 ").arg(s + 1);
    if (withProgram)
        text += QLatin1Char('"') + AnsiToQString(station.program.constData()) + QStringLiteral("\" ");
    text += QStringLiteral("%1/%2").arg(station.Count(LinkOutcome::Taken)).arg(station.Configured());
    QStringList why;
    for (const LinkDelivery &link : station.link)
        if (link.outcome != LinkOutcome::None && link.outcome != LinkOutcome::Taken)
            why << QStringLiteral("%1 %2").arg(link.port).arg(Reason(link));
    if (!why.isEmpty())
        text += QStringLiteral(" (") + why.join(QStringLiteral(", ")) + QLatin1Char(')');
    return text;
}

} // namespace

Journal::Journal(const QString &folder, FlushPolicy policy)
    : m_folder(folder), m_policy(policy)
{
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(FLUSH_DELAY_MS);
    QObject::connect(&m_flushTimer, &QTimer::timeout, &m_flushTimer, [this] { Flush(); });
    RemoveOld(m_folder, QDate::currentDate());
}

Journal::~Journal()
{
    Flush();
}

QString Journal::DefaultFolder()
{
    return QString::fromLatin1(DATA_DIR) + QStringLiteral("/journal");
}

int Journal::RemoveOld(const QString &folder, const QDate &today)
{
    static const QRegularExpression dayFile(QStringLiteral("^(\\d{4}-\\d{2}-\\d{2})\\.txt$"));
    const QDate oldest = today.addDays(-KEEP_DAYS);
    QDir dir(folder);
    int removed = 0;
    for (const QString &name : dir.entryList(QDir::Files)) {
        const QRegularExpressionMatch m = dayFile.match(name);
        if (!m.hasMatch())
            continue;
        const QDate date = QDate::fromString(m.captured(1), QString::fromLatin1(kDayFormat));
        if (date.isValid() && date < oldest && dir.remove(name))
            ++removed;
    }
    return removed;
}

QString Journal::PathFor(const QDate &date) const
{
    return m_folder + QLatin1Char('/') + date.toString(QString::fromLatin1(kDayFormat)) + QStringLiteral(".txt");
}

QString Journal::CommandText(const CommandDelivery &delivery, const QString &origin)
{
    QString text = QString::fromLatin1(CommandName(delivery.code)) + QStringLiteral("  ") + origin;
    const bool run = delivery.code == CMD_RUN || delivery.code == CMD_RUN_INLINE;
    if (delivery.code == CMD_BRIGHTNESS)
        text += QStringLiteral("  %1").arg(delivery.brightness);
    for (int s = 0; s < STATION_COUNT; ++s)
        if (delivery.station[s].meant)
            text += QStringLiteral("  ") + StationText(s, delivery.station[s], run);
    return text;
}

QString Journal::RefusalText(const QString &source, const QString &command, const QString &reason)
{
    return QStringLiteral("refused  %1  %2  %3").arg(source, command, reason);
}

QString Journal::LinkEventText(int linkIndex, LinkEvent event, int error)
{
    const ClientSocket &link = Link(linkIndex);
    QString text = QStringLiteral("link  PC%1 %2:%3  ")
                       .arg(linkIndex / PORTS_PER_STATION + 1)
                       .arg(AnsiToQString(link.Address()))
                       .arg(link.Port());
    switch (event) {
    case LinkEvent::Connected:
        return text + QStringLiteral("connected");
    case LinkEvent::Closed:
        return text + QStringLiteral("closed");
    case LinkEvent::Lost:
        break;
    }
    QString reason;
    if (error == 0)
        reason = QString::fromUtf8(LangIndex() == 1 ? "The station closed the connection." : "Stanice ukončila spojení.");
    else
        reason = QString::fromUtf8(SocketErrorText(error, LangIndex())).trimmed();
    return text + QStringLiteral("lost  %1  %2").arg(error).arg(reason);
}

void Journal::AppendCommand(const CommandDelivery &delivery, const QString &origin)
{
    if (delivery.Built())
        Append(delivery.sentAt.isValid() ? delivery.sentAt : QDateTime::currentDateTime(),
               CommandText(delivery, origin));
}

void Journal::AppendLinkEvent(int linkIndex, LinkEvent event, int error)
{
    Append(QDateTime::currentDateTime(), LinkEventText(linkIndex, event, error));
}

void Journal::AppendRemark(const QString &text)
{
    Append(QDateTime::currentDateTime(), text);
}

void Journal::Append(const QDateTime &when, const QString &text)
{
    if (m_failed || !OpenFor(when.date()))
        return;
    const QByteArray line = (when.time().toString(QStringLiteral("HH:mm:ss.zzz")) + QStringLiteral("  ") + text)
                                .toUtf8()
        + '\n';
    if (m_file.write(line) != line.size()) {
        Fail(m_file.fileName(), m_file.errorString());
        return;
    }
    if (m_policy == FlushPolicy::PerLine)
        Flush();
    else if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

bool Journal::OpenFor(const QDate &date)
{
    if (m_file.isOpen() && date == m_date)
        return true;
    Flush();
    m_file.close();
    const QString path = PathFor(date);
    if (!QDir().mkpath(m_folder)) {
        Fail(path, QString::fromUtf8(LangIndex() == 1 ? "its folder cannot be created" : "nelze vytvořit jeho složku"));
        return false;
    }
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        Fail(path, m_file.errorString());
        return false;
    }
    m_date = date;
    return true;
}

void Journal::Flush()
{
    m_flushTimer.stop();
    if (m_file.isOpen() && !m_file.flush())
        Fail(m_file.fileName(), m_file.errorString());
}

void Journal::Fail(const QString &path, const QString &reason)
{
    if (!m_failed) {
        m_failed = true;
        m_failedPath = path;
        m_failedReason = reason;
    }
    m_flushTimer.stop();
    // The journal stops here; what could not be written is given up.
    m_file.close();
}

QString Journal::FailureText() const
{
    if (!m_failed)
        return QString();
    const char *format = LangIndex() == 1 ? "The journal cannot be written: %1 (%2)" : "Deník nelze zapisovat: %1 (%2)";
    return QString::fromUtf8(format).arg(QDir::toNativeSeparators(m_failedPath), m_failedReason);
}
