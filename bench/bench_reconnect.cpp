// Reconnect: a station's listener drops its connection and stops listening,
// then listens again; how long until its link is connected again. The panel
// side runs as the main window drives it: a 500 ms QTimer calling TimerTick.
//
// Two cases, 20 cycles each: the listener reopens at once (time from the
// drop), and the listener stays away for 1.2 s (time from its reopening).
// Each drop comes at a random moment, as real ones do, not in step with the
// timer or the resolver's passes.

#include "benchsupport.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int kCycles = 20;

void RunEvents(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
}

// Runs the event loop until the link is connected; false after 10 s.
bool WaitConnected(QTcpServer &server)
{
    QElapsedTimer t;
    t.start();
    while (Link(0).State() != LINK_CONNECTED || !server.hasPendingConnections()) {
        if (t.elapsed() > 10000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    const quint16 port = server.serverPort();
    BenchStation(0, {port});

    ConnectionManager manager;
    manager.Start();
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &timer, [&] { manager.TimerTick(); });
    timer.start(500);

    QList<double> atOnce;
    QList<double> afterAbsence;
    bool ok = WaitConnected(server);
    for (int cycle = 0; ok && cycle < 2 * kCycles; ++cycle) {
        const bool away = cycle >= kCycles;
        RunEvents(int(QRandomGenerator::global()->bounded(1000)));
        QTcpSocket *peer = server.nextPendingConnection();
        server.close();
        auto t0 = BenchClock::now();
        delete peer; // closes: the station drops the link
        if (away) {
            RunEvents(1200);
            t0 = BenchClock::now();
        }
        server.listen(QHostAddress::LocalHost, port);
        ok = WaitConnected(server);
        const double ms = std::chrono::duration<double, std::milli>(BenchClock::now() - t0).count();
        (away ? afterAbsence : atOnce) << ms;
    }
    manager.Shutdown();
    if (!ok) {
        std::fprintf(stderr, "the link did not come back within 10 s\n");
        return 1;
    }
    const double maxAtOnce = *std::max_element(atOnce.begin(), atOnce.end());
    const double maxAway = *std::max_element(afterAbsence.begin(), afterAbsence.end());
    std::printf("reconnect, %d cycles each (500 ms timer, loopback)\n", kCycles);
    std::printf("  listener reopens at once:   median %.0f ms, max %.0f ms (from the drop)\n",
                Percentile(atOnce, 50), maxAtOnce);
    std::printf("  listener away for 1.2 s:    median %.0f ms, max %.0f ms (from its reopening)\n",
                Percentile(afterAbsence, 50), maxAway);
    return 0;
}
