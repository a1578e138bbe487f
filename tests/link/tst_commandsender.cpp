// Which station gets which record, byte for byte, as received by real
// loopback listeners. The installation: station 1 with two listening ports,
// station 2 with one, station 3 whose port refuses (so the link state is
// partial), station 4 disabled although its port listens.

#include "commanddelivery.h"
#include "commandrecord.h"
#include "commandsender.h"
#include "connectionmanager.h"
#include "linktestsupport.h"
#include "recordsink.h"

#include <QTest>

#include <cstring>
#include <memory>

namespace {

constexpr int kButton = 7;
constexpr int32_t kSentinelCode = 0x7F;

QByteArray Sentinel()
{
    return RecordBytes(kSentinelCode, "end of case");
}

CommandRecord SentinelRecord()
{
    CommandRecord record;
    std::memcpy(&record, Sentinel().constData(), sizeof record);
    return record;
}

// 79 bytes: the longest name a PROGRAM entry holds, with windows-1250 letters.
QByteArray LongName()
{
    QByteArray name = "SHOW\\\xE8\x61st druh\xE1\\";
    while (name.size() < 79)
        name += char('a' + name.size() % 26);
    return name;
}

} // namespace

class TestCommandSender : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        ClearConfiguration();
        for (RecordSink *s : {&m_a, &m_b, &m_c, &m_disabled})
            QVERIFY(s->Listen());
        ConfigureStation(0, true, "127.0.0.1", {m_a.Port(), m_b.Port()});
        ConfigureStation(1, true, "127.0.0.1", {m_c.Port()});
        ConfigureStation(2, true, "127.0.0.1", {RefusingPort()});
        ConfigureStation(3, false, "127.0.0.1", {m_disabled.Port()});
        m_manager = std::make_unique<ConnectionManager>();
        m_manager->Start();
        ConnectAll();
        QCOMPARE(LastTickLinkState(), LINKS_PARTIAL);
    }
    void cleanupTestCase()
    {
        m_manager->Shutdown();
        QCOMPARE(m_disabled.Accepted(), 0);
    }
    void init()
    {
        for (RecordSink *s : {&m_a, &m_b, &m_c})
            s->ClearReceived();
    }

    void records_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("inlineFlag");
        QTest::addColumn<QByteArray>("program1");
        QTest::addColumn<QByteArray>("program2");
        QTest::addColumn<bool>("brightEna");
        QTest::addColumn<QByteArray>("selected");
        QTest::addColumn<int>("position");
        QTest::addColumn<QByteArray>("toStation1"); // what each of its two links gets
        QTest::addColumn<QByteArray>("toStation2");

        const QByteArray none;
        const QByteArray zeros20(20, '\0');
        QTest::newRow("run: 79-byte name ends at offset 83")
            << "launch" << false << LongName() << QByteArray("B\\prog") << true << none << 0
            << QByteArray::fromHex("02000000") + LongName() + '\0' + zeros20 << RecordBytes(2, "B\\prog");
        QTest::newRow("run: entry without terminator is cut to 79 bytes")
            << "launch" << false << LongName() + 'Z' << QByteArray("B\\prog") << true << none << 0
            << QByteArray::fromHex("02000000") + LongName() + '\0' + zeros20 << RecordBytes(2, "B\\prog");
        QTest::newRow("run inline: code 6 to every station taking part")
            << "launch" << true << QByteArray("A\\x") << QByteArray("B\\y") << true << none << 0
            << QByteArray::fromHex("06000000") + "A\\x" + QByteArray(97, '\0') << RecordBytes(6, "B\\y");
        QTest::newRow("run: station with empty entry left out")
            << "launch" << false << QByteArray() << QByteArray("B\\only") << true << none << 0 << none
            << RecordBytes(2, "B\\only");
        QTest::newRow("run: all entries empty sends nothing")
            << "launch" << true << QByteArray() << QByteArray() << true << none << 0 << none << none;
        QTest::newRow("STOP") << "stop" << false << none << none << true << none << 0
                              << QByteArray::fromHex("01000000") + QByteArray(100, '\0')
                              << QByteArray::fromHex("01000000") + QByteArray(100, '\0');
        QTest::newRow("PLAY") << "play" << false << none << none << true << none << 0 << RecordBytes(4)
                              << RecordBytes(4);
        QTest::newRow("PAUSE") << "pause" << false << none << none << true << none << 0 << RecordBytes(5)
                               << RecordBytes(5);
        QTest::newRow("brightness 100 to PC1 only")
            << "brightness" << false << none << none << true << QByteArray::fromHex("01000000") << 100
            << QByteArray::fromHex("0300000064000000") + QByteArray(96, '\0') << none;
        QTest::newRow("brightness above 100 clamped")
            << "brightness" << false << none << none << true << QByteArray::fromHex("01010101") << 250
            << QByteArray::fromHex("0300000064000000") + QByteArray(96, '\0')
            << QByteArray::fromHex("0300000064000000") + QByteArray(96, '\0');
        QTest::newRow("brightness below 0 clamped")
            << "brightness" << false << none << none << true << QByteArray::fromHex("00010000") << -20 << none
            << QByteArray::fromHex("03000000") + QByteArray(100, '\0');
        QTest::newRow("brightness switched off sends nothing")
            << "brightness" << false << none << none << false << QByteArray::fromHex("01010101") << 50 << none
            << none;
    }
    void records()
    {
        QFETCH(QString, action);
        QFETCH(bool, inlineFlag);
        QFETCH(QByteArray, program1);
        QFETCH(QByteArray, program2);
        QFETCH(bool, brightEna);
        QFETCH(QByteArray, selected);
        QFETCH(int, position);
        QFETCH(QByteArray, toStation1);
        QFETCH(QByteArray, toStation2);

        ButtonRecord &b = g_Buttons.BUTTON[kButton];
        b = ButtonRecord{};
        b.ENABLE = 1;
        b.INLINE = inlineFlag;
        if (program1.size() == sizeof b.PROGRAM[0])
            std::memcpy(b.PROGRAM[0], program1.constData(), sizeof b.PROGRAM[0]); // as a damaged file could leave it
        else
            CopyText(b.PROGRAM[0], program1.constData());
        CopyText(b.PROGRAM[1], program2.constData());
        CopyText(b.PROGRAM[2], "for the refused station");
        CopyText(b.PROGRAM[3], "for the disabled station");
        g_Settings.BRIGHT_ENA = brightEna;

        if (action == "launch") {
            SendLaunch(kButton);
        } else if (action == "stop") {
            SendStop();
        } else if (action == "play") {
            SendPlay();
        } else if (action == "pause") {
            SendPause();
        } else {
            unsigned char flags[STATION_COUNT] = {};
            std::memcpy(flags, selected.constData(), sizeof flags);
            int32_t brightness = -1;
            QCOMPARE(SendBrightness(position, flags, brightness), brightEna);
            QCOMPARE(brightness, brightEna ? std::clamp(position, 0, 100) : -1);
        }
        EndCase();
        QCOMPARE(m_got[0], toStation1);
        QCOMPARE(m_got[1], toStation1);
        QCOMPARE(m_got[2], toStation2);
    }

    // The sender goes by the links, not by the last tick: with that state
    // still "none" while the links are up, launch and transport reach them.
    // Whether a command may go at all is the caller's rule.
    void sendsOverLiveLinksWhateverTheLastTick()
    {
        m_manager->Shutdown();
        m_manager = std::make_unique<ConnectionManager>();
        m_manager->Start();
        QTRY_VERIFY(Link(0).State() == LINK_RESOLVED && Link(1).State() == LINK_RESOLVED
                    && Link(4).State() == LINK_RESOLVED);
        m_manager->TimerTick(); // computes "none", then starts the connects
        QTRY_VERIFY(Link(0).State() == LINK_CONNECTED && Link(1).State() == LINK_CONNECTED
                    && Link(4).State() == LINK_CONNECTED);
        QCOMPARE(LastTickLinkState(), LINKS_NONE);

        CopyText(g_Buttons.BUTTON[kButton].PROGRAM[0], "A\\x");
        CopyText(g_Buttons.BUTTON[kButton].PROGRAM[1], "B\\y");
        const CommandDelivery launch = SendLaunch(kButton);
        const CommandDelivery stop = SendStop();
        // Reached once the stations' machines acknowledged them.
        QTRY_COMPARE(launch.Current().station[0].Count(LinkOutcome::Taken), 2);
        QTRY_COMPARE(stop.Current().station[1].Count(LinkOutcome::Taken), 1);
        EndCase();
        QCOMPARE(m_got[0], RecordBytes(CMD_RUN, "A\\x") + RecordBytes(CMD_STOP));
        QCOMPARE(m_got[2], RecordBytes(CMD_RUN, "B\\y") + RecordBytes(CMD_STOP));
        ConnectAll();
    }

    // With every station disconnected every command is built and reaches no
    // link: each station it was meant for counts its links as not connected.
    void allDisconnected()
    {
        CloseAll();
        m_manager->TimerTick();
        QCOMPARE(LastTickLinkState(), LINKS_NONE);
        CopyText(g_Buttons.BUTTON[kButton].PROGRAM[0], "A\\x");
        for (const CommandDelivery &d : {SendLaunch(kButton), SendStop(), SendPlay(), SendPause()}) {
            QVERIFY(d.Built());
            QVERIFY(d.station[0].meant);
            QCOMPARE(d.station[0].Count(LinkOutcome::NotConnected), d.station[0].Configured());
        }

        g_Settings.BRIGHT_ENA = 1;
        const unsigned char flags[STATION_COUNT] = {1, 1, 1, 1};
        int32_t brightness = 0;
        CommandDelivery delivery;
        QVERIFY(SendBrightness(100, flags, brightness, &delivery));
        QCOMPARE(delivery.code, CMD_BRIGHTNESS);
        QCOMPARE(delivery.brightness, 100);
        for (const StationDelivery &station : delivery.station) {
            QVERIFY(station.meant);
            QCOMPARE(station.Count(LinkOutcome::NotConnected), station.Configured());
        }

        ConnectAll();
        EndCase();
        for (const QByteArray &got : m_got)
            QCOMPARE(got, QByteArray());
    }

    // What the sending path says per configured link: handed over whole
    // (reached once acknowledged), not connected; a record that waited
    // behind a station that stopped reading counts as taken once it has gone
    // out and was acknowledged.
    void deliveryPerLink()
    {
        ButtonRecord &b = g_Buttons.BUTTON[kButton];
        b = ButtonRecord{};
        b.ENABLE = 1;
        CopyText(b.PROGRAM[0], "A\\x");
        CopyText(b.PROGRAM[1], "B\\y");
        CopyText(b.PROGRAM[2], "C\\z");
        CopyText(b.PROGRAM[3], "D\\w"); // station 4 is disabled: not meant
        const CommandDelivery d = SendLaunch(kButton);
        QCOMPARE(d.code, CMD_RUN);
        QVERIFY(d.sentAt.isValid());
        const struct { bool meant; int configured; int taken; QByteArray program; } want[STATION_COUNT] = {
            {true, 2, 2, "A\\x"}, {true, 1, 1, "B\\y"}, {true, 1, 0, "C\\z"}, {false, 0, 0, {}}};
        for (int s = 0; s < STATION_COUNT; ++s) {
            QCOMPARE(d.station[s].meant, want[s].meant);
            QCOMPARE(d.station[s].Configured(), want[s].configured);
            // Handed over at once; reached once the station's machine acknowledged it.
            QCOMPARE(d.station[s].Count(LinkOutcome::Taken) + d.station[s].Count(LinkOutcome::InFlight), want[s].taken);
            QTRY_COMPARE(d.Current().station[s].Count(LinkOutcome::Taken), want[s].taken);
            QCOMPARE(d.station[s].program, want[s].program);
        }
        QCOMPARE(d.station[2].link[0].outcome, LinkOutcome::NotConnected);
        QCOMPARE(d.station[0].link[1].port, uint32_t(m_b.Port()));
        // STOP: every station with a configured link, whatever its programs.
        const CommandDelivery stop = SendStop();
        QVERIFY(stop.station[2].meant);
        QVERIFY(!stop.station[3].meant);
        EndCase();

        m_c.SetReading(false);
        CommandDelivery queued;
        for (int n = 0; n < 1000000 && !queued.Built(); ++n) {
            const CommandDelivery sent = SendLaunch(kButton);
            QVERIFY(sent.station[1].link[0].outcome != LinkOutcome::Dropped);
            if (sent.station[1].link[0].outcome == LinkOutcome::Queued)
                queued = sent;
        }
        QVERIFY(queued.Built());
        QCOMPARE(queued.Current().station[1].link[0].outcome, LinkOutcome::Queued);
        m_c.SetReading(true);
        QTRY_COMPARE_WITH_TIMEOUT(queued.Current().station[1].link[0].outcome, LinkOutcome::Taken, 30000);
        EndCase();
    }

