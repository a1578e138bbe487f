#include "dialogtestsupport.h"
#include "opendlg.h"

#include "configmodel.h"
#include "dialogtemplates_dialogs.h"
#include "foldertable.h"
#include "listctrlex.h"
#include "programlist.h"
#include "specialfiles.h"
#include "trash.h"

#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <ctime>

namespace {

QString Shape(const QTreeWidgetItem *item)
{
    QStringList children;
    for (int i = 0; i < item->childCount(); ++i)
        children << Shape(item->child(i));
    return item->text(0) + (children.isEmpty() ? QString() : QLatin1Char('(') + children.join(QLatin1Char(',')) + QLatin1Char(')'));
}

QString TreeShape(const OpenDlg &dlg)
{
    const auto *tree = dlg.DlgItem<QTreeWidget>(IDC_OPEN_TREE);
    QStringList top;
    for (int i = 0; tree && i < tree->topLevelItemCount(); ++i)
        top << Shape(tree->topLevelItem(i));
    return top.join(QLatin1Char(';'));
}

QStringList Column(const OpenDlg &dlg, int column = 0)
{
    const auto *list = dlg.DlgItem<ListCtrlEx>(IDC_OPEN_LIST);
    QStringList out;
    for (int row = 0; list && row < list->GetItemCount(); ++row)
        out << list->CellText(row, column);
    return out;
}

QString SelectedName(const OpenDlg &dlg)
{
    const auto *list = dlg.DlgItem<ListCtrlEx>(IDC_OPEN_LIST);
    const int row = list ? list->GetNextItem(-1, LVNI_SELECTED) : -1;
    return row < 0 ? QStringLiteral("<none>") : list->CellText(row, 0);
}

QTreeWidgetItem *FindItem(const OpenDlg &dlg, const QString &text)
{
    const auto *tree = dlg.DlgItem<QTreeWidget>(IDC_OPEN_TREE);
    const QList<QTreeWidgetItem *> found = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
}

// True when the folder is in the tree and current after the click.
[[nodiscard]] bool ClickItem(const OpenDlg &dlg, const QString &text)
{
    auto *tree = dlg.DlgItem<QTreeWidget>(IDC_OPEN_TREE);
    QTreeWidgetItem *item = FindItem(dlg, text);
    if (!tree || !item)
        return false;
    tree->scrollToItem(item);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
    return tree->currentItem() == item;
}

// True when the program is listed and selected after the click.
[[nodiscard]] bool ClickRow(const OpenDlg &dlg, const QString &name)
{
    auto *list = dlg.DlgItem<ListCtrlEx>(IDC_OPEN_LIST);
    const int row = int(Column(dlg).indexOf(name));
    if (!list || row < 0)
        return false;
    list->scrollTo(list->model()->index(row, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(row, 0)).center());
    return SelectedName(dlg) == name;
}

void Type(const OpenDlg &dlg, const QString &text)
{
    auto *edit = dlg.DlgItem<QLineEdit>(IDC_OPEN_SEARCH_TEXT);
    edit->setFocus();
    QTest::keyClicks(edit, text);
}

// False when the button is missing or hidden.
[[nodiscard]] bool Press(const OpenDlg &dlg, int id)
{
    auto *button = dlg.DlgItem<QPushButton>(id);
    if (!button || !button->isVisible())
        return false;
    QTest::mouseClick(button, Qt::LeftButton);
    return true;
}

QDateTime Utc(int y, int mo, int d, int h, int mi, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
}

} // namespace

class TestOpenDlg : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void exampleTree();
    void whatIsNotListed();
    void searchLooksInEveryFolder();
    void emptySearchDoesNothing();
    void typingFindsInNameOrder_data();
    void typingFindsInNameOrder();
    void czechCollationOrdersNames();
    void backslashJumpsToTheFolder();
    void typingAndEnterOpens();
    void headersSort();
    void deleteAsksFirstThenTrashes();
    void deleteStaysInsideTheRoot();
    void deleteRacedByALinkMovesNothingOutside();
    void failedTrashMoveIsReported_data();
    void failedTrashMoveIsReported();
    void linksStayInsideTheRoot_data();
    void linksStayInsideTheRoot();
    void cancelReturnsNothing_data();
    void cancelReturnsNothing();
    void dateAndDescriptionColumns();
    void namesAButtonCannotHoldAreRefused_data();
    void namesAButtonCannotHoldAreRefused();
    void largeTrees();
    void missingRoot();

private:
    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<QTemporaryDir> m_data;
    QString Root() const { return m_root->path(); }
    void MakeExample();
};

void TestOpenDlg::initTestCase()
{
    // Far from UTC, so a local time in the date column shows.
    qputenv("TZ", "Asia/Tokyo");
    tzset();
}

