#include "benchsupport.h"

#include "configmodel.h"

#include <QTcpServer>

#include <algorithm>
#include <cstring>

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
