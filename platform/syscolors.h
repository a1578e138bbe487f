#pragma once

// Platform colour values (red in the lowest byte, then green, then blue, top
// byte 0) and the system colour scheme, taken from the application palette.

#include <QColor>

#include <cstdint>

#ifndef COLOR_WINDOW
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_HIGHLIGHT = 13;
constexpr int COLOR_HIGHLIGHTTEXT = 14;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_BTNSHADOW = 16;
constexpr int COLOR_GRAYTEXT = 17;
constexpr int COLOR_BTNTEXT = 18;
constexpr int COLOR_BTNHIGHLIGHT = 20;
#endif

constexpr uint32_t MakeColorRef(int r, int g, int b)
{
    return uint32_t(r & 0xFF) | (uint32_t(g & 0xFF) << 8) | (uint32_t(b & 0xFF) << 16);
}
QColor ColorFromRef(uint32_t ref);
uint32_t RefFromColor(const QColor &color);

// The colour of a system colour index; black for an unknown index.
QColor SysColor(int index);
inline uint32_t SysColorRef(int index) { return RefFromColor(SysColor(index)); }
