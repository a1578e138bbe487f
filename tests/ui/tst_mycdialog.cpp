#include "boundtestdialog.h"

#include "controlmessages.h"
#include "notifycodes.h"
#include "templatebuilder.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

constexpr int kDialog = 910;
constexpr int kRanges = 911;
constexpr int kEnter = 912;

// An edit, a plain push button and OK, as the template's default button or
// as a plain one, enabled or not.
void RegisterEnterTemplate(bool okIsDefault, bool okEnabled)
{
    DialogTemplate t;
    t.id = kEnter;
    t.cx = 200;
    t.cy = 60;
    const uint32_t okStyle = StyleTabStop | (okEnabled ? 0u : uint32_t(StyleDisabled));
    t.controls = {
        {10, ControlKind::Edit, {}, 5, 5, 80, 12, StyleGroup | StyleTabStop},
        {20, ControlKind::PushButton, QStringLiteral("Other"), 5, 40, 50, 14, StyleTabStop},
        {1, okIsDefault ? ControlKind::DefPushButton : ControlKind::PushButton, QStringLiteral("OK"), 90, 40, 50, 14,
         okStyle},
    };
    DialogTemplate::Register(t);
}

void RegisterTemplates()
{
    DialogTemplate t;
    t.id = kDialog;
    t.caption = QStringLiteral("Template title");
    t.cx = 200;
    t.cy = 120;
    t.controls = {
        {10, ControlKind::Edit, QStringLiteral("ten"), 5, 5, 80, 12, StyleGroup | StyleTabStop},
        {11, ControlKind::Edit, {}, 5, 20, 80, 12, StyleTabStop | StyleHidden},
        {12, ControlKind::Edit, {}, 5, 35, 80, 12, 0},
        {13, ControlKind::Edit, {}, 5, 50, 80, 12, StyleTabStop | StyleDisabled},
        {14, ControlKind::Edit, QStringLiteral("fourteen"), 5, 65, 80, 12, StyleTabStop},
        {15, ControlKind::CheckBox, QStringLiteral("box"), 100, 5, 60, 10, StyleTabStop},
        {1, ControlKind::DefPushButton, QStringLiteral("OK"), 90, 100, 50, 14, StyleGroup | StyleTabStop},
        {2, ControlKind::PushButton, QStringLiteral("Cancel"), 145, 100, 50, 14, StyleTabStop},
    };
    DialogTemplate::Register(t);

    DialogTemplate r;
    r.id = kRanges;
    r.cx = 100;
    r.cy = 100;
    for (int id : {5, 3, 9, 4, 7})
        r.controls.push_back({id, ControlKind::Edit, {}, 5, 5 + 14 * int(r.controls.size()), 60, 12, StyleTabStop});
    DialogTemplate::Register(r);
}

// Runs the dialog modally; act runs inside the modal run, once the dialog is active.
int RunModal(BoundTestDialog &dlg, const std::optional<QString> &caption, const std::function<void()> &act)
{
    QTimer::singleShot(0, &dlg, [&] {
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        act();
    });
    return dlg.DoModal(caption);
}

class CommandDialog : public BoundTestDialog {
public:
    using BoundTestDialog::BoundTestDialog;
    QStringList log;

protected:
    bool OnCmdMsg(int code, int id, QWidget *control) override
    {
        log << QStringLiteral("command %1 %2").arg(code).arg(id);
        return BoundTestDialog::OnCmdMsg(code, id, control);
    }
};

} // namespace

class TestMyCDialog : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { RegisterTemplates(); }

    void doModalCaptionAndResult_data();
    void doModalCaptionAndResult();
    void doModalWithoutTemplate();
    void enterMovesFocusToTheNextTabStop();
    void enterGoesOnlyToTheTemplatesDefaultButton_data();
    void enterGoesOnlyToTheTemplatesDefaultButton();
    void escapeAndCloseBoxIgnoredWhenAsked();
    void rangesFollowWindowOrder_data();
    void rangesFollowWindowOrder();
    void liveExchangeBeforeTheDialogsHandlers();
    void windowDestroyedAndCreatedAgain();
};

void TestMyCDialog::doModalCaptionAndResult_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("withCaption");
    QTest::addColumn<int>("result");
    QTest::newRow("OK clicked") << "ok" << true << 1;
    QTest::newRow("Escape") << "escape" << false << 2;
    QTest::newRow("close box") << "close" << true << 2;
    QTest::newRow("Enter in an edit") << "enter" << false << 1;
    QTest::newRow("restart result") << "done99" << true << 99;
}

