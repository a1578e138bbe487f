// Fan-out: four stations with four ports each on loopback listeners. For
// each of 10,000 launches, the time from the launch call to the arrival of
// the last of its 16 records; and the records lost or not whole.
//
// The listeners run on their own thread (Qt sockets), so the figure
// includes their wake-up. For scale, the same listeners are then fed by 16
// plain QTcpSocket writes of the same records.

#include "benchsupport.h"
#include "commandrecord.h"
#include "commandsender.h"
#include "configmodel.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

constexpr int kLaunches = 10000;
constexpr int kLinks = 16;

QByteArray ProgramName(int station, int launch)
{
    return "s" + QByteArray::number(station) + "\\launch" + QByteArray::number(launch);
}

// The 16 listeners, on the receiving thread. Checks every record against
// what launch n must put there and counts arrivals.
class Receiver : public QObject {
public:
    std::mutex mutex;
    std::condition_variable arrived;
    int64_t records = 0;     // guarded by mutex
    BenchClock::time_point lastArrival;
    std::atomic<int64_t> malformed{0};

    QList<uint16_t> Listen()
    {
        QList<uint16_t> ports;
        for (int i = 0; i < kLinks; ++i) {
            auto *server = new QTcpServer(this);
            server->listen(QHostAddress::LocalHost, 0);
            ports << server->serverPort();
            connect(server, &QTcpServer::newConnection, this, [this, server, i] {
                while (QTcpSocket *s = server->nextPendingConnection())
                    Attach(s, i / 4);
            });
        }
        return ports;
    }

private:
    void Attach(QTcpSocket *socket, int station)
    {
        socket->setParent(this);
        auto *pending = new QByteArray;
        auto *next = new int(0); // launch number this link must see next
        connect(socket, &QObject::destroyed, [pending, next] {
            delete pending;
            delete next;
        });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, station, pending, next] {
            *pending += socket->readAll();
            int complete = 0;
            while (pending->size() >= 104) {
                CommandRecord rec;
                std::memcpy(&rec, pending->constData(), 104);
                pending->remove(0, 104);
                // A record of another launch than expected means one was lost
                // or the stream was cut; both count.
                QByteArray want(100, '\0');
                const QByteArray name = ProgramName(station, *next);
                std::memcpy(want.data(), name.constData(), size_t(name.size()));
                if (rec.code != CMD_RUN || QByteArray(rec.argument, 100) != want)
                    malformed.fetch_add(1);
                ++*next;
                ++complete;
            }
            if (complete) {
                const auto now = BenchClock::now();
                {
                    std::lock_guard lock(mutex);
                    records += complete;
                    lastArrival = now;
                }
                arrived.notify_one();
            }
        });
    }
};

struct Figures {
    double median = 0, p99 = 0, max = 0;
    int64_t lost = 0;
};

// Runs kLaunches rounds; send(n) must put launch n on all 16 links.
template <typename Send>
Figures Measure(Receiver &rx, Send send)
{
    QList<double> us;
    int64_t expected = 0;
    {
        std::lock_guard lock(rx.mutex);
        expected = rx.records;
    }
    const int64_t start = expected;
    for (int n = 0; n < kLaunches; ++n) {
        const auto t0 = BenchClock::now();
        send(n);
        expected += kLinks;
        std::unique_lock lock(rx.mutex);
        if (rx.arrived.wait_for(lock, std::chrono::seconds(2), [&] { return rx.records >= expected; }))
            us << std::chrono::duration<double, std::micro>(rx.lastArrival - t0).count();
        else
            expected = rx.records; // what did not come is counted as lost below
    }
    Figures f;
    {
        std::lock_guard lock(rx.mutex);
        f.lost = int64_t(kLaunches) * kLinks - (rx.records - start);
    }
    f.max = us.isEmpty() ? 0 : *std::max_element(us.begin(), us.end());
    f.median = Percentile(us, 50);
    f.p99 = Percentile(us, 99);
    return f;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QThread rxThread;
    rxThread.start();
    Receiver rx;
    rx.moveToThread(&rxThread);
    QList<uint16_t> ports;
    QMetaObject::invokeMethod(&rx, [&] { ports = rx.Listen(); }, Qt::BlockingQueuedConnection);

    for (int s = 0; s < STATION_COUNT; ++s)
        BenchStation(s, ports.mid(s * 4, 4));
    ConnectionManager manager;
    manager.Start();
    if (!RunUntil(manager, [] { return LinkState() == LINKS_FULL; }, 10000)) {
        std::fprintf(stderr, "links did not come up\n");
        return 1;
    }
    manager.TimerTick();

    const Figures panel = Measure(rx, [](int n) {
        for (int s = 0; s < STATION_COUNT; ++s)
            CopyText(g_Buttons.BUTTON[0].PROGRAM[s], ProgramName(s, n).constData());
        SendLaunch(0);
    });
    const int64_t panelMalformed = rx.malformed.load();
    manager.Shutdown();

    // Reference: the same records through plain Qt sockets on the same listeners.
    std::vector<std::unique_ptr<QTcpSocket>> plain;
    for (int i = 0; i < kLinks; ++i) {
        plain.push_back(std::make_unique<QTcpSocket>());
        plain.back()->connectToHost(QHostAddress::LocalHost, ports[i]);
        plain.back()->waitForConnected(5000);
        plain.back()->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    }
    // Each new connection starts counting at launch 0 again on the receiver.
    const Figures reference = Measure(rx, [&](int n) {
        for (int i = 0; i < kLinks; ++i) {
            QByteArray rec(104, '\0');
            const int32_t code = CMD_RUN;
            std::memcpy(rec.data(), &code, 4);
            const QByteArray name = ProgramName(i / 4, n);
            std::memcpy(rec.data() + 4, name.constData(), size_t(name.size()));
            plain[size_t(i)]->write(rec);
            plain[size_t(i)]->flush();
        }
    });

    std::printf("fan-out, %d launches x %d links (loopback)\n", kLaunches, kLinks);
    std::printf("  panel:     median %.1f us, p99 %.1f us, max %.1f us; lost %lld, not whole or out of order %lld\n",
                panel.median, panel.p99, panel.max, qlonglong(panel.lost), qlonglong(panelMalformed));
    std::printf("  reference: median %.1f us, p99 %.1f us, max %.1f us (plain QTcpSocket writes, same receiver); "
                "lost %lld, bad %lld\n",
                reference.median, reference.p99, reference.max, qlonglong(reference.lost),
                qlonglong(rx.malformed.load() - panelMalformed));
    plain.clear();
    QMetaObject::invokeMethod(&rx, [&] { rx.moveToThread(app.thread()); }, Qt::BlockingQueuedConnection);
    rxThread.quit();
    rxThread.wait();
    return panel.lost == 0 && panelMalformed == 0 ? 0 : 1;
}
