#include "dlgctabctrl.h"

#include "mycdialog.h"
#include "pageselectedevent.h"

#include <QCoreApplication>
#include <QStyleOptionTab>
#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>
#include <QWheelEvent>

namespace {

constexpr const char *kHighlighted = "highlighted";

} // namespace

DlgCTabCtrl::DlgCTabCtrl(QWidget *parent) : QTabBar(parent)
{
    setDrawBase(false);
    setExpanding(false);
    setElideMode(Qt::ElideNone);
    setUsesScrollButtons(true);
    connect(this, &QTabBar::currentChanged, this, &DlgCTabCtrl::TabChanged);
}

DlgCTabCtrl::~DlgCTabCtrl()
{
    // The page windows go with the tab control; the page objects are the
    // caller's and must not be deleted as children.
    for (int i = 0; i < m_count; ++i) {
        MyCDialog *page = m_pages[size_t(i)].page;
        if (!page)
            continue;
        page->DestroyWindow();
        if (page->parent() == this)
            page->setParent(nullptr);
        page->SetTabHost(nullptr);
    }
}

void DlgCTabCtrl::AddPage(const QString &caption, MyCDialog *page, int templateId, bool hasTab, bool lazy)
{
    if (m_count >= MAX_PAGES)
        return;
    const int index = m_count;
    if (hasTab) {
        m_quiet = true;
        insertTab(index, caption);
        m_quiet = false;
    }
    m_pages[size_t(index)] = PageRecord{page, templateId, hasTab, lazy, false, caption};
    if (index == 0 || !lazy)
        CreatePage(index);
    ++m_count;
}

void DlgCTabCtrl::CreatePage(int index)
{
    PageRecord &record = m_pages[size_t(index)];
    if (record.created || !record.page)
        return;
    const QRect first = tabRect(0);
    MyCDialog *page = record.page;
    page->SetTabHost(this);
    if (!page->Create(record.templateId & 0xFFF, this))
        return;
    // Below tab item 0 by two pixels, at its left edge, not resized.
    page->move(first.left(), first.top() + first.height() + 2);
    page->raise();
    page->SetEnterMovesFocus();
    page->SetIgnoreCancel();
    if (index == 0) {
        page->show();
        HighlightItem(0, true);
    }
    record.created = true;
}

void DlgCTabCtrl::SelectPage(int index)
{
    if (index < 0 || index >= m_count || !m_pages[size_t(index)].page)
        return;
    if (QWidget *owner = parentWidget()) {
        PageSelectedEvent message(this, index);
        QCoreApplication::sendEvent(owner, &message);
    }
    PageRecord &record = m_pages[size_t(index)];
    if (record.lazy)
        CreatePage(index);
    MyCDialog *page = record.page;
    if (!page || !page->HasWindow())
        return;
    page->show();
    page->setFocus(Qt::OtherFocusReason);
    page->OnActivatePage();
}

void DlgCTabCtrl::DeselectPage(int index)
{
    if (index < 0 || index >= m_count)
        return;
    PageRecord &record = m_pages[size_t(index)];
    MyCDialog *page = record.page;
    if (!page)
        return;
    if (!record.lazy) {
        page->hide();
        page->OnDeactivatePage();
        return;
    }
    page->OnDeactivatePage();
    if (record.created) {
        page->DestroyWindow();
        record.created = false;
    }
}

int DlgCTabCtrl::TabToPage(int tabPosition) const
{
    int tabs = 0;
    for (int i = 0; i < MAX_PAGES; ++i) {
        if (!m_pages[size_t(i)].hasTab)
            continue;
        if (tabs == tabPosition)
            return i;
        ++tabs;
    }
    return 0;
}

int DlgCTabCtrl::PageToTab(int pageIndex) const
{
    if (pageIndex < 0 || pageIndex >= MAX_PAGES)
        return -1;
    int tabs = 0;
    for (int i = 0; i < pageIndex; ++i)
        if (m_pages[size_t(i)].hasTab)
            ++tabs;
    return tabs;
}

MyCDialog *DlgCTabCtrl::Page(int index) const
{
    return index >= 0 && index < m_count ? m_pages[size_t(index)].page.data() : nullptr;
}

bool DlgCTabCtrl::IsPageCreated(int index) const
{
    return index >= 0 && index < m_count && m_pages[size_t(index)].created;
}

bool DlgCTabCtrl::IsTabHighlighted(int tab) const
{
    return tab >= 0 && tab < count() && tabData(tab).toMap().value(QLatin1String(kHighlighted)).toBool();
}

void DlgCTabCtrl::HighlightItem(int tab, bool on)
{
    if (!m_highlightSelected || tab < 0 || tab >= count())
        return;
    QVariantMap data = tabData(tab).toMap();
    data.insert(QLatin1String(kHighlighted), on);
    setTabData(tab, data);
    update();
}

void DlgCTabCtrl::SetCurSel(int tab)
{
    m_quiet = true;
    setCurrentIndex(tab);
    m_quiet = false;
}

void DlgCTabCtrl::TabChanged(int tab)
{
    if (m_quiet) {
        m_shownTab = tab;
        return;
    }
    const int old = m_shownTab;
    m_shownTab = tab;
    OnSelChanging(old);
    OnSelChange(tab);
}

void DlgCTabCtrl::OnSelChanging(int oldTab)
{
    if (oldTab < 0)
        return;
    DeselectPage(TabToPage(oldTab));
    HighlightItem(oldTab, false);
}

void DlgCTabCtrl::OnSelChange(int newTab)
{
    if (newTab < 0)
        return;
    SelectPage(TabToPage(newTab));
    HighlightItem(newTab, true);
}

void DlgCTabCtrl::paintEvent(QPaintEvent *)
{
    QStylePainter p(this);
    int stripBottom = fontMetrics().height() + 8;
    for (int i = 0; i < count(); ++i)
        stripBottom = std::max(stripBottom, tabRect(i).bottom() + 1);

    // The frame of the display area, under the strip, as a tab control has.
    QStyleOptionTabWidgetFrame frame;
    frame.initFrom(this);
    frame.rect = QRect(0, stripBottom - 1, width(), height() - stripBottom + 1);
    frame.shape = shape();
    frame.tabBarSize = QSize(width(), stripBottom);
    p.drawPrimitive(QStyle::PE_FrameTabWidget, frame);

    const int current = currentIndex();
    const auto drawTab = [&](int i) {
        QStyleOptionTab tab;
        initStyleOption(&tab, i);
        p.drawControl(QStyle::CE_TabBarTabShape, tab);
        if (IsTabHighlighted(i)) {
            p.fillRect(tab.rect.adjusted(3, 3, -3, -2), palette().color(QPalette::Highlight));
            tab.palette.setColor(QPalette::WindowText, palette().color(QPalette::HighlightedText));
            tab.palette.setColor(QPalette::ButtonText, palette().color(QPalette::HighlightedText));
        }
        p.drawControl(QStyle::CE_TabBarTabLabel, tab);
    };
    for (int i = 0; i < count(); ++i)
        if (i != current)
            drawTab(i);
    if (current >= 0)
        drawTab(current); // the selected tab overlaps its neighbours
}

void DlgCTabCtrl::wheelEvent(QWheelEvent *event)
{
    // The wheel does not switch tabs, and pages pass their unused wheel
    // events up to here.
    event->ignore();
}
