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
#include <QGroupBox>
#include <QHelpEvent>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QTest>
#include <QToolTip>
#include <QTreeWidget>

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

// On the indicator.
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

// Controls the sample lacks: three-state box, trackbars with and without
// the tooltips style, group boxes with and without a title, a folder tree.
DialogTemplate ExtraTemplate()
{
    DialogTemplate t;
    t.id = 2;
    t.cx = 300;
    t.cy = 200;
    t.controls = {
        {50, ControlKind::ThreeState, QStringLiteral("three"), 10, 10, 120, 10, StyleTabStop},
        {51, ControlKind::CheckBox, QStringLiteral("wide"), 10, 24, 120, 14, StyleTabStop},
        {60, ControlKind::Trackbar, {}, 10, 45, 98, 15, StyleToolTips | StyleTabStop},
        {61, ControlKind::Trackbar, {}, 120, 45, 98, 15, StyleTabStop},
        {70, ControlKind::GroupBox, QStringLiteral("Program"), 10, 70, 100, 40, 0},
        {71, ControlKind::GroupBox, {}, 120, 70, 100, 40, 0},
        {80, ControlKind::TreeView, {}, 10, 120, 95, 70, StyleTabStop | StyleHasButtons | StyleHasLines},
    };
    return t;
}

// Presses the trackbar's thumb and drags it right by dx pixels, holding the button.
void PressAndDrag(QSlider *slider, int dx)
{
    const QPoint from(slider->width() * slider->value() / 100, slider->height() / 2);
    QMouseEvent press(QEvent::MouseButtonPress, from, slider->mapToGlobal(from), Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(slider, &press);
    const QPoint to = from + QPoint(dx, 0);
    QMouseEvent move(QEvent::MouseMove, to, slider->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(slider, &move);
}

void Release(QSlider *slider)
{
    const QPoint at(slider->width() / 2, slider->height() / 2);
    QMouseEvent release(QEvent::MouseButtonRelease, at, slider->mapToGlobal(at), Qt::LeftButton, Qt::NoButton, {});
    QApplication::sendEvent(slider, &release);
}

// The first row, from the top, in which column x of the image differs from its top pixel.
int FirstLineAt(const QImage &image, int x, int top, int bottom)
{
    const QColor background = image.pixelColor(x, top);
    for (int y = top; y <= bottom; ++y)
        if (image.pixelColor(x, y) != background)
            return y;
    return -1;
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
    void typingAnItemsTextIsNoSelectionChange_data();
    void typingAnItemsTextIsNoSelectionChange();
    void checkBoxesLikeThePlatform_data();
    void checkBoxesLikeThePlatform();
    void trackbarShowsItsValue();
    void groupFramesLineUpWithOrWithoutTitle();
    void treeScrollsSideways();
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

void TestTemplateBuilder::typingAnItemsTextIsNoSelectionChange_data()
{
    QTest::addColumn<int>("endKey"); // 0: the focus leaves
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("focus lost") << 0;
}

void TestTemplateBuilder::typingAnItemsTextIsNoSelectionChange()
{
    QFETCH(int, endKey);
    Host host(SampleTemplate());
    QVERIFY(QTest::qWaitForWindowActive(&host.window));
    auto *combo = host.Item<QComboBox>(13);
    combo->setFocus();
    QTest::keyClicks(QApplication::focusWidget(), "two");
    if (endKey)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(endKey));
    else
        host.Item(10)->setFocus();
    QCOMPARE(host.Codes(13), QList<int>({CBN_EDITCHANGE, CBN_EDITCHANGE, CBN_EDITCHANGE}));
    // A choice from the list is still one.
    combo->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
    QCOMPARE(host.Codes(13).last(), CBN_SELCHANGE);
    QCOMPARE(combo->currentText(), QStringLiteral("one"));
}

void TestTemplateBuilder::checkBoxesLikeThePlatform_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("where");
    QTest::addColumn<QList<int>>("states");
    const QList<int> twoStates{1, 0, 1};
    QTest::newRow("indicator") << 51 << "indicator" << twoStates;
    QTest::newRow("empty right end") << 51 << "right" << twoStates;
    QTest::newRow("bottom right corner") << 51 << "corner" << twoStates;
    QTest::newRow("three states: 1, 2, 0") << 50 << "right" << QList<int>({1, 2, 0, 1});
}

void TestTemplateBuilder::checkBoxesLikeThePlatform()
{
    QFETCH(int, id);
    QFETCH(QString, where);
    QFETCH(QList<int>, states);
    Host host(ExtraTemplate());
    QWidget *box = host.Item(id);
    const QPoint at = where == QLatin1String("indicator") ? QPoint(6, box->height() / 2)
        : where == QLatin1String("right")                 ? QPoint(box->width() - 2, box->height() / 2)
                                                          : QPoint(box->width() - 1, box->height() - 1);
    QList<int> seen;
    for (qsizetype i = 0; i < states.size(); ++i) {
        QTest::mouseClick(box, Qt::LeftButton, {}, at);
        seen << ButtonCheck(qobject_cast<QAbstractButton *>(box));
    }
    QCOMPARE(seen, states);
    QCOMPARE(host.Codes(id).size(), states.size());
}

void TestTemplateBuilder::trackbarShowsItsValue()
{
    Host host(ExtraTemplate());
    QVERIFY(QTest::qWaitForWindowExposed(&host.window));
    auto *tips = host.Item<QSlider>(60);
    auto *plain = host.Item<QSlider>(61);
    tips->setValue(10);
    PressAndDrag(tips, tips->width() / 3);
    QVERIFY(tips->value() > 20);
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), QString::number(tips->value()));
    // Just below the thumb, not wherever the mouse was last.
    QWidget *tip = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->inherits("QTipLabel") && w->isVisible())
            tip = w;
    QVERIFY(tip);
    const QRect slider(tips->mapToGlobal(QPoint(0, 0)), tips->size());
    QVERIFY2(slider.left() <= tip->x() && tip->x() <= slider.right() && qAbs(tip->y() - slider.bottom()) < 20,
             qPrintable(QStringLiteral("tip at %1,%2").arg(tip->x()).arg(tip->y())));
    Release(tips);
    QTRY_VERIFY(!QToolTip::isVisible());

    // Hovering shows the current value.
    QHelpEvent hover(QEvent::ToolTip, QPoint(5, 5), tips->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(tips, &hover);
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), QString::number(tips->value()));
    QToolTip::hideText();
    QTRY_VERIFY(!QToolTip::isVisible());

    // Without the style a drag shows nothing.
    plain->setValue(10);
    PressAndDrag(plain, plain->width() / 3);
    QVERIFY(plain->value() > 20);
    QTest::qWait(100);
    QVERIFY(!QToolTip::isVisible());
    Release(plain);
}

