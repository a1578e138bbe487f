#include "boundtestdialog.h"

#include "controlmessages.h"
#include "messagebox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include <cstring>
#include <memory>

namespace {

constexpr int kTemplate = 900;

void RegisterTemplate()
{
    DialogTemplate t;
    t.id = kTemplate;
    t.caption = QStringLiteral("Bindings");
    t.cx = 400;
    t.cy = 260;
    const uint32_t tab = StyleTabStop;
    t.controls = {
        {100, ControlKind::Edit, {}, 5, 5, 90, 12, StyleGroup | tab},
        {101, ControlKind::Edit, {}, 5, 20, 90, 12, tab},
        {102, ControlKind::Edit, {}, 5, 35, 90, 12, tab},
        {103, ControlKind::Edit, {}, 5, 50, 90, 12, tab},
        {110, ControlKind::ComboBox, QStringLiteral("alpha\nbeta gamma delta\nEpsilon"), 100, 5, 90, 60, tab},
        {111, ControlKind::ComboList, QStringLiteral("10\n 20\n30\n7F\n2.5"), 100, 20, 90, 60, tab},
        {112, ControlKind::ComboList, QStringLiteral("red\ngreen\nblue"), 100, 35, 90, 60, tab},
        {113, ControlKind::ComboBox, QStringLiteral("5\n1 000\nFF"), 100, 50, 90, 60, tab},
        {120, ControlKind::RadioButton, QStringLiteral("first"), 200, 5, 60, 10, StyleGroup | tab},
        {125, ControlKind::CheckBox, QStringLiteral("between"), 200, 17, 60, 10, 0},
        {122, ControlKind::RadioButton, QStringLiteral("second"), 200, 29, 60, 10, 0},
        {121, ControlKind::RadioButton, QStringLiteral("third"), 200, 41, 60, 10, 0},
        {130, ControlKind::RadioButton, QStringLiteral("next group"), 200, 53, 60, 10, StyleGroup | tab},
        {140, ControlKind::CheckBox, QStringLiteral("check"), 270, 5, 60, 10, StyleGroup | tab},
        {141, ControlKind::ThreeState, QStringLiteral("three"), 270, 17, 60, 10, tab},
        {150, ControlKind::DatePicker, {}, 270, 30, 70, 12, tab},
        {160, ControlKind::IpAddress, {}, 270, 45, 70, 12, tab},
        {170, ControlKind::Edit, {}, 5, 65, 90, 12, tab | StyleHidden},
        {1, ControlKind::DefPushButton, QStringLiteral("OK"), 290, 230, 50, 14, StyleGroup | tab},
        {2, ControlKind::PushButton, QStringLiteral("Cancel"), 345, 230, 50, 14, tab},
    };
    DialogTemplate::Register(t);
}

struct Messages {
    QList<MessageBoxCall> calls;
    MessageBoxHandler previous;
    Messages()
    {
        previous = SetMessageBoxHandler([this](const MessageBoxCall &call) {
            calls << call;
            return MSG_OK;
        });
    }
    ~Messages() { SetMessageBoxHandler(previous); }
};

std::unique_ptr<BoundTestDialog> Open(BoundTestDialog::Binder binder)
{
    auto dlg = std::make_unique<BoundTestDialog>(kTemplate, std::move(binder));
    if (!dlg->Open())
        return nullptr;
    return dlg;
}

// Types any text, one key event per character.
void Type(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

void Retype(QLineEdit *edit, const QString &text)
{
    // The first key replaces the selection, so no empty text comes between.
    edit->setFocus();
    edit->selectAll();
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Delete);
    Type(edit, text);
}

// On the indicator: a check box or radio button takes clicks there.
void Click(QWidget *button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

void ChooseItem(QComboBox *combo, int index)
{
    // A user's choice: the keyboard moves the selection and reports it.
    combo->setFocus();
    while (combo->currentIndex() < index)
        QTest::keyClick(combo, Qt::Key_Down);
    while (combo->currentIndex() > index)
        QTest::keyClick(combo, Qt::Key_Up);
}

} // namespace

class TestDdxRobot : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { RegisterTemplate(); }

    void textKindsNarrowAndWide();
    void twoRecordsForOneControl();
    void updateControlsInsideAndOutsideOnChange();
    void notifySwitch();
    void radioGroupsFollowWindowOrder();
    void comboIndexAndTextKinds();
    void comboDataKinds();
    void comboDataNotInList();
    void comboNumberKinds();
    void comboEditTextSelection();
    void intEditLimits_data();
    void intEditLimits();
    void int64AndHexEdits();
    void doubleDisplay_data();
    void doubleDisplay();
    void doubleChecks();
    void dateEdit_data();
    void dateEdit();
    void checkKinds();
    void datePickerKinds();
    void ipAddressKind();
    void readControlsChecksEveryRecord();
    void lockAndUnlock();
    void inertRecordsAndMissingControls();
};

