// The journal's own rules on real files: day files, what is removed at
// start, the two ways of handing lines to the system, and failures.

#include "commandrecord.h"
#include "journal.h"
#include "linktestsupport.h"
#include "testfiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

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

    // A disk that fills up: the write fails at the flush, and says so once.
    void fullDisk()
    {
        if (!QFile::exists(QStringLiteral("/dev/full")))
            QFAIL("/dev/full is needed to stage a full disk");
        const QString folder = m_dir.filePath(QStringLiteral("full"));
        QVERIFY(QDir().mkpath(folder));
        Journal journal(folder);
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), journal.PathFor(QDate::currentDate())));
        journal.AppendCommand(Stop(), QStringLiteral("panel"));
        QVERIFY(journal.Failed());
        const QString first = journal.FailureText();
        journal.AppendCommand(Stop(), QStringLiteral("panel"));
        QCOMPARE(journal.FailureText(), first);
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestJournal)
#include "tst_journal.moc"
