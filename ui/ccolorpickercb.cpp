#include "ccolorpickercb.h"

#include "colorpickerdelegate.h"

#include "controlmessages.h"
#include "syscolors.h"

#include <QAbstractItemView>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QTextOption>

namespace {

constexpr std::array<ColourRow, COLOUR_COUNT> kColours{{
    {0x000000, "Default - Black"},
    {0xFFF8F0, "AliceBlue"},
    {0xD7EBFA, "AntiqueWhite"},
    {0xFFFF00, "Aqua"},
    {0xD4FF7F, "Aquamarine"},
    {0xFFFFF0, "Azure"},
    {0xDCF5F5, "Beige"},
    {0xC4E4FF, "Bisque"},
    {0xCDEBFF, "BlanchedAlmond"},
    {0xFF0000, "Blue"},
    {0xE22B8A, "BlueViolet"},
    {0x2A2AA5, "Brown"},
    {0x87B8DE, "BurlyWood"},
    {0xA09E5F, "CadetBlue"},
    {0x00FF7F, "Chartreuse"},
    {0x1E69D2, "Chocolate"},
    {0x507FFF, "Coral"},
    {0xED9564, "CornflowerBlue"},
    {0xDCF8FF, "Cornsilk"},
    {0x3C14DC, "Crimson"},
    {0xFFFF00, "Cyan"},
    {0x8B0000, "DarkBlue"},
    {0x8B8B00, "DarkCyan"},
    {0x0B86B8, "DarkGoldenrod"},
    {0xA9A9A9, "DarkGray"},
    {0x006400, "DarkGreen"},
    {0x6BB7BD, "DarkKhaki"},
    {0x8B008B, "DarkMagenta"},
    {0x2F6B55, "DarkOliveGreen"},
    {0x008CFF, "DarkOrange"},
    {0xCC3299, "DarkOrchid"},
    {0x00008B, "DarkRed"},
    {0x7A96E9, "DarkSalmon"},
    {0x8FBC8F, "DarkSeaGreen"},
    {0x8B3D48, "DarkSlateBlue"},
    {0x4F4F2F, "DarkSlateGray"},
    {0xD1CE00, "DarkTurquoise"},
    {0xD30094, "DarkViolet"},
    {0x9314FF, "DeepPink"},
    {0xFFBF00, "DeepSkyBlue"},
    {0x696969, "DimGray"},
    {0xFF901E, "DodgerBlue"},
    {0x2222B2, "FireBrick"},
    {0xF0FAFF, "FloralWhite"},
    {0x228B22, "ForestGreen"},
    {0xFF00FF, "Fuchsia"},
    {0xDCDCDC, "Gainsboro"},
    {0xFFF8F8, "GhostWhite"},
    {0x00D7FF, "Gold"},
    {0x20A5DA, "Goldenrod"},
    {0x808080, "Gray"},
    {0x008000, "Green"},
    {0x2FFFAD, "GreenYellow"},
    {0xF0FFF0, "Honeydew"},
    {0xB469FF, "HotPink"},
    {0x5C5CCD, "IndianRed"},
    {0x82004B, "Indigo"},
    {0xF0FFFF, "Ivory"},
    {0x8CE6F0, "Khaki"},
    {0xFAE6E6, "Lavender"},
    {0xF5F0FF, "LavenderBlush"},
    {0x00FC7C, "LawnGreen"},
    {0xCDFAFF, "LemonChiffon"},
    {0xE6D8AD, "LightBlue"},
    {0x8080F0, "LightCoral"},
    {0xFFFFE0, "LightCyan"},
    {0xD2FAFA, "LightGoldenrodYellow"},
    {0x90EE90, "LightGreen"},
    {0xD3D3D3, "LightGrey"},
    {0xC1B6FF, "LightPink"},
    {0x7AA0FF, "LightSalmon"},
    {0xAAB220, "LightSeaGreen"},
    {0xFACE87, "LightSkyBlue"},
    {0x998877, "LightSlateGray"},
    {0xDEC4B0, "LightSteelBlue"},
    {0xE0FFFF, "LightYellow"},
    {0x00FF00, "Lime"},
    {0x32CD32, "LimeGreen"},
    {0xE6F0FA, "Linen"},
    {0xFF00FF, "Magenta"},
    {0x000080, "Maroon"},
    {0xAACD66, "MediumAquamarine"},
    {0xCD0000, "MediumBlue"},
    {0xD355BA, "MediumOrchid"},
    {0xDB7093, "MediumPurple"},
    {0x71B33C, "MediumSeaGreen"},
    {0xEE687B, "MediumSlateBlue"},
    {0x9AFA00, "MediumSpringGreen"},
    {0xCCD148, "MediumTurquoise"},
    {0x8515C7, "MediumVioletRed"},
    {0x701919, "MidnightBlue"},
    {0xFAFFF5, "MintCream"},
    {0xE1E4FF, "MistyRose"},
    {0xB5E4FF, "Moccasin"},
    {0xADDEFF, "NavajoWhite"},
    {0x800000, "Navy"},
    {0xE6F5FD, "OldLace"},
    {0x008080, "Olive"},
    {0x238E6B, "OliveDrab"},
    {0x00A5FF, "Orange"},
    {0x0045FF, "OrangeRed"},
    {0xD670DA, "Orchid"},
    {0xAAE8EE, "PaleGoldenrod"},
    {0x98FB98, "PaleGreen"},
    {0xEEEEAF, "PaleTurquoise"},
    {0x9370DB, "PaleVioletRed"},
    {0xD5EFFF, "PapayaWhip"},
    {0xB9DAFF, "PeachPuff"},
    {0x3F85CD, "Peru"},
    {0xCBC0FF, "Pink"},
    {0xDDA0DD, "Plum"},
    {0xE6E0B0, "PowderBlue"},
    {0x800080, "Purple"},
    {0x0000FF, "Red"},
    {0x8F8FBC, "RosyBrown"},
    {0xE16941, "RoyalBlue"},
    {0x13458B, "SaddleBrown"},
    {0x7280FA, "Salmon"},
    {0x60A4F4, "SandyBrown"},
    {0x578B2E, "SeaGreen"},
    {0xEEF5FF, "Seashell"},
    {0x2D52A0, "Sienna"},
    {0xC0C0C0, "Silver"},
    {0xEBCE87, "SkyBlue"},
    {0xCD5A6A, "SlateBlue"},
    {0x908070, "SlateGray"},
    {0xFAFAFF, "Snow"},
    {0x7FFF00, "SpringGreen"},
    {0xB48246, "SteelBlue"},
    {0x8CB4D2, "Tan"},
    {0x808000, "Teal"},
    {0xD8BFD8, "Thistle"},
    {0x4763FF, "Tomato"},
    {0xD0E040, "Turquoise"},
    {0xEE82EE, "Violet"},
    {0xB3DEF5, "Wheat"},
    {0xFFFFFF, "White"},
    {0xF5F5F5, "WhiteSmoke"},
    {0x00FFFF, "Yellow"},
    {0x32CD9A, "YellowGreen"},
}};

// DrawFocusRect: a dotted frame inverted against what lies under it.
void DrawFocusRect(QPainter *painter, const QRect &rect)
{
    painter->save();
    painter->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    QPen pen(Qt::white);
    pen.setStyle(Qt::DotLine);
    pen.setWidth(1);
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(rect.adjusted(0, 0, -1, -1));
    painter->restore();
}

} // namespace

