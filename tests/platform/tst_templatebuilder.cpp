#include "controlmessages.h"
#include "dialogtemplate.h"
#include "dialogunits.h"
#include "notifycodes.h"
#include "templatebuilder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {

// A window standing in for a dialog: it builds a template and records the
// messages its controls send.
struct Host {
    // Before the window: its edits still report losing the focus while it goes.
    QList<ControlEvent> events;
    QWidget window;
    QList<QWidget *> controls;

    explicit Host(const DialogTemplate &tmpl)
    {
        controls = TemplateBuilder::Build(tmpl, &window, {}, [this](const ControlEvent &e) { events << e; });
        window.show();
        window.activateWindow();
    }
    QWidget *Item(int id) const
    {
        for (QWidget *w : controls)
            if (TemplateBuilder::ControlId(w) == id)
                return w;
        return nullptr;
    }
    template <typename T>
    T *Item(int id) const { return qobject_cast<T *>(Item(id)); }
    QList<int> Codes(int id) const
    {
        QList<int> codes;
        for (const ControlEvent &e : events)
            if (e.id == id)
                codes << e.code;
        return codes;
    }
};

// On the indicator: a check box or radio button takes clicks on its
// indicator and its text, not on the empty rest of its rectangle.
void Click(QWidget *button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

DialogTemplate SampleTemplate()
{
    DialogTemplate t;
    t.id = 1;
    t.caption = QStringLiteral("Sample");
    t.cx = 200;
    t.cy = 150;
    t.controls = {
        {10, ControlKind::Edit, QString(), 10, 10, 80, 12, StyleGroup | StyleTabStop},
        {11, ControlKind::Edit, QString(), 10, 26, 80, 12, StyleTabStop | StyleReadOnly},
        {-1, ControlKind::Label, QStringLiteral("label"), 100, 10, 40, 8, 0},
        {12, ControlKind::ComboList, QStringLiteral("pear\nApple\nbanana"), 10, 42, 80, 60,
         StyleTabStop | StyleSorted},
        {13, ControlKind::ComboBox, QStringLiteral("one\ntwo"), 100, 42, 80, 60, StyleTabStop},
        {20, ControlKind::RadioButton, QStringLiteral("A"), 10, 60, 40, 10, StyleGroup | StyleTabStop},
        {21, ControlKind::RadioButton, QStringLiteral("B"), 10, 72, 40, 10, 0},
        {22, ControlKind::RadioButton, QStringLiteral("C"), 60, 60, 40, 10, StyleGroup | StyleTabStop},
        {23, ControlKind::RadioButton, QStringLiteral("D"), 60, 72, 40, 10, 0},
        {30, ControlKind::CheckBox, QStringLiteral("check"), 10, 86, 60, 10, StyleGroup | StyleTabStop},
        {31, ControlKind::PushButton, QStringLiteral("hidden"), 10, 100, 40, 14, StyleHidden | StyleTabStop},
        {32, ControlKind::PushButton, QStringLiteral("disabled"), 60, 100, 40, 14, StyleDisabled},
        {40, ControlKind::DatePicker, QString(), 110, 86, 60, 12, StyleTabStop},
        {1, ControlKind::DefPushButton, QStringLiteral("OK"), 110, 120, 40, 14, StyleGroup | StyleTabStop},
    };
    return t;
}

} // namespace

class TestTemplateBuilder : public QObject {
    Q_OBJECT
private slots:
    void dialogUnitsRoundLikeThePlatform_data();
    void dialogUnitsRoundLikeThePlatform();
    void dialogUnitsComeFromTheFont();
    void buildsInTableOrderWithIdsAndStyles();
    void radioButtonsAreExclusiveWithinTheirGroupOnly();
    void editsReportEveryTextChangeAndLosingFocus();
    void combosReportUserChoicesOnly();
    void buttonsReportClicksNotProgrammaticChecks();
    void datePickerReportsUserChangesOnly();
    void comboItemsAndData();
};

void TestTemplateBuilder::dialogUnitsRoundLikeThePlatform_data()
{
    QTest::addColumn<int>("baseX");
    QTest::addColumn<int>("baseY");
    QTest::addColumn<int>("dlu");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::newRow("exact") << 8 << 16 << 8 << 16 << 16;
    QTest::newRow("half rounds up") << 6 << 13 << 1 << 2 << 2;   // 1.5 -> 2, 1.625 -> 2
    QTest::newRow("below half") << 5 << 13 << 3 << 4 << 5;       // 3.75 -> 4, 4.875 -> 5
    QTest::newRow("negative") << 6 << 12 << -1 << -2 << -2;      // -1.5 -> -2, -1.5 -> -2
    QTest::newRow("large") << 7 << 15 << 842 << 1474 << 1579;
}

