// The link end to end against plaxon-station: the lines it prints for the
// records the panel sends, and the panel's recovery from the station's
// faults (closing, refusing, talking back, stalling).

#include "commandrecord.h"
#include "commandsender.h"
#include "connectionmanager.h"
#include "linktestsupport.h"
#include "socketerrors.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <memory>

namespace {

// plaxon-station as a child process; its output is collected as it comes.
class Station {
public:
    explicit Station(const QStringList &args)
    {
        m_process.setProgram(QStringLiteral(PLAXON_STATION_PATH));
        m_process.setArguments(args);
        m_process.start();
    }
    ~Station()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    // Collects what the process wrote so far; call inside QTRY conditions.
    bool Poll()
    {
        m_out += m_process.readAllStandardOutput();
        m_err += m_process.readAllStandardError();
        qsizetype end;
        while ((end = m_out.indexOf('\n')) >= 0) {
            m_lines << QString::fromUtf8(m_out.left(end));
            m_out.remove(0, end + 1);
        }
        return true;
    }
    const QStringList &Lines() const { return m_lines; }
    const QByteArray &Err() const { return m_err; }
    bool Listening(quint16 port) const { return m_err.contains("port " + QByteArray::number(port) + ": listening"); }

private:
    QProcess m_process;
    QByteArray m_out;
    QByteArray m_err;
    QStringList m_lines;
};

quint16 FreePort()
{
    return RefusingPort(); // free now: nobody listens there
}

const QRegularExpression kLine(QStringLiteral(R"(^(\d\d:\d\d:\d\d\.\d\d\d)  port (\d+)  peer 127\.0\.0\.1:(\d+)  (\S+)(?:  (.*))?$)"));

} // namespace