void TestOpenDlg::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    m_data = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid() && m_data->isValid());
    qputenv("XDG_DATA_HOME", m_data->path().toLocal8Bit());
    g_Settings.LANG = 0;
}

void TestOpenDlg::cleanup()
{
    qunsetenv("XDG_DATA_HOME");
}

void TestOpenDlg::MakeExample()
{
    QVERIFY(MakeProgram(Root(), QStringLiteral("Alpha/P1"), "p1\n", Utc(2024, 3, 1, 10, 0)));
    QVERIFY(MakeProgram(Root(), QStringLiteral("Alpha/P2"), "p2\n", Utc(2024, 3, 2, 10, 0)));
    QVERIFY(MakeProgram(Root(), QStringLiteral("Beta/Gamma/P3"), "p3\n", Utc(2024, 3, 3, 10, 0)));
    QVERIFY(MakeProgram(Root(), QStringLiteral("Beta/B1"), "b1\n", Utc(2024, 3, 4, 10, 0)));
    QVERIFY(MakeProgram(Root(), QStringLiteral("Top"), "top\n", Utc(2024, 3, 5, 10, 0)));
}

void TestOpenDlg::exampleTree()
{
    MakeExample();
    OpenDlg dlg;
    dlg.SetRoot(Root());
    const int result = RunModal(dlg, [&] {
        QCOMPARE(TreeShape(dlg), QStringLiteral("programs(Alpha,Beta(Gamma))"));
        QCOMPARE(Column(dlg), QStringList{QStringLiteral("Top")});
        QCOMPARE(SelectedName(dlg), QStringLiteral("Top"));
        QVERIFY(ClickItem(dlg, QStringLiteral("Alpha")));
        // By date, newest first, as the browser opens.
        QCOMPARE(Column(dlg), (QStringList{QStringLiteral("P2"), QStringLiteral("P1")}));
        QVERIFY(ClickItem(dlg, QStringLiteral("Gamma")));
        QCOMPARE(Column(dlg), QStringList{QStringLiteral("P3")});
        QVERIFY(ClickRow(dlg, QStringLiteral("P3")));
        QVERIFY(Press(dlg, IDOK));
    });
    QCOMPARE(result, 1);
    QCOMPARE(dlg.ChosenProgram(), QStringLiteral("Beta\\Gamma\\P3"));
}

// "_autorun" is never a program, a dot folder is no folder, a folder with a
// "program.prg" is a program and is not looked into, and a link back up the
// tree is not followed.
void TestOpenDlg::whatIsNotListed()
{
    QVERIFY(MakeProgram(Root(), QStringLiteral("_autorun")));
    QVERIFY(MakeProgram(Root(), QStringLiteral("Show/_autorun")));
    QVERIFY(MakeProgram(Root(), QStringLiteral("Show/Act")));
    QVERIFY(MakeProgram(Root(), QStringLiteral(".dotprogram")));
    QVERIFY(QDir().mkpath(Root() + QStringLiteral("/.hidden/Inside")));
    QVERIFY(MakeProgram(Root(), QStringLiteral(".hidden/Inside/Lost")));
    QVERIFY(MakeProgram(Root(), QStringLiteral("Packed")));
    QVERIFY(MakeProgram(Root(), QStringLiteral("Packed/Nested")));
    QVERIFY(QDir().mkpath(Root() + QStringLiteral("/Empty")));
    VERIFY_LINK_MADE(Root(), Root() + QStringLiteral("/Show/Loop"));
    OpenDlg dlg;
    dlg.SetRoot(Root());
    RunModal(dlg, [&] {
        QCOMPARE(TreeShape(dlg), QStringLiteral("programs(Empty,Show)"));
        QCOMPARE(Column(dlg), (QStringList{QStringLiteral(".dotprogram"), QStringLiteral("Packed")}));
        QVERIFY(ClickItem(dlg, QStringLiteral("Show")));
        QCOMPARE(Column(dlg), QStringList{QStringLiteral("Act")});
        Type(dlg, QStringLiteral("auto"));
        QVERIFY(Press(dlg, IDC_OPEN_SEARCH));
        QVERIFY(dlg.InSearchMode());
        QVERIFY(Column(dlg).isEmpty());
        QVERIFY(Press(dlg, IDC_OPEN_END_SEARCH));
        dlg.DlgItem<QLineEdit>(IDC_OPEN_SEARCH_TEXT)->clear();
        Type(dlg, QStringLiteral("CT"));
        QVERIFY(Press(dlg, IDC_OPEN_SEARCH));
        QCOMPARE(Column(dlg), QStringList{QStringLiteral("Show\\Act")});
        dlg.done(0);
    });
}