void TestTemplateBuilder::dialogUnitsRoundLikeThePlatform()
{
    QFETCH(int, baseX);
    QFETCH(int, baseY);
    QFETCH(int, dlu);
    QFETCH(int, x);
    QFETCH(int, y);
    const DialogUnits du(baseX, baseY);
    QCOMPARE(du.X(dlu), x);
    QCOMPARE(du.Y(dlu), y);
}

void TestTemplateBuilder::dialogUnitsComeFromTheFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(13);
    const QFontMetrics fm(font);
    const DialogUnits du(font);
    const double average = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0;
    QCOMPARE(du.BaseX(), qRound(average));
    QCOMPARE(du.BaseY(), fm.height());
    // A wider font gives wider dialog units.
    font.setPixelSize(26);
    QVERIFY(DialogUnits(font).BaseX() > du.BaseX());
}

void TestTemplateBuilder::buildsInTableOrderWithIdsAndStyles()
{
    const DialogTemplate t = SampleTemplate();
    Host host(t);
    QCOMPARE(host.controls.size(), qsizetype(t.controls.size()));
    const QObjectList children = host.window.children();
    QList<int> childOrder;
    for (QObject *o : children)
        if (auto *w = qobject_cast<QWidget *>(o); w && w->property(TemplateBuilder::IdProperty).isValid())
            childOrder << TemplateBuilder::ControlId(w);
    QList<int> tableOrder;
    for (const DialogControl &c : t.controls)
        tableOrder << c.id;
    QCOMPARE(childOrder, tableOrder);

    const DialogUnits du(host.window.font());
    QCOMPARE(host.window.size(), QSize(du.X(200), du.Y(150)));
    QCOMPARE(host.Item(10)->geometry(), du.Rect(10, 10, 80, 12));
    // A combo is as high as its closed box, not its dropped list.
    QVERIFY(host.Item(12)->height() < du.Y(60));

    QVERIFY(host.Item(31)->isHidden());
    QVERIFY(!host.Item(32)->isEnabled());
    QVERIFY(host.Item<QLineEdit>(11)->isReadOnly());
    QVERIFY(!host.Item<QLineEdit>(10)->isReadOnly());
    QVERIFY(host.Item<QPushButton>(1)->isDefault());
    QCOMPARE(host.Item(10)->focusPolicy(), Qt::StrongFocus);
    QCOMPARE(host.Item(21)->focusPolicy(), Qt::ClickFocus); // no tab stop

    // Tab order is table order over the tab stops that can take the focus.
    QVERIFY(QTest::qWaitForWindowActive(&host.window));
    host.Item(10)->setFocus();
    QList<int> tabs;
    for (int i = 0; i < 6; ++i) {
        tabs << TemplateBuilder::ControlId(QApplication::focusWidget()->property(TemplateBuilder::IdProperty).isValid()
                                               ? QApplication::focusWidget()
                                               : QApplication::focusWidget()->parentWidget());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(tabs.mid(0, 4), QList<int>({10, 11, 12, 13}));
}

void TestTemplateBuilder::radioButtonsAreExclusiveWithinTheirGroupOnly()
{
    Host host(SampleTemplate());
    auto *a = host.Item<QRadioButton>(20);
    auto *b = host.Item<QRadioButton>(21);
    auto *c = host.Item<QRadioButton>(22);
    Click(a);
    Click(c);
    QVERIFY(a->isChecked());
    QVERIFY(c->isChecked());
    Click(b);
    QVERIFY(!a->isChecked());
    QVERIFY(b->isChecked());
    QVERIFY(c->isChecked());
    // Clicking the checked button keeps it checked; the program may still
    // leave a whole group unchecked.
    Click(b);
    QVERIFY(b->isChecked());
    SetButtonCheck(b, 0);
    QVERIFY(!a->isChecked() && !b->isChecked());
    QCOMPARE(ButtonCheck(b), 0);
}

void TestTemplateBuilder::editsReportEveryTextChangeAndLosingFocus()
{
    Host host(SampleTemplate());
    QVERIFY(QTest::qWaitForWindowActive(&host.window));
    auto *edit = host.Item<QLineEdit>(10);
    edit->setFocus();
    QTest::keyClicks(edit, "ab");
    QCOMPARE(host.Codes(10), QList<int>({EN_CHANGE, EN_CHANGE}));
    SetControlText(edit, QStringLiteral("program"));
    QCOMPARE(host.Codes(10).size(), 3); // programmatic text too, as the platform's edits do
    host.Item(11)->setFocus();
    QCOMPARE(host.Codes(10).last(), EN_KILLFOCUS);
    QCOMPARE(host.events.last().control, edit);
    QCOMPARE(host.events.last().message, WM_COMMAND);
}

void TestTemplateBuilder::combosReportUserChoicesOnly()
{
    Host host(SampleTemplate());
    QVERIFY(QTest::qWaitForWindowActive(&host.window));
    auto *list = host.Item<QComboBox>(12);
    list->setCurrentIndex(1);
    QVERIFY(host.Codes(12).isEmpty());
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(host.Codes(12), QList<int>({CBN_SELCHANGE}));
    QCOMPARE(list->currentIndex(), 2);

    auto *combo = host.Item<QComboBox>(13);
    SetControlText(combo, QStringLiteral("set"));
    QVERIFY(host.Codes(13).isEmpty());
    combo->setFocus();
    QTest::keyClicks(combo->lineEdit(), "x");
    QCOMPARE(host.Codes(13), QList<int>({CBN_EDITCHANGE}));
    // Enter neither adds the typed text to the list nor completes it.
    QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    QCOMPARE(combo->count(), 2);
}

void TestTemplateBuilder::buttonsReportClicksNotProgrammaticChecks()
{
    Host host(SampleTemplate());
    auto *box = host.Item<QCheckBox>(30);
    SetButtonCheck(box, 1);
    QVERIFY(host.Codes(30).isEmpty());
    Click(box);
    QCOMPARE(host.Codes(30), QList<int>({BN_CLICKED}));
    QCOMPARE(ButtonCheck(box), 0);
    QTest::mouseClick(host.Item(1), Qt::LeftButton);
    QCOMPARE(host.Codes(1), QList<int>({BN_CLICKED}));
}

void TestTemplateBuilder::datePickerReportsUserChangesOnly()
{
    Host host(SampleTemplate());
    QVERIFY(QTest::qWaitForWindowActive(&host.window));
    auto *picker = host.Item<QDateEdit>(40);
    SetPickerDate(picker, 2000, 5, 17);
    QVERIFY(host.Codes(40).isEmpty());
    int y, m, d;
    PickerDate(picker, &y, &m, &d);
    QCOMPARE(QList<int>({y, m, d}), QList<int>({2000, 5, 17}));

    picker->setFocus();
    picker->setCurrentSection(QDateTimeEdit::DaySection);
    QTest::keyClick(picker, Qt::Key_Up);
    QCOMPARE(host.Codes(40), QList<int>({DTN_DATETIMECHANGE}));
    QCOMPARE(host.events.last().message, WM_NOTIFY);
    PickerDate(picker, &y, &m, &d);
    QCOMPARE(d, 18);

    // The zero date shows the picker empty and reads back as zero; a date that
    // does not exist leaves it alone.
    SetPickerDate(picker, 0, 0, 0);
    QCOMPARE(picker->text().trimmed(), QString());
    PickerDate(picker, &y, &m, &d);
    QCOMPARE(QList<int>({y, m, d}), QList<int>({0, 0, 0}));
    SetPickerDate(picker, 2001, 2, 31);
    PickerDate(picker, &y, &m, &d);
    QCOMPARE(QList<int>({y, m, d}), QList<int>({0, 0, 0}));
    QCOMPARE(host.Codes(40).size(), 1);
}

void TestTemplateBuilder::comboItemsAndData()
{
    Host host(SampleTemplate());
    auto *list = host.Item<QComboBox>(12);
    // Sorted ignoring case; a new item goes into its place.
    QCOMPARE(ComboItemText(list, 0), QStringLiteral("Apple"));
    QCOMPARE(ComboItemText(list, 2), QStringLiteral("pear"));
    QCOMPARE(ComboAddString(list, QStringLiteral("Cherry")), 2);
    QCOMPARE(ComboFindStringExact(list, QStringLiteral("CHERRY")), 2);
    QCOMPARE(ComboFindStringExact(list, QStringLiteral("Cherr")), -1);
    QCOMPARE(ComboItemData(list, 2), intptr_t(0));
    QVERIFY(SetComboItemData(list, 2, 0x123456));
    QCOMPARE(ComboItemData(list, 2), intptr_t(0x123456));
    QCOMPARE(ComboItemData(list, 99), intptr_t(-1));
    QVERIFY(!SetComboItemData(list, -1, 5));
    // An unsorted combo appends.
    auto *combo = host.Item<QComboBox>(13);
    QCOMPARE(ComboAddString(combo, QStringLiteral("a")), 2);
    // A drop-down list gives its selected item's text and takes none.
    list->setCurrentIndex(-1);
    QCOMPARE(ControlText(list), QString());
    list->setCurrentIndex(0);
    SetControlText(list, QStringLiteral("zzz"));
    QCOMPARE(ControlText(list), QStringLiteral("Apple"));
}

QTEST_MAIN(TestTemplateBuilder)
#include "tst_templatebuilder.moc"