void TestDdxRobot::textKindsNarrowAndWide()
{
    char narrow[8] = "\x8Elu\x9D";   // "Žluť" in the program's code page
    char16_t wide[6] = u"kůň";
    auto dlg = Open([&](BoundTestDialog &d) {
        d.BindText(100, narrow, sizeof narrow);
        d.BindText(101, wide, 6);
    });
    QVERIFY(dlg);
    auto *e1 = dlg->DlgItem<QLineEdit>(100);
    auto *e2 = dlg->DlgItem<QLineEdit>(101);
    QCOMPARE(e1->text(), QString::fromUtf8("Žluť"));
    QCOMPARE(e2->text(), QString::fromUtf8("kůň"));
    QCOMPARE(e1->maxLength(), 7);
    QCOMPARE(e2->maxLength(), 5);

    // Typing stores at once, bounded by the capacity.
    e1->setFocus();
    e1->end(false);
    Type(e1, QString::fromUtf8("ý kůň"));
    QCOMPARE(e1->text(), QString::fromUtf8("Žluťý k"));
    QCOMPARE(QByteArray(narrow), QByteArray("\x8Elu\x9D\xFD k"));
    QCOMPARE(dlg->changes.last(), 100);
    Retype(e2, QStringLiteral("abcdefg"));
    QCOMPARE(QString::fromUtf16(wide), QStringLiteral("abcde"));
    QCOMPARE(wide[5], u'\0');
}

void TestDdxRobot::twoRecordsForOneControl()
{
    char first[20] = "alpha";
    char second[20] = "beta";
    auto dlg = Open([&](BoundTestDialog &d) {
        d.BindText(100, first, sizeof first);
        d.BindText(100, second, sizeof second);
    });
    QVERIFY(dlg);
    auto *edit = dlg->DlgItem<QLineEdit>(100);
    // Shown in order, so the later record is what the control shows; the
    // control's own change notification stores it through the first.
    QCOMPARE(edit->text(), QStringLiteral("beta"));
    QCOMPARE(QByteArray(first), QByteArray("beta"));
    edit->setFocus();
    edit->end(false);
    QTest::keyClick(edit, 'x');
    QCOMPARE(QByteArray(first), QByteArray("betax"));
    QCOMPARE(QByteArray(second), QByteArray("beta"));
    QCOMPARE(dlg->changes, QList<int>({100}));
}

void TestDdxRobot::updateControlsInsideAndOutsideOnChange()
{
    char name[20] = "abc";
    char mirror[20] = "";
    auto dlg = Open([&](BoundTestDialog &d) {
        d.BindText(100, name, sizeof name);
        d.BindText(101, mirror, sizeof mirror);
    });
    QVERIFY(dlg);
    dlg->onChange = [&](BoundTestDialog &d, int id) {
        if (id != 100)
            return;
        std::strcpy(mirror, name);
        std::strcpy(name, "overwritten");
        d.UpdateControls();
    };
    auto *edit = dlg->DlgItem<QLineEdit>(100);
    edit->setFocus();
    edit->setCursorPosition(1);
    QTest::keyClick(edit, 'X');
    // The edited control keeps its text and caret; the other shows the new
    // value; no second OnChange follows from inside.
    QCOMPARE(edit->text(), QStringLiteral("aXbc"));
    QCOMPARE(edit->cursorPosition(), 2);
    QCOMPARE(dlg->DlgItem<QLineEdit>(101)->text(), QStringLiteral("aXbc"));
    QCOMPARE(dlg->changes, QList<int>({100}));

    // From outside, OnChange(0) follows and every control is shown.
    dlg->onChange = nullptr;
    std::strcpy(name, "fresh");
    dlg->UpdateControls();
    QCOMPARE(edit->text(), QStringLiteral("fresh"));
    QCOMPARE(dlg->changes, QList<int>({100, 0}));
}

void TestDdxRobot::notifySwitch()
{
    char text[10] = "";
    auto dlg = Open([&](BoundTestDialog &d) { d.BindText(100, text, sizeof text); });
    QVERIFY(dlg);
    QVERIFY(dlg->SetNotify(false));
    Retype(dlg->DlgItem<QLineEdit>(100), QStringLiteral("ab"));
    QCOMPARE(QByteArray(text), QByteArray("ab"));
    QVERIFY(dlg->changes.isEmpty());
    QVERIFY(!dlg->SetNotify(true));
    QTest::keyClick(dlg->GetDlgItem(100), 'c');
    QCOMPARE(dlg->changes, QList<int>({100}));
}

