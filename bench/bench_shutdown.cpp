// Shutdown while the resolver is inside a slow host lookup. The lookup is
// the ConnectionManager's lookup parameter, here a stand-in for a name
// service that does not answer: it blocks until released (or for a set
// time). Measured: how long Shutdown takes, and whether anything touched the
// link table after it returned, once the lookup came back with an answer.

#include "benchsupport.h"
#include "hostlookup.h"

#include <QCoreApplication>

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

struct SlowNameService {
    std::mutex mutex;
    std::condition_variable cv;
    bool inside = false;
    bool released = false;
    std::chrono::milliseconds hang{0}; // 0: until released

    int Lookup(uint32_t port, Ipv4SocketAddress *out)
    {
        std::unique_lock lock(mutex);
        inside = true;
        cv.notify_all();
        if (hang.count() > 0)
            cv.wait_for(lock, hang, [&] { return released; });
        else
            cv.wait(lock, [&] { return released; });
        return ResolveIPv4("127.0.0.1", port, out); // an answer the link would take
    }
};

QByteArray TableImage()
{
    QByteArray image;
    for (int i = 0; i < LINK_COUNT; ++i) {
        const ClientSocket &l = Link(i);
        const int32_t fields[2] = {l.State(), l.Error()};
        image.append(reinterpret_cast<const char *>(fields), sizeof fields);
        image.append(reinterpret_cast<const char *>(&l.SocketAddress()), sizeof(Ipv4SocketAddress));
    }
    return image;
}

// One shutdown; returns its duration in ms, and whether the table stayed as
// Shutdown left it after the lookup returned.
double Run(std::chrono::milliseconds hang, bool lookupInFlight, bool &untouched)
{
    SlowNameService service;
    service.hang = hang;
    BenchStation(0, {7000});
    CopyText(g_Settings.PC[0].ADDRESS, lookupInFlight ? "slow.example" : "127.0.0.1");
    ConnectionManager manager([&service](const char *text, uint32_t port, Ipv4SocketAddress *out) {
        if (std::strcmp(text, "slow.example") != 0)
            return ResolveIPv4(text, port, out);
        return service.Lookup(port, out);
    });
    manager.Start();
    if (lookupInFlight) {
        std::unique_lock lock(service.mutex);
        service.cv.wait(lock, [&] { return service.inside; });
    } else {
        RunUntil(manager, [] { return Link(0).State() >= LINK_RESOLVED; }, 5000, 1000000);
    }
    const auto t0 = BenchClock::now();
    manager.Shutdown();
    const double ms = std::chrono::duration<double, std::milli>(BenchClock::now() - t0).count();

    const QByteArray after = TableImage();
    {
        std::lock_guard lock(service.mutex);
        service.released = true;
    }
    service.cv.notify_all();
    while (Resolver::LiveThreads() > 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    untouched = TableImage() == after;
    CloseAll();
    return ms;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    bool untouchedHung = false;
    bool untouchedSlow = false;
    bool untouchedIdle = false;
    const double hung = Run(std::chrono::milliseconds(0), true, untouchedHung);
    const double slow = Run(std::chrono::milliseconds(2000), true, untouchedSlow);
    const double idle = Run(std::chrono::milliseconds(0), false, untouchedIdle);
    std::printf("shutdown during a slow lookup\n");
    std::printf("  lookup that never answers:  %.0f ms; table untouched afterwards: %s\n", hung,
                untouchedHung ? "yes" : "NO");
    std::printf("  lookup answering after 2 s: %.0f ms; table untouched afterwards: %s\n", slow,
                untouchedSlow ? "yes" : "NO");
    std::printf("  no lookup under way:        %.1f ms; table untouched afterwards: %s\n", idle,
                untouchedIdle ? "yes" : "NO");
    return untouchedHung && untouchedSlow && untouchedIdle ? 0 : 1;
}
