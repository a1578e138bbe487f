#pragma once

// The command record: the only message the panel sends to a station. Its
// in-memory form is its wire form, 104 bytes, integers little-endian; every
// byte the argument does not use is zero.

#include <bit>
#include <cstdint>

constexpr int32_t CMD_STOP = 1;
constexpr int32_t CMD_RUN = 2;
constexpr int32_t CMD_BRIGHTNESS = 3;
constexpr int32_t CMD_PLAY = 4;
constexpr int32_t CMD_PAUSE = 5;
constexpr int32_t CMD_RUN_INLINE = 6;

struct CommandRecord {
    int32_t code;
    char argument[100]; // program name (codes 2, 6), brightness as int32 (code 3), else zero
};

static_assert(sizeof(CommandRecord) == 104);
static_assert(std::endian::native == std::endian::little, "the record is sent as it lies in memory");

// The record that runs button's program on station: code 6 when the button's
// INLINE flag is set, else 2; the station's PROGRAM entry, at most 79 bytes,
// from offset 4. Out-of-range indexes give an all-zero record (code 0, which
// is never sent).
CommandRecord BuildRunRecord(int button, int station);
// A record without argument: CMD_STOP, CMD_PLAY or CMD_PAUSE.
CommandRecord BuildCommandRecord(int32_t code);
// The brightness record; the value is clamped to 0..100.
CommandRecord BuildBrightnessRecord(int32_t value);

// "CMD_STOP" ... "CMD_RUN_INLINE", or nullptr for a code that is never sent.
const char *CommandName(int32_t code);
