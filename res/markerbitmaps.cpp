#include "markerbitmaps.h"

#include <QApplication>
#include <QPalette>

namespace {

// Digit rows 2..10, columns 1..5 of each marker; '#' is the digit colour.
const char *const kDigits[MARKER_COUNT][9] = {
    {"..#..", "###..", "..#..", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."},
    {".###.", "#...#", "....#", "....#", "...#.", "..#..", ".#...", "#....", "#####"},
    {".###.", "#...#", "....#", "....#", "..##.", "....#", "....#", "#...#", ".###."},
    {"...#.", "..##.", "..##.", ".#.#.", ".#.#.", "#..#.", "#####", "...#.", "...#."},
};

const QColor kDigitColour[MARKER_COUNT] = {
    QColor(255, 0, 0), QColor(0, 128, 0), QColor(0, 0, 255), QColor(255, 0, 255),
};

QImage g_markers[MARKER_COUNT];
QImage g_unreachable[MARKER_COUNT];

} // namespace

QImage BuildMarkerBitmap(int marker, const QColor &face, const QColor &digit)
{
    QImage image(MARKER_WIDTH, MARKER_HEIGHT, QImage::Format_RGB32);
    image.fill(face);
    if (marker < 0 || marker >= MARKER_COUNT)
        return image;
    for (int row = 0; row < 9; ++row)
        for (int col = 0; col < 5; ++col)
            if (kDigits[marker][row][col] == '#')
                image.setPixelColor(col + 1, row + 2, digit.isValid() ? digit : kDigitColour[marker]);
    return image;
}

void LoadMarkerBitmaps()
{
    const QColor face = QApplication::palette().color(QPalette::Button);
    for (int i = 0; i < MARKER_COUNT; ++i) {
        g_markers[i] = BuildMarkerBitmap(i, face);
        g_unreachable[i] = BuildMarkerBitmap(i, face, UnreachableDigitColour());
    }
}

const QImage &MarkerBitmap(int marker)
{
    static const QImage none;
    return marker >= 0 && marker < MARKER_COUNT ? g_markers[marker] : none;
}

const QImage &UnreachableMarkerBitmap(int marker)
{
    static const QImage none;
    return marker >= 0 && marker < MARKER_COUNT ? g_unreachable[marker] : none;
}
