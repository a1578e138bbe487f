#include "mycbutton.h"

#include "configmodel.h"
#include "markerbitmaps.h"

#include <QPainter>
#include <QStyleOptionButton>

#include <bit>

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

    if (const int n = std::popcount(m_flags & MARKER_BITS)) {
        int x = right - MARKER_WIDTH * n - 4;
        const int y = bottom - 16;
        for (int i = 0; i < MARKER_COUNT; ++i) {
            if (m_flags & (1u << i)) {
                p.drawImage(x, y, MarkerBitmap(i));
                x += MARKER_WIDTH;
            }
        }
    }

    QFont bold = font();
    bold.setWeight(QFont::Weight(800));
    p.setFont(bold);
    p.setPen(palette().color(QPalette::ButtonText));
    const QRect all(0, 0, right, bottom);
    // Captions keep the CR LF of the files; a line break is the LF alone here.
    const QString caption = text().remove(QLatin1Char('\r'));
    if (g_Settings.DLG_MULTILINE)
        p.drawText(all.adjusted(0, 6, 0, 0), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap | Qt::TextShowMnemonic, caption);
    else
        p.drawText(all, Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic, caption);

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