void TestDdxRobot::radioGroupsFollowWindowOrder()
{
    int8_t position = 1;
    int8_t other = 0;
    auto dlg = Open([&](BoundTestDialog &d) {
        d.BindRadioGroup(120, &position);
        d.BindRadioGroup(130, &other);
    });
    QVERIFY(dlg);
    // Positions follow window order (120, 122, 121), skip the check box in
    // between and end at the next group.
    QCOMPARE(dlg->BindingCount(), 4);
    QCOMPARE(dlg->BindingAt(1).id, 122);
    QCOMPARE(dlg->BindingAt(2).w4, intptr_t(2));
    auto *r120 = dlg->DlgItem<QRadioButton>(120);
    auto *r122 = dlg->DlgItem<QRadioButton>(122);
    auto *r121 = dlg->DlgItem<QRadioButton>(121);
    QVERIFY(r122->isChecked());
    QVERIFY(dlg->DlgItem<QRadioButton>(130)->isChecked());

    Click(r121);
    QCOMPARE(position, int8_t(2));
    QCOMPARE(dlg->changes, QList<int>({121}));

    // A value that matches no position leaves every button unchecked, and
    // reading then gives -1.
    position = 7;
    dlg->UpdateControls();
    QVERIFY(!r120->isChecked() && !r121->isChecked() && !r122->isChecked());
    dlg->ReadControls();
    QCOMPARE(position, int8_t(-1));
    QCOMPARE(other, int8_t(0));
}

void TestDdxRobot::comboIndexAndTextKinds()
{
    int32_t index = 1;
    char exact[20] = "EPSILON";
    int32_t index17 = 2;
    char text17[4] = "";
    auto dlg = Open([&](BoundTestDialog &d) {
        d.BindComboIndex(112, &index);
        d.BindComboText(110, exact, sizeof exact);
        d.BindComboIndexText(111, &index17, text17, sizeof text17);
    });
    QVERIFY(dlg);
    auto *colours = dlg->DlgItem<QComboBox>(112);
    QCOMPARE(colours->currentIndex(), 1);
    // The exact-string search ignores case.
    QCOMPARE(dlg->DlgItem<QComboBox>(110)->currentIndex(), 2);
    QCOMPARE(dlg->DlgItem<QComboBox>(111)->currentIndex(), 2);
    QCOMPARE(QByteArray(text17), QByteArray(""));

    ChooseItem(colours, 2);
    QCOMPARE(index, 2);
    QCOMPARE(dlg->changes, QList<int>({112}));
    // A programmatic selection sends nothing, so nothing is stored.
    colours->setCurrentIndex(0);
    QCOMPARE(index, 2);
    dlg->ReadControls();
    QCOMPARE(index, 0);

    index = 9;
    dlg->UpdateControls();
    QCOMPARE(colours->currentIndex(), -1);
    dlg->ReadControls();
    QCOMPARE(index, -1);

    ChooseItem(dlg->DlgItem<QComboBox>(111), 1);
    QCOMPARE(index17, 1);
    QCOMPARE(QByteArray(text17), QByteArray(" 20")); // bounded by the second buffer
}

void TestDdxRobot::comboDataKinds()
{
    int32_t values[3] = {100, 200, 300};
    int32_t byRef = 200;
    int32_t byData = 30;
    int32_t data18 = 0;
    char text18[10] = "";
    int32_t data19 = 5;
    char16_t text19[10] = u"";
    auto dlg = Open([&](BoundTestDialog &d) {
        auto *refs = d.DlgItem<QComboBox>(112);
        for (int i = 0; i < 3; ++i)
            SetComboItemData(refs, i, reinterpret_cast<intptr_t>(&values[i]));
        auto *data = d.DlgItem<QComboBox>(111);
        const intptr_t items[5] = {10, 20, 30, -1, 50};
        for (int i = 0; i < 5; ++i)
            SetComboItemData(data, i, items[i]);
        auto *edit = d.DlgItem<QComboBox>(110);
        SetComboItemData(edit, 0, 4);
        SetComboItemData(edit, 1, 5);
        SetComboItemData(edit, 2, 6);
        d.BindComboDataRef(112, &byRef);
        d.BindComboData(111, &byData);
        d.BindComboDataText(111, &data18, text18, sizeof text18);
        d.BindComboDataText(110, &data19, text19, 10);
    });
    QVERIFY(dlg);
    auto *refs = dlg->DlgItem<QComboBox>(112);
    auto *data = dlg->DlgItem<QComboBox>(111);
    QCOMPARE(refs->currentIndex(), 1);
    QCOMPARE(data->currentIndex(), 0); // the later kind 18 record found no 0 and chose item 0
    QCOMPARE(data18, 10);
    QCOMPARE(data19, 5);
    QCOMPARE(QString::fromUtf16(text19), QStringLiteral("beta gamma delta").left(9)); // shown, then copied

    ChooseItem(refs, 2);
    QCOMPARE(byRef, 300);
    // The item whose data reads as -1 gives its index.
    ChooseItem(data, 3);
    QCOMPARE(byData, 3);
    ChooseItem(data, 2);
    QCOMPARE(byData, 30);
    QCOMPARE(data18, 10); // live through the first record only
    dlg->ReadControls();
    QCOMPARE(data18, 30);
    QCOMPARE(QByteArray(text18), QByteArray("30"));

    // The search stops at the first -1: 50 behind it is not found.
    byData = 50;
    data18 = 50;
    dlg->UpdateControls();
    QCOMPARE(data->currentIndex(), 0);
    QCOMPARE(byData, 10);
}

