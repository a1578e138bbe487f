// Remote commands next to the panel's own click: the real main window
// (offscreen) with four stations of four ports each on loopback listeners,
// and launch button 1 set for all four stations, so one launch is 16 records.
// Turn about: a click on the button (QTest::mouseClick on the real widget),
// POST /api/launch/1 over a kept-alive HTTP connection, and the OSC datagram
// /plaxon/launch i 1; the last two come from a client thread of their own.
// Each is timed from just before the click, or the client's write, to the
// arrival of the 16th record on the receiving thread. The journal is on, as
// in the panel.
//
// Run: cmake --build build-rel --target bench_remote && build-rel/bench/bench_remote

#include "benchsupport.h"
#include "buttonsetfile.h"
#include "configmodel.h"
#include "cplaxondlg.h"
#include "maintemplates.h"
#include "markerbitmaps.h"
#include "messagebox.h"
#include "oscreceiver.h"
#include "remotecontrol.h"
#include "remotehttpserver.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <lo/lo.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

constexpr int kCommands = 2000; // per path, timed
constexpr int kWarmUp = 100;    // per path, before them
constexpr int kLinks = 16;
constexpr int kPaths = 3;
constexpr int kRounds = (kWarmUp + kCommands) * kPaths;
constexpr int kCommandWaitMs = 30000; // a command that takes longer ends the run
constexpr int kLinkWaitMs = 20000;
constexpr double kHttpAimUs = 2000;
constexpr double kOscAimUs = 500;
constexpr int kHttpOk = 200;

enum Path { Click, Http, Osc };

QByteArray OscLaunch(int button)
{
    lo_message message = lo_message_new();
    lo_message_add_int32(message, button);
    size_t size = 0;
    void *data = lo_message_serialise(message, "/plaxon/launch", nullptr, &size);
    const QByteArray bytes(static_cast<const char *>(data), qsizetype(size));
    std::free(data);
    lo_message_free(message);
    return bytes;
}

int UdpSocketTo(uint16_t port)
{
    return LoopbackSocket(SOCK_DGRAM, port);
}

// Reads one HTTP answer off a blocking socket; its status, 0 when none came
// whole. Bytes past it stay in buffer.
int ReadAnswer(int fd, QByteArray &buffer)
{
    char chunk[4096];
    qsizetype headerEnd = -1;
    qsizetype bodyLength = -1;
    for (;;) {
        if (headerEnd < 0 && (headerEnd = buffer.indexOf("\r\n\r\n")) >= 0) {
            const QByteArray header = buffer.left(headerEnd).toLower();
            const qsizetype at = header.indexOf("\r\ncontent-length:");
            if (at < 0)
                return 0;
            const qsizetype from = at + qsizetype(sizeof "\r\ncontent-length:") - 1;
            bodyLength = header.mid(from, header.indexOf("\r\n", from) - from).trimmed().toLongLong();
        }
        if (headerEnd >= 0 && buffer.size() >= headerEnd + 4 + bodyLength) {
            const int status = buffer.startsWith("HTTP/1.1 ") ? buffer.mid(9, 3).toInt() : 0;
            buffer.remove(0, headerEnd + 4 + bodyLength);
            return status;
        }
        const ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
        if (got <= 0)
            return 0;
        buffer.append(chunk, got);
    }
}

// The client thread: on each order it notes the time and sends one command;
// for HTTP it then reads the whole answer off the kept-alive connection.
class RemoteClient {
public:
    RemoteClient(int httpFd, QByteArray request, int oscFd, QByteArray datagram, std::function<void()> wake)
        : m_httpFd(httpFd), m_request(std::move(request)), m_oscFd(oscFd), m_datagram(std::move(datagram)),
          m_wake(std::move(wake)), m_thread([this] { Run(); })
    {
    }
    ~RemoteClient()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_cv.notify_one();
        m_thread.join();
    }

    void Order(Path path)
    {
        {
            std::lock_guard lock(m_mutex);
            m_path = path;
            m_ordered = true;
            m_finished = false;
        }
        m_cv.notify_one();
    }
    // True once the last order went out (and, for HTTP, its answer came):
    // when its write began, and the answer's status (0: none).
    bool Finished(BenchClock::time_point *start, int *status)
    {
        std::lock_guard lock(m_mutex);
        *start = m_start;
        *status = m_status;
        return m_finished;
    }

