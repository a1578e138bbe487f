// The link table against real loopback listeners: which ports make links,
// the link state, the state machine through refusals and reconnects, the
// connect timeout, and re-resolution after a settings change.

#include "connectionmanager.h"
#include "linktestsupport.h"
#include "recordsink.h"
#include "socketerrors.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>

class TestConnectionManager : public QObject {
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

    // Only enabled stations with an address count, and only their non-zero
    // ports; each such port is one link.
    void linkState_data()
    {
        QTest::addColumn<QString>("other");
        QTest::addColumn<int>("expected");
        QTest::newRow("second port refused") << "refused port" << int(LINKS_PARTIAL);
        QTest::newRow("disabled station gives no links") << "disabled" << int(LINKS_FULL);
        QTest::newRow("station without address gives no links") << "no address" << int(LINKS_FULL);
    }
    void linkState()
    {
        QFETCH(QString, other);
        QFETCH(int, expected);
        RecordSink sink;
        QVERIFY(sink.Listen());
        const uint16_t refused = RefusingPort();
        if (other == "refused port") {
            ConfigureStation(0, true, "127.0.0.1", {sink.Port(), refused});
        } else {
            ConfigureStation(0, true, "127.0.0.1", {sink.Port()});
            ConfigureStation(1, other != "disabled", other == "no address" ? "" : "127.0.0.1", {refused, refused});
        }
        m_manager->Start();
        QTRY_VERIFY(Ticked(*m_manager) && Link(0).State() == LINK_CONNECTED);
        m_manager->TimerTick();
        QCOMPARE(LinkState(), expected);
        QCOMPARE(LastTickLinkState(), expected);
        QCOMPARE(m_manager->ShownState(), expected);
        QCOMPARE(Link(0).Port(), uint32_t(sink.Port()));
        QCOMPARE(QByteArray(Link(0).Address()), QByteArray("127.0.0.1"));
        if (other == "refused port") {
            QTRY_VERIFY(Ticked(*m_manager) && Link(1).Error() == WSAECONNREFUSED);
            QVERIFY(Link(1).State() == LINK_CREATED || Link(1).State() == LINK_CONNECTING);
        } else {
            // Neither the resolver nor the step touched the other station.
            QCOMPARE(Link(4).State(), LINK_IDLE);
            QCOMPARE(Link(5).State(), LINK_IDLE);
        }
        QCOMPARE(sink.Accepted(), 1);
    }

    void nothingConfigured()
    {
        m_manager->Start();
        for (int i = 0; i < 3; ++i) {
            const ConnectionManager::TickResult r = m_manager->TimerTick();
            QCOMPARE(LinkState(), LINKS_NONE);
            QVERIFY(r.stepped); // the step keeps running, with nothing to do
            QVERIFY(!r.shownStateChanged);
        }
    }

    // Station 2 is used by this test only, so the error it checks is its own.
    void unresolvableNameStaysIdle()
    {
        ConfigureStation(2, true, "no-such-station.invalid", {700});
        m_manager->Start();
        QTRY_COMPARE_WITH_TIMEOUT(Link(8).Error(), WSAEINVAL, 15000);
        for (int i = 0; i < 3; ++i) {
            m_manager->TimerTick();
            QCOMPARE(Link(8).State(), LINK_IDLE);
            QCOMPARE(Link(8).Error(), WSAEINVAL);
        }
        QCOMPARE(LinkState(), LINKS_NONE);
    }

    // A station that closes: the link goes 0, 1, then 2 and 3 on every tick
    // while the station refuses, and reaches 4 again once it listens.
    void reconnectsAfterStationCloses()
    {
        RecordSink sink;
        QVERIFY(sink.Listen());
        const quint16 port = sink.Port();
        ConfigureStation(0, true, "127.0.0.1", {port});
        m_manager->Start();
        QTRY_VERIFY(Ticked(*m_manager) && Link(0).State() == LINK_CONNECTED);
        QCOMPARE(Link(0).Error(), 0);

        sink.StopListening();
        sink.DropConnections();
        QTRY_COMPARE(Link(0).State(), LINK_IDLE);     // close notification
        QTRY_COMPARE(Link(0).State(), LINK_RESOLVED); // the resolver, without any tick
        for (int attempt = 0; attempt < 3; ++attempt) {
            m_manager->TimerTick();
            QCOMPARE(Link(0).State(), LINK_CONNECTING);
            QTRY_COMPARE(Link(0).State(), LINK_CREATED);
            QCOMPARE(Link(0).Error(), WSAECONNREFUSED);
        }
        QVERIFY(sink.Listen(port));
        m_manager->TimerTick();
        QCOMPARE(Link(0).State(), LINK_CONNECTING);
        QTRY_COMPARE(Link(0).State(), LINK_CONNECTED);
        QCOMPARE(Link(0).Error(), 0);
        QCOMPARE(sink.Accepted(), 2);
    }

    // With every link up the step is not run; the first drop brings it back.
    void fullSkipsStepUntilDrop()
    {
        RecordSink a;
        RecordSink b;
        QVERIFY(a.Listen());
        QVERIFY(b.Listen());
        ConfigureStation(0, true, "127.0.0.1", {a.Port(), b.Port()});
        m_manager->Start();
        QTRY_VERIFY(Ticked(*m_manager) && LinkState() == LINKS_FULL);
        ConnectionManager::TickResult r = m_manager->TimerTick();
        QCOMPARE(m_manager->ShownState(), LINKS_FULL);
        r = m_manager->TimerTick();
        QVERIFY(!r.stepped);
        QVERIFY(!r.shownStateChanged);

        b.DropConnections();
        QTRY_COMPARE(Link(1).State(), LINK_IDLE);
        r = m_manager->TimerTick();
        QVERIFY(r.stepped);
        QVERIFY(r.shownStateChanged);
        QCOMPARE(m_manager->ShownState(), LINKS_PARTIAL);
        QTRY_VERIFY(Ticked(*m_manager) && LinkState() == LINKS_FULL);
        QCOMPARE(b.Accepted(), 2);
    }

