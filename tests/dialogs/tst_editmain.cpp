#include "dialogtestsupport.h"
#include "editmain.h"
#include "opendlg.h"

#include "ccolorpickercb.h"
#include "codepage.h"
#include "controlmessages.h"
#include "dialogtemplates_dialogs.h"
#include "configmodel.h"
#include "dlgctabctrl.h"
#include "listctrlex.h"
#include "tooltip.h"

#include <QCheckBox>
#include <QHelpEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolTip>

#include <cstring>

namespace {

void Reset(const QString &path1 = QStringLiteral("/programs/pc1"))
{
    std::memset(&g_Settings, 0, sizeof g_Settings);
    std::memset(&g_Buttons, 0, sizeof g_Buttons);
    g_Settings.PC[0].ENABLE = 1;
    CopyText(g_Settings.PC[0].PATH, QStringToAnsi(path1).constData());
    for (int i = 0; i < BUTTON_COUNT; ++i) {
        ButtonRecord &b = g_Buttons.BUTTON[i];
        b.ENABLE = 1;
        CopyText(b.NAME, QByteArray("Button ") + QByteArray::number(i + 1));
        for (int s = 0; s < STATION_COUNT; ++s)
            CopyText(b.PROGRAM[s], QByteArray("pc") + QByteArray::number(s + 1) + "\\prog" + QByteArray::number(i + 1));
    }
}

QStringList Tabs(const EditMain &editor)
{
    QStringList tabs;
    for (int i = 0; i < editor.TabHost()->count(); ++i)
        tabs << editor.TabHost()->tabText(i);
    return tabs;
}

// True when the tab is the current one after the click.
[[nodiscard]] bool ClickTab(EditMain &editor, int tab)
{
    DlgCTabCtrl *tabs = editor.TabHost();
    if (!tabs)
        return false;
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(tab).center());
    return tabs->currentIndex() == tab;
}

// False when there is no control to click.
[[nodiscard]] bool Click(QWidget *w)
{
    if (!w)
        return false;
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(w->width() / 2, w->height() / 2));
    return true;
}

} // namespace

class TestEditMain : public QObject {
    Q_OBJECT
private slots:
    void init() { Reset(); }
    void onePagePerTakingPartStation_data();
    void onePagePerTakingPartStation();
    void sharedFieldsShowOnTheNextPage();
    void rowFieldsFollowTheirEnableBox();
    void browseButtonsOnlyWhereThereIsADirectory();
    void textLimits();
    void tooltipsOnTheFirstTenRows_data();
    void tooltipsOnTheFirstTenRows();
    void enterMovesAndEscapeStaysInsidePages();
    void browsePutsTheChosenProgramIntoTheRow();
};

void TestEditMain::onePagePerTakingPartStation_data()
{
    QTest::addColumn<QList<int>>("enabled");
    QTest::addColumn<QStringList>("tabs");
    QTest::newRow("stations 2 and 4") << QList<int>{1, 3} << QStringList{"PC 1", "PC 2", "PC 4"};
    QTest::newRow("station 1 only") << QList<int>{} << QStringList{"PC 1"};
    QTest::newRow("all four") << QList<int>{1, 2, 3} << QStringList{"PC 1", "PC 2", "PC 3", "PC 4"};
}

void TestEditMain::onePagePerTakingPartStation()
{
    QFETCH(QList<int>, enabled);
    QFETCH(QStringList, tabs);
    for (int s : enabled)
        g_Settings.PC[s].ENABLE = 1;
    g_Settings.PC[0].ENABLE = 0; // PC 1 has its page whatever its box says
    EditMain editor;
    const int result = RunModal(editor, [&] {
        QCOMPARE(Tabs(editor), tabs);
        QVERIFY(editor.Page(0)->isVisible());
        for (int s = 1; s < STATION_COUNT; ++s)
            QCOMPARE(editor.Page(s)->HasWindow(), enabled.contains(s));
        // Each page shows its station's program names.
        for (int tab = 0; tab < tabs.size(); ++tab) {
            QVERIFY(ClickTab(editor, tab));
            const int station = tabs[tab].back().digitValue() - 1;
            QVERIFY(editor.Page(station)->isVisible());
            QCOMPARE(editor.Page(station)->DlgItem<QLineEdit>(IDC_PAGE_PROGRAM + 7)->text(),
                     QStringLiteral("pc%1\\prog7").arg(station + 1));
        }
        editor.close();
    });
    QCOMPARE(result, 2);
}