private:
    void Run()
    {
        QByteArray answer;
        for (;;) {
            Path path;
            {
                std::unique_lock lock(m_mutex);
                m_cv.wait(lock, [this] { return m_ordered || m_stop; });
                if (m_stop)
                    return;
                m_ordered = false;
                path = m_path;
            }
            const auto start = BenchClock::now();
            int status = 0;
            if (path == Http) {
                if (::send(m_httpFd, m_request.constData(), size_t(m_request.size()), MSG_NOSIGNAL)
                    == ssize_t(m_request.size()))
                    status = ReadAnswer(m_httpFd, answer);
            } else {
                ::send(m_oscFd, m_datagram.constData(), size_t(m_datagram.size()), 0);
            }
            {
                std::lock_guard lock(m_mutex);
                m_start = start;
                m_status = status;
                m_finished = true;
            }
            m_wake();
        }
    }

    const int m_httpFd;
    const QByteArray m_request;
    const int m_oscFd;
    const QByteArray m_datagram;
    const std::function<void()> m_wake;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    Path m_path = Http;
    bool m_ordered = false;
    bool m_finished = false;
    bool m_stop = false;
    BenchClock::time_point m_start;
    int m_status = 0;
    std::thread m_thread; // last: starts once the rest is set up
};

struct PathFigures {
    const char *name;
    QList<double> us;
    int64_t lost = 0, bad = 0, failed = 0;
};

