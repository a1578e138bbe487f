// Fan-out: four stations with four ports each on loopback listeners. For
// each of 10,000 launches, the time from the launch call to the arrival of
// the last of its 16 records; the records lost or not whole; and the time
// the launch call itself takes.
//
// The panel's launches take turns: the journal off, the journal on with a
// flush per line, the journal on with a flush on its timer, so the three
// meet the same load. The launch call with the journal on is the window's
// launch path: the records, then the journal line.
//
// The listeners live on one receiving thread that reads with blocking Qt
// sockets, so a launch usually costs it a single wake-up. For scale, the
// same receiver is then fed by 16 plain QTcpSocket writes of the same
// records, and last by 16 plain send() calls on blocking sockets: the
// limit for this receiver.

#include "benchsupport.h"
#include "commandsender.h"
#include "configmodel.h"
#include "journal.h"

#include <QCoreApplication>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <thread>

namespace {

constexpr int kLaunches = 10000;
constexpr int kLinks = 16;
constexpr int kPhases = 3; // the panel, the QTcpSocket reference, the send() limit
constexpr int kJournalModes = 3; // launch n: n % 3 = 0 journal off, 1 per line, 2 on the timer

struct Figures {
    double median = 0, p99 = 0, max = 0;
    double sendMedian = 0, sendP99 = 0;
    int64_t lost = 0, bad = 0;
};

// Launch call to last record, and the launch call alone, per launch.
struct Samples {
    QList<double> us;
    QList<double> sendUs;
    int64_t lost = 0, bad = 0;