void TestTemplateBuilder::groupFramesLineUpWithOrWithoutTitle()
{
    Host host(ExtraTemplate());
    QVERIFY(QTest::qWaitForWindowExposed(&host.window));
    QWidget *titled = host.Item(70);
    QWidget *untitled = host.Item(71);
    QCOMPARE(titled->y(), untitled->y());
    const QImage image = host.window.grab().toImage();
    // Right of the title, where both boxes show only their top line.
    const int titledLine = FirstLineAt(image, titled->geometry().right() - 6, titled->y(), titled->geometry().bottom());
    const int untitledLine = FirstLineAt(image, untitled->geometry().right() - 6, untitled->y(), untitled->geometry().bottom());
    QVERIFY(titledLine >= titled->y());
    QCOMPARE(titledLine, untitledLine);
    // The line runs through the title's text line, not below it.
    QVERIFY(titledLine - titled->y() < titled->fontMetrics().height());
}

void TestTemplateBuilder::treeScrollsSideways()
{
    Host host(ExtraTemplate());
    QVERIFY(QTest::qWaitForWindowExposed(&host.window));
    auto *tree = host.Item<QTreeWidget>(80);
    QTreeWidgetItem *deepest = new QTreeWidgetItem(tree, QStringList{QStringLiteral("root")});
    for (int depth = 1; depth <= 30; ++depth)
        deepest = new QTreeWidgetItem(deepest, QStringList{QStringLiteral("folder %1").arg(depth)});
    tree->expandAll();
    tree->scrollToItem(deepest);
    QTRY_VERIFY(tree->horizontalScrollBar()->maximum() > 0);
    // Scrolled to, the deepest label is in view.
    tree->horizontalScrollBar()->setValue(tree->horizontalScrollBar()->maximum());
    const QRect label = tree->visualItemRect(deepest);
    const int textWidth = tree->fontMetrics().horizontalAdvance(deepest->text(0));
    QVERIFY2(label.right() <= tree->viewport()->width() && label.right() - textWidth >= 0,
             qPrintable(QStringLiteral("label %1..%2, viewport %3").arg(label.left()).arg(label.right()).arg(tree->viewport()->width())));
}

QTEST_MAIN(TestTemplateBuilder)
#include "tst_templatebuilder.moc"
