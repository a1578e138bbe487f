// "Reached" is what the station's machine acknowledged, staged for real: a
// station that accepts with a small receive buffer and never reads, and one
// whose packets are dropped (its network namespace's loopback taken down).
// Records turn from reached to in flight, none sent into the silence counts
// as reached, and the link is reported as not taking records within the
// bound, then connected afresh.

#include "commandrecord.h"
#include "connectionmanager.h"
#include "linktestsupport.h"
#include "networkfaults.h"
#include "recordsink.h"

#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTest>
#include <QTimer>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>

namespace {

// Detection runs at the 500 ms tick: the stall bound plus one tick, and a
// little for a loaded machine.
constexpr qint64 kReportBoundMs = std::chrono::milliseconds(ClientSocket::STALL_BOUND).count() + 500 + 500;
constexpr int kReceiveBuffer = 2048; // the kernel's smallest, near enough

// Accepts on loopback with a small receive buffer and never reads a byte.
class DeafStation {
public:
    bool Listen()
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        const int size = kReceiveBuffer;
        ::setsockopt(m_listener, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof sa;
        if (::bind(m_listener, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0 || ::listen(m_listener, 4) != 0
            || ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&sa), &len) != 0)
            return false;
        m_port = ntohs(sa.sin_port);
        m_notifier = std::make_unique<QSocketNotifier>(m_listener, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] {
            const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0)
                m_accepted.push_back(fd);
        });
        return true;
    }
    ~DeafStation()
    {
        m_notifier.reset();
        for (int fd : m_accepted)
            ::close(fd);
        if (m_listener >= 0)
            ::close(m_listener);
    }
    uint16_t Port() const { return m_port; }
    int Accepted() const { return int(m_accepted.size()); }

private:
    int m_listener = -1;
    uint16_t m_port = 0;
    std::vector<int> m_accepted;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

struct Event {
    LinkEvent event;
    qint64 at;
};

} // namespace

class TestAcknowledgement : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        const QString network = EnterPrivateNetwork();
        QVERIFY2(network.isEmpty(), qPrintable("a private network namespace is needed: " + network));
    }

    void init()
    {
        ClearConfiguration();
        m_events.clear();
        m_clock.start();
        SetLinkObserver([this](int, LinkEvent event, int) { m_events.push_back({event, m_clock.elapsed()}); });
    }

    void cleanup()
    {
        m_ticker.reset();
        if (m_manager)
            m_manager->Shutdown();
        m_manager.reset();
        SetLinkObserver({});
        QVERIFY(SetLoopbackUp(true).isEmpty());
    }

    void stationThatNeverReads();
    void droppedPackets();

private:
    void StartLinks()
    {
        m_manager = std::make_unique<ConnectionManager>();
        m_manager->Start();
        m_ticker = std::make_unique<QTimer>();
        m_ticker->setInterval(500);
        QObject::connect(m_ticker.get(), &QTimer::timeout, m_ticker.get(), [this] { m_manager->TimerTick(); });
        m_ticker->start();
        m_manager->TimerTick();
    }
    int Count(LinkEvent event) const
    {
        int n = 0;
        for (const Event &e : m_events)
            n += e.event == event;
        return n;
    }
    qint64 FirstAt(LinkEvent event) const
    {
        for (const Event &e : m_events)
            if (e.event == event)
                return e.at;
        return -1;
    }
    static LinkOutcome Now(const StationDelivery &sent)
    {
        CommandDelivery d;
        d.code = CMD_STOP;
        d.station[0] = sent;
        return d.Current().station[0].link[0].outcome;
    }

    std::unique_ptr<ConnectionManager> m_manager;
    std::unique_ptr<QTimer> m_ticker;
    std::vector<Event> m_events;
    QElapsedTimer m_clock;
};

