#pragma once

// The four station marker bitmaps of the launch buttons: 7 x 12 pixels, a
// coloured digit 1..4 on the button face colour.

#include <QColor>
#include <QImage>

constexpr int MARKER_WIDTH = 7;
constexpr int MARKER_HEIGHT = 12;
constexpr int MARKER_COUNT = 4;

// Resource identifiers of markers 1..4.
constexpr int MARKER_RESOURCE[MARKER_COUNT] = {135, 137, 136, 138};

// The digit colour of a station that no link reaches.
inline QColor UnreachableDigitColour()
{
    return QColor(128, 128, 128);
}

// Marker i (0..3) with its light grey background mapped to face; the digit
// in the station's colour, or in digit when that is valid.
QImage BuildMarkerBitmap(int marker, const QColor &face, const QColor &digit = QColor());

// Builds the process-wide markers once, on the current button face colour.
void LoadMarkerBitmaps();
// Marker i (0..3) as loaded; a null image before LoadMarkerBitmaps.
const QImage &MarkerBitmap(int marker);
// Marker i (0..3) with a grey digit, for a station that no link reaches.
const QImage &UnreachableMarkerBitmap(int marker);
