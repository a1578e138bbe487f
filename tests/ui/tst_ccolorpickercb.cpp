#include "boundtestdialog.h"
#include "ccolorpickercb.h"

#include "controlmessages.h"
#include "syscolors.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <QStyleOptionComboBox>
#include <QTest>

namespace {

constexpr int kEditor = 930;
constexpr int kPicker = 2238;

void RegisterTemplate()
{
    DialogTemplate t;
    t.id = kEditor;
    t.cx = 200;
    t.cy = 80;
    t.controls = {
        {10, ControlKind::Edit, {}, 5, 5, 80, 12, StyleTabStop},
        {kPicker, ControlKind::ComboList, {}, 5, 25, 150, 120, StyleTabStop | StyleSorted | StyleOwnerDraw | StyleVScroll},
    };
    DialogTemplate::Register(t);
}

QString Name(const ColourRow &row)
{
    return QString::fromLatin1(row.name);
}

QRect Field(const CColorPickerCB &picker)
{
    QStyleOptionComboBox opt;
    opt.initFrom(&picker);
    opt.editable = false;
    opt.frame = true;
    return picker.style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, &picker);
}

struct Shown {
    QWidget window;
    CColorPickerCB *picker = new CColorPickerCB(&window);
    QLineEdit *other = new QLineEdit(&window);
    Shown()
    {
        window.resize(300, 80);
        picker->setGeometry(10, 10, 240, 26);
        other->setGeometry(10, 45, 100, 24);
        picker->FillColours();
        window.show();
        window.activateWindow();
    }
};

} // namespace

class TestCColorPickerCB : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { RegisterTemplate(); }

    void tableHoldsTheStandardColours();
    void fillColoursSortsTheList();
    void selectColour_data();
    void selectColour();
    void bindingReplacesAColourNotInTheTable();
    void swatchAndTextOnPixels_data();
    void swatchAndTextOnPixels();
    void emptySelectionField();
    void listItemsAreDrawnAsSwatches();
    void clickTakesTheFocus();
};

void TestCColorPickerCB::tableHoldsTheStandardColours()
{
    const auto &table = CColorPickerCB::Colours();
    QCOMPARE(int(table.size()), 140);
    QCOMPARE(Name(table[0]), QStringLiteral("Default - Black"));
    QCOMPARE(table[0].value, 0u);
    QCOMPARE(Name(table[1]), QStringLiteral("AliceBlue"));
    QCOMPARE(table[1].value, 0xFFF8F0u);
    for (int i = 1; i < 140; ++i) {
        const QString name = Name(table[size_t(i)]);
        QVERIFY2(name.size() <= 31, qPrintable(name));
        const QColor standard = QColor::fromString(name);
        QVERIFY2(standard.isValid(), qPrintable(name));
        QCOMPARE(table[size_t(i)].value, MakeColorRef(standard.red(), standard.green(), standard.blue()));
        if (i > 1)
            QVERIFY2(QString::compare(Name(table[size_t(i - 1)]), name, Qt::CaseInsensitive) < 0, qPrintable(name));
        QVERIFY(name.compare(QLatin1String("Black"), Qt::CaseInsensitive) != 0);
    }
    const auto value = [&](const char *name) {
        for (const ColourRow &row : table)
            if (qstrcmp(row.name, name) == 0)
                return row.value;
        return 0xFFFFFFFFu;
    };
    QCOMPARE(value("Aqua"), value("Cyan"));
    QCOMPARE(value("Fuchsia"), value("Magenta"));
    QCOMPARE(value("Red"), 0x0000FFu);
}

void TestCColorPickerCB::fillColoursSortsTheList()
{
    CColorPickerCB picker;
    picker.addItem(QStringLiteral("stale"));
    picker.FillColours();
    picker.FillColours();
    QCOMPARE(picker.count(), 140);
    QCOMPARE(picker.itemText(0), QStringLiteral("AliceBlue"));
    for (int i = 1; i < picker.count(); ++i)
        QVERIFY(QString::compare(picker.itemText(i - 1), picker.itemText(i), Qt::CaseInsensitive) <= 0);
    for (int i = 0; i < picker.count(); ++i) {
        const auto &table = CColorPickerCB::Colours();
        const auto row = std::find_if(table.begin(), table.end(),
                                      [&](const ColourRow &r) { return Name(r) == picker.itemText(i); });
        QVERIFY(row != table.end());
        QCOMPARE(uint32_t(ComboItemData(&picker, i)), row->value);
    }
}

void TestCColorPickerCB::selectColour_data()
{
    QTest::addColumn<uint32_t>("value");
    QTest::addColumn<QString>("selected");
    QTest::newRow("0 is the default") << 0u << "Default - Black";
    QTest::newRow("cyan: first of the pair in sorted order") << 0xFFFF00u << "Aqua";
    QTest::newRow("magenta: first of the pair in sorted order") << 0xFF00FFu << "Fuchsia";
    QTest::newRow("red") << 0x0000FFu << "Red";
    QTest::newRow("not in the table: unchanged") << 0x123456u << "Tan";
}

void TestCColorPickerCB::selectColour()
{
    QFETCH(uint32_t, value);
    QFETCH(QString, selected);
    CColorPickerCB picker;
    picker.FillColours();
    picker.setCurrentIndex(picker.findText(QStringLiteral("Tan")));
    picker.SelectColour(value);
    QCOMPARE(picker.currentText(), selected);
}

