// The resolver thread's guarantees, with a scripted name service whose
// lookups can be held inside the call: a lookup that returns after its
// resolver was stopped, replaced by the next window's, or overtaken by a
// settings change stores nothing, and shutdown never waits on it for long.

#include "connectionmanager.h"
#include "hostlookup.h"
#include "linktestsupport.h"
#include "recordsink.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QTest>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace {

// Answers names with loopback addresses; a held name blocks its lookups
// until released, as a name service that does not answer.
class ScriptedLookup {
public:
    ~ScriptedLookup() { ReleaseAll(); }

    void Answer(const QByteArray &name, const char *ipv4)
    {
        std::lock_guard lock(m_mutex);
        m_answers[name] = ipv4;
    }
    void Hold(const QByteArray &name)
    {
        std::lock_guard lock(m_mutex);
        m_held.insert(name);
    }
    void Release(const QByteArray &name)
    {
        {
            std::lock_guard lock(m_mutex);
            m_held.remove(name);
        }
        m_cv.notify_all();
    }
    void ReleaseAll()
    {
        {
            std::lock_guard lock(m_mutex);
            m_held.clear();
        }
        m_cv.notify_all();
    }
    int Calls(const QByteArray &name) const
    {
        std::lock_guard lock(m_mutex);
        return m_calls.value(name);
    }
    int Waiting(const QByteArray &name) const
    {
        std::lock_guard lock(m_mutex);
        return m_waiting.value(name);
    }
    LookupFunction Function()
    {
        return [this](const char *text, uint32_t port, Ipv4SocketAddress *out) { return Lookup(text, port, out); };
    }

private:
    int Lookup(const char *text, uint32_t port, Ipv4SocketAddress *out)
    {
        const QByteArray name(text);
        QByteArray answer;
        {
            std::unique_lock lock(m_mutex);
            ++m_calls[name];
            ++m_waiting[name];
            m_cv.wait(lock, [&] { return !m_held.contains(name); });
            --m_waiting[name];
            answer = m_answers.value(name);
        }
        if (answer.isEmpty())
            return 10022;
        return ResolveIPv4(answer.constData(), port, out);
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    QHash<QByteArray, QByteArray> m_answers;
    QSet<QByteArray> m_held;
    QHash<QByteArray, int> m_calls;
    QHash<QByteArray, int> m_waiting;
};

QByteArray AddressOf(const ClientSocket &link)
{
    const Ipv4SocketAddress &a = link.SocketAddress();
    return QByteArray::number(a.address) + ':' + QByteArray::number(a.port);
}

QByteArray Expected(const char *ipv4, uint16_t port)
{
    Ipv4SocketAddress a;
    ResolveIPv4(ipv4, port, &a);
    return QByteArray::number(a.address) + ':' + QByteArray::number(a.port);
}

} // namespace

class TestResolver : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        ClearConfiguration();
        m_lookup = std::make_unique<ScriptedLookup>();
    }
    void cleanup()
    {
        m_lookup->ReleaseAll();
        // Nothing of a test may outlive it: every resolver thread has ended.
        QTRY_COMPARE(Resolver::LiveThreads(), 0);
        CloseAll();
        m_lookup.reset();
    }

    void lookupAfterShutdownStoresNothing()
    {
        m_lookup->Hold("slow.test");
        m_lookup->Answer("slow.test", "127.0.0.1");
        ConfigureStation(0, true, "slow.test", {7001});
        ConnectionManager manager(m_lookup->Function());
        manager.Start();
        QTRY_COMPARE(m_lookup->Waiting("slow.test"), 1);

        QElapsedTimer timer;
        timer.start();
        QVERIFY(!manager.Shutdown(std::chrono::milliseconds(200))); // still inside the lookup
        QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
        const int32_t errorBefore = Link(0).Error();

        m_lookup->Release("slow.test");
        QTRY_COMPARE(Resolver::LiveThreads(), 0);
        QCOMPARE(Link(0).State(), LINK_IDLE);
        QCOMPARE(Link(0).Error(), errorBefore);
        QCOMPARE(m_lookup->Calls("slow.test"), 1);
    }

    // The next window's resolver takes over even while the previous one
    // hangs in a lookup; the previous one's late answer is thrown away, and
    // the previous window going away leaves the new window's links alone.
    void nextWindowsResolverTakesOver()
    {
        RecordSink sink;
        QVERIFY(sink.Listen());
        m_lookup->Hold("first.test");
        m_lookup->Hold("second.test");
        m_lookup->Answer("first.test", "127.0.0.2");
        m_lookup->Answer("second.test", "127.0.0.1");

        ConfigureStation(0, true, "first.test", {sink.Port()});
        auto previous = std::make_unique<ConnectionManager>(m_lookup->Function());
        previous->Start();
        QTRY_COMPARE(m_lookup->Waiting("first.test"), 1);

        // The restart: settings reloaded, a new window starts its manager
        // while the previous one was never shut down.
        ConfigureStation(0, true, "second.test", {sink.Port()});
        ConnectionManager next(m_lookup->Function());
        next.Start();
        QTRY_COMPARE(m_lookup->Waiting("second.test"), 1);

        m_lookup->Release("first.test");
        QTRY_COMPARE(Resolver::LiveThreads(), 1); // the previous resolver ended by itself
        QCOMPARE(Link(0).State(), LINK_IDLE);

        m_lookup->Release("second.test");
        QTRY_COMPARE(Link(0).State(), LINK_RESOLVED);
        QCOMPARE(AddressOf(Link(0)), Expected("127.0.0.1", sink.Port()));
        QTRY_VERIFY(Ticked(next) && Link(0).State() == LINK_CONNECTED);

        previous.reset();
        QCOMPARE(Link(0).State(), LINK_CONNECTED);
        QCOMPARE(m_lookup->Calls("first.test"), 1);
        next.Shutdown();
        QCOMPARE(Link(0).State(), LINK_IDLE);
    }

    // A lookup made from the old settings that returns after the change is
    // discarded; the link is resolved from the new ones.
    void settingsChangeDiscardsLookupUnderWay()
    {
        m_lookup->Hold("old.test");
        m_lookup->Answer("old.test", "127.0.0.2");
        m_lookup->Answer("new.test", "127.0.0.1");
        ConfigureStation(0, true, "old.test", {7002});
        ConnectionManager manager(m_lookup->Function());
        manager.Start();
        QTRY_COMPARE(m_lookup->Waiting("old.test"), 1);

        manager.ChangeSettings([] { ConfigureStation(0, true, "new.test", {7003}); });
        m_lookup->Release("old.test");

        QTRY_COMPARE(Link(0).State(), LINK_RESOLVED);
        QCOMPARE(AddressOf(Link(0)), Expected("127.0.0.1", 7003));
        QVERIFY(m_lookup->Calls("new.test") >= 1);
        QVERIFY(manager.Shutdown());
    }

    // A failed lookup keeps the link idle with the lookup's code, and is
    // tried again on the next pass.
    void failedLookupIsRetried()
    {
        ConfigureStation(1, true, "unknown.test", {7004});
        ConnectionManager manager(m_lookup->Function());
        manager.Start();
        QTRY_VERIFY(m_lookup->Calls("unknown.test") >= 2);
        QCOMPARE(Link(4).State(), LINK_IDLE);
        QCOMPARE(Link(4).Error(), 10022);
        QVERIFY(manager.Shutdown());
    }

private:
    std::unique_ptr<ScriptedLookup> m_lookup;
};

QTEST_GUILESS_MAIN(TestResolver)
#include "tst_resolver.moc"