void TestOpenDlg::searchLooksInEveryFolder()
{
    MakeExample();
    OpenDlg dlg;
    dlg.SetRoot(Root());
    const int result = RunModal(dlg, [&] {
        auto *tree = dlg.DlgItem<QTreeWidget>(IDC_OPEN_TREE);
        QVERIFY(ClickItem(dlg, QStringLiteral("Gamma")));
        Type(dlg, QStringLiteral("p"));
        QVERIFY(Press(dlg, IDC_OPEN_SEARCH));
        QVERIFY(dlg.InSearchMode());
        QVERIFY(!tree->isEnabled());
        QVERIFY(dlg.DlgItem<QPushButton>(IDC_OPEN_END_SEARCH)->isVisible());
        // Typing sorted the list by name; the part after the last backslash counts.
        QCOMPARE(Column(dlg), (QStringList{QStringLiteral("Alpha\\P1"), QStringLiteral("Alpha\\P2"),
                                           QStringLiteral("Beta\\Gamma\\P3"), QStringLiteral("Top")}));
        QCOMPARE(SelectedName(dlg), QStringLiteral("Alpha\\P1"));

        QVERIFY(Press(dlg, IDC_OPEN_END_SEARCH));
        QVERIFY(!dlg.InSearchMode());
        QVERIFY(tree->isEnabled());
        QVERIFY(!dlg.DlgItem<QPushButton>(IDC_OPEN_END_SEARCH)->isVisible());
        QCOMPARE(Column(dlg), QStringList{QStringLiteral("P3")});

        QVERIFY(Press(dlg, IDC_OPEN_SEARCH));
        QVERIFY(ClickRow(dlg, QStringLiteral("Beta\\Gamma\\P3")));
        QVERIFY(Press(dlg, IDOK));
    });
    QCOMPARE(result, 1);
    QCOMPARE(dlg.ChosenProgram(), QStringLiteral("Beta\\Gamma\\P3"));
}

void TestOpenDlg::emptySearchDoesNothing()
{
    MakeExample();
    OpenDlg dlg;
    dlg.SetRoot(Root());
    RunModal(dlg, [&] {
        QVERIFY(ClickItem(dlg, QStringLiteral("Alpha")));
        QVERIFY(Press(dlg, IDC_OPEN_SEARCH));
        QVERIFY(!dlg.InSearchMode());
        QVERIFY(!dlg.DlgItem<QPushButton>(IDC_OPEN_END_SEARCH)->isVisible());
        QCOMPARE(Column(dlg).size(), 2);
        dlg.done(0);
    });
}

void TestOpenDlg::typingFindsInNameOrder_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("selected");
    QTest::newRow("TO: the first name from TO on, case ignored") << "TO" << "Tomato";
    QTest::newRow("tomb: the next name in order") << "tomb" << "top";
    QTest::newRow("TOZ") << "TOZ" << "Zeta";
    QTest::newRow("nothing from ZZ on: the last row") << "ZZ" << "Zeta";
}

void TestOpenDlg::typingFindsInNameOrder()
{
    QFETCH(QString, typed);
    QFETCH(QString, selected);
    // Date order puts them Zeta, top, act, Tomato.
    QVERIFY(MakeProgram(Root(), QStringLiteral("Show/act"), "", Utc(2024, 1, 3, 0, 0)));
    QVERIFY(MakeProgram(Root(), QStringLiteral("Show/Tomato"), "", Utc(2024, 1, 1, 0, 0)));
    QVERIFY(MakeProgram(Root(), QStringLiteral("Show/top"), "", Utc(2024, 1, 4, 0, 0)));
    QVERIFY(MakeProgram(Root(), QStringLiteral("Show/Zeta"), "", Utc(2024, 1, 5, 0, 0)));
    OpenDlg dlg;
    dlg.SetRoot(Root());
    RunModal(dlg, [&] {
        QVERIFY(ClickItem(dlg, QStringLiteral("Show")));
        QCOMPARE(Column(dlg), (QStringList{QStringLiteral("Zeta"), QStringLiteral("top"), QStringLiteral("act"),
                                           QStringLiteral("Tomato")}));
        QCOMPARE(dlg.SortKey(), 1);
        Type(dlg, typed);
        QCOMPARE(dlg.SortKey(), 0);
        auto *list = dlg.DlgItem<ListCtrlEx>(IDC_OPEN_LIST);
        QCOMPARE(list->SortImage(0), 0);
        QCOMPARE(list->SortImage(1), -1);
        QCOMPARE(Column(dlg), (QStringList{QStringLiteral("act"), QStringLiteral("Tomato"), QStringLiteral("top"),
                                           QStringLiteral("Zeta")}));
        QCOMPARE(SelectedName(dlg), selected);
        QCOMPARE(list->GetSelectedCount(), 1);
        dlg.done(0);
    });
}

