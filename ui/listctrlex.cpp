#include "listctrlex.h"

#include "listctrlexdelegate.h"
#include "listctrlexheader.h"
#include "listctrlexmodel.h"

#include "codepage.h"
#include "syscolors.h"
#include "tooltip.h"
#include "virtualkeys.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <QUrl>

#include <algorithm>

ListCtrlEx::ListCtrlEx(QWidget *parent) : QTableView(parent), m_model(new ListCtrlExModel(this))
{
    setHorizontalHeader(new ListCtrlExHeader(this));
    setModel(m_model);
    setItemDelegate(new ListCtrlExDelegate(this));
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setStretchLastSection(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setShowGrid(false);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setIconSize(QSize(16, 16));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
}

Qt::Alignment ListCtrlEx::Alignment(int format)
{
    switch (format & LVCFMT_JUSTIFYMASK) {
    case LVCFMT_RIGHT: return Qt::AlignRight;
    case LVCFMT_CENTER: return Qt::AlignHCenter;
    default: return Qt::AlignLeft;
    }
}

int ListCtrlEx::InsertColumn(int column, const QString &heading, int format, int width)
{
    const int at = m_model->InsertColumn(column, ListCtrlExModel::Column{heading, format, -1});
    if (width >= 0)
        setColumnWidth(at, width);
    return at;
}

int ListCtrlEx::GetColumnCount() const
{
    return m_model->ColumnCount();
}

int ListCtrlEx::ColumnFormat(int column) const
{
    return column >= 0 && column < m_model->ColumnCount() ? m_model->ColumnAt(column).format : 0;
}

void ListCtrlEx::SetExtendedStyle(uint32_t style)
{
    m_extendedStyle = style;
    setShowGrid(style & LVS_EX_GRIDLINES);
}

void ListCtrlEx::SetImageList(const QList<QIcon> &images)
{
    m_images = images;
    viewport()->update();
    horizontalHeader()->viewport()->update();
}

QIcon ListCtrlEx::ImageAt(int index) const
{
    return index >= 0 && index < m_images.size() ? m_images[index] : QIcon();
}

void ListCtrlEx::SetCallbacks(void *context, int itemCount, ListDisplayCallback display,
                              ListCellStyleCallback cellStyle)
{
    m_context = context;
    if (display)
        m_display = display;
    if (cellStyle) {
        m_cellStyle = cellStyle;
        // Each derived font once, from the font the list has now.
        for (uint32_t code = CELL_BOLD; code <= CELL_STRIKEOUT; ++code) {
            std::optional<QFont> &styleFont = m_styleFonts[code - CELL_BOLD];
            if (styleFont)
                continue;
            QFont f = font();
            switch (code) {
            case CELL_BOLD: f.setWeight(QFont::Bold); break;
            case CELL_ITALIC: f.setItalic(true); break;
            case CELL_UNDERLINE: f.setUnderline(true); break;
            case CELL_STRIKEOUT: f.setStrikeOut(true); break;
            }
            styleFont = f;
        }
    }
    SetItemCount(itemCount);
}

void ListCtrlEx::SetItemCount(int count)
{
    ResetCount(count, false);
}

void ListCtrlEx::SetItemCountKeepScroll(int count)
{
    ResetCount(count, true);
}

void ListCtrlEx::ResetCount(int count, bool keepScroll)
{
    // The rows are the owner's: a new count keeps the selection and focus of
    // the rows that still exist.
    QList<int> selected;
    if (selectionModel())
        for (const QModelIndex &i : selectionModel()->selectedRows())
            selected << i.row();
    const int focused = currentIndex().row();
    const int vertical = verticalScrollBar()->value();
    const int horizontal = horizontalScrollBar()->value();
    m_model->SetRowCount(count);
    for (int row : selected)
        if (row < count)
            selectionModel()->select(m_model->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    if (focused >= 0 && focused < count)
        selectionModel()->setCurrentIndex(m_model->index(focused, 0), QItemSelectionModel::NoUpdate);
    if (keepScroll) {
        verticalScrollBar()->setValue(vertical);
        horizontalScrollBar()->setValue(horizontal);
    } else {
        scrollToTop();
    }
}

int ListCtrlEx::GetItemCount() const
{
    return m_model->rowCount();
}

int ListCtrlEx::GetSelectedCount() const
{
    return selectionModel() ? int(selectionModel()->selectedRows().size()) : 0;
}

int ListCtrlEx::GetNextItem(int start, unsigned flags) const
{
    const int count = GetItemCount();
    for (int row = std::max(start + 1, 0); row < count; ++row) {
        if ((flags & LVNI_SELECTED) && !selectionModel()->isRowSelected(row, QModelIndex()))
            continue;
        if ((flags & LVNI_FOCUSED) && currentIndex().row() != row)
            continue;
        return row;
    }
    return -1;
}

void ListCtrlEx::SetItemState(int item, unsigned state, unsigned mask)
{
    const int first = item < 0 ? 0 : item;
    const int last = item < 0 ? GetItemCount() - 1 : item;
    if (first >= GetItemCount())
        return;
    for (int row = first; row <= last; ++row) {
        const QModelIndex index = m_model->index(row, 0);
        if (mask & LVIS_SELECTED)
            selectionModel()->select(index, ((state & LVIS_SELECTED) ? QItemSelectionModel::Select
                                                                     : QItemSelectionModel::Deselect)
                                                | QItemSelectionModel::Rows);
        if ((mask & LVIS_FOCUSED) && (state & LVIS_FOCUSED))
            selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    }
}

void ListCtrlEx::EnsureVisible(int item)
{
    if (item >= 0 && item < GetItemCount())
        scrollTo(m_model->index(item, 0));
}

void ListCtrlEx::ClearSelection()
{
    if (!selectionModel() || !selectionModel()->hasSelection())
        return;
    setUpdatesEnabled(false);
    selectionModel()->clearSelection(); // the focused row stays focused
    setUpdatesEnabled(true);
    viewport()->repaint();
}

void ListCtrlEx::SetSortImage(int column, int image)
{
    if (column < 0 || column >= m_model->ColumnCount())
        return;
    ListCtrlExModel::Column c = m_model->ColumnAt(column);
    c.format &= LVCFMT_JUSTIFYMASK;
    if (image >= 0) {
        c.format |= LVCFMT_IMAGE | LVCFMT_BITMAP_ON_RIGHT;
        c.image = image;
    } else {
        c.image = -1;
    }
    m_model->SetColumn(column, c);
    horizontalHeader()->viewport()->update();
}

int ListCtrlEx::SortImage(int column) const
{
    if (column < 0 || column >= m_model->ColumnCount())
        return -1;
    const ListCtrlExModel::Column &c = m_model->ColumnAt(column);
    return (c.format & LVCFMT_IMAGE) ? c.image : -1;
}

void ListCtrlEx::SetDropCallback(ListDropCallback callback)
{
    m_drop = callback;
    setAcceptDrops(callback != nullptr);
    viewport()->setAcceptDrops(callback != nullptr);
}

void ListCtrlEx::SetDragCallback(ListDragCallback callback)
{
    m_drag = callback;
    m_model->SetDragEnabled(callback != nullptr);
    setDragEnabled(callback != nullptr);
}

void ListCtrlEx::SetTipCallback(ListTipCallback callback)
{
    m_tip = callback;
}

bool ListCtrlEx::KeyHook::Has(int code) const
{
    return std::find(codes.begin(), codes.begin() + count, code) != codes.begin() + count;
}

void ListCtrlEx::SetHook(KeyHook &hook, void *context, ListKeyCallback callback, const int *codes, int count)
{
    hook.context = context;
    hook.callback = callback;
    hook.count = codes ? std::clamp(count, 0, MAX_HOOK_KEYS) : 0;
    std::copy_n(codes ? codes : hook.codes.data(), hook.count, hook.codes.begin());
}

void ListCtrlEx::SetCharHook(void *context, ListKeyCallback callback, const int *codes, int count)
{
    SetHook(m_charHook, context, callback, codes, count);
}

void ListCtrlEx::SetKeyDownHook(void *context, ListKeyCallback callback, const int *codes, int count)
{
    SetHook(m_keyDownHook, context, callback, codes, count);
}

QString ListCtrlEx::CellText(int item, int subItem) const
{
    if (!m_display)
        return {};
    char16_t buffer[LIST_TEXT_MAX] = {};
    ListDispInfo info{LVIF_TEXT, item, subItem, buffer, LIST_TEXT_MAX, -1};
    m_display(m_context, &info);
    buffer[LIST_TEXT_MAX - 1] = u'\0';
    qsizetype n = 0;
    while (n < LIST_TEXT_MAX && buffer[n])
        ++n;
    return QString(reinterpret_cast<const QChar *>(buffer), n);
}

int ListCtrlEx::CellImage(int item) const
{
    if (!m_display || m_images.isEmpty())
        return -1;
    char16_t buffer[LIST_TEXT_MAX] = {};
    ListDispInfo info{LVIF_IMAGE, item, 0, buffer, LIST_TEXT_MAX, -1};
    m_display(m_context, &info);
    return info.image;
}

void ListCtrlEx::CellLook(int item, int subItem, uint32_t *textColor, uint32_t *backColor, uint32_t *style) const
{
    *textColor = SysColorRef(COLOR_WINDOWTEXT);
    *backColor = SysColorRef(COLOR_WINDOW);
    *style = 0;
    if (m_cellStyle)
        m_cellStyle(m_context, item, subItem, textColor, backColor, style);
}

QFont ListCtrlEx::StyleFont(uint32_t code) const
{
    if (code >= CELL_BOLD && code <= CELL_STRIKEOUT && m_styleFonts[code - CELL_BOLD])
        return *m_styleFonts[code - CELL_BOLD];
    return font();
}

void ListCtrlEx::DrawProgressCell(QPainter *painter, const QRect &cell, const QString &text, uint32_t style,
                                  uint32_t textColor, uint32_t backColor, bool selected) const
{
    if (cell.isEmpty())
        return;
    QColor first = ColorFromRef(textColor);
    QColor second = ColorFromRef(backColor);
    if (selected) {
        first = SysColor(hasFocus() ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
        second = SysColor(hasFocus() ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
    }
    // One pixel off at the left and at the bottom.
    QRect r = cell;
    r.setLeft(r.left() + 1);
    r.setBottom(r.bottom() - 1);
    painter->save();
    painter->setClipRect(cell); // a bar whose done exceeds total stays in its cell
    painter->fillRect(r, selected ? second : SysColor(COLOR_WINDOW));
    const unsigned done = (style >> 16) & 0xFF;
    const unsigned total = (style >> 24) & 0xFF;
    if (done > 0 && total > 0) {
        const int width = int(double(r.width()) * double(done) / double(total));
        painter->fillRect(QRect(r.left(), r.top(), width, r.height()), second);
    }
    painter->setPen(first);
    painter->setFont(font());
    painter->drawText(r.adjusted(1, 1, -1, -1), Qt::AlignCenter | Qt::TextSingleLine, text);
    painter->restore();
}

uint16_t ListCtrlEx::SubItemHitTest(const QPoint &pos, int *item, int *subItem) const
{
    const QModelIndex index = indexAt(pos);
    if (!index.isValid()) {
        *item = -1;
        *subItem = -1;
        return LVHT_NOWHERE;
    }
    *item = index.row();
    *subItem = index.column();
    if (index.column() == 0 && CellImage(index.row()) >= 0) {
        const QRect cell = visualRect(index);
        if (pos.x() < cell.left() + iconSize().width() + 4)
            return LVHT_ONITEMICON;
    }
    return LVHT_ONITEMLABEL;
}

QMimeData *ListCtrlEx::BuildDragData(int item, int subItem) const
{
    if (!m_drag)
        return nullptr;
    char path[260] = {};
    if (!m_drag(m_context, item, subItem, path))
        return nullptr;
    path[sizeof path - 1] = '\0';
    auto *data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(AnsiToQString(QByteArrayView(path, qsizetype(strnlen(path, sizeof path)))))});
    return data;
}

void ListCtrlEx::keyPressEvent(QKeyEvent *event)
{
    const int vk = VirtualKeyFromQt(event->key());
    const QString text = event->text();
    const int ch = text.isEmpty() ? 0 : text.at(0).unicode();
    const bool keyTaken = vk != 0 && m_keyDownHook.Has(vk);
    const bool charTaken = ch != 0 && m_charHook.Has(ch);
    if (keyTaken && m_keyDownHook.callback)
        m_keyDownHook.callback(m_keyDownHook.context, vk);
    if (charTaken && m_charHook.callback)
        m_charHook.callback(m_charHook.context, ch);
    if (!keyTaken && !charTaken) {
        QTableView::keyPressEvent(event);
        return;
    }
    if (!keyTaken) {
        // The key's own handling runs, without the consumed character.
        QKeyEvent bare(event->type(), event->key(), event->modifiers(), QString(), event->isAutoRepeat());
        QTableView::keyPressEvent(&bare);
    } else if (!charTaken && ch >= 0x20) {
        keyboardSearch(text);
    }
    event->accept();
}

void ListCtrlEx::dragEnterEvent(QDragEnterEvent *event)
{
    if (m_drop && event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        QTableView::dragEnterEvent(event);
}

void ListCtrlEx::dragMoveEvent(QDragMoveEvent *event)
{
    if (m_drop && event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        QTableView::dragMoveEvent(event);
}

void ListCtrlEx::dropEvent(QDropEvent *event)
{
    if (m_drop && event->mimeData()->hasUrls()) {
        int item = -1, subItem = -1;
        SubItemHitTest(event->position().toPoint(), &item, &subItem);
        m_drop(m_context, event->mimeData(), item, subItem);
        event->acceptProposedAction();
        return;
    }
    QTableView::dropEvent(event);
}

void ListCtrlEx::startDrag(Qt::DropActions)
{
    const QModelIndex index = currentIndex();
    QMimeData *data = BuildDragData(index.row(), index.column());
    if (!data)
        return;
    auto *drag = new QDrag(this);
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction | Qt::MoveAction);
}

bool ListCtrlEx::viewportEvent(QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return QTableView::viewportEvent(event);
    const auto *help = static_cast<QHelpEvent *>(event);
    int item = -1, subItem = -1;
    const uint16_t flags = SubItemHitTest(help->pos(), &item, &subItem);
    if (m_tip && (flags & m_tipHitMask)) {
        const QString text = m_tip(m_context, item, subItem);
        if (!text.isNull()) {
            ShowToolTip(help->globalPos(), text, viewport(), visualRect(m_model->index(item, subItem)));
            return true;
        }
    }
    QToolTip::hideText();
    event->ignore();
    return true;
}
