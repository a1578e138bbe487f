#include "commandrecord.h"

#include "configmodel.h"

#include <algorithm>
#include <cstring>

CommandRecord g_CommandRecord{};

void BuildRunRecord(int button, int station)
{
    if (button < 0 || button >= BUTTON_COUNT || station < 0 || station >= STATION_COUNT)
        return;
    const ButtonRecord &b = g_Buttons.BUTTON[button];
    std::memset(&g_CommandRecord, 0, sizeof g_CommandRecord);
    g_CommandRecord.code = b.INLINE ? CMD_RUN_INLINE : CMD_RUN;
    // Bounded by the entry's own size, so an unterminated entry still gives
    // at most 79 bytes and a terminator at offset 83.
    CopyText(g_CommandRecord.argument, sizeof b.PROGRAM[station], b.PROGRAM[station], sizeof b.PROGRAM[station]);
}

void BuildCommandRecord(int32_t code)
{
    std::memset(&g_CommandRecord, 0, sizeof g_CommandRecord);
    g_CommandRecord.code = code;
}

void BuildBrightnessRecord(int32_t value)
{
    std::memset(&g_CommandRecord, 0, sizeof g_CommandRecord);
    g_CommandRecord.code = CMD_BRIGHTNESS;
    const int32_t clamped = std::clamp<int32_t>(value, 0, 100);
    std::memcpy(g_CommandRecord.argument, &clamped, sizeof clamped);
}

const char *CommandName(int32_t code)
{
    switch (code) {
    case CMD_STOP: return "CMD_STOP";
    case CMD_RUN: return "CMD_RUN";
    case CMD_BRIGHTNESS: return "CMD_BRIGHTNESS";
    case CMD_PLAY: return "CMD_PLAY";
    case CMD_PAUSE: return "CMD_PAUSE";
    case CMD_RUN_INLINE: return "CMD_RUN_INLINE";
    default: return nullptr;
    }
}