void TestEditMain::sharedFieldsShowOnTheNextPage()
{
    g_Settings.PC[1].ENABLE = 1;
    g_Buttons.BUTTON[4].ENABLE = 0;
    EditMain editor;
    RunModal(editor, [&] {
        EditDlg *pc1 = editor.Page(0);
        EditDlg *pc2 = editor.Page(1);
        QVERIFY(Click(pc1->DlgItem<QCheckBox>(IDC_PAGE_ENABLE + 5)));
        QCOMPARE(int(g_Buttons.BUTTON[4].ENABLE), 1);
        auto *caption = pc1->DlgItem<QLineEdit>(IDC_PAGE_NAME + 5);
        caption->setFocus();
        caption->selectAll();
        QTest::keyClicks(caption, QStringLiteral("Fin"));
        QTest::sendKeyEvent(QTest::Click, caption, Qt::Key_Aacute, QString::fromUtf8("á"), Qt::NoModifier);
        QTest::keyClicks(caption, QStringLiteral("le"));
        QVERIFY(Click(pc1->DlgItem<QCheckBox>(IDC_PAGE_INLINE + 5)));
        auto *picker = pc1->DlgItem<CColorPickerCB>(IDC_PAGE_COLOUR + 5);
        picker->setFocus();
        QTest::keyClick(picker, Qt::Key_Down);
        const uint32_t colour = g_Buttons.BUTTON[4].COLOR;
        QVERIFY(colour != 0);
        auto *program = pc1->DlgItem<QLineEdit>(IDC_PAGE_PROGRAM + 5);
        program->setFocus();
        program->selectAll();
        QTest::keyClicks(program, QStringLiteral("Show\\Finale"));
        QCOMPARE(QByteArray(g_Buttons.BUTTON[4].PROGRAM[0]), QByteArray("Show\\Finale"));

        QVERIFY(ClickTab(editor, 1));
        QVERIFY(pc2->isVisible());
        QVERIFY(pc2->DlgItem<QCheckBox>(IDC_PAGE_ENABLE + 5)->isChecked());
        QCOMPARE(pc2->DlgItem<QLineEdit>(IDC_PAGE_NAME + 5)->text(), QString::fromUtf8("Finále"));
        QVERIFY(pc2->DlgItem<QCheckBox>(IDC_PAGE_INLINE + 5)->isChecked());
        {
            auto *shown = pc2->DlgItem<CColorPickerCB>(IDC_PAGE_COLOUR + 5);
            QCOMPARE(uint32_t(ComboItemData(shown, shown->currentIndex())), colour);
        }
        QCOMPARE(pc2->DlgItem<QLineEdit>(IDC_PAGE_PROGRAM + 5)->text(), QStringLiteral("pc2\\prog5"));
        QVERIFY(pc2->DlgItem<QLineEdit>(IDC_PAGE_NAME + 5)->isEnabled());

        // And back: a change on PC 2 shows on PC 1.
        QVERIFY(Click(pc2->DlgItem<QCheckBox>(IDC_PAGE_ENABLE + 5)));
        QVERIFY(ClickTab(editor, 0));
        QVERIFY(!pc1->DlgItem<QCheckBox>(IDC_PAGE_ENABLE + 5)->isChecked());
        QVERIFY(!pc1->DlgItem<QLineEdit>(IDC_PAGE_NAME + 5)->isEnabled());
        editor.close();
    });
    QCOMPARE(QByteArray(g_Buttons.BUTTON[4].NAME), QStringToAnsi(QString::fromUtf8("Finále")));
}

void TestEditMain::rowFieldsFollowTheirEnableBox()
{
    g_Buttons.BUTTON[BUTTON_COUNT - 1].ENABLE = 0;
    EditMain editor;
    RunModal(editor, [&] {
        EditDlg *page = editor.Page(0);
        const QList<int> row3{IDC_PAGE_NAME + 3, IDC_PAGE_PROGRAM + 3, IDC_PAGE_BROWSE + 3, IDC_PAGE_COLOUR + 3,
                              IDC_PAGE_INLINE + 3};
        for (int id : row3)
            QVERIFY(page->GetDlgItem(id)->isEnabled());
        for (int base : {IDC_PAGE_NAME, IDC_PAGE_PROGRAM, IDC_PAGE_BROWSE, IDC_PAGE_COLOUR, IDC_PAGE_INLINE})
            QVERIFY(!page->GetDlgItem(base + BUTTON_COUNT)->isEnabled());
        QVERIFY(Click(page->DlgItem<QCheckBox>(IDC_PAGE_ENABLE + 3)));
        QCOMPARE(int(g_Buttons.BUTTON[2].ENABLE), 0);
        for (int id : row3)
            QVERIFY2(!page->GetDlgItem(id)->isEnabled(), qPrintable(QString::number(id)));
        QVERIFY(page->GetDlgItem(IDC_PAGE_ENABLE + 3)->isEnabled());
        QVERIFY(page->GetDlgItem(IDC_PAGE_NAME + 4)->isEnabled());
        // The values stay.
        QCOMPARE(page->DlgItem<QLineEdit>(IDC_PAGE_NAME + 3)->text(), QStringLiteral("Button 3"));
        QCOMPARE(QByteArray(g_Buttons.BUTTON[2].NAME), QByteArray("Button 3"));
        editor.done(1);
    });
}

