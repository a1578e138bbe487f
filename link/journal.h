#pragma once

// The journal: one UTF-8 line per command sent, per link that came up or
// went down and per command refused, appended to
// PLAXONDATA/journal/YYYY-MM-DD.txt (local date). The program only writes it. Lines go into an open, buffered file; a failure
// stops the journal for this window but never the panel, and the first one
// is kept for the status tooltip.

#include "commanddelivery.h"
#include "connectionmanager.h"

#include <QDate>
#include <QFile>
#include <QString>
#include <QTimer>

class Journal {
public:
    // PerLine hands every line to the system at once; Timer collects lines
    // and hands them over FLUSH_DELAY after the first.
    enum class FlushPolicy { PerLine, Timer };
    static constexpr int FLUSH_DELAY_MS = 200;
    // Day files older than this are removed when the journal starts.
    static constexpr int KEEP_DAYS = 31;

    // folder: where the day files go (created on the first line). Removes the
    // day files older than KEEP_DAYS.
    explicit Journal(const QString &folder = DefaultFolder(), FlushPolicy policy = FlushPolicy::PerLine);
    ~Journal();
    Journal(const Journal &) = delete;
    Journal &operator=(const Journal &) = delete;

    static QString DefaultFolder();
    // Removes the day files of folder dated before today - KEEP_DAYS; other
    // files are left alone. The number removed.
    static int RemoveOld(const QString &folder, const QDate &today);

    // origin: where the command came from ("panel", "http ADDRESS", "osc
    // ADDRESS"), for a launch followed by the button's number and caption.
    void AppendCommand(const CommandDelivery &delivery, const QString &origin);
    void AppendLinkEvent(int linkIndex, LinkEvent event, int error);
    // Any other line, such as a remote command that was refused.
    void AppendRemark(const QString &text);
    // Hands buffered lines to the system now.
    void Flush();

    // The day file of date.
    QString PathFor(const QDate &date) const;
    // True once writing failed; FailureText says where and why, in the
    // operator's language.
    bool Failed() const { return m_failed; }
    QString FailureText() const;

    // The line texts, without time and line end.
    static QString CommandText(const CommandDelivery &delivery, const QString &origin);
    // A command that was not sent: "refused  SOURCE  COMMAND  REASON".
    static QString RefusalText(const QString &source, const QString &command, const QString &reason);
    static QString LinkEventText(int linkIndex, LinkEvent event, int error);

private:
    void Append(const QDateTime &when, const QString &text);
    bool OpenFor(const QDate &date);
    void Fail(const QString &path, const QString &reason);

    QString m_folder;
    FlushPolicy m_policy;
    QFile m_file;
    QDate m_date;
    QTimer m_flushTimer;
    bool m_failed = false;
    QString m_failedPath;
    QString m_failedReason;
};
