#include "dlgctabctrl.h"
#include "mycdialog.h"
#include "pageselectedevent.h"

#include <QLineEdit>
#include <QTest>

#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int kOwner = 920;
constexpr int kPage = 921;
constexpr int kTabs = 2105;

void RegisterTemplates()
{
    DialogTemplate owner;
    owner.id = kOwner;
    owner.caption = QStringLiteral("Owner");
    owner.cx = 320;
    owner.cy = 230;
    owner.controls = {
        {kTabs, ControlKind::TabControl, {}, 0, 0, 318, 205, StyleTabStop},
        {1, ControlKind::DefPushButton, QStringLiteral("OK"), 5, 210, 50, 14, StyleTabStop},
    };
    DialogTemplate::Register(owner);

    DialogTemplate page;
    page.id = kPage;
    page.style = 0; // a child dialog without the visible style
    page.cx = 250;
    page.cy = 150;
    page.controls = {
        {50, ControlKind::Edit, {}, 5, 5, 80, 12, StyleGroup | StyleTabStop},
        {51, ControlKind::Edit, {}, 5, 20, 80, 12, StyleTabStop},
        {52, ControlKind::CheckBox, QStringLiteral("box"), 5, 35, 60, 10, StyleTabStop},
    };
    DialogTemplate::Register(page);
}

class PageDialog : public MyCDialog {
public:
    PageDialog(QString name, QStringList *log, QWidget *parent = nullptr)
        : MyCDialog(kPage, parent), m_name(std::move(name)), m_log(log)
    {
    }
    int inits = 0;
    char text[20] = "";

    bool OnInitDialog() override
    {
        MyCDialog::OnInitDialog();
        ++inits;
        BindText(50, text, sizeof text);
        UpdateControls();
        return true;
    }
    void OnActivatePage() override
    {
        const bool focused = isAncestorOf(QApplication::focusWidget());
        *m_log << m_name + QStringLiteral(" activate visible=%1 focus=%2").arg(isVisible()).arg(focused);
    }
    void OnDeactivatePage() override
    {
        *m_log << m_name + QStringLiteral(" deactivate visible=%1 window=%2").arg(isVisible()).arg(HasWindow());
    }

private:
    QString m_name;
    QStringList *m_log;
};

class OwnerDialog : public MyCDialog {
public:
    explicit OwnerDialog(QStringList *log) : MyCDialog(kOwner), m_log(log) {}
    DlgCTabCtrl *tabs = nullptr;
    std::vector<PageDialog *> pages;

    bool Open()
    {
        if (!Create(kOwner, nullptr))
            return false;
        show();
        activateWindow();
        return QTest::qWaitForWindowActive(this);
    }
    void OnPageSelected(DlgCTabCtrl *host, int page, int tab) override
    {
        const PageDialog *p = page < int(pages.size()) ? pages[size_t(page)] : nullptr;
        *m_log << QStringLiteral("owner selected page=%1 tab=%2 host=%3 pageVisible=%4")
                      .arg(page)
                      .arg(tab)
                      .arg(host == tabs)
                      .arg(p && p->isVisible());
    }

protected:
    QWidget *CreateControl(const DialogControl &c, QWidget *parent) override
    {
        if (c.id != kTabs)
            return nullptr;
        tabs = new DlgCTabCtrl(parent);
        return tabs;
    }

private:
    QStringList *m_log;
};

struct Fixture {
    QStringList log;
    std::vector<std::unique_ptr<PageDialog>> pages;
    std::unique_ptr<OwnerDialog> owner = std::make_unique<OwnerDialog>(&log);

    PageDialog *Add(bool hasTab, bool lazy)
    {
        const int index = int(pages.size());
        pages.push_back(std::make_unique<PageDialog>(QStringLiteral("p%1").arg(index), &log));
        owner->pages.push_back(pages.back().get());
        owner->tabs->AddPage(QStringLiteral("PC %1").arg(index + 1), pages.back().get(), kPage, hasTab, lazy);
        return pages.back().get();
    }
    void ClickTab(int tab)
    {
        QTest::mouseClick(owner->tabs, Qt::LeftButton, {}, owner->tabs->tabRect(tab).center());
    }
};

} // namespace

class TestDlgCTabCtrl : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { RegisterTemplates(); }

    void firstPageShownAtCreation();
    void tabChangeCallOrder();
    void keyboardTabChange();
    void lazyPagesLiveWhileSelected();
    void pagesWithoutTabs();
    void fortyPagesAtMost();
    void enterAndEscapeInAPage();
    void pageObjectsOutliveTheTabControl();
    void pageConstructedOnTheTabControlIsAChild();
};

