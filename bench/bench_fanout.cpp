// Fan-out: four stations with four ports each on loopback listeners. For
// each of 10,000 launches, the time from the launch call to the arrival of
// the last of its 16 records; the records lost or not whole; and the time
// the launch call itself takes.
//
// The listeners live on one receiving thread that reads with blocking Qt
// sockets, so a launch usually costs it a single wake-up. For scale, the
// same receiver is then fed by 16 plain QTcpSocket writes of the same
// records.

#include "benchsupport.h"
#include "commandrecord.h"
#include "commandsender.h"
#include "configmodel.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <future>
#include <mutex>
#include <thread>

namespace {

constexpr int kLaunches = 10000;
constexpr int kLinks = 16;
constexpr int kPhases = 2; // the panel, then the reference

QByteArray ProgramName(int station, int launch)
{
    return "s" + QByteArray::number(station) + "\\launch" + QByteArray::number(launch);
}

QByteArray ExpectedRecord(int link, int launch)
{
    QByteArray rec(104, '\0');
    const int32_t code = CMD_RUN;
    std::memcpy(rec.data(), &code, sizeof code);
    const QByteArray name = ProgramName(link / 4, launch);
    std::memcpy(rec.data() + 4, name.constData(), size_t(name.size()));
    return rec;
}

struct Progress {
    std::mutex mutex;
    std::condition_variable cv;
    int done = -1; // last launch whose 16 records all arrived
    BenchClock::time_point lastArrival;
    int64_t records = 0;
    int64_t bad = 0;
};

// The receiving thread: per phase, accepts 16 connections and takes
// kLaunches rounds of one record on each.
void Receive(std::promise<QList<uint16_t>> ports, Progress &progress)
{
    std::vector<std::unique_ptr<QTcpServer>> servers;
    QList<uint16_t> list;
    for (int i = 0; i < kLinks; ++i) {
        servers.push_back(std::make_unique<QTcpServer>());
        servers.back()->listen(QHostAddress::LocalHost, 0);
        list << servers.back()->serverPort();
    }
    ports.set_value(list);
    for (int phase = 0; phase < kPhases; ++phase) {
        std::vector<std::unique_ptr<QTcpSocket>> links;
        for (auto &server : servers) {
            if (!server->waitForNewConnection(30000))
                return;
            links.emplace_back(server->nextPendingConnection());
        }
        for (int n = 0; n < kLaunches; ++n) {
            for (int i = 0; i < kLinks; ++i) {
                QTcpSocket &s = *links[size_t(i)];
                while (s.bytesAvailable() < 104 && s.waitForReadyRead(2000)) {
                }
                if (s.bytesAvailable() < 104)
                    continue; // not arrived: counted as lost
                const bool whole = s.read(104) == ExpectedRecord(i, n);
                std::lock_guard lock(progress.mutex);
                ++progress.records;
                progress.bad += !whole;
            }
            {
                std::lock_guard lock(progress.mutex);
                progress.done = n;
                progress.lastArrival = BenchClock::now();
            }
            progress.cv.notify_one();
        }
        std::unique_lock lock(progress.mutex);
        progress.cv.wait(lock, [&] { return progress.done == -1; }); // the sender is ready for the next phase
    }
}

struct Figures {
    double median = 0, p99 = 0, max = 0;
    double sendMedian = 0, sendP99 = 0;
    int64_t lost = 0, bad = 0;
};

// Runs kLaunches rounds; send(n) puts launch n on all 16 links.
template <typename Send>
Figures Measure(Progress &progress, Send send)
{
    QList<double> us;
    QList<double> sendUs;
    for (int n = 0; n < kLaunches; ++n) {
        const auto t0 = BenchClock::now();
        send(n);
        sendUs << std::chrono::duration<double, std::micro>(BenchClock::now() - t0).count();
        std::unique_lock lock(progress.mutex);
        progress.cv.wait(lock, [&] { return progress.done >= n; });
        us << std::chrono::duration<double, std::micro>(progress.lastArrival - t0).count();
    }
    Figures f;
    {
        std::lock_guard lock(progress.mutex);
        f.lost = int64_t(kLaunches) * kLinks - progress.records;
        f.bad = progress.bad;
        progress.records = 0;
        progress.bad = 0;
        progress.done = -1;
    }
    progress.cv.notify_one();
    f.max = *std::max_element(us.begin(), us.end());
    f.median = Percentile(us, 50);
    f.p99 = Percentile(us, 99);
    f.sendMedian = Percentile(sendUs, 50);
    f.sendP99 = Percentile(sendUs, 99);
    return f;
}

void Print(const char *what, const Figures &f)
{
    std::printf("  %s median %.1f us, p99 %.1f us, max %.1f us; lost %lld, not whole %lld; "
                "the send call itself: median %.1f us, p99 %.1f us\n",
                what, f.median, f.p99, f.max, qlonglong(f.lost), qlonglong(f.bad), f.sendMedian, f.sendP99);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Progress progress;
    std::promise<QList<uint16_t>> portsPromise;
    auto portsFuture = portsPromise.get_future();
    std::thread receiver(Receive, std::move(portsPromise), std::ref(progress));
    const QList<uint16_t> ports = portsFuture.get();

    for (int s = 0; s < STATION_COUNT; ++s)
        BenchStation(s, ports.mid(s * 4, 4));
    ConnectionManager manager;
    manager.Start();
    if (!RunUntil(manager, [] { return LinkState() == LINKS_FULL; }, 20000)) {
        std::fprintf(stderr, "links did not come up\n");
        std::_Exit(1);
    }
    manager.TimerTick();

    const Figures panel = Measure(progress, [](int n) {
        for (int s = 0; s < STATION_COUNT; ++s)
            CopyText(g_Buttons.BUTTON[0].PROGRAM[s], ProgramName(s, n).constData());
        SendLaunch(0);
    });
    manager.Shutdown();

    std::vector<std::unique_ptr<QTcpSocket>> plain;
    for (int i = 0; i < kLinks; ++i) {
        plain.push_back(std::make_unique<QTcpSocket>());
        plain.back()->connectToHost(QHostAddress::LocalHost, ports[i]);
        plain.back()->waitForConnected(5000);
        plain.back()->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    }
    const Figures reference = Measure(progress, [&](int n) {
        for (int i = 0; i < kLinks; ++i) {
            plain[size_t(i)]->write(ExpectedRecord(i, n));
            plain[size_t(i)]->flush();
        }
    });
    receiver.join();

    std::printf("fan-out, %d launches x %d links (loopback), launch call to last record received\n", kLaunches,
                kLinks);
    Print("panel:    ", panel);
    Print("reference:", reference);
    std::printf("  (reference: 16 plain QTcpSocket write+flush calls of the same records, same receiver)\n");
    return panel.lost == 0 && panel.bad == 0 ? 0 : 1;
}
