#include "journal.h"

#include "codepage.h"
#include "commandrecord.h"
#include "settingsfile.h"
#include "socketerrors.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <chrono>

namespace {

const char *const kDayFormat = "yyyy-MM-dd";

QString Reason(const LinkDelivery &link)
{
    switch (link.outcome) {
    case LinkOutcome::NotConnected: return QStringLiteral("not connected");
    case LinkOutcome::InFlight: return QStringLiteral("in flight");
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

Journal::Journal(const QString &folder, FlushPolicy policy, Bounds bounds)
    : m_folder(folder), m_policy(policy), m_bounds(bounds)
{
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(FLUSH_DELAY_MS);
    QObject::connect(&m_flushTimer, &QTimer::timeout, &m_flushTimer, [this] { Flush(); });
    // A stopped journal looks again by itself, so it resumes (and the
    // tooltip stops naming the reason) without waiting for a line.
    m_retryTimer.setInterval(RETRY_MS);
    QObject::connect(&m_retryTimer, &QTimer::timeout, &m_retryTimer, [this] {
        const QDateTime now = QDateTime::currentDateTime();
        if (now.date() != m_date)
            ChangeDay(now.date());
        if (m_stop != StopKind::None && m_stop != StopKind::DayFull && ReadyToWrite(0))
            Resume();
        if (!m_resumeNote.isEmpty())
            Write(QByteArray(), 0);
    });
    m_summaryTimer.setSingleShot(true);
    m_summaryTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_summaryTimer, &QTimer::timeout, &m_summaryTimer, [this] {
        const QDateTime now = QDateTime::currentDateTime();
        // A timer may wake a little early: the summary waits for its second to end.
        if (now.toSecsSinceEpoch() == m_remarkSecond)
            m_summaryTimer.start(int(1000 - now.time().msec()) + 1);
        else
            SummariseRemarks(now.toSecsSinceEpoch());
    });
    m_settleTimer.setInterval(SETTLE_POLL_MS);
    QObject::connect(&m_settleTimer, &QTimer::timeout, &m_settleTimer, [this] { WriteSettled(false); });
    m_date = QDate::currentDate();
    RemoveOld(m_folder, m_date);
    // The date change prunes and ends a full day even when no line comes.
    m_dayTimer.setSingleShot(true);
    QObject::connect(&m_dayTimer, &QTimer::timeout, &m_dayTimer, [this] {
        if (QDate::currentDate() > m_date) {
            Flush();
            ChangeDay(QDate::currentDate());
        }
        StartDayTimer();
    });
    StartDayTimer();
}

void Journal::StartDayTimer()
{
    const QDateTime now = QDateTime::currentDateTime();
    const qint64 untilMidnight = now.msecsTo(QDateTime(now.date().addDays(1), QTime(0, 0)));
    m_dayTimer.start(int(qBound<qint64>(DAY_CHECK_MIN_MS, untilMidnight + DAY_CHECK_MIN_MS, DAY_CHECK_MAX_MS)));
}

Journal::~Journal()
{
    while (!m_unsettled.empty())
        WriteSettled(true);
    SummariseRemarks(m_remarkSecond + 1);
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
    // The journal never writes through a linked folder, nor removes through one.
    if (QFileInfo(folder).isSymLink())
        return 0;
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
    case LinkEvent::Stalled:
        return text
            + QStringLiteral("not taking records  ")
            + QString::fromUtf8(LangIndex() == 1 ? "A record was not acknowledged within %1 s; the connection starts afresh."
                                                 : "Stanice nepotvrdila záznam do %1 s; spojení se naváže znovu.")
                  .arg(std::chrono::duration_cast<std::chrono::seconds>(ClientSocket::STALL_BOUND).count());
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
    if (!delivery.Built())
        return;
    // A line says what became of the record, so it waits, in order, until
    // the stations' machines acknowledged it or its links ended.
    m_unsettled.push_back({delivery, origin});
    if (m_unsettled.size() > UNSETTLED_LINES)
        WriteSettled(true);
    WriteSettled(false);
}

void Journal::WriteSettled(bool oldest)
{
    const QDateTime now = QDateTime::currentDateTime();
    while (!m_unsettled.empty()) {
        const CommandDelivery &first = m_unsettled.front().delivery;
        const CommandDelivery current = first.Current();
        const QDateTime sent = first.sentAt.isValid() ? first.sentAt : now;
        if (!oldest && !current.Settled() && sent.msecsTo(now) < SETTLE_MS)
            break;
        oldest = false;
        Append(sent, CommandText(current, m_unsettled.front().origin));
        m_unsettled.pop_front();
    }
    if (m_unsettled.empty())
        m_settleTimer.stop();
    else if (!m_settleTimer.isActive())
        m_settleTimer.start();
}

void Journal::AppendLinkEvent(int linkIndex, LinkEvent event, int error)
{
    Append(QDateTime::currentDateTime(), LinkEventText(linkIndex, event, error));
}

void Journal::AppendRemark(const QString &text, const QString &source)
{
    const QDateTime now = QDateTime::currentDateTime();
    const qint64 second = now.toSecsSinceEpoch();
    if (second != m_remarkSecond)
        SummariseRemarks(second);
    // A flood of made-up senders must not grow the table: past the bound,
    // the others count together.
    QString key = source.isEmpty() ? QStringLiteral("panel") : OutsideText(source);
    if (!m_remarks.contains(key) && m_remarks.size() >= REMARK_SOURCES)
        key = QStringLiteral("other senders");
    RemarkCount &count = m_remarks[key];
    if (count.written >= REMARKS_PER_SECOND) {
        ++count.leftOut;
        if (!m_summaryTimer.isActive())
            m_summaryTimer.start(int(1000 - now.time().msec()) + 1);
        return;
    }
    ++count.written;
    Append(now, text);
}

void Journal::SummariseRemarks(qint64 second)
{
    const qint64 was = m_remarkSecond;
    m_remarkSecond = second;
    if (second == was)
        return;
    const QString at = QDateTime::fromSecsSinceEpoch(was).time().toString(QStringLiteral("HH:mm:ss"));
    for (auto it = m_remarks.cbegin(); it != m_remarks.cend(); ++it)
        if (it->leftOut > 0)
            Append(QDateTime::currentDateTime(),
                   QStringLiteral("journal  %1  %2 more remarks in the second from %3 left out")
                       .arg(it.key())
                       .arg(it->leftOut)
                       .arg(at));
    m_remarks.clear();
}

QString Journal::EscapeControls(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x20 && u != 0x7f && !(u >= 0x80 && u < 0xa0) && u != 0x2028 && u != 0x2029) {
            out += c;
            continue;
        }
        switch (u) {
        case '\n': out += QStringLiteral("\\n"); break;
        case '\r': out += QStringLiteral("\\r"); break;
        case '\t': out += QStringLiteral("\\t"); break;
        default:
            out += u < 0x100 ? QStringLiteral("\\x%1").arg(uint(u), 2, 16, QLatin1Char('0'))
                             : QStringLiteral("\\u{%1}").arg(uint(u), 4, 16, QLatin1Char('0'));
        }
    }
    return out;
}