void TestEditMain::browseButtonsOnlyWhereThereIsADirectory()
{
    g_Settings.PC[1].ENABLE = 1; // no directory
    g_Settings.PC[3].ENABLE = 1;
    CopyText(g_Settings.PC[3].PATH, "/programs/pc4");
    EditMain editor;
    RunModal(editor, [&] {
        for (int station : {0, 1, 3}) {
            EditDlg *page = editor.Page(station);
            int shown = 0;
            for (int k = 1; k <= BUTTON_COUNT; ++k)
                shown += page->GetDlgItem(IDC_PAGE_BROWSE + k)->isVisibleTo(page) ? 1 : 0;
            QCOMPARE(shown, station == 1 ? 0 : BUTTON_COUNT);
        }
        // A disabled row keeps its browse button hidden when enabled again.
        EditDlg *pc2 = editor.Page(1);
        QVERIFY(ClickTab(editor, 1));
        QVERIFY(Click(pc2->DlgItem<QCheckBox>(IDC_PAGE_ENABLE + 1)));
        QVERIFY(Click(pc2->DlgItem<QCheckBox>(IDC_PAGE_ENABLE + 1)));
        QVERIFY(!pc2->GetDlgItem(IDC_PAGE_BROWSE + 1)->isVisibleTo(pc2));
        editor.done(1);
    });
}

void TestEditMain::textLimits()
{
    EditMain editor;
    RunModal(editor, [&] {
        auto *caption = editor.Page(0)->DlgItem<QLineEdit>(IDC_PAGE_NAME + 21);
        auto *program = editor.Page(0)->DlgItem<QLineEdit>(IDC_PAGE_PROGRAM + 21);
        caption->setFocus();
        caption->selectAll();
        QTest::keyClicks(caption, QString(50, QLatin1Char('c')));
        QCOMPARE(QByteArray(g_Buttons.BUTTON[20].NAME), QByteArray(39, 'c'));
        program->setFocus();
        program->selectAll();
        QTest::keyClicks(program, QString(90, QLatin1Char('p')));
        QCOMPARE(QByteArray(g_Buttons.BUTTON[20].PROGRAM[0]), QByteArray(79, 'p'));
        editor.done(1);
    });
}

void TestEditMain::tooltipsOnTheFirstTenRows_data()
{
    QTest::addColumn<uint32_t>("lang");
    QTest::addColumn<int>("control");
    QTest::addColumn<QString>("tip");
    const QString enableCz = QString::fromUtf8("Povoluje toto tlačítko pro rychlé spouštění (Pokud není povoleno tak se nezobrazí)");
    const QString programCz = QString::fromUtf8("Nazev programu co se má spustit. Musí přesně odpovídat názvu programu z lumivant");
    QTest::newRow("enable, row 1, Czech") << 0u << IDC_PAGE_ENABLE + 1 << enableCz;
    QTest::newRow("caption, row 10, Czech") << 0u << IDC_PAGE_NAME + 10 << QString::fromUtf8("Název co se objeví na ovládacím tlačítku");
    QTest::newRow("program, row 4, Czech") << 0u << IDC_PAGE_PROGRAM + 4 << programCz;
    QTest::newRow("enable, row 10, English") << 1u << IDC_PAGE_ENABLE + 10 << QStringLiteral("Enable button (to be visible)");
    QTest::newRow("caption, row 1, English") << 1u << IDC_PAGE_NAME + 1 << QStringLiteral("Text for control button");
    QTest::newRow("program, row 10, English") << 1u << IDC_PAGE_PROGRAM + 10 << QStringLiteral("Name of program (exactly as in lumivant)");
    QTest::newRow("enable, row 11: none") << 0u << IDC_PAGE_ENABLE + 11 << QString();
    QTest::newRow("caption, row 40: none") << 1u << IDC_PAGE_NAME + BUTTON_COUNT << QString();
    QTest::newRow("program, row 11: none") << 0u << IDC_PAGE_PROGRAM + 11 << QString();
    QTest::newRow("browse, row 1: none") << 0u << IDC_PAGE_BROWSE + 1 << QString();
    QTest::newRow("colour, row 1: none") << 0u << IDC_PAGE_COLOUR + 1 << QString();
}