class TestStation : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        ClearConfiguration();
        m_manager = std::make_unique<ConnectionManager>();
    }
    void cleanup()
    {
        m_manager->Shutdown();
        m_manager.reset();
    }

    void printsOneLinePerRecord()
    {
        const quint16 p1 = FreePort();
        quint16 p2 = FreePort();
        while (p2 == p1)
            p2 = FreePort();
        Station station({QString::number(p1) + ',' + QString::number(p2)});
        QTRY_VERIFY(station.Poll() && station.Listening(p1) && station.Listening(p2));

        ConfigureStation(0, true, "127.0.0.1", {p1, p2});
        m_manager->Start();
        QTRY_VERIFY(Ticked(*m_manager) && LinkState() == LINKS_FULL);
        m_manager->TimerTick();

        CopyText(g_Buttons.BUTTON[3].PROGRAM[0], "SHOW\\intro \xE8\xE1st");
        SendLaunch(3);
        g_Settings.BRIGHT_ENA = 1;
        const unsigned char pc1[STATION_COUNT] = {1, 0, 0, 0};
        int32_t brightness = 0;
        SendBrightness(55, pc1, brightness);
        SendStop();

        QTRY_VERIFY(station.Poll() && station.Lines().size() == 6);
        QMap<int, QStringList> perPort;
        for (const QString &line : station.Lines()) {
            const QRegularExpressionMatch m = kLine.match(line);
            QVERIFY2(m.hasMatch(), qPrintable(line));
            perPort[m.captured(2).toInt()] << m.captured(4) + ' ' + m.captured(5);
        }
        const QStringList expected{QString::fromUtf8("CMD_RUN \"SHOW\\intro část\""), "CMD_BRIGHTNESS 55", "CMD_STOP "};
        QCOMPARE(perPort.value(p1), expected);
        QCOMPARE(perPort.value(p2), expected);
    }

    // The station talks back, closes after one record and refuses for a
    // while: the panel notices the close, shows the refusals, and is back
    // once the station listens again.
    void recoversFromClosingStation()
    {
        const quint16 port = FreePort();
        Station station({"--close-after", "1", "--refuse-for", "1500", "--send", "status?\\n", "--send-every", "20",
                         QString::number(port)});
        ConfigureStation(0, true, "127.0.0.1", {port});
        m_manager->Start();
        QTRY_VERIFY_WITH_TIMEOUT(Ticked(*m_manager) && LinkState() == LINKS_FULL, 10000);
        QTRY_VERIFY(station.Poll() && station.Err().contains("connection from"));

        SendPlay(); // the tick above saw the link up
        QTRY_COMPARE(Link(0).State(), LINK_IDLE);
        QTRY_VERIFY(Ticked(*m_manager) && Link(0).Error() == WSAECONNREFUSED);
        QTRY_VERIFY_WITH_TIMEOUT(Ticked(*m_manager) && Link(0).State() == LINK_CONNECTED, 10000);
        m_manager->TimerTick();
        SendPause();
        QTRY_VERIFY(station.Poll() && station.Lines().size() == 2);
        QVERIFY(station.Lines()[0].endsWith("CMD_PLAY"));
        QVERIFY(station.Lines()[1].endsWith("CMD_PAUSE"));
    }

    // A station that stalls: while it does not read, the panel goes on
    // without blocking and drops what does not fit whole; once it reads
    // again every record it gets is whole and in order.
    void stalledStationGetsWholeRecordsOnly()
    {
        const quint16 port = FreePort();
        Station station({"--stop-reading-after", "1", "--resume-reading-after", "3000", QString::number(port)});
        ConfigureStation(0, true, "127.0.0.1", {port});
        m_manager->Start();
        QTRY_VERIFY_WITH_TIMEOUT(Ticked(*m_manager) && LinkState() == LINKS_FULL, 10000);
        m_manager->TimerTick();

        constexpr int kRecords = 100000;
        auto sendNumbered = [](int n) {
            CopyText(g_Buttons.BUTTON[0].PROGRAM[0], QByteArray("n/%1").replace("%1", QByteArray::number(n)).constData());
            SendLaunch(0);
        };
        sendNumbered(0);
        QTRY_VERIFY(station.Poll() && station.Err().contains("stopped reading"));
        for (int n = 1; n < kRecords; ++n)
            sendNumbered(n);
        QCOMPARE(Link(0).State(), LINK_CONNECTED);

        QTRY_VERIFY_WITH_TIMEOUT(station.Poll() && station.Err().contains("reading again"), 10000);
        // Once the backlog has drained, a record is taken again; everything
        // taken before has arrived when it shows up.
        QTRY_COMPARE_WITH_TIMEOUT(Link(0).BacklogBytes(), 0, 10000);
        sendNumbered(kRecords);
        QTRY_VERIFY_WITH_TIMEOUT(station.Poll() && !station.Lines().isEmpty()
                                     && station.Lines().last().endsWith(QStringLiteral("\"n/%1\"").arg(kRecords)),
                                 30000);
        const QStringList lines = station.Lines();
        int previous = -1;
        for (const QString &line : lines) {
            const QRegularExpressionMatch m = kLine.match(line);
            QVERIFY2(m.hasMatch() && m.captured(4) == "CMD_RUN", qPrintable(line));
            const QString arg = m.captured(5);
            QVERIFY2(arg.startsWith("\"n/") && arg.endsWith('"'), qPrintable(line)); // no note: nothing cut
            const int n = arg.mid(3, arg.size() - 4).toInt();
            QVERIFY2(n > previous, qPrintable(line));
            previous = n;
        }
        qInfo("%lld of %d records arrived, the rest were dropped whole", qlonglong(lines.size()), kRecords + 1);
        QVERIFY2(lines.size() < kRecords, "nothing was dropped: the stall did not fill the buffers");
        QVERIFY(!station.Err().contains("inside a record"));
        QCOMPARE(Link(0).State(), LINK_CONNECTED);
    }

    // A station whose buffers stay full (it hangs with records waiting) is
    // given up after the user timeout and connected afresh, instead of
    // showing "connected" for as long as it hangs.
    void hungStationIsGivenUp()
    {
        const quint16 port = FreePort();
        Station station({"--stop-reading-after", "1", QString::number(port)});
        ConfigureStation(0, true, "127.0.0.1", {port});
        m_manager->Start();
        QTRY_VERIFY_WITH_TIMEOUT(Ticked(*m_manager) && LinkState() == LINKS_FULL, 10000);
        m_manager->TimerTick();
        for (int n = 0; n < 100000; ++n) {
            CopyText(g_Buttons.BUTTON[0].PROGRAM[0], "fill");
            SendLaunch(0);
        }
        QVERIFY(Link(0).BacklogBytes() > 0); // everything is full
        QElapsedTimer hung;
        hung.start();
        QTRY_VERIFY_WITH_TIMEOUT(Link(0).State() == LINK_IDLE || Link(0).State() == LINK_RESOLVED, 15000);
        qInfo("given up after %lld ms", qlonglong(hung.elapsed()));
        QVERIFY(hung.elapsed() >= 4000);
        QTRY_VERIFY_WITH_TIMEOUT(Ticked(*m_manager) && Link(0).State() == LINK_CONNECTED, 10000);
        QTRY_VERIFY(station.Poll() && station.Err().count("connection from") == 2);
    }

private:
    std::unique_ptr<ConnectionManager> m_manager;
};

QTEST_GUILESS_MAIN(TestStation)
#include "tst_station.moc"
