// Idle cost: 16 links to loopback ports that refuse, driven by the 500 ms
// timer for 30 s (every tick retries all 16 connects); the process CPU time
// used, resolver thread included.

#include "benchsupport.h"
#include "socketerrors.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <ctime>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 30;
    for (int s = 0; s < STATION_COUNT; ++s)
        BenchStation(s, {RefusingBenchPort(), RefusingBenchPort(), RefusingBenchPort(), RefusingBenchPort()});

    ConnectionManager manager;
    manager.Start();
    QTimer timer;
    int ticks = 0;
    QObject::connect(&timer, &QTimer::timeout, &timer, [&] {
        manager.TimerTick();
        ++ticks;
    });
    timer.start(500);

    // Let every link reach its refusing routine before measuring.
    QTimer::singleShot(1500, &app, [&] {
        const std::clock_t c0 = std::clock();
        const auto t0 = BenchClock::now();
        const int ticks0 = ticks;
        QTimer::singleShot(seconds * 1000, &app, [&, c0, t0, ticks0] {
            const double cpu = double(std::clock() - c0) / CLOCKS_PER_SEC;
            const double wall = std::chrono::duration<double>(BenchClock::now() - t0).count();
            int refused = 0;
            for (int i = 0; i < LINK_COUNT; ++i)
                refused += Link(i).Error() == WSAECONNREFUSED;
            std::printf("idle cost, 16 refusing links, %.1f s, %d ticks\n", wall, ticks - ticks0);
            std::printf("  CPU %.3f s = %.3f %% of one core; links showing 10061: %d of 16\n", cpu,
                        100.0 * cpu / wall, refused);
            QCoreApplication::quit();
        });
    });
    const int rc = app.exec();
    manager.Shutdown();
    return rc;
}