void TestDdxRobot::comboDataNotInList()
{
    int32_t colour = 0x123456;
    int32_t empty = 77;
    auto dlg = Open([&](BoundTestDialog &d) {
        auto *combo = d.DlgItem<QComboBox>(112);
        for (int i = 0; i < 3; ++i)
            SetComboItemData(combo, i, 0x10 * (i + 1));
        d.DlgItem<QComboBox>(111)->clear();
        d.BindComboData(112, &colour);
        d.BindComboData(111, &empty);
    });
    QVERIFY(dlg);
    QCOMPARE(dlg->DlgItem<QComboBox>(112)->currentIndex(), 0);
    QCOMPARE(colour, 0x10);
    QCOMPARE(dlg->DlgItem<QComboBox>(111)->currentIndex(), -1);
    QCOMPARE(empty, 0);
}

void TestDdxRobot::comboNumberKinds()
{
    int32_t clamped = 20;   // kind 8 on " 20" etc., limits 15..25
    int32_t edited = 0;     // kind 9 on the edit combo, limits 1..500
    int32_t hex = 0x7F;     // kind 12
    double real = 2.5;      // kind 11
    auto dlg = Open([&](BoundTestDialog &d) {
        d.BindComboInt(111, &clamped, 15, 25);
        d.BindComboEditInt(113, &edited, 1, 500, DDX_EMPTY_IF_ZERO);
        d.BindComboHex(112, &hex);
        d.BindComboDouble(110, &real);
    });
    QVERIFY(dlg);
    auto *numbers = dlg->DlgItem<QComboBox>(111);
    auto *edit = dlg->DlgItem<QComboBox>(113);
    QCOMPARE(numbers->currentIndex(), 1); // " 20" reads as 20 once its blank is gone
    QCOMPARE(edit->currentText(), QString()); // zero shown empty
    QCOMPARE(dlg->DlgItem<QComboBox>(112)->currentIndex(), -1); // no item reads as 7F

    ChooseItem(numbers, 2); // "30" is clamped to the high limit
    QCOMPARE(clamped, 25);
    ChooseItem(numbers, 0);
    QCOMPARE(clamped, 15);

    // Typing clamps and writes the corrected value back.
    edit->setFocus();
    QTest::keyClicks(edit->lineEdit(), "9999");
    QCOMPARE(edited, 500);
    QCOMPARE(edit->currentText(), QStringLiteral("500"));
    // A list choice is converted without removing blanks and not clamped.
    ChooseItem(edit, 1);
    QCOMPARE(edited, 1);
    ChooseItem(edit, 0);
    QCOMPARE(edited, 5);

    // Kind 10 and 11 read their edit text as hexadecimal and decimal.
    int32_t hexEdit = 0;
    double decimal = 0;
    auto dlg2 = Open([&](BoundTestDialog &d) {
        d.BindComboEditHex(113, &hexEdit);
        d.Bind(110, DDX_COMBO_DOUBLE, &decimal);
    });
    QVERIFY(dlg2);
    auto *e2 = dlg2->DlgItem<QComboBox>(113);
    QCOMPARE(e2->currentText(), QStringLiteral("0"));
    ChooseItem(e2, 2);
    QCOMPARE(hexEdit, 0xFF);
    e2->setFocus();
    e2->lineEdit()->selectAll();
    QTest::keyClicks(e2->lineEdit(), " 0x1a");
    QCOMPARE(hexEdit, 0x1A);
    auto *e3 = dlg2->DlgItem<QComboBox>(110);
    e3->setFocus();
    e3->lineEdit()->selectAll();
    QTest::keyClicks(e3->lineEdit(), "1 234,5");
    dlg2->ReadControls();
    QCOMPARE(decimal, 1234.5);
}

