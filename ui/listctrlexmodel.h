#pragma once

// The model behind ListCtrlEx: it knows the row count and the columns only;
// every cell text and row image is asked of the list, which asks its owner.

#include <QAbstractTableModel>
#include <QList>

class ListCtrlEx;

class ListCtrlExModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Column {
        QString title;
        int format = 0; // LVCFMT_* bits
        int image = -1; // header image index, -1 none
    };

    explicit ListCtrlExModel(ListCtrlEx *list);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    void SetRowCount(int rows);
    int InsertColumn(int at, const Column &column);
    int ColumnCount() const { return int(m_columns.size()); }
    const Column &ColumnAt(int index) const { return m_columns[index]; }
    void SetColumn(int index, const Column &column);
    void SetDragEnabled(bool on) { m_dragEnabled = on; }

private:
    ListCtrlEx *m_list;
    int m_rows = 0;
    QList<Column> m_columns;
    bool m_dragEnabled = false;
};
