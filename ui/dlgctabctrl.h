#pragma once

// A tab control whose pages are child dialogs: each page is a MyCDialog
// created from its own template as a child of the tab control, just below
// the strip. Switching tabs leaves one page and shows the other; a lazy page
// has a window only while it is selected. Up to 40 pages; a page may have no
// tab. The page dialog objects belong to the caller.

#include <QPointer>
#include <QTabBar>

#include <array>

class MyCDialog;

class DlgCTabCtrl : public QTabBar {
    Q_OBJECT
public:
    static constexpr int MAX_PAGES = 40;

    explicit DlgCTabCtrl(QWidget *parent = nullptr);
    ~DlgCTabCtrl() override;

    // Appends a page; ignored when 40 pages exist. The first page and every
    // page that is not lazy get their window at once.
    void AddPage(const QString &caption, MyCDialog *page, int templateId, bool hasTab, bool lazy);
    void SelectPage(int pageIndex);
    void DeselectPage(int pageIndex);
    int TabToPage(int tabPosition) const;
    int PageToTab(int pageIndex) const;

    int PageCount() const { return m_count; }
    MyCDialog *Page(int pageIndex) const;
    bool IsPageCreated(int pageIndex) const;
    bool IsTabHighlighted(int tabPosition) const;
    // TCM_HIGHLIGHTITEM.
    void HighlightItem(int tabPosition, bool on);
    // TCM_SETCURSEL: a programmatic selection, without notifications.
    void SetCurSel(int tabPosition);

protected:
    // TCN_SELCHANGING (the tab at oldTab is being left) and TCN_SELCHANGE.
    virtual void OnSelChanging(int oldTab);
    virtual void OnSelChange(int newTab);

    void paintEvent(QPaintEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    struct PageRecord {
        QPointer<MyCDialog> page;
        int templateId = 0;
        bool hasTab = false;
        bool lazy = false;
        bool created = false;
        QString caption;
    };

    void CreatePage(int pageIndex);
    void TabChanged(int tab);

    std::array<PageRecord, MAX_PAGES> m_pages;
    int m_count = 0;
    bool m_highlightSelected = true;
    int m_shownTab = -1;  // the strip's selection as the pages know it
    bool m_quiet = false; // a programmatic change of the strip
};