// The first records fill the station's buffers and are acknowledged; the
// next ones stay in flight, and once the oldest has waited past the bound
// the link is reported as not taking records, once, and comes back.
void TestAcknowledgement::stationThatNeverReads()
{
    DeafStation station;
    QVERIFY(station.Listen());
    ConfigureStation(0, true, "127.0.0.1", {station.Port()});
    StartLinks();
    QTRY_COMPARE_WITH_TIMEOUT(Count(LinkEvent::Connected), 1, 5000);

    const CommandRecord record = BuildCommandRecord(CMD_STOP);
    const StationDelivery first = SendToStation(0, record);
    QTRY_COMPARE(Now(first), LinkOutcome::Taken);

    // Until the station's window is shut, then a record that stays in flight.
    StationDelivery stuck;
    qint64 stuckAt = -1;
    for (int i = 0; i < 20000 && stuckAt < 0; ++i) {
        const StationDelivery sent = SendToStation(0, record);
        QCoreApplication::processEvents();
        QTest::qWait(1);
        if (Now(sent) == LinkOutcome::InFlight || Now(sent) == LinkOutcome::Queued) {
            QTest::qWait(200);
            if (Now(sent) != LinkOutcome::Taken) {
                stuck = sent;
                stuckAt = m_clock.elapsed() - 200;
            }
        }
    }
    QVERIFY2(stuckAt >= 0, "the station's buffers never filled");
    QCOMPARE(Now(first), LinkOutcome::Taken); // what was acknowledged stays reached

    QTRY_COMPARE_WITH_TIMEOUT(Count(LinkEvent::Stalled), 1, int(kReportBoundMs + 1000));
    const qint64 reported = FirstAt(LinkEvent::Stalled) - stuckAt;
    qInfo("a station that stopped acknowledging was reported not taking records after %lld ms (bound %lld ms)",
          reported, kReportBoundMs);
    QVERIFY2(reported <= kReportBoundMs, qPrintable(QString::number(reported)));
    QVERIFY(reported >= std::chrono::milliseconds(ClientSocket::STALL_BOUND).count() - 250);
    QCOMPARE(Now(stuck), LinkOutcome::Lost);
    QCOMPARE(Now(first), LinkOutcome::Taken);
    QCOMPARE(Count(LinkEvent::Lost), 0);
    // Connected afresh, like a lost link.
    QTRY_COMPARE_WITH_TIMEOUT(Count(LinkEvent::Connected), 2, 5000);
    QTRY_COMPARE(station.Accepted(), 2);
}

// With every packet dropped, the records sent meanwhile are never reached:
// they stay in flight until the link is given up, then count as lost.
void TestAcknowledgement::droppedPackets()
{
    RecordSink station;
    QVERIFY(station.Listen());
    ConfigureStation(0, true, "127.0.0.1", {station.Port()});
    StartLinks();
    QTRY_COMPARE_WITH_TIMEOUT(Count(LinkEvent::Connected), 1, 5000);
    const CommandRecord record = BuildCommandRecord(CMD_STOP);
    const StationDelivery before = SendToStation(0, record);
    QTRY_COMPARE(Now(before), LinkOutcome::Taken);

    QVERIFY(SetLoopbackUp(false).isEmpty());
    const qint64 downAt = m_clock.elapsed();
    std::vector<StationDelivery> meanwhile;
    for (int i = 0; i < 10; ++i) {
        meanwhile.push_back(SendToStation(0, record));
        QTest::qWait(100);
        for (const StationDelivery &sent : meanwhile)
            QVERIFY(Now(sent) != LinkOutcome::Taken);
    }
    QTRY_COMPARE_WITH_TIMEOUT(Count(LinkEvent::Stalled) + Count(LinkEvent::Lost), 1, int(kReportBoundMs + 1000));
    QCOMPARE(Count(LinkEvent::Stalled), 1);
    qInfo("packets dropped: reported not taking records %lld ms after the first unacknowledged record",
          FirstAt(LinkEvent::Stalled) - downAt);
    for (const StationDelivery &sent : meanwhile)
        QCOMPARE(Now(sent), LinkOutcome::Lost);
    QCOMPARE(Now(before), LinkOutcome::Taken);
    QCOMPARE(station.Received().size(), qsizetype(sizeof record));

    QVERIFY(SetLoopbackUp(true).isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(Count(LinkEvent::Connected), 2, 10000);
}

QTEST_GUILESS_MAIN(TestAcknowledgement)
#include "tst_acknowledgement.moc"