void TestOpenDlg::czechCollationOrdersNames()
{
    for (const char *name : {"ilo", "chata", "hora", "Čap", "cop", "dno"})
        QVERIFY(MakeProgram(Root(), QString::fromUtf8(name)));
    OpenDlg dlg;
    dlg.SetRoot(Root());
    RunModal(dlg, [&] {
        QVERIFY(Press(dlg, IDOK)); // nothing typed yet: opens the first row by date
        dlg.done(0);
    });
    OpenDlg again;
    again.SetRoot(Root());
    RunModal(again, [&] {
        again.DlgItem<ListCtrlEx>(IDC_OPEN_LIST)->horizontalHeader()->sectionClicked(0);
        // c < č < d ... h < ch < i
        QCOMPARE(Column(again), (QStringList{QStringLiteral("cop"), QString::fromUtf8("Čap"), QStringLiteral("dno"),
                                             QStringLiteral("hora"), QStringLiteral("chata"), QStringLiteral("ilo")}));
        Type(again, QStringLiteral("CH"));
        QCOMPARE(SelectedName(again), QStringLiteral("chata"));
        again.done(0);
    });
}

void TestOpenDlg::backslashJumpsToTheFolder()
{
    MakeExample();
    OpenDlg dlg;
    dlg.SetRoot(Root());
    RunModal(dlg, [&] {
        auto *tree = dlg.DlgItem<QTreeWidget>(IDC_OPEN_TREE);
        auto *edit = dlg.DlgItem<QLineEdit>(IDC_OPEN_SEARCH_TEXT);
        Type(dlg, QStringLiteral("Beta\\"));
        QCOMPARE(tree->currentItem(), FindItem(dlg, QStringLiteral("Beta")));
        QCOMPARE(edit->text(), QString());
        QCOMPARE(Column(dlg), QStringList{QStringLiteral("B1")});
        QCOMPARE(SelectedName(dlg), QStringLiteral("B1"));
        // From inside Beta, a folder below it, case ignored.
        Type(dlg, QStringLiteral("gam\\"));
        QCOMPARE(tree->currentItem(), FindItem(dlg, QStringLiteral("Gamma")));
        QCOMPARE(Column(dlg), QStringList{QStringLiteral("P3")});
        QCOMPARE(edit->text(), QString());
        // No folder of that name: the text stays and only the row moves.
        Type(dlg, QStringLiteral("zz\\"));
        QCOMPARE(tree->currentItem(), FindItem(dlg, QStringLiteral("Gamma")));
        QCOMPARE(edit->text(), QStringLiteral("zz\\"));
        dlg.done(0);
    });
}

void TestOpenDlg::typingAndEnterOpens()
{
    QVERIFY(MakeProgram(Root(), QStringLiteral("Show/act")));
    QVERIFY(MakeProgram(Root(), QStringLiteral("Show/Tomato")));
    QVERIFY(MakeProgram(Root(), QStringLiteral("Show/Zeta")));
    OpenDlg dlg;
    dlg.SetRoot(Root());
    const int result = RunModal(dlg, [&] {
        QVERIFY(ClickItem(dlg, QStringLiteral("Show")));
        Type(dlg, QStringLiteral("tom"));
        QTest::keyClick(dlg.DlgItem<QLineEdit>(IDC_OPEN_SEARCH_TEXT), Qt::Key_Return);
    });
    QCOMPARE(result, 1);
    QCOMPARE(dlg.ChosenProgram(), QStringLiteral("Show\\Tomato"));
}