void TestDdxRobot::comboEditTextSelection()
{
    char shortBuffer[6] = "x";
    char16_t wide[40] = u"";
    auto dlg = Open([&](BoundTestDialog &d) {
        d.BindComboEditText(110, shortBuffer, sizeof shortBuffer);
        d.BindComboEditText(113, wide, 40);
    });
    QVERIFY(dlg);
    auto *combo = dlg->DlgItem<QComboBox>(110);
    QCOMPARE(combo->currentText(), QStringLiteral("x"));
    ChooseItem(combo, 0);
    QCOMPARE(QByteArray(shortBuffer), QByteArray("alpha"));
    QCOMPARE(dlg->changes, QList<int>({110}));
    // An item text that does not fit is not taken, and nothing is reported.
    ChooseItem(combo, 1);
    QCOMPARE(QByteArray(shortBuffer), QByteArray("alpha"));
    QCOMPARE(dlg->changes, QList<int>({110}));
    // Typing reads the edit field, bounded.
    combo->lineEdit()->selectAll();
    QTest::keyClicks(combo->lineEdit(), "abcdefgh");
    QCOMPARE(QByteArray(shortBuffer), QByteArray("abcde"));

    ChooseItem(dlg->DlgItem<QComboBox>(113), 1);
    QCOMPARE(QString::fromUtf16(wide), QStringLiteral("1 000"));
}

void TestDdxRobot::intEditLimits_data()
{
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::addColumn<int>("initial");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("stored");
    QTest::addColumn<QString>("message");
    const QString between = QString::fromUtf8("Vložte číslo mezi %1 a %2.");
    QTest::newRow("10..99, 5 stored while typing") << 10 << 99 << 50 << "5" << 5 << between.arg(10).arg(99);
    QTest::newRow("-10..10, 50 not stored") << -10 << 10 << 3 << "50" << 5 << between.arg(-10).arg(10);
    QTest::newRow("no limits") << 0 << 0 << 1 << "123456" << 123456 << QString();
    QTest::newRow("blanks removed") << 0 << 0 << 1 << "- 1 2x3" << -12 << QString();
    QTest::newRow("in range") << 10 << 99 << 50 << "42" << 42 << QString();
    QTest::newRow("saturates") << 0 << 0 << 1 << "99999999999" << 2147483647 << QString();
}

void TestDdxRobot::intEditLimits()
{
    QFETCH(int, low);
    QFETCH(int, high);
    QFETCH(int, initial);
    QFETCH(QString, typed);
    QFETCH(int, stored);
    QFETCH(QString, message);
    Messages messages;
    int32_t value = initial;
    char other[10] = "";
    auto dlg = Open([&](BoundTestDialog &d) {
        d.BindInt(100, &value, low, high);
        d.BindText(101, other, sizeof other);
    });
    QVERIFY(dlg);
    auto *edit = dlg->DlgItem<QLineEdit>(100);
    QCOMPARE(edit->text(), QString::number(initial));
    Retype(edit, typed);
    QCOMPARE(value, stored);
    QVERIFY(messages.calls.isEmpty());

    dlg->changes.clear();
    dlg->GetDlgItem(101)->setFocus();
    QCOMPARE(dlg->changes, QList<int>({100})); // a read was made, whatever its outcome
    QCOMPARE(value, stored);
    if (message.isEmpty()) {
        QVERIFY(messages.calls.isEmpty());
        QCOMPARE(QApplication::focusWidget(), dlg->GetDlgItem(101));
        return;
    }
    QCOMPARE(messages.calls.size(), 1);
    QCOMPARE(messages.calls[0].text, message);
    QCOMPARE(messages.calls[0].icon, MsgIcon::Warning);
    QCOMPARE(QApplication::focusWidget(), edit);
    QCOMPARE(edit->selectedText(), edit->text());
}

void TestDdxRobot::int64AndHexEdits()
{
    Messages messages;
    int64_t big = 0;
    int32_t hex = 0x1F;
    int32_t blankHex = 0;
    auto dlg = Open([&](BoundTestDialog &d) {
        d.BindInt64(100, &big, DDX_EMPTY_IF_ZERO);
        d.BindHex(101, &hex, 0x10, 0xFF);
        d.BindHex(102, &blankHex, 0, 0, DDX_EMPTY_IF_ZERO);
    });
    QVERIFY(dlg);
    QCOMPARE(dlg->DlgItem<QLineEdit>(100)->text(), QString());
    QCOMPARE(dlg->DlgItem<QLineEdit>(101)->text(), QStringLiteral("1F"));
    QCOMPARE(dlg->DlgItem<QLineEdit>(102)->text(), QString());
    Retype(dlg->DlgItem<QLineEdit>(100), QStringLiteral("-9 000 000 000"));
    QCOMPARE(big, -9000000000LL);
    Retype(dlg->DlgItem<QLineEdit>(101), QStringLiteral("abc"));
    QCOMPARE(hex, 0xABC); // the low limit is above zero: stored while typing
    SetControlText(dlg->GetDlgItem(101), QStringLiteral("1FF"));
    dlg->GetDlgItem(102)->setFocus();
    QCOMPARE(hex, 0x1FF);
    QCOMPARE(messages.calls.size(), 1);
    QCOMPARE(messages.calls[0].text, QString::fromUtf8("Vložte číslo mezi 10 a FF."));
    QCOMPARE(QApplication::focusWidget(), dlg->GetDlgItem(101));
}