void TestDlgCTabCtrl::firstPageShownAtCreation()
{
    Fixture f;
    QVERIFY(f.owner->Open());
    QVERIFY(f.owner->tabs);
    PageDialog *p0 = f.Add(true, false);
    PageDialog *p1 = f.Add(true, false);
    QVERIFY(p0->HasWindow() && p1->HasWindow());
    QVERIFY(p0->isVisible());
    QVERIFY(!p1->isVisible());
    QCOMPARE(p0->parentWidget(), f.owner->tabs);
    QCOMPARE(p0->TabHost(), f.owner->tabs);
    // Placed at the left edge of tab item 0, two pixels below it; not resized.
    const QRect first = f.owner->tabs->tabRect(0);
    QCOMPARE(p0->pos(), QPoint(first.left(), first.top() + first.height() + 2));
    QCOMPARE(p1->pos(), p0->pos());
    QVERIFY(f.owner->tabs->IsTabHighlighted(0));
    QVERIFY(!f.owner->tabs->IsTabHighlighted(1));
    // Shown without the page-selected message and without OnActivatePage.
    QVERIFY(f.log.isEmpty());
}

void TestDlgCTabCtrl::tabChangeCallOrder()
{
    Fixture f;
    QVERIFY(f.owner->Open());
    f.Add(true, false);
    PageDialog *p1 = f.Add(true, false);
    f.Add(true, false);
    f.ClickTab(1);
    QCOMPARE(f.log, QStringList({
                        QStringLiteral("p0 deactivate visible=0 window=1"),
                        QStringLiteral("owner selected page=1 tab=1 host=1 pageVisible=0"),
                        QStringLiteral("p1 activate visible=1 focus=1"),
                    }));
    QCOMPARE(QApplication::focusWidget(), p1->GetDlgItem(50));
    QVERIFY(!f.owner->tabs->IsTabHighlighted(0));
    QVERIFY(f.owner->tabs->IsTabHighlighted(1));
    QVERIFY(!f.pages[0]->isVisible());
    // A programmatic selection sends no notifications.
    f.log.clear();
    f.owner->tabs->SetCurSel(2);
    QVERIFY(f.log.isEmpty());
    QVERIFY(p1->isVisible());
}

void TestDlgCTabCtrl::keyboardTabChange()
{
    Fixture f;
    QVERIFY(f.owner->Open());
    f.Add(true, false);
    f.Add(true, false);
    f.owner->tabs->setFocus();
    QTest::keyClick(f.owner->tabs, Qt::Key_Right);
    QCOMPARE(f.log.size(), 3);
    QCOMPARE(f.log[1], QStringLiteral("owner selected page=1 tab=1 host=1 pageVisible=0"));
    QVERIFY(f.pages[1]->isVisible());
}

void TestDlgCTabCtrl::lazyPagesLiveWhileSelected()
{
    Fixture f;
    QVERIFY(f.owner->Open());
    PageDialog *p0 = f.Add(true, true);
    PageDialog *p1 = f.Add(true, true);
    // The first page gets its window at once, lazy or not; later lazy ones wait.
    QVERIFY(p0->HasWindow());
    QVERIFY(f.owner->tabs->IsPageCreated(0));
    QVERIFY(!p1->HasWindow());
    QCOMPARE(p0->BindingCount(), 1);

    f.ClickTab(1);
    QCOMPARE(f.log[0], QStringLiteral("p0 deactivate visible=1 window=1")); // told before its window goes
    QVERIFY(!p0->HasWindow());
    QVERIFY(!f.owner->tabs->IsPageCreated(0));
    QCOMPARE(p0->GetDlgItem(50), nullptr);
    QVERIFY(p1->HasWindow() && p1->isVisible());
    QCOMPARE(f.log[1], QStringLiteral("owner selected page=1 tab=1 host=1 pageVisible=0"));

    std::strcpy(p0->text, "kept");
    f.ClickTab(0);
    QVERIFY(p0->HasWindow() && p0->isVisible());
    QVERIFY(!p1->HasWindow());
    QCOMPARE(p0->inits, 2);
    QCOMPARE(p0->BindingCount(), 2); // registered again behind the old record
    QCOMPARE(p0->DlgItem<QLineEdit>(50)->text(), QStringLiteral("kept"));
}

