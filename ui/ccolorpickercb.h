#pragma once

// A drop-down list of 140 named colours, each item drawn as a colour swatch
// followed by the colour's name; the selected item's data is its colour
// value. The list is sorted, so it shows the names in sorted order, not in
// table order.

#include <QComboBox>

#include <array>
#include <cstdint>

struct ColourRow {
    uint32_t value; // platform colour value: red in the lowest byte
    char name[32];
};

constexpr int COLOUR_COUNT = 140;

class CColorPickerCB : public QComboBox {
    Q_OBJECT
public:
    explicit CColorPickerCB(QWidget *parent = nullptr);

    // The colour table, shared by all pickers: row 0 "Default - Black" (0),
    // then the standard web colour names in alphabetical order.
    static const std::array<ColourRow, COLOUR_COUNT> &Colours();

    // Empties the list, then adds every row with its value as item data.
    void FillColours();
    // Selects the first item in list order whose data is the value; none
    // leaves the selection as it was.
    void SelectColour(uint32_t value);

    // Draws item index (-1: the empty selection field) into rect.
    void DrawItem(QPainter *painter, const QRect &rect, int index, bool selected, bool focused, bool disabled) const;
    int ItemHeight() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
};