    // The figures of the launches n with n % every == of (every 1: all).
    Figures Of(int every = 1, int of = 0) const
    {
        QList<double> arrival, call;
        for (qsizetype n = of; n < us.size(); n += every) {
            arrival << us[n];
            call << sendUs[n];
        }
        Figures f;
        f.lost = lost;
        f.bad = bad;
        f.max = *std::max_element(arrival.begin(), arrival.end());
        f.median = Percentile(arrival, 50);
        f.p99 = Percentile(arrival, 99);
        f.sendMedian = Percentile(call, 50);
        f.sendP99 = Percentile(call, 99);
        return f;
    }
};

// Runs kLaunches rounds; prepare(n) readies launch n outside the timing,
// send(n) puts it on all 16 links. Between rounds, outside the timing, the
// event loop runs as the window's would.
template <typename Prepare, typename Send>
Samples Measure(ArrivalProgress &progress, Prepare prepare, Send send)
{
    Samples out;
    for (int n = 0; n < kLaunches; ++n) {
        prepare(n);
        const auto t0 = BenchClock::now();
        send(n);
        out.sendUs << std::chrono::duration<double, std::micro>(BenchClock::now() - t0).count();
        {
            std::unique_lock lock(progress.mutex);
            progress.cv.wait(lock, [&] { return progress.done >= n; });
            out.us << std::chrono::duration<double, std::micro>(progress.lastArrival - t0).count();
        }
        QCoreApplication::processEvents();
    }
    const PhaseCounts counts = EndPhase(progress, int64_t(kLaunches) * kLinks);
    out.lost = counts.lost;
    out.bad = counts.bad;
    return out;
}

void Print(const char *what, const Figures &f)
{
    std::printf("  %s median %.1f us, p99 %.1f us, max %.1f us; lost %lld, not whole %lld; "
                "the send call itself: median %.1f us, p99 %.1f us\n",
                what, f.median, f.p99, f.max, qlonglong(f.lost), qlonglong(f.bad), f.sendMedian, f.sendP99);
}

void PrintRatio(const char *what, const Figures &f, const Figures &limit)
{
    std::printf("  %s to the send() limit: median %.2fx, p99 %.2fx\n", what, f.median / limit.median,
                f.p99 / limit.p99);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    ArrivalProgress progress;
    std::promise<QList<uint16_t>> portsPromise;
    auto portsFuture = portsPromise.get_future();
    std::thread receiver(ReceiveLaunchRounds, std::move(portsPromise), std::ref(progress), kLinks, kPhases,
                         kLaunches);
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

    QTemporaryDir journalDir;
    Journal perLine(journalDir.filePath(QStringLiteral("line")), Journal::FlushPolicy::PerLine);
    Journal onTimer(journalDir.filePath(QStringLiteral("timer")), Journal::FlushPolicy::Timer);
    Journal *const journals[kJournalModes] = {nullptr, &perLine, &onTimer};
    const auto names = [](int n) {
        for (int s = 0; s < STATION_COUNT; ++s)
            CopyText(g_Buttons.BUTTON[0].PROGRAM[s], LaunchProgramName(s, n).constData());
    };
    const Samples panel = Measure(progress, names, [&](int n) {
        const CommandDelivery delivery = SendLaunch(0);
        if (Journal *journal = journals[n % kJournalModes])
            journal->AppendCommand(delivery, QStringLiteral("panel  button 1 \"bench\""));
    });
    manager.Shutdown();
    perLine.Flush();
    onTimer.Flush();
    const bool journalled = !perLine.Failed() && !onTimer.Failed();

    std::vector<std::unique_ptr<QTcpSocket>> plain;
    for (int i = 0; i < kLinks; ++i) {
        plain.push_back(std::make_unique<QTcpSocket>());
        plain.back()->connectToHost(QHostAddress::LocalHost, ports[i]);
        plain.back()->waitForConnected(5000);
        plain.back()->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    }
    QByteArray records[kLinks];
    const auto build = [&](int n) {
        for (int i = 0; i < kLinks; ++i)
            records[i] = LaunchRecord(i, n);
    };
    const Samples reference = Measure(progress, build, [&](int) {
        for (int i = 0; i < kLinks; ++i) {
            plain[size_t(i)]->write(records[i]);
            plain[size_t(i)]->flush();
        }
    });

    int raw[kLinks];
    for (int i = 0; i < kLinks; ++i)
        raw[i] = PlainSocket(ports[i]);
    const Samples limit = Measure(progress, build, [&](int) {
        for (int i = 0; i < kLinks; ++i)
            ::send(raw[i], records[i].constData(), 104, MSG_NOSIGNAL);
    });
    receiver.join();
    for (int fd : raw)
        ::close(fd);

    const Figures all = panel.Of();
    const Figures off = panel.Of(kJournalModes, 0);
    const Figures line = panel.Of(kJournalModes, 1);
    const Figures timer = panel.Of(kJournalModes, 2);
    const Figures limitFigures = limit.Of();
    std::printf("fan-out, %d launches x %d links (loopback), launch call to last record received\n", kLaunches,
                kLinks);
    Print("panel, all:            ", all);
    Print("panel, journal off:    ", off);
    Print("panel, journal / line: ", line);
    Print("panel, journal / timer:", timer);
    Print("QTcpSocket reference:  ", reference.Of());
    Print("send() limit:          ", limitFigures);
    PrintRatio("panel, journal / line: ", line, limitFigures);
    PrintRatio("panel, journal / timer:", timer, limitFigures);
    PrintRatio("panel, journal off:    ", off, limitFigures);
    std::printf("  journal on the launch call: per line +%.1f us median, +%.1f us p99; on the timer +%.1f us "
                "median, +%.1f us p99\n",
                line.sendMedian - off.sendMedian, line.sendP99 - off.sendP99, timer.sendMedian - off.sendMedian,
                timer.sendP99 - off.sendP99);
    std::printf("  (reference: 16 plain QTcpSocket write+flush calls; limit: 16 plain send() calls on blocking\n"
                "   sockets; both of the same records to the same receiver)\n");
    return all.lost == 0 && all.bad == 0 && limit.lost == 0 && journalled ? 0 : 1;
}
