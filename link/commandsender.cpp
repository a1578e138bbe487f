#include "commandsender.h"

#include "commandrecord.h"
#include "connectionmanager.h"

#include <algorithm>

namespace {

CommandDelivery Started(int32_t code)
{
    CommandDelivery delivery;
    delivery.code = code;
    delivery.sentAt = QDateTime::currentDateTime();
    return delivery;
}

// Every station takes part in the delivery that has a configured link; the
// record still goes to all four, as links of others are never connected.
CommandDelivery SendToAllStations(int32_t code)
{
    CommandDelivery delivery = Started(code);
    const CommandRecord record = BuildCommandRecord(code);
    for (int s = 0; s < STATION_COUNT; ++s) {
        StationDelivery sent = SendToStation(s, record);
        if (sent.Configured() > 0)
            delivery.station[s] = sent;
    }
    return delivery;
}

} // namespace

CommandDelivery SendLaunch(int button)
{
    if (button < 0 || button >= BUTTON_COUNT)
        return {};
    const ButtonRecord &b = g_Buttons.BUTTON[button];
    CommandDelivery delivery;
    for (int s = 0; s < STATION_COUNT; ++s) {
        if (!g_Settings.PC[s].ENABLE || b.PROGRAM[s][0] == '\0')
            continue;
        const CommandRecord record = BuildRunRecord(button, s);
        if (!delivery.Built())
            delivery = Started(record.code);
        delivery.station[s] = SendToStation(s, record);
        delivery.station[s].program = QByteArray(record.argument);
    }
    return delivery;
}

CommandDelivery SendStop()
{
    return SendToAllStations(CMD_STOP);
}

CommandDelivery SendPlay()
{
    return SendToAllStations(CMD_PLAY);
}

CommandDelivery SendPause()
{
    return SendToAllStations(CMD_PAUSE);
}

bool SendBrightness(int position, const unsigned char (&selected)[STATION_COUNT], int32_t &brightness,
                    CommandDelivery *delivery)
{
    if (!g_Settings.BRIGHT_ENA)
        return false;
    brightness = std::clamp(position, 0, 100);
    CommandDelivery sent = Started(CMD_BRIGHTNESS);
    sent.brightness = brightness;
    const CommandRecord record = BuildBrightnessRecord(brightness);
    for (int s = 0; s < STATION_COUNT; ++s) {
        if (selected[s])
            sent.station[s] = SendToStation(s, record);
    }
    if (delivery)
        *delivery = sent;
    return true;
}
