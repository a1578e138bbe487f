#include "mycbutton.h"

#include "configmodel.h"
#include "markerbitmaps.h"

#include <QPainter>
#include <QStyleOptionButton>

#include <bit>
#include <cmath>

MyCButton::MyCButton(QWidget *parent)
    : QPushButton(parent)
{
    // Enter on a focused launch button must never launch a show again.
    setAutoDefault(false);
}

QColor MyCButton::InlineFace(const QColor &face)
{
    return QColor(face.red(), 2 * face.blue() / 3, 2 * face.green() / 3);
}

void MyCButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    // Rectangles with exclusive right and bottom edges, as the drawing rules count them.
    const int right = width();
    const int bottom = height();
    const bool focused = hasFocus();
    const bool pushed = isDown();

    QRect r(0, 0, right, bottom);
    if (focused)
        r.adjust(1, 1, -1, -1);

    QStyleOptionButton frame;
    frame.initFrom(this);
    frame.rect = r;
    frame.state &= ~QStyle::State_HasFocus;
    frame.state |= pushed ? QStyle::State_Sunken : QStyle::State_Raised;
    style()->drawControl(QStyle::CE_PushButtonBevel, &frame, &p, this);

    const QRect face = r.adjusted(1, 1, -2, -2);
    if (m_color != 0)
        p.fillRect(face, QColor(int(m_color & 0xFF), int((m_color >> 8) & 0xFF), int((m_color >> 16) & 0xFF)));
    else if (m_flags & INLINE_BIT)
        p.fillRect(face, InlineFace(palette().color(QPalette::Button)));

    DrawMarkers(p, right, bottom);

    QFont bold = font();
    bold.setWeight(QFont::Weight(800));
    p.setFont(bold);
    p.setPen(CaptionColour());
    const QRect all(0, 0, right, bottom);
    // Captions keep the CR LF of the files; a line break is the LF alone here.
    const QString caption = text().remove(QLatin1Char('\r'));
    if (g_Settings.DLG_MULTILINE)
        p.drawText(all.adjusted(0, 6, 0, 0), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap | Qt::TextShowMnemonic, caption);
    else
        p.drawText(all, Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic, caption);

    DrawLastLaunchBar(p, all);

    if (focused) {
        p.setPen(Qt::black);
        p.setBrush(Qt::NoBrush);
        p.drawRect(all.adjusted(0, 0, -1, -1));
        // The dotted focus rectangle: every other pixel, 4 pixels inside the border.
        const QRect dots = all.adjusted(4, 4, -4, -4);
        for (int x = dots.left(); x < dots.left() + dots.width(); x += 2) {
            p.drawPoint(x, dots.top());
            p.drawPoint(x, dots.top() + dots.height() - 1);
        }
        for (int y = dots.top(); y < dots.top() + dots.height(); y += 2) {
            p.drawPoint(dots.left(), y);
            p.drawPoint(dots.left() + dots.width() - 1, y);
        }
    }
}

void MyCButton::SetLastLaunch(bool on)
{
    if (m_lastLaunch == on)
        return;
    m_lastLaunch = on;
    update();
}

double MyCButton::Luminance(const QColor &colour)
{
    const auto linear = [](int channel) {
        const double c = channel / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.red()) + 0.7152 * linear(colour.green()) + 0.0722 * linear(colour.blue());
}

QColor MyCButton::FaceColour() const
{
    if (m_color != 0)
        return QColor(int(m_color & 0xFF), int((m_color >> 8) & 0xFF), int((m_color >> 16) & 0xFF));
    const QColor face = palette().color(QPalette::Button);
    return m_flags & INLINE_BIT ? InlineFace(face) : face;
}

void MyCButton::DrawMarkers(QPainter &p, int right, int bottom) const
{
    const int n = std::popcount(m_flags & MARKER_BITS);
    if (n == 0)
        return;
    int x = right - MARKER_WIDTH * n - 4;
    const int y = bottom - 16;
    for (int i = 0; i < MARKER_COUNT; ++i) {
        if (m_flags & (1u << i)) {
            // A station that nothing reaches keeps its place, with a grey digit.
            p.drawImage(x, y, m_unreachable & (1u << i) ? UnreachableMarkerBitmap(i) : MarkerBitmap(i));
            x += MARKER_WIDTH;
        }
    }
}

void MyCButton::DrawLastLaunchBar(QPainter &p, const QRect &r) const
{
    if (!m_lastLaunch)
        return;
    // Three pixels wide inside the frame, x from left + 2 to left + 4 and y
    // from top + 3 to bottom - 4 (bottom exclusive, as the rectangle counts).
    p.fillRect(QRect(QPoint(r.left() + 2, r.top() + 3), QPoint(r.left() + 4, r.top() + r.height() - 4)),
               palette().color(QPalette::Highlight));
}

QColor MyCButton::CaptionColour() const
{
    if (Luminance(FaceColour()) < DARK_FACE_LUMINANCE)
        return Qt::white;
    return palette().color(QPalette::ButtonText);
}
