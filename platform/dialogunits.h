#pragma once

// Dialog units to pixels, from the dialog's font, as the dialog platform
// converts them: x = dlu * average character width / 4 and
// y = dlu * character height / 8, each rounded to the nearest pixel, with the
// average width measured over "A-Z a-z" and rounded.

#include <QRect>

class QFont;

class DialogUnits {
public:
    explicit DialogUnits(const QFont &font);
    DialogUnits(int baseX, int baseY) : m_baseX(baseX), m_baseY(baseY) {}

    int BaseX() const { return m_baseX; }
    int BaseY() const { return m_baseY; }

    int X(int dlu) const;
    int Y(int dlu) const;
    // Position and size are converted each on its own, as the platform does.
    QRect Rect(int x, int y, int cx, int cy) const;

private:
    int m_baseX = 0;
    int m_baseY = 0;
};
