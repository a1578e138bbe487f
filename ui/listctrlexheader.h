#pragma once

// The list's column header: each section drawn by the style, with the
// column's sort image, when it has one, just right of the title.

#include <QHeaderView>

class ListCtrlEx;

class ListCtrlExHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit ListCtrlExHeader(ListCtrlEx *list);

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;

private:
    ListCtrlEx *m_list;
};
