#include "colorpickerdelegate.h"

#include "ccolorpickercb.h"

ColorPickerDelegate::ColorPickerDelegate(CColorPickerCB *picker) : QStyledItemDelegate(picker), m_picker(picker)
{
}

void ColorPickerDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    m_picker->DrawItem(painter, option.rect, index.row(), option.state & QStyle::State_Selected,
                       option.state & QStyle::State_HasFocus, !(option.state & QStyle::State_Enabled));
}

QSize ColorPickerDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    return QSize(option.rect.width(), m_picker->ItemHeight());
}
