#include "commandrecord.h"

#include "configmodel.h"

#include <algorithm>
#include <cstring>

CommandRecord BuildRunRecord(int button, int station)
{
    CommandRecord record{};
    if (button < 0 || button >= BUTTON_COUNT || station < 0 || station >= STATION_COUNT)
        return record;
    const ButtonRecord &b = g_Buttons.BUTTON[button];
    record.code = b.INLINE ? CMD_RUN_INLINE : CMD_RUN;
    // Bounded by the entry's own size, so an unterminated entry still gives
    // at most 79 bytes and a terminator at offset 83.
    CopyText(record.argument, sizeof b.PROGRAM[station], b.PROGRAM[station], sizeof b.PROGRAM[station]);
    return record;
}

CommandRecord BuildCommandRecord(int32_t code)
{
    CommandRecord record{};
    record.code = code;
    return record;
}

CommandRecord BuildBrightnessRecord(int32_t value)
{
    CommandRecord record{};
    record.code = CMD_BRIGHTNESS;
    const int32_t clamped = std::clamp<int32_t>(value, 0, 100);
    std::memcpy(record.argument, &clamped, sizeof clamped);
    return record;
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