void PrintAim(const char *what, PathFigures path, double aimUs)
{
    const double median = Percentile(path.us, 50);
    std::printf("aim: %s median <= %g ms: %s (measured %.1f us)\n", what, aimUs / 1000,
                median <= aimUs ? "PASS" : "MISS", median);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    QDir().mkdir(QStringLiteral("PLAXONDATA"));
    SetMessageBoxHandler([](const MessageBoxCall &) { return MSG_OK; });
    LoadMarkerBitmaps();

    ArrivalProgress progress;
    QAbstractEventDispatcher *const dispatcher = QAbstractEventDispatcher::instance();
    progress.wake = [dispatcher] { dispatcher->wakeUp(); };
    std::promise<QList<uint16_t>> portsPromise;
    auto portsFuture = portsPromise.get_future();
    std::thread receiver(ReceiveLaunchRounds, std::move(portsPromise), std::ref(progress), kLinks, 1, kRounds);
    const QList<uint16_t> ports = portsFuture.get();

    for (int s = 0; s < STATION_COUNT; ++s)
        BenchStation(s, ports.mid(s * 4, 4));
    g_Settings.LANG = 1;
    ButtonRecord &button = g_Buttons.BUTTON[0];
    button.ENABLE = 1;
    CopyText(button.NAME, "Launch");
    for (int s = 0; s < STATION_COUNT; ++s)
        CopyText(button.PROGRAM[s], LaunchProgramName(s, 0).constData());
    SaveButtonSet("bench.PUC");
    CopyText(g_Settings.LASTFNAME, "bench.PUC");

    RemoteSettings settings;
    settings.http = RemoteEndpoint{QHostAddress(QHostAddress::LocalHost), 0};
    settings.osc = RemoteEndpoint{QHostAddress(QHostAddress::LocalHost), 0};
    RemoteControl remote(settings);
    QString error;
    if (!remote.Start(&error)) {
        std::fprintf(stderr, "remote control did not start: %s\n", qPrintable(error));
        std::_Exit(1);
    }
    CPlaxonDlg window(IDD_PLAXON_5X8);
    window.Create(IDD_PLAXON_5X8, nullptr);
    window.show();
    remote.Attach(&window);
    if (!QTest::qWaitForWindowExposed(&window)
        || !QTest::qWaitFor([] { return LastTickLinkState() == LINKS_FULL; }, kLinkWaitMs)) {
        std::fprintf(stderr, "the window or its 16 links did not come up\n");
        std::_Exit(1);
    }

    QFile tokenFile(QStringLiteral("PLAXONDATA/remote-token"));
    tokenFile.open(QIODevice::ReadOnly);
    const QByteArray token = tokenFile.readAll().trimmed();
    const uint16_t httpPort = remote.Http()->Port();
    const QByteArray request = "POST /api/launch/1 HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(httpPort)
                               + "\r\nAuthorization: Bearer " + token + "\r\nContent-Length: 0\r\n\r\n";
    const int httpFd = PlainSocket(httpPort);
    const int oscFd = UdpSocketTo(remote.Osc()->Port());
    if (httpFd < 0 || oscFd < 0) {
        std::fprintf(stderr, "the client could not connect\n");
        std::_Exit(1);
    }
    QWidget *launchButton = window.GetDlgItem(IDC_LAUNCH_FIRST);

    PathFigures paths[kPaths] = {{"click (QTest::mouseClick)", {}},
                                 {"HTTP POST /api/launch/1", {}},
                                 {"OSC /plaxon/launch i 1", {}}};
    int64_t seenRecords = 0, seenBad = 0;
    bool stalled = false;
    {
        RemoteClient client(httpFd, request, oscFd, OscLaunch(1), [dispatcher] { dispatcher->wakeUp(); });
        for (int n = 0; n < kRounds && !stalled; ++n) {
            const Path path = Path(n % kPaths);
            for (int s = 0; s < STATION_COUNT; ++s)
                CopyText(button.PROGRAM[s], LaunchProgramName(s, n).constData());
            BenchClock::time_point start;
            int status = 0;
            if (path == Click) {
                start = BenchClock::now();
                QTest::mouseClick(launchButton, Qt::LeftButton);
            } else {
                client.Order(path);
            }
            // The window's event loop runs while the command is under way, as it would.
            const QDeadlineTimer deadline(kCommandWaitMs);
            const auto finished = [&] {
                std::lock_guard lock(progress.mutex);
                return progress.done >= n;
            };
            while (!(finished() && (path == Click || client.Finished(&start, &status)))) {
                if (deadline.hasExpired()) {
                    std::fprintf(stderr, "command %d (%s) did not finish\n", n, paths[path].name);
                    stalled = true;
                    break;
                }
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            }
            if (stalled)
                break;
            PathFigures &figures = paths[path];
            std::lock_guard lock(progress.mutex);
            figures.lost += kLinks - (progress.records - seenRecords);
            figures.bad += progress.bad - seenBad;
            figures.failed += path == Http && status != kHttpOk;
            seenRecords = progress.records;
            seenBad = progress.bad;
            if (n >= kWarmUp * kPaths)
                figures.us << std::chrono::duration<double, std::micro>(progress.lastArrival - start).count();
        }
    }
    if (stalled) {
        std::fflush(stderr);
        std::_Exit(1); // the receiver may still be waiting on a record
    }
    EndPhase(progress, int64_t(kRounds) * kLinks);
    receiver.join();
    ::close(httpFd);
    ::close(oscFd);

    std::printf("command to the last of its %d records (4 stations x 4 ports, loopback), %s platform, journal on;\n"
                "paths interleaved, %d timed commands each after %d of warm-up\n",
                kLinks, qPrintable(QGuiApplication::platformName()), kCommands, kWarmUp);
    std::printf("  %-28s %8s %10s %10s %10s %6s %9s %7s\n", "path", "commands", "median us", "p99 us", "max us",
                "lost", "not whole", "failed");
    int64_t faults = 0;
    for (PathFigures &path : paths) {
        QList<double> sorted = path.us;
        const double median = Percentile(sorted, 50);
        const double p99 = Percentile(sorted, 99);
        std::printf("  %-28s %8lld %10.1f %10.1f %10.1f %6lld %9lld %7lld\n", path.name, qlonglong(path.us.size()),
                    median, p99, sorted.isEmpty() ? 0.0 : sorted.last(), qlonglong(path.lost), qlonglong(path.bad),
                    qlonglong(path.failed));
        faults += path.lost + path.bad + path.failed;
    }
    std::printf("  (lost, not whole: records over all commands, warm-up included; failed: HTTP answers not 200)\n");
    std::printf("  OSC datagrams the panel executed: %d, dropped: %d, ignored: %d\n", remote.Osc()->Executed(),
                remote.Osc()->Dropped(), remote.Osc()->Ignored());
    if (faults)
        std::printf("THIS RUN HAD LOSSES OR FAILURES: %lld records lost, not whole or answers failed\n",
                    qlonglong(faults));
    PrintAim("HTTP", paths[Http], kHttpAimUs);
    PrintAim("OSC", paths[Osc], kOscAimUs);
    return faults ? 1 : 0;
}
