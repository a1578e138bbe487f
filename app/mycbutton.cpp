#include "mycbutton.h"

#include "configmodel.h"
#include "markerbitmaps.h"

#include <QMouseEvent>
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
    const QRect all(0, 0, right, bottom);

    QStyleOptionButton frame;
    frame.initFrom(this);
    frame.rect = all;
    frame.state &= ~QStyle::State_HasFocus;
    frame.state |= isDown() ? QStyle::State_Sunken : QStyle::State_Raised;
    style()->drawControl(QStyle::CE_PushButtonBevel, &frame, &p, this);

    const QRect face = all.adjusted(1, 1, -2, -2);
    if (m_color != 0)
        p.fillRect(face, QColor(int(m_color & 0xFF), int((m_color >> 8) & 0xFF), int((m_color >> 16) & 0xFF)));
    else if (m_flags & INLINE_BIT)
        p.fillRect(face, InlineFace(palette().color(QPalette::Button)));

    // Beneath everything else: the focus must never hide what the button says.
    if (hasFocus())
        DrawFocusFrame(p, all);

    DrawMarkers(p, right, bottom);

    QFont bold = font();
    bold.setWeight(QFont::Weight(800));
    p.setFont(bold);
    p.setPen(CaptionColour());
    // Captions keep the CR LF of the files; a line break is the LF alone here.
    const QString caption = text().remove(QLatin1Char('\r'));
    if (g_Settings.DLG_MULTILINE)
        p.drawText(all.adjusted(0, 6, 0, 0), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap | Qt::TextShowMnemonic, caption);
    else
        p.drawText(all, Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic, caption);

    DrawLastLaunchMark(p, all);
}

void MyCButton::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The second press of a double click is no second launch, as with the
    // owner-drawn buttons the panel was written for: it is let go unclicked.
    m_inDoubleClick = true;
    setDown(false);
    event->accept();
}

void MyCButton::mouseMoveEvent(QMouseEvent *event)
{
    // Moving within the button would press it again, and its release click.
    if (m_inDoubleClick) {
        event->accept();
        return;
    }
    QPushButton::mouseMoveEvent(event);
}

void MyCButton::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_inDoubleClick && event->button() == Qt::LeftButton) {
        m_inDoubleClick = false;
        setDown(false);
    }
    QPushButton::mouseReleaseEvent(event);
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
            // A station that nothing reaches keeps its place, with a grey
            // digit crossed out, so its state does not rest on colour alone.
            if (m_unreachable & (1u << i)) {
                p.drawImage(x, y, UnreachableMarkerBitmap(i));
                p.setPen(palette().color(QPalette::ButtonText));
                p.drawLine(x, y + MARKER_HEIGHT - 1, x + MARKER_WIDTH - 1, y + 1);
            } else {
                p.drawImage(x, y, MarkerBitmap(i));
            }
            x += MARKER_WIDTH;
        }
    }
}

void MyCButton::DrawLastLaunchMark(QPainter &p, const QRect &r) const
{
    if (!m_lastLaunch)
        return;
    const QColor highlight = palette().color(QPalette::Highlight);
    // The bar: three pixels wide inside the frame, x from left + 2 to left + 4
    // and y from top + 3 to bottom - 4 (bottom exclusive, as the rectangle counts).
    p.fillRect(QRect(QPoint(r.left() + 2, r.top() + 3), QPoint(r.left() + 4, r.top() + r.height() - 4)), highlight);
    // The outline: two pixels along the button's edge, over the frame.
    for (int i = 0; i < LAST_LAUNCH_OUTLINE; ++i) {
        const QRect ring = r.adjusted(i, i, -i, -i);
        p.fillRect(QRect(ring.left(), ring.top(), ring.width(), 1), highlight);
        p.fillRect(QRect(ring.left(), ring.bottom(), ring.width(), 1), highlight);
        p.fillRect(QRect(ring.left(), ring.top(), 1, ring.height()), highlight);
        p.fillRect(QRect(ring.right(), ring.top(), 1, ring.height()), highlight);
    }
}

void MyCButton::DrawFocusFrame(QPainter &p, const QRect &r) const
{
    // One pixel, half-tone in the caption's colour, inside the outline; the
    // bar is drawn over it.
    QColor colour = CaptionColour();
    colour.setAlpha(FOCUS_FRAME_ALPHA);
    const QRect frame = r.adjusted(FOCUS_FRAME_INSET, FOCUS_FRAME_INSET, -FOCUS_FRAME_INSET - 1, -FOCUS_FRAME_INSET - 1);
    p.setPen(colour);
    p.setBrush(Qt::NoBrush);
    p.drawRect(frame);
}

QColor MyCButton::CaptionColour() const
{
    if (Luminance(FaceColour()) < DARK_FACE_LUMINANCE)
        return Qt::white;
    return palette().color(QPalette::ButtonText);
}