void TestDdxRobot::doubleDisplay_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("flags");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QString>("shown");
    QTest::newRow("%.15g") << 0.1 << 0 << QByteArray() << "0.1";
    QTest::newRow("%.15g large") << 123456789012345678.0 << 0 << QByteArray() << "1.23456789012346e+17";
    QTest::newRow("empty zero") << 0.0 << int(DDX_EMPTY_IF_ZERO) << QByteArray() << "";
    QTest::newRow("zero not empty") << 0.0 << 0 << QByteArray() << "0";
    QTest::newRow("whole grouped") << 1234567.5 << int(DDX_WHOLE_GROUPED) << QByteArray() << "1 234 568";
    QTest::newRow("cents grouped") << 1234567.5 << int(DDX_CENTS_GROUPED) << QByteArray() << "1 234 567.50";
    QTest::newRow("minus not grouped") << -123456.0 << int(DDX_WHOLE_GROUPED) << QByteArray() << "-123 456";
    QTest::newRow("short number") << 999.0 << int(DDX_CENTS_GROUPED) << QByteArray() << "999.00";
    QTest::newRow("format text wins") << 2.5 << int(DDX_WHOLE_GROUPED) << QByteArray("%.3f m") << "2.500 m";
}

void TestDdxRobot::doubleDisplay()
{
    QFETCH(double, value);
    QFETCH(int, flags);
    QFETCH(QByteArray, format);
    QFETCH(QString, shown);
    double v = value;
    auto dlg = Open([&](BoundTestDialog &d) {
        d.BindDouble(100, &v, 0, 0, flags, format.isEmpty() ? nullptr : format.constData());
    });
    QVERIFY(dlg);
    QCOMPARE(dlg->DlgItem<QLineEdit>(100)->text(), shown);
    if (flags & (DDX_WHOLE_GROUPED | DDX_CENTS_GROUPED)) {
        // Display only: never read back.
        Retype(dlg->DlgItem<QLineEdit>(100), QStringLiteral("7"));
        dlg->ReadControls();
        QCOMPARE(v, value);
    }
}

void TestDdxRobot::doubleChecks()
{
    Messages messages;
    double zeroOk = 3;
    double strict = 3;
    auto dlg = Open([&](BoundTestDialog &d) {
        d.BindDouble(100, &zeroOk, 1, 5, DDX_ZERO_ACCEPTED);
        d.BindDouble(101, &strict, 1, 5);
    });
    QVERIFY(dlg);
    Retype(dlg->DlgItem<QLineEdit>(100), QStringLiteral("0"));
    dlg->GetDlgItem(101)->setFocus();
    QCOMPARE(zeroOk, 0.0);
    QVERIFY(messages.calls.isEmpty());

    Retype(dlg->DlgItem<QLineEdit>(101), QStringLiteral("2,5"));
    QCOMPARE(strict, 2.5);
    Retype(dlg->DlgItem<QLineEdit>(101), QStringLiteral("0"));
    QCOMPARE(strict, 0.0); // the low limit is above zero: kept while typing
    dlg->GetDlgItem(100)->setFocus();
    QCOMPARE(messages.calls.size(), 1);
    QCOMPARE(messages.calls[0].text, QString::fromUtf8("Vložte číslo mezi 1 a 5."));
    QCOMPARE(QApplication::focusWidget(), dlg->GetDlgItem(101));
}

void TestDdxRobot::dateEdit_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("day");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("year");
    QTest::newRow("empty is the zero date") << "" << true << 0 << 0 << 0;
    QTest::newRow("no check of the month length") << "31.2.2000" << true << 31 << 2 << 2000;
    QTest::newRow("year too early") << "17.5.1799" << false << 0 << 0 << 0;
    QTest::newRow("day 32") << "32.1.2000" << false << 0 << 0 << 0;
    QTest::newRow("trailing characters") << "1.1.2000abc" << true << 1 << 1 << 2000;
    QTest::newRow("blanks before numbers") << " 5. 6. 2100" << true << 5 << 6 << 2100;
    QTest::newRow("month 13") << "1.13.2000" << false << 0 << 0 << 0;
    QTest::newRow("missing year") << "1.1" << false << 0 << 0 << 0;
}