    // A station whose handshake goes unanswered (here: a listener whose
    // accept queue is full, so the system drops the link's SYN) is given
    // up after a few seconds and tried on a new socket; once the station
    // answers, the link comes up within about that time.
    void overdueConnectIsRestarted()
    {
        QTcpServer blocked;
        blocked.setListenBacklogSize(0);
        blocked.setMaxPendingConnections(0); // never accepts
        QVERIFY(blocked.listen(QHostAddress::LocalHost));
        const quint16 port = blocked.serverPort();
        std::vector<std::unique_ptr<QTcpSocket>> fillers;
        for (int i = 0; i < 3; ++i) {
            fillers.push_back(std::make_unique<QTcpSocket>());
            fillers.back()->connectToHost(QHostAddress::LocalHost, port);
        }
        QTRY_VERIFY(fillers.front()->state() == QAbstractSocket::ConnectedState);

        ConfigureStation(0, true, "127.0.0.1", {port});
        m_manager->Start();
        QTRY_VERIFY(Ticked(*m_manager) && Link(0).State() == LINK_CONNECTING);
        // Given up by the link itself, well before the system's own user
        // timeout (5 s) would end the handshake.
        QElapsedTimer connecting;
        connecting.start();
        QTRY_VERIFY_WITH_TIMEOUT(
            Ticked(*m_manager) && (Link(0).Error() == WSAETIMEDOUT || Link(0).State() == LINK_CONNECTED), 4600);
        if (Link(0).State() == LINK_CONNECTED)
            QSKIP("this system completes handshakes beyond a full accept queue");
        QVERIFY2(connecting.elapsed() >= 2500, qPrintable(QString::number(connecting.elapsed())));
        QCOMPARE(Link(0).State(), LINK_CONNECTING); // already on its next attempt

        fillers.clear();
        blocked.close();
        RecordSink sink;
        QVERIFY(sink.Listen(port));
        QTRY_VERIFY_WITH_TIMEOUT(Ticked(*m_manager) && Link(0).State() == LINK_CONNECTED, 6000);
        QCOMPARE(sink.Accepted(), 1);
    }

    // A link that was only resolved when the settings changed is resolved
    // again from the new address and port, and never connects to the old one.
    void settingsChangeResolvesAgain_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("port changed") << "port";
        QTest::newRow("address changed") << "address";
    }
    void settingsChangeResolvesAgain()
    {
        QFETCH(QString, change);
        RecordSink oldSink;
        QVERIFY(oldSink.Listen());
        RecordSink newSink(change == "address" ? QHostAddress(QStringLiteral("127.0.0.2")) : QHostAddress::LocalHost);
        if (!newSink.Listen(change == "address" ? oldSink.Port() : 0))
            QSKIP("cannot listen on the second loopback address");

        ConfigureStation(0, true, "127.0.0.1", {oldSink.Port()});
        m_manager->Start();
        QTRY_COMPARE(Link(0).State(), LINK_RESOLVED); // resolved, not yet created: no tick so far

        m_manager->ChangeSettings([&] {
            ConfigureStation(0, true, change == "address" ? "127.0.0.2" : "127.0.0.1", {newSink.Port()});
        });

        QTRY_VERIFY(Ticked(*m_manager) && Link(0).State() == LINK_CONNECTED);
        QCOMPARE(newSink.Accepted(), 1);
        QCOMPARE(oldSink.Accepted(), 0);
        QCOMPARE(Link(0).Port(), uint32_t(newSink.Port()));
    }

    // The settings change closes every open link and brings them all back.
    void settingsChangeClosesAndReconnects()
    {
        RecordSink a;
        RecordSink b;
        QVERIFY(a.Listen());
        QVERIFY(b.Listen());
        ConfigureStation(0, true, "127.0.0.1", {a.Port()});
        ConfigureStation(1, true, "127.0.0.1", {b.Port()});
        m_manager->Start();
        QTRY_VERIFY(Ticked(*m_manager) && LinkState() == LINKS_FULL);

        // While the change runs, every link is closed.
        m_manager->ChangeSettings([&] {
            QCOMPARE(Link(0).State(), LINK_IDLE);
            QCOMPARE(Link(4).State(), LINK_IDLE);
            QTRY_COMPARE(a.Open(), 0);
            QTRY_COMPARE(b.Open(), 0);
            ConfigureStation(1, false, "127.0.0.1", {b.Port()}); // station 2 switched off meanwhile
        });
        if (QTest::currentTestFailed())
            return;

        QTRY_VERIFY(Ticked(*m_manager) && LinkState() == LINKS_FULL);
        QCOMPARE(a.Accepted(), 2);
        QCOMPARE(b.Accepted(), 1);
        QCOMPARE(Link(4).State(), LINK_IDLE);
    }

private:
    std::unique_ptr<ConnectionManager> m_manager;
};

QTEST_GUILESS_MAIN(TestConnectionManager)
#include "tst_connectionmanager.moc"