void TestEditMain::tooltipsOnTheFirstTenRows()
{
    QFETCH(uint32_t, lang);
    QFETCH(int, control);
    QFETCH(QString, tip);
    g_Settings.LANG = lang;
    EditMain editor;
    RunModal(editor, [&] {
        QWidget *w = editor.Page(0)->GetDlgItem(control);
        QVERIFY(w);
        QToolTip::hideText();
        QTRY_VERIFY(!QToolTip::isVisible());
        const QPoint at(w->width() / 2, w->height() / 2);
        QHelpEvent help(QEvent::ToolTip, at, w->mapToGlobal(at));
        QApplication::sendEvent(w, &help);
        if (tip.isEmpty()) {
            QVERIFY(!QToolTip::isVisible());
        } else {
            QTRY_VERIFY(QToolTip::isVisible());
            QCOMPARE(QToolTip::text(), WrapToolTipText(tip));
        }
        editor.done(1);
    });
}

void TestEditMain::enterMovesAndEscapeStaysInsidePages()
{
    EditMain editor;
    const int result = RunModal(editor, [&] {
        EditDlg *page = editor.Page(0);
        auto *caption = page->DlgItem<QLineEdit>(IDC_PAGE_NAME + 1);
        caption->setFocus();
        QTRY_VERIFY(caption->hasFocus());
        QTest::keyClick(caption, Qt::Key_Return);
        QVERIFY(editor.isVisible());
        QCOMPARE(QApplication::focusWidget(), page->GetDlgItem(IDC_PAGE_PROGRAM + 1));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(editor.isVisible());
        // Outside the pages Escape ends the editor.
        auto *ok = editor.DlgItem<QPushButton>(1);
        ok->setFocus();
        QTRY_VERIFY(ok->hasFocus());
        QTest::keyClick(ok, Qt::Key_Escape);
    });
    QCOMPARE(result, 2);

    EditMain again;
    QCOMPARE(RunModal(again, [&] {
                 auto *ok = again.DlgItem<QPushButton>(1);
                 ok->setFocus();
                 QTRY_VERIFY(ok->hasFocus());
                 QTest::keyClick(ok, Qt::Key_Return);
             }),
             1);
}

void TestEditMain::browsePutsTheChosenProgramIntoTheRow()
{
    QTemporaryDir root;
    QVERIFY(MakeProgram(root.path(), QStringLiteral("Show/Finale")));
    QVERIFY(MakeProgram(root.path(), QStringLiteral("Top")));
    Reset(root.path());
    EditMain editor;
    RunModal(editor, [&] {
        EditDlg *page = editor.Page(0);
        auto *program = page->DlgItem<QLineEdit>(IDC_PAGE_PROGRAM + 3);
        OnNextModal<OpenDlg>([](OpenDlg &browser) {
            QCOMPARE(browser.Root(), FieldToQString(g_Settings.PC[0].PATH));
            auto *edit = browser.DlgItem<QLineEdit>(IDC_OPEN_SEARCH_TEXT);
            edit->setFocus();
            QTest::keyClicks(edit, QStringLiteral("Show\\fin"));
            QTest::keyClick(edit, Qt::Key_Return);
        });
        QVERIFY(Click(page->DlgItem<QPushButton>(IDC_PAGE_BROWSE + 3)));
        QCOMPARE(program->text(), QStringLiteral("Show\\Finale"));
        QCOMPARE(QByteArray(g_Buttons.BUTTON[2].PROGRAM[0]), QByteArray("Show\\Finale"));
        QCOMPARE(QByteArray(g_Buttons.BUTTON[2].PROGRAM[1]), QByteArray("pc2\\prog3"));

        // Cancelled: the row keeps its name.
        OnNextModal<OpenDlg>([](OpenDlg &browser) { QTest::keyClick(&browser, Qt::Key_Escape); });
        QVERIFY(Click(page->DlgItem<QPushButton>(IDC_PAGE_BROWSE + 3)));
        QCOMPARE(program->text(), QStringLiteral("Show\\Finale"));
        editor.done(1);
    });
}

QTEST_MAIN(TestEditMain)
#include "tst_editmain.moc"
