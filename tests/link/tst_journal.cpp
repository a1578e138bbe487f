// The journal's own rules on real files: day files, what is removed at
// start, the two ways of handing lines to the system, and failures.

#include "commandrecord.h"
#include "journal.h"
#include "linktestsupport.h"
#include "testfiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

CommandDelivery Stop()
{
    CommandDelivery d;
    d.code = CMD_STOP;
    d.sentAt = QDateTime::currentDateTime();
    d.station[0].meant = true;
    d.station[0].link[0] = {LinkOutcome::Taken, 0, 700, 0, 0};
    d.station[0].link[1] = {LinkOutcome::Dropped, 10035, 701, 0, 0};
    d.station[0].link[2] = {LinkOutcome::NotConnected, 0, 702, 0, 0};
    return d;
}

} // namespace

class TestJournal : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        ClearConfiguration();
        QVERIFY(m_dir.isValid());
    }

    // Day files dated more than 31 days back go; the 31st day back and
    // anything not named like a day file stay.
    void oldDayFilesAreRemovedAtStart()
    {
        const QString folder = m_dir.filePath(QStringLiteral("old"));
        QVERIFY(QDir().mkpath(folder));
        const QDate today = QDate::currentDate();
        const auto day = [&](int back) {
            return folder + QLatin1Char('/') + today.addDays(-back).toString(Qt::ISODate) + QStringLiteral(".txt");
        };
        for (int back : {0, 31, 32, 400})
            QVERIFY(WriteAll(day(back), "x\n"));
        for (const char *other : {"notes.txt", "2020-01-01.txt.bak", "2020-13-45.txt"})
            QVERIFY(WriteAll(folder + QLatin1Char('/') + QLatin1String(other), "x\n"));
        {
            Journal journal(folder);
        }
        QVERIFY(QFile::exists(day(0)));
        QVERIFY(QFile::exists(day(31)));
        QVERIFY(!QFile::exists(day(32)));
        QVERIFY(!QFile::exists(day(400)));
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 5);
    }

    // Per line, the line is in the file as soon as Append returns; on the
    // timer, it arrives within the delay (or at Flush) and not before.
    void linesReachTheFile_data()
    {
        QTest::addColumn<bool>("perLine");
        QTest::newRow("per line") << true;
        QTest::newRow("timer") << false;
    }
    void linesReachTheFile()
    {
        QFETCH(bool, perLine);
        const QString folder = m_dir.filePath(perLine ? QStringLiteral("a/line") : QStringLiteral("a/timer"));
        Journal journal(folder, perLine ? Journal::FlushPolicy::PerLine : Journal::FlushPolicy::Timer);
        const QString path = journal.PathFor(QDate::currentDate());
        journal.AppendCommand(Stop(), QStringLiteral("panel"));
        journal.AppendCommand(CommandDelivery{}, QStringLiteral("panel")); // nothing built: nothing written
        if (!perLine)
            QCOMPARE(QFileInfo(path).size(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(path).size() > 0, 2 * Journal::FLUSH_DELAY_MS + 1000);
        const QByteArray text = ReadAll(path);
        QCOMPARE(text.count('\n'), 1);
        QVERIFY(text.endsWith("  CMD_STOP  panel  PC1 1/3 (701 dropped, 702 not connected)\n"));
        QCOMPARE(text.indexOf("  CMD_STOP"), 12); // HH:MM:SS.mmm
        QVERIFY(!journal.Failed());
    }

    void commandTexts()
    {
        CommandDelivery run;
        run.code = CMD_RUN_INLINE;
        run.station[1].meant = true;
        run.station[1].program = "Show\\\xE8\xE1st 1"; // windows-1250 bytes, written as UTF-8
        run.station[1].link[0] = {LinkOutcome::Queued, 0, 7003, 1, 208};
        run.station[1].link[1] = {LinkOutcome::Failed, 10054, 7004, 0, 0};
        // The source and, for a launch, the button follow the command's name.
        QCOMPARE(Journal::CommandText(run, QString::fromUtf8("osc 127.0.0.1:9000  button 7 \"Část\"")),
                 QString::fromUtf8("CMD_RUN_INLINE  osc 127.0.0.1:9000  button 7 \"Část\"  "
                                   "PC2 \"Show\\část 1\" 0/2 (7003 queued, 7004 failed 10054)"));
        CommandDelivery bright;
        bright.code = CMD_BRIGHTNESS;
        bright.brightness = 70;
        bright.station[3].meant = true; // ticked, but without a configured link
        QCOMPARE(Journal::CommandText(bright, QStringLiteral("http 10.0.0.2:50122")),
                 QStringLiteral("CMD_BRIGHTNESS  http 10.0.0.2:50122  70  PC4 0/0"));
        QCOMPARE(Journal::RefusalText(QStringLiteral("panel"), QStringLiteral("launch 5 \"Finale\""),
                                      QStringLiteral("no station is connected")),
                 QStringLiteral("refused  panel  launch 5 \"Finale\"  no station is connected"));
        CommandDelivery flight;
        flight.code = CMD_PLAY;
        flight.station[0].meant = true;
        flight.station[0].link[0] = {LinkOutcome::InFlight, 0, 7001, 0, 0};
        flight.station[0].link[1] = {LinkOutcome::Lost, 0, 7002, 0, 0};
        QCOMPARE(Journal::CommandText(flight, QStringLiteral("panel")), QStringLiteral("CMD_PLAY  panel  PC1 0/2 (7001 in flight, 7002 lost)"));
        g_Settings.LANG = 1;
        QVERIFY(Journal::LinkEventText(0, LinkEvent::Stalled, 0)
                    .endsWith(QStringLiteral("not taking records  A record was not acknowledged within 3 s; the "
                                             "connection starts afresh.")));
    }

    // A folder that cannot be made: nothing is written, the first failure is
    // kept in the operator's language, and appends go on returning at once.
    void unwritableFolder()
    {
        const QString blocker = m_dir.filePath(QStringLiteral("blocked"));
        QVERIFY(WriteAll(blocker, "a file, not a folder"));
        Journal journal(blocker);
        QVERIFY(!journal.Failed());
        journal.AppendCommand(Stop(), QStringLiteral("panel"));
        QVERIFY(journal.Failed());
        g_Settings.LANG = 1;
        QVERIFY2(journal.FailureText().startsWith(QStringLiteral("The journal cannot be written: ")),
                 qPrintable(journal.FailureText()));
        QVERIFY(journal.FailureText().contains(QDir::toNativeSeparators(blocker)));
        g_Settings.LANG = 0;
        QVERIFY(journal.FailureText().startsWith(QString::fromUtf8("Deník nelze zapisovat: ")));
        journal.AppendLinkEvent(0, LinkEvent::Connected, 0);
        QCOMPARE(ReadAll(blocker), QByteArray("a file, not a folder"));
    }

    // What a sender puts in a remark can neither start a line of its own nor
    // make one longer than the bound: control characters are escaped, a
    // long text is cut, whatever bytes it holds.
    void outsideTextIsBoundedAndEscaped_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("forged line") << QStringLiteral("osc  /x\n12:00:00.000  CMD_RUN  PC1 \"evil\" 1/1\r");
        QTest::newRow("escape sequence") << QStringLiteral("osc  \x1b[2J\x1b]0;title\x07 \u0085 \u2028");
        QTest::newRow("65000 high bytes") << QString(65000, QChar(0xe9));
        QTest::newRow("65000 newlines") << QString(65000, QLatin1Char('\n'));
    }
    void outsideTextIsBoundedAndEscaped()
    {
        QFETCH(QString, text);
        const QString folder = m_dir.filePath(QStringLiteral("escape/") + QString::fromLatin1(QTest::currentDataTag()));
        Journal journal(folder);
        journal.AppendRemark(QStringLiteral("remark  ") + Journal::OutsideText(text), QStringLiteral("192.0.2.1"));
        journal.AppendRemark(QStringLiteral("whole  ") + text, QStringLiteral("192.0.2.1"));
        const QByteArray written = ReadAll(journal.PathFor(QDate::currentDate()));
        QCOMPARE(written.count('\n'), 2);
        for (const QByteArray &line : written.split('\n')) {
            QVERIFY2(line.size() < Journal::LINE_BYTES, qPrintable(QString::number(line.size())));
            for (const char c : line)
                QVERIFY2(uchar(c) >= 0x20 && c != 0x7f, line.left(80).constData());
        }
        const QString first = QString::fromUtf8(written.left(written.indexOf('\n')));
        QVERIFY(first.section(QStringLiteral("remark  "), 1).toUtf8().size() <= Journal::OUTSIDE_TEXT_BYTES);
        // No C1 control or line separator survives the decoding either.
        for (const QChar c : QString::fromUtf8(written))
            QVERIFY(c != QChar(0x85) && c != QChar(0x2028) && c != QChar(0x1b));
    }

    // A flood of remarks from one sender writes at most the allowance per
    // second and one summary naming the rest; another sender still gets its
    // own; the panel's lines are never counted against them.
    void remarksAreLimitedPerSource()
    {
        const QString folder = m_dir.filePath(QStringLiteral("flood"));
        Journal journal(folder);
        constexpr int kFlood = 5000;
        for (int i = 0; i < kFlood; ++i)
            journal.AppendRemark(QStringLiteral("osc  flood %1").arg(i), QStringLiteral("192.0.2.1"));
        journal.AppendRemark(QStringLiteral("osc  quiet sender"), QStringLiteral("192.0.2.2"));
        journal.AppendCommand(Stop(), QStringLiteral("panel"));
        const QString path = journal.PathFor(QDate::currentDate());
        // The summary comes once the second is over, with nothing else to wake it.
        QTRY_VERIFY_WITH_TIMEOUT(ReadAll(path).contains("left out"), 3000);
        const QByteArray text = ReadAll(path);
        const qsizetype floodLines = text.count("osc  flood ");
        QVERIFY2(floodLines >= Journal::REMARKS_PER_SECOND && floodLines <= 2 * Journal::REMARKS_PER_SECOND,
                 qPrintable(QString::number(floodLines)));
        QVERIFY(text.contains("osc  quiet sender"));
        QVERIFY(text.contains("CMD_STOP"));
        QVERIFY(text.contains(QByteArray::number(kFlood - floodLines) + " more remarks")
                || text.count("more remarks") == 2); // the flood crossed a second boundary
        QVERIFY(text.size() < 4 * Journal::REMARKS_PER_SECOND * Journal::LINE_BYTES);
    }

    // A day file that reaches its cap ends with one line saying so and takes
    // nothing more that day; the next day's file starts afresh and notes
    // the pause. The date change also removes the files that became too old.
    void dayFileCapAndDateChange()
    {
        const QString folder = m_dir.filePath(QStringLiteral("cap"));
        QVERIFY(QDir().mkpath(folder));
        const QDate today = QDate::currentDate();
        const QString ageing = folder + QLatin1Char('/') + today.addDays(-Journal::KEEP_DAYS).toString(Qt::ISODate)
            + QStringLiteral(".txt");
        QVERIFY(WriteAll(ageing, "x\n"));
        Journal::Bounds bounds;
        bounds.dayFileBytes = 8 * 1024;
        bounds.reserveBytes = 0;
        Journal journal(folder, Journal::FlushPolicy::PerLine, bounds);
        QVERIFY(QFile::exists(ageing));
        for (int i = 0; i < 200; ++i)
            journal.AppendCommand(Stop(), QStringLiteral("panel"));
        const QString path = journal.PathFor(today);
        const QByteArray text = ReadAll(path);
        QVERIFY2(text.size() <= bounds.dayFileBytes, qPrintable(QString::number(text.size())));
        QVERIFY(text.endsWith("nothing more is written to it today\n"));
        QCOMPARE(text.count("nothing more"), 1);
        QVERIFY(journal.Failed());
        g_Settings.LANG = 1;
        QVERIFY2(journal.FailureText().contains(QStringLiteral("until tomorrow")), qPrintable(journal.FailureText()));
        QVERIFY(journal.LinesLeftOut() > 0);

        CommandDelivery tomorrow = Stop();
        tomorrow.sentAt = QDateTime(today.addDays(1), QTime(0, 0, 1));
        journal.AppendCommand(tomorrow, QStringLiteral("panel"));
        QVERIFY(!journal.Failed());
        const QByteArray next = ReadAll(journal.PathFor(today.addDays(1)));
        QCOMPARE(next.count('\n'), 2);
        QVERIFY2(next.startsWith(QByteArray()) && next.contains("journal  resumed: paused since"), next.constData());
        QVERIFY(next.contains("the day file was full"));
        QVERIFY(next.indexOf("resumed") < next.indexOf("CMD_STOP"));
        QCOMPARE(ReadAll(path), text);
        QVERIFY(!QFile::exists(ageing));
    }

    // A day file deleted or renamed while open: the next line goes to a new
    // file under the day's name, not into the one nobody can see.
    void deletedOrRenamedDayFileIsReopened_data()
    {
        QTest::addColumn<bool>("rename");
        QTest::newRow("deleted") << false;
        QTest::newRow("renamed") << true;
    }
    void deletedOrRenamedDayFileIsReopened()
    {
        QFETCH(bool, rename);
        const QString folder = m_dir.filePath(rename ? QStringLiteral("renamed") : QStringLiteral("deleted"));
        Journal journal(folder);
        journal.AppendRemark(QStringLiteral("first"));
        const QString path = journal.PathFor(QDate::currentDate());
        QVERIFY(rename ? QFile::rename(path, path + QStringLiteral(".old")) : QFile::remove(path));
        journal.AppendRemark(QStringLiteral("second"));
        const QByteArray text = ReadAll(path);
        QCOMPARE(text.count('\n'), 1);
        QVERIFY(text.endsWith("  second\n"));
        QVERIFY(!journal.Failed());
    }

    // Neither a symbolic link in the day file's place nor a linked journal
    // folder is followed, and a FIFO is refused without blocking: the
    // journal reports itself stopped, and what the link names is untouched.
    void notARegularFileIsRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("linked day file") << QStringLiteral("file");
        QTest::newRow("linked folder") << QStringLiteral("folder");
        QTest::newRow("fifo") << QStringLiteral("fifo");
    }
    void notARegularFileIsRefused()
    {
        QFETCH(QString, kind);
        const QString base = m_dir.filePath(QStringLiteral("refuse-") + kind);
        const QString folder = base + QStringLiteral("/journal");
        const QString real = base + QStringLiteral("/real");
        QVERIFY(QDir().mkpath(real));
        const QString dayName = QDate::currentDate().toString(Qt::ISODate) + QStringLiteral(".txt");
        const QByteArray script = "#!/bin/sh\necho hello\n";
        QVERIFY(WriteAll(real + QLatin1Char('/') + dayName, script));
        if (kind == QLatin1String("folder")) {
            QVERIFY(QFile::link(real, folder));
        } else {
            QVERIFY(QDir().mkpath(folder));
            if (kind == QLatin1String("file"))
                QVERIFY(QFile::link(real + QLatin1Char('/') + dayName, folder + QLatin1Char('/') + dayName));
            else
                QCOMPARE(::mkfifo(QFile::encodeName(folder + QLatin1Char('/') + dayName).constData(), 0644), 0);
        }
        Journal journal(folder);
        QElapsedTimer clock;
        clock.start();
        journal.AppendRemark(QStringLiteral("osc  /x  dropped\nrm -rf ~"));
        QVERIFY(clock.elapsed() < 1000);
        QVERIFY(journal.Failed());
        g_Settings.LANG = 1;
        QVERIFY2(journal.FailureText().startsWith(QStringLiteral("The journal cannot be written: ")),
                 qPrintable(journal.FailureText()));
        QVERIFY2(journal.FailureText().contains(kind == QLatin1String("fifo") ? QStringLiteral("not a regular file")
                                                                              : QStringLiteral("symbolic link")),
                 qPrintable(journal.FailureText()));
        QCOMPARE(ReadAll(real + QLatin1Char('/') + dayName), script);
    }

    // The stop is not final: once the reason is gone the journal goes on by
    // itself, and its first line after says how long it paused and how many
    // lines it left out.
    void resumesOnceTheFolderCanBeMade()
    {
        const QString blocker = m_dir.filePath(QStringLiteral("blocked-then-free"));
        QVERIFY(WriteAll(blocker, "a file, not a folder"));
        Journal journal(blocker);
        journal.AppendCommand(Stop(), QStringLiteral("panel"));
        journal.AppendCommand(Stop(), QStringLiteral("panel"));
        QVERIFY(journal.Failed());
        QVERIFY(QFile::remove(blocker));
        QTRY_VERIFY_WITH_TIMEOUT(!journal.Failed(), 3 * Journal::RETRY_MS);
        journal.AppendCommand(Stop(), QStringLiteral("panel"));
        const QByteArray text = ReadAll(journal.PathFor(QDate::currentDate()));
        QCOMPARE(text.count('\n'), 2);
        QVERIFY2(text.contains("journal  resumed: paused since") && text.contains("2 lines left out"), text.constData());
        QVERIFY(text.endsWith("CMD_STOP  panel  PC1 1/3 (701 dropped, 702 not connected)\n"));
    }

    // The journal's folders get 0755 whatever the umask the panel runs under.
    void foldersHaveFixedModes()
    {
        const mode_t old = ::umask(0);
        const QString top = m_dir.filePath(QStringLiteral("umask/PLAXONDATA"));
        {
            Journal journal(top + QStringLiteral("/journal"));
            journal.AppendRemark(QStringLiteral("x"));
        }
        ::umask(0077);
        const QString other = m_dir.filePath(QStringLiteral("umask077"));
        {
            Journal journal(other);
            journal.AppendRemark(QStringLiteral("x"));
        }
        ::umask(old);
        const auto mode = [](const QString &path) {
            struct stat st {};
            return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
        };
        QCOMPARE(mode(top), 0755);
        QCOMPARE(mode(top + QStringLiteral("/journal")), 0755);
        QCOMPARE(mode(other), 0755);
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestJournal)
#include "tst_journal.moc"
