#include "listctrlexheader.h"

#include "listctrlex.h"

#include <QPainter>
#include <QStyleOptionHeader>

namespace {

constexpr int kImageSize = 16;
constexpr int kImageGap = 4;

} // namespace

ListCtrlExHeader::ListCtrlExHeader(ListCtrlEx *list) : QHeaderView(Qt::Horizontal, list), m_list(list)
{
    setSectionsClickable(true);
    setHighlightSections(false);
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void ListCtrlExHeader::paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const
{
    if (!rect.isValid())
        return;
    QStyleOptionHeader opt;
    initStyleOption(&opt);
    initStyleOptionForIndex(&opt, logicalIndex);
    opt.rect = rect;
    opt.icon = QIcon();
    style()->drawControl(QStyle::CE_HeaderSection, &opt, painter, this);

    QStyleOptionHeader label = opt;
    label.rect = style()->subElementRect(QStyle::SE_HeaderLabel, &opt, this);
    const int image = m_list->SortImage(logicalIndex);
    const QIcon icon = image >= 0 ? m_list->ImageAt(image) : QIcon();
    const int reserve = icon.isNull() ? 0 : kImageSize + kImageGap;
    // Room for the image at the right end of the text, whatever the text's
    // justification.
    const int textWidth = std::min(opt.fontMetrics.horizontalAdvance(opt.text), label.rect.width() - reserve);
    label.rect.setWidth(std::max(0, label.rect.width() - reserve));
    style()->drawControl(QStyle::CE_HeaderLabel, &label, painter, this);
    if (icon.isNull())
        return;

    int textRight = label.rect.left() + textWidth;
    if (opt.textAlignment & Qt::AlignRight)
        textRight = label.rect.right() + 1;
    else if (opt.textAlignment & Qt::AlignHCenter)
        textRight = label.rect.left() + (label.rect.width() + textWidth) / 2;
    const QRect at(textRight + kImageGap, rect.top() + (rect.height() - kImageSize) / 2, kImageSize, kImageSize);
    painter->save();
    painter->setClipRect(rect);
    icon.paint(painter, at);
    painter->restore();
}
