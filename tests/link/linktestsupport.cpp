#include "linktestsupport.h"

#include "configmodel.h"

#include <QTcpServer>

#include <cstring>

void ClearConfiguration()
{
    g_Settings = SettingsRecord{};
    g_Buttons = ButtonTable{};
}

void ConfigureStation(int s, bool enable, const char *address, std::initializer_list<uint16_t> ports)
{
    StationRecord &pc = g_Settings.PC[s];
    pc.ENABLE = enable;
    CopyText(pc.ADDRESS, address);
    QByteArray text;
    std::memset(pc.PORT, 0, sizeof pc.PORT);
    int i = 0;
    for (const uint16_t port : ports) {
        if (i < PORTS_PER_STATION)
            pc.PORT[i++] = port;
        text += (text.isEmpty() ? "" : ",") + QByteArray::number(port);
    }
    CopyText(pc.SOCKET, text.constData());
}

uint16_t RefusingPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort(); // closed again when probe goes
}

QByteArray RecordBytes(int32_t code, const QByteArray &argument)
{
    QByteArray bytes(104, '\0');
    std::memcpy(bytes.data(), &code, sizeof code);
    std::memcpy(bytes.data() + 4, argument.constData(), std::min<qsizetype>(argument.size(), 100));
    return bytes;
}

bool Ticked(ConnectionManager &manager)
{
    manager.TimerTick();
    return true;
}
