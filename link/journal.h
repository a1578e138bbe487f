#pragma once

// The journal: one UTF-8 line per command sent, per link that came up or
// went down and per command refused, appended to
// PLAXONDATA/journal/YYYY-MM-DD.txt (local date). The program only writes it.
//
// It never takes the room a save needs and cannot be flooded: a line is
// bounded and free of control characters, remarks are limited per source
// and second, a day file stops at a cap, and nothing is written while less
// than a reserve is free. A stop is never final: the journal tries again by
// itself, goes on once the reason is gone (space back, folder writable, a new
// day) and says in its first line after how long it paused. A line goes into
// the file whole or not at all.

#include "appendfile.h"
#include "commanddelivery.h"
#include "connectionmanager.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QTimer>

#include <deque>

struct JournalBounds {
    // One day's file stops here, with a last line that says so.
    qint64 dayFileBytes = qint64(64) << 20;
    // Nothing is written while less than this is free where the journal
    // lives: far more than the largest settings file or button set.
    qint64 reserveBytes = qint64(16) << 20;
};

class Journal {
public:
    // PerLine hands every line to the system at once; Timer collects lines
    // and hands them over FLUSH_DELAY after the first.
    enum class FlushPolicy { PerLine, Timer };
    static constexpr int FLUSH_DELAY_MS = 200;
    // Day files older than this are removed when the journal starts and
    // whenever the date changes.
    static constexpr int KEEP_DAYS = 31;
    // A text from outside (an OSC address, an HTTP path, a reason) is cut to
    // this many UTF-8 bytes; a whole line, its end included, to LINE_BYTES.
    static constexpr int OUTSIDE_TEXT_BYTES = 200;
    static constexpr int LINE_BYTES = 512;
    // Remarks written per source and second; the rest are counted and named
    // in one summary line. Past REMARK_SOURCES sources in one second, the
    // others share one allowance.
    static constexpr int REMARKS_PER_SECOND = 10;
    static constexpr int REMARK_SOURCES = 16;
    // While stopped, how often the journal tries again.
    static constexpr int RETRY_MS = 1000;
    // A command's line waits until its records were acknowledged or their
    // links ended, at most SETTLE_MS (past the links' stall bound, which
    // settles them as lost), looked at every SETTLE_POLL_MS; at most
    // UNSETTLED_LINES wait, the oldest is written as it stands beyond that.
    static constexpr int SETTLE_MS = 4000;
    static constexpr int SETTLE_POLL_MS = 50;
    static constexpr size_t UNSETTLED_LINES = 1024;
    // The date is looked at just after midnight, and at least hourly in
    // case the clock was moved.
    static constexpr qint64 DAY_CHECK_MIN_MS = 1000;
    static constexpr qint64 DAY_CHECK_MAX_MS = 3600 * 1000;

    using Bounds = JournalBounds;

    // folder: where the day files go (created on the first line). Removes the
    // day files older than KEEP_DAYS.
    explicit Journal(const QString &folder = DefaultFolder(), FlushPolicy policy = FlushPolicy::PerLine,
                     Bounds bounds = Bounds());
    ~Journal();
    Journal(const Journal &) = delete;
    Journal &operator=(const Journal &) = delete;

    static QString DefaultFolder();
    // Removes the day files of folder dated before today - KEEP_DAYS; other
    // files are left alone. The number removed.
    static int RemoveOld(const QString &folder, const QDate &today);

    // origin: where the command came from ("panel", "http ADDRESS", "osc
    // ADDRESS"), for a launch followed by the button's number and caption.
    // The line is written with the time it was sent, once every record of it
    // was acknowledged or its link ended (within SETTLE_MS).
    void AppendCommand(const CommandDelivery &delivery, const QString &origin);
    void AppendLinkEvent(int linkIndex, LinkEvent event, int error);
    // Any other line, such as a remote command that was refused; source
    // (a sender's address, empty for the panel itself) is what the limit per
    // second counts by.
    void AppendRemark(const QString &text, const QString &source = QString());
    // Hands buffered lines to the system now.
    void Flush();

    // The day file of date.
    QString PathFor(const QDate &date) const;
    // True while the journal is stopped; FailureText says where and why, in
    // the operator's language (empty while it writes).
    bool Failed() const { return m_stop != StopKind::None; }
    QString FailureText() const;
    // Lines not written since the journal stopped.
    qint64 LinesLeftOut() const { return m_leftOut; }

    // text with its control characters escaped (\n, \r, \t, \xHH, \u{HHHH}).
    static QString EscapeControls(const QString &text);
    // A text from outside, escaped and cut to OUTSIDE_TEXT_BYTES.
    static QString OutsideText(const QString &text);

    // The line texts, without time and line end.
    static QString CommandText(const CommandDelivery &delivery, const QString &origin);
    // A command that was not sent: "refused  SOURCE  COMMAND  REASON".
    static QString RefusalText(const QString &source, const QString &command, const QString &reason);
    static QString LinkEventText(int linkIndex, LinkEvent event, int error);

private:
    enum class StopKind { None, Error, LowSpace, DayFull };

    void Append(const QDateTime &when, const QString &text);
    // Writes the waiting command lines that are settled, in order; with
    // oldest, the first one whatever its state.
    void WriteSettled(bool oldest);
    void Write(const QByteArray &lines, int count);
    void ChangeDay(const QDate &date);
    void StartDayTimer();
    bool ReadyToWrite(qint64 bytes);
    bool Reopen();
    void Stop(StopKind kind, const QString &reason = QString());
    void Resume();
    void SummariseRemarks(qint64 second);
    QByteArray Line(const QDateTime &when, const QString &text) const;

    QString m_folder;
    FlushPolicy m_policy;
    Bounds m_bounds;
    AppendFile m_file;
    QDate m_date;
    QByteArray m_pending;
    int m_pendingLines = 0;
    QTimer m_flushTimer;
    QTimer m_retryTimer;
    // A command waiting for its records' fate, with where it came from.
    struct Unsettled {
        CommandDelivery delivery;
        QString origin;
    };
    std::deque<Unsettled> m_unsettled;
    QTimer m_settleTimer;
    QTimer m_dayTimer;

    StopKind m_stop = StopKind::None;
    QString m_stopPath;
    QString m_stopReason;
    QDateTime m_pausedSince; // the first stop of the pause the next line notes
    QDateTime m_lastTry;
    qint64 m_leftOut = 0;
    QString m_resumeNote;

    struct RemarkCount {
        int written = 0;
        qint64 leftOut = 0;
    };
    qint64 m_remarkSecond = 0;
    QHash<QString, RemarkCount> m_remarks;
    QTimer m_summaryTimer;
};