void TestDlgCTabCtrl::pagesWithoutTabs()
{
    Fixture f;
    QVERIFY(f.owner->Open());
    f.Add(true, false);
    PageDialog *hidden = f.Add(false, false);
    PageDialog *third = f.Add(true, false);
    DlgCTabCtrl *tabs = f.owner->tabs;
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->tabText(1), QStringLiteral("PC 3"));
    QCOMPARE(tabs->TabToPage(0), 0);
    QCOMPARE(tabs->TabToPage(1), 2);
    QCOMPARE(tabs->TabToPage(5), 0);
    QCOMPARE(tabs->PageToTab(1), 1);
    QCOMPARE(tabs->PageToTab(2), 1);
    QCOMPARE(tabs->PageToTab(-1), -1);
    QCOMPARE(tabs->PageToTab(40), -1);
    f.ClickTab(1);
    QCOMPARE(f.log[1], QStringLiteral("owner selected page=2 tab=1 host=1 pageVisible=0"));
    QVERIFY(third->isVisible());
    f.ClickTab(0);
    f.ClickTab(1);
    QVERIFY(hidden->HasWindow());
    QVERIFY(!hidden->isVisible());

    // The page-selected message outside the table's range has tab position -1.
    f.log.clear();
    PageSelectedEvent message(tabs, 41);
    QCoreApplication::sendEvent(f.owner.get(), &message);
    QCOMPARE(f.log, QStringList({QStringLiteral("owner selected page=41 tab=-1 host=1 pageVisible=0")}));
}

void TestDlgCTabCtrl::fortyPagesAtMost()
{
    Fixture f;
    QVERIFY(f.owner->Open());
    for (int i = 0; i < DlgCTabCtrl::MAX_PAGES; ++i)
        f.Add(true, true);
    PageDialog *extra = f.Add(true, false);
    QCOMPARE(f.owner->tabs->PageCount(), 40);
    QCOMPARE(f.owner->tabs->count(), 40);
    QCOMPARE(f.owner->tabs->Page(40), nullptr);
    QVERIFY(!extra->HasWindow());
    QCOMPARE(extra->TabHost(), nullptr);
}

void TestDlgCTabCtrl::enterAndEscapeInAPage()
{
    Fixture f;
    QVERIFY(f.owner->Open());
    PageDialog *p0 = f.Add(true, false);
    p0->GetDlgItem(50)->setFocus();
    QTest::keyClick(p0->GetDlgItem(50), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), p0->GetDlgItem(51));
    QTest::keyClick(p0->GetDlgItem(51), Qt::Key_Return);
    QTest::keyClick(p0->GetDlgItem(52), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), p0->GetDlgItem(50)); // within the page, round again
    QTest::keyClick(p0->GetDlgItem(50), Qt::Key_Escape);
    QVERIFY(p0->isVisible());
    QVERIFY(f.owner->isVisible());
    // Outside the pages, Escape ends the owner.
    f.owner->GetDlgItem(1)->setFocus();
    QTest::keyClick(f.owner->GetDlgItem(1), Qt::Key_Escape);
    QVERIFY(!f.owner->isVisible());
    QCOMPARE(f.owner->result(), 2);
}

void TestDlgCTabCtrl::pageObjectsOutliveTheTabControl()
{
    Fixture f;
    QVERIFY(f.owner->Open());
    PageDialog *p0 = f.Add(true, false);
    PageDialog *p1 = f.Add(true, false);
    f.owner.reset();
    // The page windows went with the tab control; the objects are the caller's.
    QVERIFY(!p0->HasWindow() && !p1->HasWindow());
    QCOMPARE(p0->parent(), nullptr);
    QCOMPARE(p0->TabHost(), nullptr);
}

void TestDlgCTabCtrl::pageConstructedOnTheTabControlIsAChild()
{
    Fixture f;
    QVERIFY(f.owner->Open());
    // Owned by the tab control, deleted with it.
    auto *page = new PageDialog(QStringLiteral("p0"), &f.log, f.owner->tabs);
    f.owner->tabs->AddPage(QStringLiteral("PC 1"), page, kPage, true, false);
    QVERIFY(page->HasWindow());
    QVERIFY(!page->isWindow());
    QCOMPARE(page->parentWidget(), f.owner->tabs);
    QVERIFY(page->isVisible());
    QCOMPARE(page->window(), f.owner.get());
    const QRect first = f.owner->tabs->tabRect(0);
    QCOMPARE(page->pos(), QPoint(first.left(), first.top() + first.height() + 2));
}

QTEST_MAIN(TestDlgCTabCtrl)
#include "tst_dlgctabctrl.moc"
