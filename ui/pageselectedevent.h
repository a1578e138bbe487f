#pragma once

// The tab host's page-selected message (WM_USER + 2100), sent to its parent
// dialog before it shows a page: the tab host and the page index. Sent with
// QCoreApplication::sendEvent, so it is handled before the page is shown.

#include "notifycodes.h"

#include <QEvent>

class DlgCTabCtrl;

constexpr int WM_PAGE_SELECTED = WM_USER + 2100;

class PageSelectedEvent : public QEvent {
public:
    static constexpr QEvent::Type EventType = QEvent::Type(WM_PAGE_SELECTED);

    PageSelectedEvent(DlgCTabCtrl *host, int pageIndex) : QEvent(EventType), m_host(host), m_pageIndex(pageIndex) {}

    DlgCTabCtrl *Host() const { return m_host; }
    int PageIndex() const { return m_pageIndex; }

private:
    DlgCTabCtrl *m_host;
    int m_pageIndex;
};