void TestCColorPickerCB::bindingReplacesAColourNotInTheTable()
{
    uint32_t colour = 0x123456;
    uint32_t other = 0xFFFF00;
    BoundTestDialog dlg(kEditor, [&](BoundTestDialog &d) {
        auto *picker = d.DlgItem<CColorPickerCB>(kPicker);
        QVERIFY(picker);
        picker->FillColours();
        picker->SelectColour(0);
        d.BindComboData(kPicker, &colour);
    });
    dlg.factory = [](const DialogControl &c, QWidget *parent) -> QWidget * {
        return c.id == kPicker ? new CColorPickerCB(parent) : nullptr;
    };
    QVERIFY(dlg.Open());
    auto *picker = dlg.DlgItem<CColorPickerCB>(kPicker);
    QCOMPARE(picker->currentText(), QStringLiteral("AliceBlue"));
    QCOMPARE(colour, 0xFFF8F0u);
    // A user's choice stores the item's colour; a shared value shows the
    // first of its pair.
    picker->setFocus();
    QTest::keyClick(picker, Qt::Key_Down);
    QCOMPARE(colour, uint32_t(ComboItemData(picker, 1)));
    colour = other;
    dlg.UpdateControls();
    QCOMPARE(picker->currentText(), QStringLiteral("Aqua"));
}

void TestCColorPickerCB::swatchAndTextOnPixels_data()
{
    QTest::addColumn<bool>("disabled");
    QTest::addColumn<bool>("focused");
    QTest::newRow("normal") << false << false;
    QTest::newRow("focused: selected colours") << false << true;
    QTest::newRow("disabled: grey swatch") << true << false;
}

void TestCColorPickerCB::swatchAndTextOnPixels()
{
    QFETCH(bool, disabled);
    QFETCH(bool, focused);
    Shown s;
    QVERIFY(QTest::qWaitForWindowActive(&s.window));
    s.picker->SelectColour(MakeColorRef(0xFF, 0, 0));
    s.picker->setEnabled(!disabled);
    if (focused)
        s.picker->setFocus();
    else
        s.other->setFocus();
    const QImage image = s.picker->grab().toImage();
    const QRect field = Field(*s.picker);
    const int width = field.width();
    const int middle = field.top() + field.height() / 2;
    const QColor background = focused ? SysColor(COLOR_HIGHLIGHT) : SysColor(COLOR_WINDOW);
    const QColor swatch = disabled ? SysColor(COLOR_GRAYTEXT) : QColor(0xFF, 0, 0);
    // The swatch from left + 2 to x = width / 4, framed in black.
    QCOMPARE(image.pixelColor((field.left() + 2 + width / 4) / 2, middle), swatch);
    QCOMPARE(image.pixelColor(field.left() + 2, middle), QColor(Qt::black));
    QCOMPARE(image.pixelColor(width / 4 - 1, middle), QColor(Qt::black));
    QCOMPARE(image.pixelColor(width / 4 + 1, middle), background);
    QCOMPARE(image.pixelColor((field.left() + 2 + width / 4) / 2, field.top() + 2), QColor(Qt::black));
    QCOMPARE(image.pixelColor((field.left() + 2 + width / 4) / 2, field.top() + 1), background);
    // The name starts at left + width / 4 + 2.
    int firstInk = -1;
    for (int x = width / 4 + 1; x < field.right() && firstInk < 0; ++x)
        for (int y = field.top() + 2; y < field.bottom(); ++y)
            if (image.pixelColor(x, y) != background) {
                firstInk = x;
                break;
            }
    QVERIFY(firstInk >= field.left() + width / 4 + 2);
    QVERIFY(firstInk < field.left() + width / 4 + 8);
}

void TestCColorPickerCB::emptySelectionField()
{
    Shown s;
    QVERIFY(QTest::qWaitForWindowActive(&s.window));
    s.picker->setCurrentIndex(-1);
    s.other->setFocus();
    QImage image = s.picker->grab().toImage();
    const QRect field = Field(*s.picker);
    const QColor window = SysColor(COLOR_WINDOW);
    int other = 0;
    for (int y = field.top(); y <= field.bottom(); ++y)
        for (int x = field.left(); x <= field.right(); ++x)
            if (image.pixelColor(x, y) != window)
                ++other;
    QCOMPARE(other, 0);

    s.picker->setFocus();
    image = s.picker->grab().toImage();
    const QColor highlight = SysColor(COLOR_HIGHLIGHT);
    int frame = 0;
    for (int x = field.left(); x <= field.right(); ++x)
        if (image.pixelColor(x, field.top()) != highlight)
            ++frame;
    QVERIFY(frame > field.width() / 4); // the dotted focus frame
    QCOMPARE(image.pixelColor(field.center()), highlight);
}

void TestCColorPickerCB::listItemsAreDrawnAsSwatches()
{
    Shown s;
    QVERIFY(QTest::qWaitForWindowActive(&s.window));
    s.picker->SelectColour(0x0000FF);
    s.picker->showPopup();
    QAbstractItemView *view = s.picker->view();
    QTRY_VERIFY(view->isVisible());
    const int red = s.picker->findText(QStringLiteral("Lime"));
    view->scrollTo(view->model()->index(red, 0));
    const QRect item = view->visualRect(view->model()->index(red, 0));
    QCOMPARE(item.height(), s.picker->ItemHeight());
    const QImage image = view->viewport()->grab().toImage();
    QCOMPARE(image.pixelColor(item.left() + 5, item.center().y()), QColor(0, 0xFF, 0));
    s.picker->hidePopup();
}

void TestCColorPickerCB::clickTakesTheFocus()
{
    Shown s;
    QVERIFY(QTest::qWaitForWindowActive(&s.window));
    s.other->setFocus();
    QTest::mouseClick(s.picker, Qt::LeftButton);
    QTRY_VERIFY(s.picker->view()->isVisible());
    s.picker->hidePopup();
    QTRY_VERIFY(s.picker->hasFocus());
}

QTEST_MAIN(TestCColorPickerCB)
#include "tst_ccolorpickercb.moc"
