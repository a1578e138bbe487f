#include "syscolors.h"

#include <QGuiApplication>
#include <QPalette>

QColor ColorFromRef(uint32_t ref)
{
    return QColor(int(ref & 0xFF), int((ref >> 8) & 0xFF), int((ref >> 16) & 0xFF));
}

uint32_t RefFromColor(const QColor &color)
{
    const QColor rgb = color.toRgb();
    return MakeColorRef(rgb.red(), rgb.green(), rgb.blue());
}

QColor SysColor(int index)
{
    const QPalette pal = QGuiApplication::palette();
    switch (index) {
    case COLOR_WINDOW: return pal.color(QPalette::Active, QPalette::Base);
    case COLOR_WINDOWTEXT: return pal.color(QPalette::Active, QPalette::Text);
    case COLOR_HIGHLIGHT: return pal.color(QPalette::Active, QPalette::Highlight);
    case COLOR_HIGHLIGHTTEXT: return pal.color(QPalette::Active, QPalette::HighlightedText);
    case COLOR_BTNFACE: return pal.color(QPalette::Active, QPalette::Button);
    case COLOR_BTNSHADOW: return pal.color(QPalette::Active, QPalette::Dark);
    case COLOR_GRAYTEXT: return pal.color(QPalette::Disabled, QPalette::Text);
    case COLOR_BTNTEXT: return pal.color(QPalette::Active, QPalette::ButtonText);
    case COLOR_BTNHIGHLIGHT: return pal.color(QPalette::Active, QPalette::Light);
    default: return QColor(Qt::black);
    }
}