void TestDdxRobot::dateEdit()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QFETCH(int, day);
    QFETCH(int, month);
    QFETCH(int, year);
    Messages messages;
    DDX_Date date{17, 5, 1997};
    auto dlg = Open([&](BoundTestDialog &d) { d.BindDate(100, &date); });
    QVERIFY(dlg);
    auto *edit = dlg->DlgItem<QLineEdit>(100);
    QCOMPARE(edit->text(), QStringLiteral("17.5.1997"));
    Retype(edit, QStringLiteral("17.5.99"));
    QCOMPARE(date.year, uint16_t(1997)); // rejected while typing: never stored
    Retype(edit, text);
    dlg->GetDlgItem(101)->setFocus();
    if (accepted) {
        QCOMPARE(QList<int>({date.day, date.month, date.year}), QList<int>({day, month, year}));
        QVERIFY(messages.calls.isEmpty());
        dlg->UpdateControls();
        QCOMPARE(edit->text().isEmpty(), day == 0);
    } else {
        QCOMPARE(QList<int>({date.day, date.month, date.year}), QList<int>({17, 5, 1997}));
        QCOMPARE(messages.calls.size(), 1);
        QCOMPARE(messages.calls[0].text, QString::fromUtf8("Vložte datum ve správném formátu (např. 17.5.1997)"));
        QCOMPARE(QApplication::focusWidget(), edit);
    }
}

void TestDdxRobot::checkKinds()
{
    uint8_t state = 2;
    char blank = '1';
    char zero = 'x';
    uint32_t bits = 0x10;
    auto dlg = Open([&](BoundTestDialog &d) {
        d.BindCheck(141, &state);
        d.BindCheckChar(140, &blank);
        d.BindCheckChar(125, &zero, true);
        d.BindCheckBit(120, &bits, 4); // a radio button holds one bit as well
    });
    QVERIFY(dlg);
    auto *three = dlg->DlgItem<QCheckBox>(141);
    QCOMPARE(three->checkState(), Qt::PartiallyChecked);
    QVERIFY(dlg->DlgItem<QCheckBox>(140)->isChecked());
    QVERIFY(!dlg->DlgItem<QCheckBox>(125)->isChecked());
    QVERIFY(dlg->DlgItem<QRadioButton>(120)->isChecked());

    Click(three);
    QCOMPARE(state, uint8_t(ButtonCheck(three)));
    QCOMPARE(dlg->changes, QList<int>({141}));
    Click(dlg->GetDlgItem(140));
    QCOMPARE(blank, ' ');
    Click(dlg->GetDlgItem(125));
    QCOMPARE(zero, '1');
    Click(dlg->GetDlgItem(125));
    QCOMPARE(zero, '0');
    bits = 0xFFFFFFFF;
    SetButtonCheck(dlg->DlgItem<QRadioButton>(120), 0);
    dlg->ReadControls();
    QCOMPARE(bits, 0xFFFFFFEFu);
    // A programmatic check sends no click, so nothing is stored.
    SetButtonCheck(dlg->DlgItem<QCheckBox>(140), 1);
    QCOMPARE(blank, ' ');
}

void TestDdxRobot::datePickerKinds()
{
    DDX_Date date{5, 6, 2007};
    DDX_Timestamp stamp{2010, 1, 31, 12, 30, 45, 999};
    DDX_DateStruct ymd{0, 0, 0};
    auto dlg = Open([&](BoundTestDialog &d) {
        d.BindDatePicker(150, &date);
        d.BindDatePicker(150, &stamp);
        d.BindDatePicker(150, &ymd);
    });
    QVERIFY(dlg);
    auto *picker = dlg->DlgItem<QDateEdit>(150);
    // Shown in order: the last record (the zero date) leaves the picker empty.
    QCOMPARE(picker->text().trimmed(), QString());
    date = {5, 6, 2007};
    stamp = {2010, 1, 31, 12, 30, 45, 999};
    ymd = {2010, 1, 31};
    dlg->UpdateControls();
    QCOMPARE(picker->date(), QDate(2010, 1, 31));
    dlg->changes.clear();

    picker->setFocus();
    picker->setCurrentSection(QDateTimeEdit::DaySection);
    QTest::keyClick(picker, Qt::Key_Down);
    QCOMPARE(picker->date(), QDate(2010, 1, 30));
    QCOMPARE(QList<int>({date.day, date.month, date.year}), QList<int>({30, 1, 2010}));
    QCOMPARE(dlg->changes, QList<int>({150}));
    dlg->ReadControls();
    QCOMPARE(QList<int>({stamp.year, stamp.month, stamp.day, stamp.hour, stamp.minute, stamp.second}),
             QList<int>({2010, 1, 30, 0, 0, 0}));
    QCOMPARE(stamp.fraction, 0u);
    QCOMPARE(QList<int>({ymd.year, ymd.month, ymd.day}), QList<int>({2010, 1, 30}));
}