void TestOpenDlg::headersSort()
{
    QVERIFY(MakeProgram(Root(), QStringLiteral("b"), "", Utc(2024, 5, 1, 12, 0)));
    QVERIFY(MakeProgram(Root(), QStringLiteral("a"), "", Utc(2024, 5, 1, 12, 1)));
    QVERIFY(MakeProgram(Root(), QStringLiteral("c"), "", Utc(2023, 5, 1, 12, 0)));
    OpenDlg dlg;
    dlg.SetRoot(Root());
    RunModal(dlg, [&] {
        auto *list = dlg.DlgItem<ListCtrlEx>(IDC_OPEN_LIST);
        QHeaderView *header = list->horizontalHeader();
        const auto click = [&](int section) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(section) + 5, header->height() / 2));
        };
        QCOMPARE(Column(dlg), (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
        QCOMPARE(list->SortImage(1), 0);
        click(0);
        QCOMPARE(dlg.SortKey(), 0);
        QCOMPARE(list->SortImage(0), 0);
        QCOMPARE(list->SortImage(1), -1);
        QCOMPARE(Column(dlg), (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
        QVERIFY(ClickRow(dlg, QStringLiteral("c")));
        click(2); // the description: nothing changes
        QCOMPARE(dlg.SortKey(), 0);
        QCOMPARE(list->SortImage(0), 0);
        QCOMPARE(list->SortImage(2), -1);
        QCOMPARE(SelectedName(dlg), QStringLiteral("c"));
        click(1);
        QCOMPARE(Column(dlg), (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
        QCOMPARE(SelectedName(dlg), QStringLiteral("a"));
        QCOMPARE(list->SortImage(0), -1);
        QCOMPARE(list->SortImage(1), 0);
        dlg.done(0);
    });
}

void TestOpenDlg::deleteAsksFirstThenTrashes()
{
    MakeExample();
    MessageRecorder boxes({MSG_NO, MSG_YES});
    g_Settings.LANG = 1;
    OpenDlg dlg;
    dlg.SetRoot(Root());
    RunModal(dlg, [&] {
        QVERIFY(ClickItem(dlg, QStringLiteral("Alpha")));
        QVERIFY(ClickRow(dlg, QStringLiteral("P1")));
        QVERIFY(Press(dlg, IDC_OPEN_DELETE));
        QCOMPARE(boxes.calls.size(), 1);
        const MessageBoxCall &ask = boxes.calls[0];
        QCOMPARE(ask.text, QStringLiteral("Delete program \"Alpha\\P1\" ?\r\n\r\n(move to Recycle Bin)"));
        QCOMPARE(ask.caption, QStringLiteral("Delete program"));
        QCOMPARE(ask.icon, MsgIcon::Warning);
        QCOMPARE(ask.buttons, MsgButtons::YesNo);
        QCOMPARE(ask.defaultButton, MSG_NO);
        QCOMPARE(ask.owner, &dlg);
        QVERIFY(QFileInfo::exists(Root() + QStringLiteral("/Alpha/P1/program.prg")));
        QCOMPARE(Column(dlg).size(), 2);

        QVERIFY(Press(dlg, IDC_OPEN_DELETE));
        QCOMPARE(boxes.calls.size(), 2);
        QVERIFY(!QFileInfo::exists(Root() + QStringLiteral("/Alpha/P1")));
        QVERIFY(QFileInfo::exists(m_data->path() + QStringLiteral("/Trash/files/P1/program.prg")));
        QCOMPARE(Column(dlg), QStringList{QStringLiteral("P2")});
        // Nothing went into the current directory.
        QVERIFY(!QFileInfo::exists(QStringLiteral("files")));
        dlg.done(0);
    });
    g_Settings.LANG = 0;
    MessageRecorder czech({MSG_NO});
    OpenDlg again;
    again.SetRoot(Root());
    RunModal(again, [&] {
        QVERIFY(Press(again, IDC_OPEN_DELETE));
        QCOMPARE(czech.calls.size(), 1);
        QCOMPARE(czech.calls[0].text, QString::fromUtf8("Vymazat program \"Top\" ?\r\n\r\n(přesunout do koše)"));
        QCOMPARE(czech.calls[0].caption, QStringLiteral("Smazat program"));
        again.done(0);
    });
}

// A program that is a link is moved as the link; a program in a folder that
// is a link inside the root is deleted from where it really lies.
void TestOpenDlg::deleteStaysInsideTheRoot()
{
    QVERIFY(MakeProgram(Root(), QStringLiteral(".kept/Real")));
    QVERIFY(MakeProgram(Root(), QStringLiteral(".hidden/Inside/Lost")));
    VERIFY_LINK_MADE(QStringLiteral(".kept/Real"), Root() + QStringLiteral("/Link"));
    VERIFY_LINK_MADE(QStringLiteral(".hidden/Inside"), Root() + QStringLiteral("/Extra"));
    MessageRecorder boxes({MSG_YES});
    OpenDlg dlg;
    dlg.SetRoot(Root());
    RunModal(dlg, [&] {
        QCOMPARE(Column(dlg), QStringList{QStringLiteral("Link")});
        QVERIFY(Press(dlg, IDC_OPEN_DELETE));
        QVERIFY(!QFileInfo(Root() + QStringLiteral("/Link")).isSymLink());
        QVERIFY(QFileInfo(m_data->path() + QStringLiteral("/Trash/files/Link")).isSymLink());
        QVERIFY(QFileInfo::exists(Root() + QStringLiteral("/.kept/Real/program.prg")));
        QVERIFY(Column(dlg).isEmpty());

        QVERIFY(ClickItem(dlg, QStringLiteral("Extra")));
        QVERIFY(ClickRow(dlg, QStringLiteral("Lost")));
        QVERIFY(Press(dlg, IDC_OPEN_DELETE));
        QCOMPARE(boxes.calls.size(), 2);
        QVERIFY(boxes.calls[1].text.contains(QStringLiteral("\"Extra\\Lost\"")));
        QVERIFY(!QFileInfo::exists(Root() + QStringLiteral("/.hidden/Inside/Lost")));
        QVERIFY(QFileInfo::exists(m_data->path() + QStringLiteral("/Trash/files/Lost/program.prg")));
        QVERIFY(Column(dlg).isEmpty());
        dlg.done(0);
    });
}

// The checked folder is swapped for a link to an outside folder holding a
// program of the same name after the dialog's check and before the move.
void TestOpenDlg::deleteRacedByALinkMovesNothingOutside()
{
    QTemporaryDir outside;
    QVERIFY(MakeProgram(Root(), QStringLiteral("Show/P1")));
    QVERIFY(MakeProgram(outside.path(), QStringLiteral("P1")));
    int swaps = 0;
    const TrashHook previous = SetTrashHook([&](TrashStep step) {
        if (step != TrashStep::BeforeChecks)
            return;
        ++swaps;
        QVERIFY(QDir(Root()).rename(QStringLiteral("Show"), QStringLiteral(".aside")));
        VERIFY_LINK_MADE(outside.path(), Root() + QStringLiteral("/Show"));
    });
    MessageRecorder boxes({MSG_YES, MSG_OK});
    g_Settings.LANG = 1;
    OpenDlg dlg;
    dlg.SetRoot(Root());
    RunModal(dlg, [&] {
        QVERIFY(ClickItem(dlg, QStringLiteral("Show")));
        QVERIFY(ClickRow(dlg, QStringLiteral("P1")));
        QVERIFY(Press(dlg, IDC_OPEN_DELETE));
        dlg.done(0);
    });
    SetTrashHook(previous);
    QVERIFY2(swaps == 1, "the hook never ran between the check and the move: the race could not be staged");
    QVERIFY(QFileInfo::exists(outside.path() + QStringLiteral("/P1/program.prg")));
    QVERIFY(QFileInfo::exists(Root() + QStringLiteral("/.aside/P1/program.prg")));
    QVERIFY(QDir(m_data->path() + QStringLiteral("/Trash/files")).isEmpty());
    QCOMPARE(boxes.calls.size(), 2);
    QCOMPARE(boxes.calls[1].text,
             QStringLiteral("The program \"Show\\P1\" does not lie inside the programs directory, so it cannot be deleted."));
}

void TestOpenDlg::failedTrashMoveIsReported_data()
{
    QTest::addColumn<int>("lang");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("caption");
    QTest::newRow("Czech") << 0 << QString::fromUtf8("Program \"Alpha\\P1\" se nepodařilo přesunout do koše.")
                           << QStringLiteral("Smazat program");
    QTest::newRow("English") << 1 << QStringLiteral("The program \"Alpha\\P1\" could not be moved to the Recycle Bin.")
                             << QStringLiteral("Delete program");
}

// A file where the trash folder belongs: the trash cannot be made.
void TestOpenDlg::failedTrashMoveIsReported()
{
    QFETCH(int, lang);
    QFETCH(QString, message);
    QFETCH(QString, caption);
    MakeExample();
    QVERIFY(WriteFile(m_data->path() + QStringLiteral("/Trash"), "not a folder"));
    MessageRecorder boxes({MSG_YES, MSG_OK});
    g_Settings.LANG = lang;
    OpenDlg dlg;
    dlg.SetRoot(Root());
    RunModal(dlg, [&] {
        QVERIFY(ClickItem(dlg, QStringLiteral("Alpha")));
        QVERIFY(ClickRow(dlg, QStringLiteral("P1")));
        QVERIFY(Press(dlg, IDC_OPEN_DELETE));
        QCOMPARE(boxes.calls.size(), 2);
        QCOMPARE(boxes.calls[1].text, message);
        QCOMPARE(boxes.calls[1].caption, caption);
        QCOMPARE(boxes.calls[1].icon, MsgIcon::Warning);
        QCOMPARE(boxes.calls[1].owner, &dlg);
        QCOMPARE(Column(dlg), (QStringList{QStringLiteral("P2"), QStringLiteral("P1")}));
        QCOMPARE(SelectedName(dlg), QStringLiteral("P1"));
        QVERIFY(QFileInfo::exists(Root() + QStringLiteral("/Alpha/P1/program.prg")));
        dlg.done(0);
    });
}

// Links are followed only to folders and programs inside the root that are
// not listed otherwise, and never in place of the real folder. The fixture:
// Czech/Prog, Show/Act, .hidden/Inside/Lost and a program Foreign outside.
void TestOpenDlg::linksStayInsideTheRoot_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("target"); // "<root>", "<parent>", "<outside>" stand for those folders
    QTest::addColumn<QString>("tree");
    QTest::addColumn<QStringList>("found"); // by a search for "o"
    const QString plain = QStringLiteral("programs(Czech,Show)");
    const QStringList prog{QStringLiteral("Czech\\Prog")};
    QTest::newRow("to /") << "Show/slash" << "/" << plain << prog;
    QTest::newRow("to the root's parent") << "Show/up" << "<parent>" << plain << prog;
    QTest::newRow("to the root") << "Show/self" << "<root>" << plain << prog;
    QTest::newRow("sorting before its target") << "AAlias" << "Czech" << plain << prog;
    QTest::newRow("in a folder walked before its target") << "Czech/Zed" << "../Show" << plain << prog;
    QTest::newRow("to a folder listed nowhere else")
        << "Extra" << ".hidden/Inside" << QStringLiteral("programs(Czech,Show,Extra)")
        << QStringList{QStringLiteral("Czech\\Prog"), QStringLiteral("Extra\\Lost")};
    QTest::newRow("to a program outside") << "Show/Foreign" << "<outside>" << plain << prog;
    QTest::newRow("to a program inside")
        << "Show/Copy" << "../Czech/Prog" << plain << QStringList{QStringLiteral("Czech\\Prog"), QStringLiteral("Show\\Copy")};
}

void TestOpenDlg::linksStayInsideTheRoot()
{
    QFETCH(QString, link);
    QFETCH(QString, target);
    QFETCH(QString, tree);
    QFETCH(QStringList, found);
    QTemporaryDir outside;
    QVERIFY(MakeProgram(Root(), QStringLiteral("Czech/Prog")));
    QVERIFY(MakeProgram(Root(), QStringLiteral("Show/Act")));
    QVERIFY(MakeProgram(Root(), QStringLiteral(".hidden/Inside/Lost")));
    QVERIFY(MakeProgram(outside.path(), QStringLiteral("Foreign")));
    if (target == QLatin1String("<root>"))
        target = Root();
    else if (target == QLatin1String("<parent>"))
        target = QFileInfo(Root()).path();
    else if (target == QLatin1String("<outside>"))
        target = outside.path() + QStringLiteral("/Foreign");
    VERIFY_LINK_MADE(target, Root() + QLatin1Char('/') + link);
    QVERIFY(QFileInfo(Root() + QLatin1Char('/') + link).exists());

    OpenDlg dlg;
    dlg.SetRoot(Root());
    QElapsedTimer opening;
    opening.start();
    const int result = RunModal(dlg, [&] {
        // Following a link out of the root would walk a whole file system.
        QVERIFY2(opening.elapsed() < 1000, qPrintable(QStringLiteral("%1 ms to open").arg(opening.elapsed())));
        QCOMPARE(TreeShape(dlg), tree);
        Type(dlg, QStringLiteral("o"));
        QVERIFY(Press(dlg, IDC_OPEN_SEARCH));
        QStringList names = Column(dlg);
        names.sort();
        QCOMPARE(names, found);
        QVERIFY(Press(dlg, IDC_OPEN_END_SEARCH));
        QVERIFY(ClickItem(dlg, QStringLiteral("Czech")));
        QVERIFY(ClickRow(dlg, QStringLiteral("Prog")));
        QVERIFY(Press(dlg, IDOK));
    });
    QCOMPARE(result, 1);
    QCOMPARE(dlg.ChosenProgram(), QStringLiteral("Czech\\Prog"));
}

void TestOpenDlg::cancelReturnsNothing_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel button") << "button";
    QTest::newRow("Escape") << "escape";
    QTest::newRow("close box") << "close";
}

void TestOpenDlg::cancelReturnsNothing()
{
    QFETCH(QString, how);
    MakeExample();
    OpenDlg dlg;
    dlg.SetRoot(Root());
    const int result = RunModal(dlg, [&] {
        QVERIFY(ClickItem(dlg, QStringLiteral("Alpha")));
        QVERIFY(ClickRow(dlg, QStringLiteral("P1")));
        if (how == QLatin1String("button"))
            QVERIFY(Press(dlg, IDCANCEL));
        else if (how == QLatin1String("escape"))
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        else
            dlg.close();
    });
    QCOMPARE(result, 0);
    QCOMPARE(dlg.ChosenProgram(), QString());
}

void TestOpenDlg::dateAndDescriptionColumns()
{
    const QByteArray longLine = QByteArray(90, 'x') + "123456789";
    QVERIFY(MakeProgram(Root(), QStringLiteral("Long"), longLine + "\r\nsecond line\r\n", Utc(2017, 1, 7, 14, 5, 59)));
    QVERIFY(MakeProgram(Root(), QStringLiteral("Czech"), QString::fromUtf8("Příjezd hostů\n").toUtf8(),
                        Utc(2016, 12, 31, 23, 59)));
    QVERIFY(MakeProgram(Root(), QStringLiteral("Ansi"), "P\xf8\xedjezd", Utc(2016, 12, 31, 23, 58)));
    QVERIFY(MakeProgram(Root(), QStringLiteral("Bare"), QByteArray(), Utc(2016, 1, 2, 3, 4)));
    OpenDlg dlg;
    dlg.SetRoot(Root());
    RunModal(dlg, [&] {
        QCOMPARE(Column(dlg), (QStringList{QStringLiteral("Long"), QStringLiteral("Czech"), QStringLiteral("Ansi"),
                                           QStringLiteral("Bare")}));
        QCOMPARE(Column(dlg, 1), (QStringList{QStringLiteral("07.01.2017 14:05"), QStringLiteral("31.12.2016 23:59"),
                                              QStringLiteral("31.12.2016 23:58"), QStringLiteral("02.01.2016 03:04")}));
        const QStringList descriptions = Column(dlg, 2);
        QCOMPARE(descriptions[0], QString::fromLatin1(longLine.left(98)));
        QCOMPARE(descriptions[1], QString::fromUtf8("Příjezd hostů"));
        QCOMPARE(descriptions[2], QString::fromUtf8("Příjezd"));
        QCOMPARE(descriptions[3], QString());
        dlg.done(0);
    });
}

void TestOpenDlg::namesAButtonCannotHoldAreRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    QTest::newRow("outside the code page") << QString::fromUtf8("Hvězda 星") << "obsahuje znaky";
    QTest::newRow("80 characters with its folder") << QString(80 - 5, QLatin1Char('n')) << QString::fromUtf8("příliš dlouhý");
}