private:
    // Ticks until the three listening links are up. Like EndCase, it fails
    // the running test when that does not happen in time.
    void ConnectAll()
    {
        QTRY_VERIFY(Ticked(*m_manager) && LinkState() == LINKS_PARTIAL && Link(0).State() == LINK_CONNECTED
                    && Link(1).State() == LINK_CONNECTED && Link(4).State() == LINK_CONNECTED);
        m_manager->TimerTick();
    }

    // Once every queue has drained, sends a sentinel record to every
    // connected link and waits for it, so that whatever the case sent has
    // arrived; m_got then holds, per listener, what came before the sentinel.
    void EndCase()
    {
        // A link whose queue is still full would drop the sentinel whole.
        for (int i = 0; i < LINK_COUNT; ++i)
            QTRY_COMPARE(Link(i).BacklogBytes(), 0);
        const CommandRecord sentinel = SentinelRecord();
        for (int s = 0; s < STATION_COUNT; ++s)
            SendToStation(s, sentinel);
        RecordSink *sinks[] = {&m_a, &m_b, &m_c};
        for (RecordSink *sink : sinks)
            QTRY_VERIFY(sink->Received().endsWith(Sentinel()));
        for (int i = 0; i < 3; ++i)
            m_got[i] = sinks[i]->TakeReceived().chopped(104);
    }

    RecordSink m_a;
    RecordSink m_b;
    RecordSink m_c;
    RecordSink m_disabled;
    std::unique_ptr<ConnectionManager> m_manager;
    QByteArray m_got[3];
};

QTEST_GUILESS_MAIN(TestCommandSender)
#include "tst_commandsender.moc"
