#include "listctrlexdelegate.h"

#include "listctrlex.h"

#include "syscolors.h"

#include <QApplication>

ListCtrlExDelegate::ListCtrlExDelegate(ListCtrlEx *list) : QStyledItemDelegate(list), m_list(list)
{
}

void ListCtrlExDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    uint32_t textColor = 0, backColor = 0, style = 0;
    m_list->CellLook(index.row(), index.column(), &textColor, &backColor, &style);
    const bool selected = opt.state & QStyle::State_Selected;
    const uint32_t code = style & 0xFF;
    if (code == CELL_PROGRESS) {
        m_list->DrawProgressCell(painter, opt.rect, opt.text, style, textColor, backColor, selected);
        return;
    }
    if (code >= CELL_BOLD && code <= CELL_STRIKEOUT) {
        opt.font = m_list->StyleFont(code);
        opt.fontMetrics = QFontMetrics(opt.font);
    }
    if (!selected) {
        opt.palette.setColor(QPalette::Text, ColorFromRef(textColor));
        opt.backgroundBrush = ColorFromRef(backColor);
    } else {
        // One pair for every cell of a selected row, progress cells included:
        // the highlight while the list has the focus, button face without it,
        // whatever colour group the style would pick.
        const bool focused = m_list->hasFocus();
        opt.palette.setColor(QPalette::Highlight, SysColor(focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
        opt.palette.setColor(QPalette::HighlightedText, SysColor(focused ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    }
    const QWidget *widget = opt.widget;
    QStyle *s = widget ? widget->style() : QApplication::style();
    s->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
}
