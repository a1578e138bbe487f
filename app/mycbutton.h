#pragma once

// The owner-drawn launch button: push-button frame, the button's own face
// colour (or the inline face), station markers in the lower right corner and
// a bold caption, on one line or wrapped.

#include <QPushButton>

#include <cstdint>

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

    // The inline face made from the button face colour F: (red F, 2/3 blue F, 2/3 green F).
    static QColor InlineFace(const QColor &face);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    uint32_t m_flags = MARKER_BITS;
    uint32_t m_color = 0;
};
