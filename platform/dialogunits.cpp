#include "dialogunits.h"

#include <QFont>
#include <QFontMetrics>

namespace {

// a * b / c rounded to the nearest integer, halves away from zero.
int MulDiv(int a, int b, int c)
{
    const long long p = static_cast<long long>(a) * b;
    const long long q = (p >= 0 ? p + c / 2 : p - c / 2) / c;
    return int(q);
}

} // namespace

DialogUnits::DialogUnits(const QFont &font)
{
    const QFontMetrics fm(font);
    const int width = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseX = (width / 26 + 1) / 2;
    m_baseY = fm.height();
}

int DialogUnits::X(int dlu) const
{
    return MulDiv(dlu, m_baseX, 4);
}

int DialogUnits::Y(int dlu) const
{
    return MulDiv(dlu, m_baseY, 8);
}

QRect DialogUnits::Rect(int x, int y, int cx, int cy) const
{
    return QRect(X(x), Y(y), X(cx), Y(cy));
}
