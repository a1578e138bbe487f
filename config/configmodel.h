#pragma once

// The program's whole persistent state: the settings record and the button
// table. Both are plain fixed-size records of fixed-width windows-1250 text
// fields, read and written in place by every subsystem.

#include <cstdint>

constexpr int STATION_COUNT = 4;
constexpr int PORTS_PER_STATION = 4;
constexpr int BUTTON_COUNT = 40;
constexpr uint32_t DEFAULT_PORT = 700;

struct StationRecord {
    unsigned char ENABLE;      // the station takes part
    char ADDRESS[60];          // host name or dotted IPv4 address
    char SOCKET[36];           // ports as typed, "700,701"
    char PATH[260];            // programs directory
    uint32_t PORT[PORTS_PER_STATION]; // derived from SOCKET at every load; 0 = none
};

struct SettingsRecord {
    uint32_t LANG;               // 0 Czech, 1 English
    unsigned char DIALOG;        // layout type 0..13
    unsigned char DLG_MULTILINE; // captions wrap
    unsigned char BRIGHT_ENA;    // brightness controls shown and active
    char LASTPROG[260];          // file name of the last button set
    char LASTFNAME[260];         // full path of the last button set
    StationRecord PC[STATION_COUNT];
};

struct ButtonRecord {
    unsigned char ENABLE;
    char NAME[40];
    unsigned char INLINE;
    uint32_t COLOR;              // red in the low byte; 0 = default face
    char PROGRAM[STATION_COUNT][80];
};

struct ButtonTable {
    ButtonRecord BUTTON[BUTTON_COUNT];
};

extern SettingsRecord g_Settings;
extern ButtonTable g_Buttons;

// Index into the two-language text tables: a LANG other than 0 or 1 reads as Czech.
int LangIndex();

// Bounded copy into a text field: at most cap - 1 bytes of src (up to its NUL
// or srcLen, whichever comes first), always terminated.
void CopyText(char *dst, unsigned cap, const char *src, unsigned srcLen = ~0u);

template <unsigned N>
inline void CopyText(char (&dst)[N], const char *src, unsigned srcLen = ~0u)
{
    CopyText(dst, N, src, srcLen);
}
