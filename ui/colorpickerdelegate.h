#pragma once

// Draws the items of a colour picker's dropped list as the picker draws them.

#include <QStyledItemDelegate>

class CColorPickerCB;

class ColorPickerDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit ColorPickerDelegate(CColorPickerCB *picker);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    CColorPickerCB *m_picker;
};
