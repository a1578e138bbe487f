#pragma once

// Draws each cell of a ListCtrlEx with the look its owner chose: colours,
// one of the derived fonts, or a progress bar.

#include <QStyledItemDelegate>

class ListCtrlEx;

class ListCtrlExDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit ListCtrlExDelegate(ListCtrlEx *list);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    ListCtrlEx *m_list;
};
