#include "listctrlexmodel.h"

#include "listctrlex.h"

ListCtrlExModel::ListCtrlExModel(ListCtrlEx *list) : QAbstractTableModel(list), m_list(list)
{
}

int ListCtrlExModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int ListCtrlExModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant ListCtrlExModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return m_list->CellText(index.row(), index.column());
    case Qt::DecorationRole:
        if (index.column() == 0) {
            const QIcon icon = m_list->ImageAt(m_list->CellImage(index.row()));
            if (!icon.isNull())
                return icon;
        }
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() < m_columns.size())
            return QVariant::fromValue(ListCtrlEx::Alignment(m_columns[index.column()].format) | Qt::AlignVCenter);
        return {};
    default:
        return {};
    }
}

QVariant ListCtrlExModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size())
        return {};
    if (role == Qt::DisplayRole)
        return m_columns[section].title;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(ListCtrlEx::Alignment(m_columns[section].format) | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags ListCtrlExModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (m_dragEnabled)
        f |= Qt::ItemIsDragEnabled;
    return f;
}

void ListCtrlExModel::SetRowCount(int rows)
{
    beginResetModel();
    m_rows = std::max(rows, 0);
    endResetModel();
}

int ListCtrlExModel::InsertColumn(int at, const Column &column)
{
    at = std::clamp(at, 0, int(m_columns.size()));
    beginInsertColumns(QModelIndex(), at, at);
    m_columns.insert(at, column);
    endInsertColumns();
    return at;
}

void ListCtrlExModel::SetColumn(int index, const Column &column)
{
    if (index < 0 || index >= m_columns.size())
        return;
    m_columns[index] = column;
    emit headerDataChanged(Qt::Horizontal, index, index);
}