CColorPickerCB::CColorPickerCB(QWidget *parent) : QComboBox(parent)
{
    SetComboSorted(this, true);
    setItemDelegate(new ColorPickerDelegate(this));
    setMaxVisibleItems(16);
}

const std::array<ColourRow, COLOUR_COUNT> &CColorPickerCB::Colours()
{
    return kColours;
}

void CColorPickerCB::FillColours()
{
    clear();
    for (const ColourRow &row : kColours) {
        const int index = ComboAddString(this, QString::fromLatin1(row.name));
        if (index < 0)
            break; // the list is out of space
        SetComboItemData(this, index, intptr_t(row.value));
    }
}

void CColorPickerCB::SelectColour(uint32_t value)
{
    for (int i = 0; i < count(); ++i)
        if (uint32_t(ComboItemData(this, i)) == value) {
            setCurrentIndex(i);
            return;
        }
}

int CColorPickerCB::ItemHeight() const
{
    return fontMetrics().height() + 4;
}

void CColorPickerCB::DrawItem(QPainter *painter, const QRect &rect, int index, bool selected, bool focused,
                              bool disabled) const
{
    // In the platform's terms: right and bottom are exclusive.
    const int left = rect.left(), top = rect.top();
    const int right = left + rect.width(), bottom = top + rect.height();
    const int width = right - left;

    QColor text, back;
    if (selected) {
        text = ColorFromRef(~SysColorRef(COLOR_WINDOWTEXT) & 0xFFFFFF);
        back = SysColor(COLOR_HIGHLIGHT);
    } else {
        text = SysColor(COLOR_WINDOWTEXT);
        back = SysColor(COLOR_WINDOW);
    }
    painter->fillRect(rect, back);
    if (focused)
        DrawFocusRect(painter, rect);
    if (index < 0 || index >= count())
        return;

    const QColor grey = SysColor(COLOR_GRAYTEXT);
    painter->save();
    painter->setPen(disabled ? grey : text);
    painter->setFont(font());
    QTextOption option(Qt::AlignLeft | Qt::AlignTop);
    option.setTabStopDistance(50);
    option.setWrapMode(QTextOption::NoWrap);
    const int textLeft = left + width / 4 + 2;
    painter->drawText(QRectF(textLeft, top + 2, std::max(0, right - textLeft), std::max(0, bottom - top - 2)),
                      itemText(index), option);

    // The swatch: the item rectangle less 2 pixels on every side, its right
    // edge at x = width / 4; framed in black.
    const QRect swatch(left + 2, top + 2, width / 4 - (left + 2), (bottom - 2) - (top + 2));
    if (swatch.width() > 0 && swatch.height() > 0) {
        painter->fillRect(swatch, disabled ? grey : ColorFromRef(uint32_t(ComboItemData(this, index))));
        painter->setPen(Qt::black);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(swatch.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}

void CColorPickerCB::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionComboBox opt;
    initStyleOption(&opt);
    opt.currentText.clear();
    opt.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, opt);
    const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, this);
    // The selection field is the focused, selected item while the picker has the focus.
    const bool focused = hasFocus() && !view()->isVisible();
    DrawItem(&painter, field, currentIndex(), focused, focused, !isEnabled());
}

void CColorPickerCB::mousePressEvent(QMouseEvent *event)
{
    if (!hasFocus())
        setFocus(Qt::MouseFocusReason);
    QComboBox::mousePressEvent(event);
}
