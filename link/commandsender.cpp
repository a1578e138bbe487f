#include "commandsender.h"

#include "commandrecord.h"
#include "connectionmanager.h"

#include <algorithm>

namespace {

void SendToAllStations(int32_t code)
{
    if (LastTickLinkState() == LINKS_NONE)
        return;
    BuildCommandRecord(code);
    for (int s = 0; s < STATION_COUNT; ++s)
        SendToStation(s);
}

} // namespace

void SendLaunch(int button)
{
    if (button < 0 || button >= BUTTON_COUNT || LastTickLinkState() == LINKS_NONE)
        return;
    const ButtonRecord &b = g_Buttons.BUTTON[button];
    for (int s = 0; s < STATION_COUNT; ++s) {
        if (!g_Settings.PC[s].ENABLE || b.PROGRAM[s][0] == '\0')
            continue;
        BuildRunRecord(button, s);
        SendToStation(s);
    }
}

void SendStop()
{
    SendToAllStations(CMD_STOP);
}

void SendPlay()
{
    SendToAllStations(CMD_PLAY);
}

void SendPause()
{
    SendToAllStations(CMD_PAUSE);
}

bool SendBrightness(int position, const unsigned char (&selected)[STATION_COUNT], int32_t &brightness)
{
    if (!g_Settings.BRIGHT_ENA)
        return false;
    brightness = std::clamp(position, 0, 100);
    BuildBrightnessRecord(brightness);
    for (int s = 0; s < STATION_COUNT; ++s) {
        if (selected[s])
            SendToStation(s);
    }
    return true;
}
