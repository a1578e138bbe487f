#pragma once

// The owner-drawn launch button: push-button frame, the button's own face
// colour (or the inline face), station markers in the lower right corner and
// a bold caption, on one line or wrapped. The last-launched button carries a
// bar and an outline in the highlight colour; keyboard focus is a thin frame
// drawn beneath them. A double click launches once.

#include <QPushButton>

#include <cstdint>

class QPainter;

class MyCButton : public QPushButton {
    Q_OBJECT
public:
    static constexpr uint32_t MARKER_BITS = 0x0F;
    static constexpr uint32_t INLINE_BIT = 0x10;

    explicit MyCButton(QWidget *parent = nullptr);

    // Neither redraws by itself; setting the caption right after does.
    void SetFlags(uint32_t flags) { m_flags = flags; }
    void SetColor(uint32_t color) { m_color = color; }
    uint32_t Flags() const { return m_flags; }
    uint32_t Color() const { return m_color; }
    // Stations (bit 0x01 station 1 ... 0x08 station 4) that no connected
    // link reaches: their markers are drawn with a grey digit. No redraw.
    void SetUnreachable(uint32_t stations) { m_unreachable = stations & MARKER_BITS; }
    uint32_t Unreachable() const { return m_unreachable; }
    // The button whose launch went out last carries a bar along its left
    // edge; redraws when this changes.
    void SetLastLaunch(bool on);
    bool IsLastLaunch() const { return m_lastLaunch; }

    // The inline face made from the button face colour F: (red F, 2/3 blue F, 2/3 green F).
    static QColor InlineFace(const QColor &face);
    // Relative luminance (Rec. 709 weights on linearised sRGB), 0..1.
    static double Luminance(const QColor &colour);
    // Below this luminance a caption is drawn white, or it cannot be read.
    static constexpr double DARK_FACE_LUMINANCE = 0.18;
    // The last launch's outline, in pixels along the edge.
    static constexpr int LAST_LAUNCH_OUTLINE = 2;
    // The focus frame: this far inside the edge, just inside the outline and
    // beneath the bar (left + 2 to left + 4), at this opacity of the caption's colour.
    static constexpr int FOCUS_FRAME_INSET = 3;
    static constexpr int FOCUS_FRAME_ALPHA = 128;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    // The face as painted: the colour, else the inline face, else the palette's.
    QColor FaceColour() const;
    void DrawMarkers(QPainter &p, int right, int bottom) const;
    void DrawLastLaunchMark(QPainter &p, const QRect &r) const;
    void DrawFocusFrame(QPainter &p, const QRect &r) const;
    QColor CaptionColour() const;

    uint32_t m_flags = MARKER_BITS;
    uint32_t m_color = 0;
    uint32_t m_unreachable = 0;
    bool m_lastLaunch = false;
    bool m_inDoubleClick = false; // between the second press of a double click and its release
};