void TestMyCDialog::doModalCaptionAndResult()
{
    QFETCH(QString, action);
    QFETCH(bool, withCaption);
    QFETCH(int, result);
    BoundTestDialog dlg(kDialog);
    QString title;
    int firstFocus = 0;
    QString selected;
    const int r = RunModal(dlg, withCaption ? std::optional<QString>(QStringLiteral("Given")) : std::nullopt, [&] {
        title = dlg.windowTitle();
        firstFocus = TemplateBuilder::ControlId(QApplication::focusWidget());
        selected = dlg.DlgItem<QLineEdit>(10)->selectedText();
        if (action == QLatin1String("ok"))
            QTest::mouseClick(dlg.GetDlgItem(1), Qt::LeftButton);
        else if (action == QLatin1String("escape"))
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        else if (action == QLatin1String("close"))
            dlg.close();
        else if (action == QLatin1String("enter"))
            QTest::keyClick(dlg.GetDlgItem(10), Qt::Key_Return);
        else
            dlg.done(99);
    });
    QCOMPARE(r, result);
    QCOMPARE(title, withCaption ? QStringLiteral("Given") : QStringLiteral("Template title"));
    // The first tab stop had the focus, its text selected.
    QCOMPARE(firstFocus, 10);
    QCOMPARE(selected, QStringLiteral("ten"));
    QCOMPARE(dlg.inits, 1);
    // The window ends with the modal run; the object stays.
    QVERIFY(!dlg.HasWindow());
    QCOMPARE(dlg.GetDlgItem(10), nullptr);
}

void TestMyCDialog::doModalWithoutTemplate()
{
    BoundTestDialog dlg(12345);
    QCOMPARE(dlg.DoModal(), -1);
    QCOMPARE(dlg.inits, 0);
}

void TestMyCDialog::enterMovesFocusToTheNextTabStop()
{
    BoundTestDialog dlg(kDialog);
    dlg.SetEnterMovesFocus();
    QVERIFY(dlg.Open());
    dlg.GetDlgItem(10)->setFocus();
    QTest::keyClick(dlg.GetDlgItem(10), Qt::Key_Return);
    // Past the hidden, the non-tab-stop and the disabled edit; text selected.
    QCOMPARE(QApplication::focusWidget(), dlg.GetDlgItem(14));
    QCOMPARE(dlg.DlgItem<QLineEdit>(14)->selectedText(), QStringLiteral("fourteen"));
    QTest::keyClick(dlg.GetDlgItem(14), Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(QApplication::focusWidget(), dlg.GetDlgItem(15));
    QTest::keyClick(dlg.GetDlgItem(15), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), dlg.GetDlgItem(1));
    QVERIFY(dlg.isVisible());
    // On the control with identifier 1, Enter is the dialog's OK.
    QTest::keyClick(dlg.GetDlgItem(1), Qt::Key_Return);
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), 1);
}

void TestMyCDialog::enterGoesOnlyToTheTemplatesDefaultButton_data()
{
    QTest::addColumn<bool>("okIsDefault");
    QTest::addColumn<bool>("okEnabled");
    QTest::addColumn<int>("focus");
    QTest::addColumn<int>("focusAfter");
    QTest::newRow("focused plain button: moves on, no click") << true << true << 20 << 1;
    QTest::newRow("no default in the template: none is made") << false << true << 20 << 1;
    QTest::newRow("disabled default button: nothing") << true << false << 10 << 10;
    QTest::newRow("disabled OK without a default: nothing") << false << false << 10 << 10;
}

void TestMyCDialog::enterGoesOnlyToTheTemplatesDefaultButton()
{
    QFETCH(bool, okIsDefault);
    QFETCH(bool, okEnabled);
    QFETCH(int, focus);
    QFETCH(int, focusAfter);
    RegisterEnterTemplate(okIsDefault, okEnabled);
    CommandDialog dlg(kEnter);
    dlg.SetEnterMovesFocus();
    QVERIFY(dlg.Open());
    // Only the template makes a default button, also once the dialog is shown.
    QCOMPARE(dlg.DlgItem<QPushButton>(1)->isDefault(), okIsDefault);
    QVERIFY(!dlg.DlgItem<QPushButton>(20)->isDefault());
    dlg.GetDlgItem(focus)->setFocus();
    dlg.log.clear();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(TemplateBuilder::ControlId(QApplication::focusWidget()), focusAfter);
    QVERIFY(dlg.isVisible());
    QVERIFY2(!dlg.log.contains(QStringLiteral("command 0 20")), qPrintable(dlg.log.join(QLatin1Char(','))));
    if (!okEnabled)
        QCOMPARE(dlg.log, QStringList());
    // Space on a focused button still clicks it.
    dlg.GetDlgItem(20)->setFocus();
    QTest::keyClick(dlg.GetDlgItem(20), Qt::Key_Space);
    QVERIFY(dlg.log.contains(QStringLiteral("command 0 20")));
}