void TestOpenDlg::namesAButtonCannotHoldAreRefused()
{
    QFETCH(QString, name);
    QFETCH(QString, message);
    QVERIFY(MakeProgram(Root(), QStringLiteral("Show/") + name));
    QVERIFY(MakeProgram(Root(), QStringLiteral("Show/") + QString(79 - 5, QLatin1Char('m'))));
    MessageRecorder boxes;
    OpenDlg dlg;
    dlg.SetRoot(Root());
    const int result = RunModal(dlg, [&] {
        QVERIFY(ClickItem(dlg, QStringLiteral("Show")));
        QVERIFY(ClickRow(dlg, name));
        QVERIFY(Press(dlg, IDOK));
        QCOMPARE(boxes.calls.size(), 1);
        QVERIFY2(boxes.calls[0].text.contains(message), qPrintable(boxes.calls[0].text));
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.ChosenProgram(), QString());
        // 79 bytes fit the button.
        QVERIFY(ClickRow(dlg, QString(79 - 5, QLatin1Char('m'))));
        QVERIFY(Press(dlg, IDOK));
    });
    QCOMPARE(result, 1);
    QCOMPARE(dlg.ChosenProgram(), QStringLiteral("Show\\") + QString(74, QLatin1Char('m')));
}

// More than 99 folders are all in the tree; more than 1000 programs list as 1000.
void TestOpenDlg::largeTrees()
{
    for (int f = 0; f < 150; ++f)
        for (int p = 0; p < 8; ++p)
            QVERIFY(MakeProgram(Root(), QStringLiteral("F%1/Prog%2").arg(f, 3, 10, QLatin1Char('0')).arg(p),
                                QByteArray()));
    OpenDlg dlg;
    dlg.SetRoot(Root());
    RunModal(dlg, [&] {
        auto *tree = dlg.DlgItem<QTreeWidget>(IDC_OPEN_TREE);
        QCOMPARE(tree->topLevelItem(0)->childCount(), 150);
        QCOMPARE(TheFolderTable().Count(), 151);
        QCOMPARE(tree->topLevelItem(0)->child(149)->text(0), QStringLiteral("F149"));
        QVERIFY(ClickItem(dlg, QStringLiteral("F149")));
        QCOMPARE(Column(dlg).size(), 8);
        Type(dlg, QStringLiteral("prog"));
        QVERIFY(Press(dlg, IDC_OPEN_SEARCH));
        QCOMPARE(Column(dlg).size(), ProgramList::CAPACITY);
        dlg.done(0);
    });
}

void TestOpenDlg::missingRoot()
{
    OpenDlg dlg;
    dlg.SetRoot(Root() + QStringLiteral("/nowhere"));
    RunModal(dlg, [&] {
        QCOMPARE(TreeShape(dlg), QStringLiteral("programs"));
        QVERIFY(Column(dlg).isEmpty());
        QVERIFY(Press(dlg, IDOK));
        QVERIFY(dlg.isVisible());
        Type(dlg, QStringLiteral("x"));
        QVERIFY(Press(dlg, IDC_OPEN_SEARCH));
        QVERIFY(Column(dlg).isEmpty());
        QVERIFY(Press(dlg, IDC_OPEN_DELETE));
        dlg.done(0);
    });
}

QTEST_MAIN(TestOpenDlg)
#include "tst_opendlg.moc"