void TestDdxRobot::ipAddressKind()
{
    uint32_t address = 0xC0A80001;
    auto dlg = Open([&](BoundTestDialog &d) { d.BindIpAddress(160, &address); });
    QVERIFY(dlg);
    auto *edit = dlg->DlgItem<QLineEdit>(160);
    QCOMPARE(edit->text(), QStringLiteral("192.168.0.1"));
    Retype(edit, QStringLiteral("10.1..300"));
    QCOMPARE(address, 0x0A0100FFu); // a blank field is 0, a field above 255 is 255
}

void TestDdxRobot::readControlsChecksEveryRecord()
{
    Messages messages;
    int32_t a = 50, b = 50;
    char text[10] = "";
    DDX_Date date{1, 1, 2000};
    auto dlg = Open([&](BoundTestDialog &d) {
        d.BindInt(100, &a, 10, 99);
        d.BindDate(101, &date);
        d.BindText(102, text, sizeof text);
        d.BindInt(103, &b, 10, 99);
    });
    QVERIFY(dlg);
    // Programmatic texts: the live reads store what typing would.
    SetControlText(dlg->GetDlgItem(100), QStringLiteral("5"));
    SetControlText(dlg->GetDlgItem(101), QStringLiteral("40.1.2000"));
    SetControlText(dlg->GetDlgItem(102), QStringLiteral("read"));
    SetControlText(dlg->GetDlgItem(103), QStringLiteral("77"));
    dlg->changes.clear();
    messages.calls.clear();
    a = 50;
    text[0] = '\0';
    b = 0;
    dlg->ReadControls();
    QCOMPARE(messages.calls.size(), 2);
    QCOMPARE(a, 50);
    QCOMPARE(date.day, uint8_t(1));
    QCOMPARE(QByteArray(text), QByteArray("read"));
    QCOMPARE(b, 77);
    QVERIFY(dlg->changes.isEmpty());
}

void TestDdxRobot::lockAndUnlock()
{
    char text[10] = "";
    int32_t number = 0;
    int32_t index = 0;
    uint8_t check = 0;
    auto dlg = Open([&](BoundTestDialog &d) {
        d.BindText(100, text, sizeof text);
        d.BindInt(101, &number);
        d.BindComboIndex(112, &index);
        d.BindCheck(140, &check);
    });
    QVERIFY(dlg);
    dlg->Lock(true);
    QVERIFY(dlg->DlgItem<QLineEdit>(100)->isReadOnly());
    QVERIFY(dlg->DlgItem<QLineEdit>(101)->isReadOnly());
    QVERIFY(dlg->GetDlgItem(100)->isEnabled());
    QVERIFY(!dlg->GetDlgItem(112)->isEnabled());
    QVERIFY(!dlg->GetDlgItem(140)->isEnabled());
    QVERIFY(dlg->GetDlgItem(141)->isEnabled()); // not bound
    QTest::keyClicks(dlg->GetDlgItem(100), "typed");
    QCOMPARE(QByteArray(text), QByteArray(""));
    dlg->Lock(false);
    QVERIFY(!dlg->DlgItem<QLineEdit>(100)->isReadOnly());
    QVERIFY(!dlg->DlgItem<QLineEdit>(101)->isReadOnly());
    QVERIFY(dlg->GetDlgItem(112)->isEnabled());
    QVERIFY(dlg->GetDlgItem(140)->isEnabled());
    QTest::keyClicks(dlg->GetDlgItem(100), "typed");
    QCOMPARE(QByteArray(text), QByteArray("typed"));
}

void TestDdxRobot::inertRecordsAndMissingControls()
{
    char missing[10] = "keep";
    int32_t missingIndex = 5;
    int32_t inert = 12345;
    char text[10] = "";
    BoundTestDialog dlg(kTemplate, [&](BoundTestDialog &d) {
        d.BindText(999, missing, sizeof missing);
        d.BindComboIndex(998, &missingIndex);
        d.Bind(100, 0, &inert);
        d.Bind(100, 33, &inert);
        d.BindText(100, text, sizeof text);
    });
    // Without a window, nothing is shown and OnChange is not called.
    dlg.UpdateControls();
    dlg.ReadControls();
    dlg.EnableControl(100, false);
    QVERIFY(dlg.changes.isEmpty());
    QVERIFY(dlg.Open());
    QTest::keyClicks(dlg.GetDlgItem(100), "ab");
    // The inert records come first for control 100 and take the change.
    QCOMPARE(QByteArray(text), QByteArray(""));
    QCOMPARE(inert, 12345);
    QVERIFY(dlg.changes.isEmpty());
    dlg.ReadControls();
    QCOMPARE(QByteArray(text), QByteArray("ab"));
    QCOMPARE(inert, 12345);
    // A record naming no control reads what an empty control gives.
    QCOMPARE(QByteArray(missing), QByteArray(""));
    QCOMPARE(missingIndex, 0);
}

QTEST_MAIN(TestDdxRobot)
#include "tst_ddxrobot.moc"