void TestMyCDialog::escapeAndCloseBoxIgnoredWhenAsked()
{
    BoundTestDialog dlg(kDialog);
    dlg.SetIgnoreCancel();
    QVERIFY(dlg.Open());
    QTest::keyClick(dlg.GetDlgItem(10), Qt::Key_Escape);
    dlg.close();
    QTest::mouseClick(dlg.GetDlgItem(2), Qt::LeftButton);
    QVERIFY(dlg.isVisible());

    BoundTestDialog plain(kDialog);
    QVERIFY(plain.Open());
    QTest::keyClick(plain.GetDlgItem(10), Qt::Key_Escape);
    QVERIFY(!plain.isVisible());
    QCOMPARE(plain.result(), 2);
}

void TestMyCDialog::rangesFollowWindowOrder_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<QList<int>>("affected");
    QTest::newRow("window order, not ids") << 3 << 4 << QList<int>({3, 9, 4});
    QTest::newRow("one control") << 9 << 9 << QList<int>({9});
    QTest::newRow("last does not follow: up to the last sibling") << 9 << 5 << QList<int>({9, 4, 7});
    QTest::newRow("unknown first") << 42 << 4 << QList<int>();
}

void TestMyCDialog::rangesFollowWindowOrder()
{
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(QList<int>, affected);
    BoundTestDialog dlg(kRanges);
    dlg.EnableRange(first, last, false); // no window yet: nothing happens
    QVERIFY(dlg.Open());
    for (int id : {5, 3, 9, 4, 7})
        QVERIFY(dlg.GetDlgItem(id)->isEnabled());
    dlg.EnableRange(first, last, false);
    dlg.ShowRange(first, last, false);
    for (int id : {5, 3, 9, 4, 7}) {
        QCOMPARE(dlg.GetDlgItem(id)->isEnabled(), !affected.contains(id));
        QCOMPARE(dlg.GetDlgItem(id)->isHidden(), affected.contains(id));
    }
    dlg.EnableRange(first, last, true);
    dlg.ShowRange(first, last, true);
    for (int id : {5, 3, 9, 4, 7})
        QVERIFY(dlg.GetDlgItem(id)->isEnabled() && dlg.GetDlgItem(id)->isVisible());
    dlg.EnableControl(7, false);
    dlg.ShowControl(5, false);
    QVERIFY(!dlg.GetDlgItem(7)->isEnabled());
    QVERIFY(dlg.GetDlgItem(5)->isHidden());
}

void TestMyCDialog::liveExchangeBeforeTheDialogsHandlers()
{
    uint8_t box = 0;
    CommandDialog dlg(kDialog, [&](BoundTestDialog &d) { d.BindCheck(15, &box); });
    dlg.onChange = [&](BoundTestDialog &, int id) { dlg.log << QStringLiteral("change %1 box %2").arg(id).arg(box); };
    QVERIFY(dlg.Open());
    dlg.log.clear();
    QTest::mouseClick(dlg.GetDlgItem(15), Qt::LeftButton, {}, QPoint(6, dlg.GetDlgItem(15)->height() / 2));
    // The click took the focus from the edit first.
    QCOMPARE(dlg.log, QStringList({QStringLiteral("command %1 10").arg(EN_KILLFOCUS), QStringLiteral("change 15 box 1"),
                                   QStringLiteral("command 0 15")}));
    // A text change reaches the handlers too, after its live read.
    dlg.log.clear();
    SetControlText(dlg.GetDlgItem(14), QStringLiteral("x"));
    QCOMPARE(dlg.log, QStringList({QStringLiteral("command %1 14").arg(EN_CHANGE)}));
}

void TestMyCDialog::windowDestroyedAndCreatedAgain()
{
    char text[10] = "abc";
    BoundTestDialog dlg(kDialog, [&](BoundTestDialog &d) { d.BindText(10, text, sizeof text); });
    QVERIFY(dlg.Open());
    QCOMPARE(dlg.BindingCount(), 1);
    dlg.GetDlgItem(10)->setFocus();
    dlg.DestroyWindow();
    QVERIFY(!dlg.HasWindow());
    QCOMPARE(dlg.GetDlgItem(10), nullptr);
    dlg.changes.clear();
    dlg.UpdateControls();
    QVERIFY(dlg.changes.isEmpty());
    // A new window: the initialisation registers its bindings again, behind the old ones.
    QVERIFY(dlg.Open());
    QCOMPARE(dlg.inits, 2);
    QCOMPARE(dlg.BindingCount(), 2);
    QCOMPARE(dlg.DlgItem<QLineEdit>(10)->text(), QStringLiteral("abc"));
}

QTEST_MAIN(TestMyCDialog)
#include "tst_mycdialog.moc"
