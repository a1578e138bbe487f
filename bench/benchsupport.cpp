#include "benchsupport.h"

#include "commandrecord.h"
#include "configmodel.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr qint64 kRecordBytes = 104;
constexpr int kRecordWaitMs = 2000; // a record later than this counts as lost

} // namespace

void BenchStation(int s, const QList<uint16_t> &ports)
{
    StationRecord &pc = g_Settings.PC[s];
    pc.ENABLE = 1;
    CopyText(pc.ADDRESS, "127.0.0.1");
    std::memset(pc.PORT, 0, sizeof pc.PORT);
    QByteArray text;
    for (int i = 0; i < ports.size() && i < PORTS_PER_STATION; ++i) {
        pc.PORT[i] = ports[i];
        text += (text.isEmpty() ? "" : ",") + QByteArray::number(ports[i]);
    }
    CopyText(pc.SOCKET, text.constData());
}

void BenchStation(int s, std::initializer_list<uint16_t> ports)
{
    BenchStation(s, QList<uint16_t>(ports));
}

double Percentile(QList<double> &values, double p)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype i = std::min<qsizetype>(values.size() - 1, qsizetype(p / 100.0 * double(values.size())));
    return values[i];
}

uint16_t RefusingBenchPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

int LoopbackSocket(int type, uint16_t port)
{
    const int fd = ::socket(AF_INET, type, 0);
    if (fd < 0)
        return -1;
    if (type == SOCK_STREAM) {
        int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&to), sizeof to) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int PlainSocket(uint16_t port)
{
    return LoopbackSocket(SOCK_STREAM, port);
}

QByteArray LaunchProgramName(int station, int launch)
{
    return "s" + QByteArray::number(station) + "\\launch" + QByteArray::number(launch);
}

QByteArray LaunchRecord(int link, int launch)
{
    QByteArray rec(kRecordBytes, '\0');
    const int32_t code = CMD_RUN;
    std::memcpy(rec.data(), &code, sizeof code);
    const QByteArray name = LaunchProgramName(link / 4, launch);
    std::memcpy(rec.data() + 4, name.constData(), size_t(name.size()));
    return rec;
}

void ReceiveLaunchRounds(std::promise<QList<uint16_t>> ports, ArrivalProgress &progress, int links, int phases,
                         int rounds)
{
    std::vector<std::unique_ptr<QTcpServer>> servers;
    QList<uint16_t> list;
    for (int i = 0; i < links; ++i) {
        servers.push_back(std::make_unique<QTcpServer>());
        servers.back()->listen(QHostAddress::LocalHost, 0);
        list << servers.back()->serverPort();
    }
    ports.set_value(list);
    for (int phase = 0; phase < phases; ++phase) {
        std::vector<std::unique_ptr<QTcpSocket>> accepted;
        for (auto &server : servers) {
            if (!server->waitForNewConnection(30000))
                return;
            accepted.emplace_back(server->nextPendingConnection());
        }
        for (int n = 0; n < rounds; ++n) {
            for (int i = 0; i < links; ++i) {
                QTcpSocket &s = *accepted[size_t(i)];
                while (s.bytesAvailable() < kRecordBytes && s.waitForReadyRead(kRecordWaitMs)) {
                }
                if (s.bytesAvailable() < kRecordBytes)
                    continue; // not arrived: counted as lost
                const bool whole = s.read(kRecordBytes) == LaunchRecord(i, n);
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
            if (progress.wake)
                progress.wake();
        }
        std::unique_lock lock(progress.mutex);
        progress.cv.wait(lock, [&] { return progress.done == -1; }); // the sender is ready for the next phase
    }
}

PhaseCounts EndPhase(ArrivalProgress &progress, int64_t expected)
{
    PhaseCounts counts;
    {
        std::lock_guard lock(progress.mutex);
        counts.lost = expected - progress.records;
        counts.bad = progress.bad;
        progress.records = 0;
        progress.bad = 0;
        progress.done = -1;
    }
    progress.cv.notify_one();
    return counts;
}