namespace {

// The longest start of text whose UTF-8 form has at most bytes bytes, with
// a mark where it was cut.
QString CutToBytes(const QString &text, qsizetype bytes)
{
    static const QString mark = QStringLiteral("[...]");
    if (text.toUtf8().size() <= bytes)
        return text;
    const qsizetype room = bytes - mark.size();
    qsizetype used = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype width = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const qsizetype size = text.mid(i, width).toUtf8().size();
        if (used + size > room)
            break;
        used += size;
        i += width;
    }
    return text.left(i) + mark;
}

} // namespace

QString Journal::OutsideText(const QString &text)
{
    return CutToBytes(EscapeControls(text), OUTSIDE_TEXT_BYTES);
}

QByteArray Journal::Line(const QDateTime &when, const QString &text) const
{
    const QString line = when.time().toString(QStringLiteral("HH:mm:ss.zzz")) + QStringLiteral("  ")
        + EscapeControls(text);
    return CutToBytes(line, LINE_BYTES - 1).toUtf8() + '\n';
}

void Journal::Append(const QDateTime &when, const QString &text)
{
    // A line that waited for its acknowledgement over midnight goes into the new day's file.
    if (when.date() > m_date) {
        Flush();
        ChangeDay(when.date());
    }
    m_pending += Line(when, text);
    ++m_pendingLines;
    if (m_policy == FlushPolicy::PerLine || m_pending.size() >= LINE_BYTES * 128)
        Flush();
    else if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void Journal::ChangeDay(const QDate &date)
{
    m_file.Close();
    m_date = date;
    RemoveOld(m_folder, date);
    // A full day file stops only its own day.
    if (m_stop == StopKind::DayFull)
        Resume();
}

void Journal::Flush()
{
    m_flushTimer.stop();
    if (m_pendingLines == 0 && m_resumeNote.isEmpty())
        return;
    const QByteArray lines = m_pending;
    const int count = m_pendingLines;
    m_pending.clear();
    m_pendingLines = 0;
    Write(lines, count);
}

void Journal::Write(const QByteArray &lines, int count)
{
    if (m_stop != StopKind::None) {
        // Tried again at most every RETRY_MS, so a flood costs no more.
        const bool retry = m_stop != StopKind::DayFull && m_lastTry.msecsTo(QDateTime::currentDateTime()) >= RETRY_MS;
        if (!retry || !ReadyToWrite(lines.size())) {
            m_leftOut += count;
            return;
        }
        Resume();
    }
    QByteArray out = lines;
    int outCount = count;
    if (!m_resumeNote.isEmpty()) {
        out.prepend(Line(QDateTime::currentDateTime(), m_resumeNote));
        ++outCount;
    }
    if (!ReadyToWrite(out.size())) {
        m_leftOut += count;
        return;
    }
    const qint64 size = m_file.Size();
    QByteArray last;
    int dropped = 0;
    if (size >= 0 && size + out.size() > m_bounds.dayFileBytes - LINE_BYTES) {
        // What fits goes in, in whole lines, then the line that ends the day.
        const qsizetype room = qMax<qint64>(0, m_bounds.dayFileBytes - LINE_BYTES - size);
        const qsizetype cut = room > 0 ? out.lastIndexOf('\n', room - 1) + 1 : 0;
        const int kept = int(out.left(cut).count('\n'));
        dropped = outCount - kept;
        out.truncate(cut);
        last = Line(QDateTime::currentDateTime(),
                    QStringLiteral("journal  this day file reached %1 bytes: nothing more is written to it today")
                        .arg(m_bounds.dayFileBytes));
    }
    if (const int rc = m_file.Append(out + last)) {
        m_leftOut += count;
        Stop(StopKind::Error, AppendFile::ErrorText(rc));
        return;
    }
    // The pause the note told of is over.
    m_resumeNote.clear();
    m_pausedSince = QDateTime();
    m_leftOut = 0;
    if (!last.isEmpty()) {
        Stop(StopKind::DayFull);
        m_leftOut += dropped;
    }
}

bool Journal::ReadyToWrite(qint64 bytes)
{
    if (m_stop == StopKind::DayFull)
        return false;
    if (!m_file.IsOpen() || !m_file.StillInPlace()) {
        if (!Reopen())
            return false;
    }
    const qint64 free = m_file.FreeBytes();
    if (free >= 0 && free - bytes < m_bounds.reserveBytes) {
        Stop(StopKind::LowSpace);
        return false;
    }
    return true;
}

bool Journal::Reopen()
{
    m_file.Close();
    if (const int rc = MakeFixedModeFolder(m_folder)) {
        Stop(StopKind::Error,
             QString::fromUtf8(LangIndex() == 1 ? "its folder cannot be created" : "nelze vytvořit jeho složku")
                 + QStringLiteral(": ") + AppendFile::ErrorText(rc));
        return false;
    }
    if (const int rc = m_file.Open(m_folder, PathFor(m_date).section(QLatin1Char('/'), -1))) {
        Stop(StopKind::Error, AppendFile::ErrorText(rc));
        return false;
    }
    return true;
}

void Journal::Stop(StopKind kind, const QString &reason)
{
    const QDateTime now = QDateTime::currentDateTime();
    // A stop before the last pause was noted continues that pause.
    if (m_stop == StopKind::None && m_resumeNote.isEmpty()) {
        m_pausedSince = now;
        m_leftOut = 0;
    }
    m_resumeNote.clear();
    m_stop = kind;
    m_stopPath = PathFor(m_date);
    m_stopReason = reason;
    m_lastTry = now;
    m_file.Close();
    m_retryTimer.start();
}

void Journal::Resume()
{
    const QString why = m_stop == StopKind::LowSpace ? QStringLiteral("less than %1 bytes free").arg(m_bounds.reserveBytes)
        : m_stop == StopKind::DayFull                ? QStringLiteral("the day file was full")
                                                     : m_stopReason;
    m_resumeNote = QStringLiteral("journal  resumed: paused since %1 (%2), %3 lines left out")
                       .arg(m_pausedSince.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), why)
                       .arg(m_leftOut);
    m_stop = StopKind::None;
    m_retryTimer.stop();
}

QString Journal::FailureText() const
{
    const QString where = QDir::toNativeSeparators(m_stopPath);
    const bool english = LangIndex() == 1;
    switch (m_stop) {
    case StopKind::None:
        return QString();
    case StopKind::LowSpace:
        return QString::fromUtf8(english ? "The journal is paused: less than %1 MiB is free where it is kept (%2)"
                                         : "Deník je pozastaven: v místě, kde je uložen, zbývá méně než %1 MiB (%2)")
            .arg(m_bounds.reserveBytes >> 20)
            .arg(where);
    case StopKind::DayFull:
        return QString::fromUtf8(english ? "The journal is paused until tomorrow: today's file reached %1 MiB (%2)"
                                         : "Deník je pozastaven do zítřka: dnešní soubor dosáhl %1 MiB (%2)")
            .arg(m_bounds.dayFileBytes >> 20)
            .arg(where);
    case StopKind::Error:
        break;
    }
    const char *format = english ? "The journal cannot be written: %1 (%2)" : "Deník nelze zapisovat: %1 (%2)";
    return QString::fromUtf8(format).arg(where, m_stopReason);
}
