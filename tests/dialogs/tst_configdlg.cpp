#include "configdlg.h"
#include "dialogtestsupport.h"

#include "codepage.h"
#include "dialogtemplates_dialogs.h"
#include "configmodel.h"
#include "filedialogs.h"
#include "settingsfile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextEdit>

#include <cstring>

namespace {

// A station's fields after its enable box, which follow the box.
constexpr int kStationFields[] = {IDC_STATION_ADDRESS, IDC_STATION_SOCKET, IDC_STATION_PATH, IDC_STATION_CHOOSE,
                                  IDC_STATION_CLEAR};

void ResetSettings()
{
    std::memset(&g_Settings, 0, sizeof g_Settings);
    for (int s = 0; s < STATION_COUNT; ++s) {
        StationRecord &pc = g_Settings.PC[s];
        pc.ENABLE = s < 3 ? 1 : 0;
        CopyText(pc.ADDRESS, QByteArray("10.0.0.") + QByteArray::number(s + 1));
        CopyText(pc.SOCKET, "700,701");
        CopyText(pc.PATH, QByteArray("/programs/pc") + QByteArray::number(s + 1));
    }
}

// The control, or null: the caller checks it where it uses it.
template <typename T>
T *Item(const MyCDialog &dlg, int id)
{
    return dlg.DlgItem<T>(id);
}

// Clicks near the left edge, where a box's indicator is; false when there is
// no control to click.
[[nodiscard]] bool Click(QWidget *w)
{
    if (!w)
        return false;
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(6, w->height() / 2));
    return true;
}

} // namespace

class TestConfigDlg : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void layoutFollowsWindowOrder_data();
    void layoutFollowsWindowOrder();
    void closingResults_data();
    void closingResults();
    void stationFieldsFollowTheirEnableBox();
    void directoryIsClearedOnlyAfterYes_data();
    void directoryIsClearedOnlyAfterYes();
    void chosenDirectoryIsShownAtOnce_data();
    void chosenDirectoryIsShownAtOnce();
    void unstorableDirectoryIsRefused_data();
    void unstorableDirectoryIsRefused();
    void textLimits();
    void helpPaneShowsTheDemoHelp();
    void missingHelpLeavesThePaneEmpty();

private:
    QTemporaryDir m_dir;
    QString m_cwd;
};

void TestConfigDlg::init()
{
    ResetSettings();
    QVERIFY(m_dir.isValid());
    m_cwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir.path()));
    QDir(QStringLiteral("PLAXONDATA")).removeRecursively();
}

void TestConfigDlg::cleanup()
{
    QDir::setCurrent(m_cwd);
    SetFolderChooserHandler({});
}

void TestConfigDlg::layoutFollowsWindowOrder_data()
{
    QTest::addColumn<int>("control");
    QTest::addColumn<int>("layout");
    const int order[] = {IDC_LAYOUT_5X8,     IDC_LAYOUT_10X4,    IDC_LAYOUT_5X6,     IDC_LAYOUT_10X3,
                         IDC_LAYOUT_5X4,     IDC_LAYOUT_10X2,    IDC_LAYOUT_5X3,     IDC_LAYOUT_5X2,
                         IDC_LAYOUT_10X1,    IDC_LAYOUT_BIG_5X8, IDC_LAYOUT_BIG_5X6, IDC_LAYOUT_BIG_5X4,
                         IDC_LAYOUT_BIG_5X3, IDC_LAYOUT_BIG_5X2};
    const char *captions[] = {"40 (5x8)", "40 (10x4)", "30 (5x6)", "30 (10x3)", "20 (5x4)", "20 (10x2)", "15 (5x3)",
                              "10 (5x2)", "10 (10x1)", "40 (5x8) big", "30 (5x6) big", "20 (5x4) big",
                              "15 (5x3) big", "10 (5x2) big"};
    for (int i = 0; i < 14; ++i)
        QTest::addRow("%s is %d", captions[i], i) << order[i] << i;
}

// The stored value is the button's position in window order: shown when the
// dialog opens, stored when clicked; clicking back to the value at open gives
// no restart.
void TestConfigDlg::layoutFollowsWindowOrder()
{
    QFETCH(int, control);
    QFETCH(int, layout);
    g_Settings.DIALOG = uint8_t(layout);
    ConfigDlg dlg;
    const int result = RunModal(dlg, [&] {
        auto *radio = Item<QRadioButton>(dlg, control);
        QVERIFY(radio && radio->isChecked());
        auto *other = Item<QRadioButton>(dlg, control == IDC_LAYOUT_5X8 ? IDC_LAYOUT_BIG_5X2 : IDC_LAYOUT_5X8);
        QVERIFY(Click(other));
        QCOMPARE(int(g_Settings.DIALOG), control == IDC_LAYOUT_5X8 ? 13 : 0);
        QVERIFY(!radio->isChecked());
        QVERIFY(Click(radio));
        QCOMPARE(int(g_Settings.DIALOG), layout);
        QTest::keyClick(&dlg, Qt::Key_Escape);
    });
    QCOMPARE(result, IDCANCEL);
}

void TestConfigDlg::closingResults_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("close");
    QTest::addColumn<int>("result");
    QTest::newRow("nothing, OK clicked") << "" << "ok" << IDOK;
    QTest::newRow("nothing, Enter") << "" << "enter" << IDOK;
    QTest::newRow("nothing, Escape") << "" << "escape" << IDCANCEL;
    QTest::newRow("nothing, close box") << "" << "closebox" << IDCANCEL;
    QTest::newRow("language only, OK") << "language" << "ok" << IDOK;
    QTest::newRow("brightness only, Escape") << "brightness" << "escape" << IDCANCEL;
    QTest::newRow("layout, Escape") << "layout" << "escape" << RESTART_RESULT;
    QTest::newRow("layout, OK") << "layout" << "ok" << RESTART_RESULT;
    QTest::newRow("layout, close box") << "layout" << "closebox" << RESTART_RESULT;
    QTest::newRow("multi-line text alone, Enter") << "wrap" << "enter" << RESTART_RESULT;
}

void TestConfigDlg::closingResults()
{
    QFETCH(QString, change);
    QFETCH(QString, close);
    QFETCH(int, result);
    ConfigDlg dlg;
    const int got = RunModal(dlg, [&] {
        if (change == QLatin1String("language")) {
            auto *lang = Item<QComboBox>(dlg, IDC_CONFIG_LANG);
            QVERIFY(lang);
            QCOMPARE(lang->currentText(), QString::fromUtf8("Česky"));
            lang->setFocus();
            QTest::keyClick(lang, Qt::Key_Down);
            QCOMPARE(g_Settings.LANG, 1u);
        } else if (change == QLatin1String("brightness")) {
            QVERIFY(Click(Item<QCheckBox>(dlg, IDC_CONFIG_BRIGHT)));
            QCOMPARE(int(g_Settings.BRIGHT_ENA), 1);
        } else if (change == QLatin1String("layout")) {
            QVERIFY(Click(Item<QRadioButton>(dlg, IDC_LAYOUT_BIG_5X6)));
            QCOMPARE(int(g_Settings.DIALOG), 10);
        } else if (change == QLatin1String("wrap")) {
            QVERIFY(Click(Item<QCheckBox>(dlg, IDC_CONFIG_MULTILINE)));
            QCOMPARE(int(g_Settings.DLG_MULTILINE), 1);
        }
        if (close == QLatin1String("ok"))
            QVERIFY(Click(Item<QPushButton>(dlg, IDOK)));
        else if (close == QLatin1String("enter"))
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        else if (close == QLatin1String("escape"))
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        else
            dlg.close();
    });
    QCOMPARE(got, result);
    // Nothing is undone, whatever the way out.
    if (change == QLatin1String("layout"))
        QCOMPARE(int(g_Settings.DIALOG), 10);
    if (change == QLatin1String("language"))
        QCOMPARE(g_Settings.LANG, 1u);
}

void TestConfigDlg::stationFieldsFollowTheirEnableBox()
{
    ConfigDlg dlg;
    RunModal(dlg, [&] {
        // PC 1 has its box but never shows it; its fields are always enabled.
        auto *box1 = Item<QCheckBox>(dlg, IDC_STATION_ENABLE + 1);
        QVERIFY(box1);
        QVERIFY(!box1->isVisible());
        for (int base : kStationFields) {
            QWidget *field = Item<QWidget>(dlg, base + 1);
            QVERIFY2(field && field->isEnabled(), qPrintable(QString::number(base + 1)));
        }
        // PC 4 does not take part: its fields are off from the start.
        for (int base : kStationFields) {
            QWidget *field = Item<QWidget>(dlg, base + 4);
            QVERIFY2(field && !field->isEnabled(), qPrintable(QString::number(base + 4)));
        }
        auto *box4 = Item<QCheckBox>(dlg, IDC_STATION_ENABLE + 4);
        QVERIFY(box4 && box4->isEnabled());

        auto *box3 = Item<QCheckBox>(dlg, IDC_STATION_ENABLE + 3);
        QVERIFY(Click(box3));
        QCOMPARE(int(g_Settings.PC[2].ENABLE), 0);
        // Address edit to clear button, labels between included; the box stays.
        const int first = dlg.ControlIndex(IDC_STATION_ADDRESS + 3);
        const int last = dlg.ControlIndex(IDC_STATION_CLEAR + 3);
        QVERIFY(first >= 0 && last > first);
        for (int i = first; i <= last; ++i)
            QVERIFY2(!dlg.ControlAt(i)->isEnabled(), qPrintable(QString::number(i)));
        QVERIFY(box3->isEnabled());
        auto *address3 = Item<QLineEdit>(dlg, IDC_STATION_ADDRESS + 3);
        QVERIFY(address3);
        QCOMPARE(address3->text(), QStringLiteral("10.0.0.3"));
        QCOMPARE(QByteArray(g_Settings.PC[2].ADDRESS), QByteArray("10.0.0.3"));
        for (int base : kStationFields) {
            QWidget *field = Item<QWidget>(dlg, base + 2);
            QVERIFY2(field && field->isEnabled(), qPrintable(QString::number(base + 2)));
        }

        QVERIFY(Click(box3));
        for (int base : kStationFields) {
            QWidget *field = Item<QWidget>(dlg, base + 3);
            QVERIFY2(field && field->isEnabled(), qPrintable(QString::number(base + 3)));
        }
        dlg.done(1);
    });
}

void TestConfigDlg::directoryIsClearedOnlyAfterYes_data()
{
    QTest::addColumn<uint32_t>("lang");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("caption");
    QTest::newRow("Czech") << 0u << QString::fromUtf8("Zrušit nastavenou cestu ?") << QString::fromUtf8("Adresář");
    QTest::newRow("English") << 1u << QStringLiteral("Cancel directory ?") << QStringLiteral("Directory");
}

void TestConfigDlg::directoryIsClearedOnlyAfterYes()
{
    QFETCH(uint32_t, lang);
    QFETCH(QString, question);
    QFETCH(QString, caption);
    g_Settings.LANG = lang;
    MessageRecorder boxes({MSG_NO, MSG_YES});
    ConfigDlg dlg;
    RunModal(dlg, [&] {
        auto *path = Item<QLineEdit>(dlg, IDC_STATION_PATH + 2);
        QVERIFY(path && path->isReadOnly());
        path->setFocus();
        QTest::keyClicks(path, QStringLiteral("typed"));
        QTest::keyClick(path, Qt::Key_Backspace);
        QCOMPARE(path->text(), QStringLiteral("/programs/pc2"));

        QVERIFY(Click(Item<QPushButton>(dlg, IDC_STATION_CLEAR + 2)));
        QCOMPARE(boxes.calls.size(), 1);
        QCOMPARE(boxes.calls[0].text, question);
        QCOMPARE(boxes.calls[0].caption, caption);
        QCOMPARE(boxes.calls[0].icon, MsgIcon::Question);
        QCOMPARE(boxes.calls[0].buttons, MsgButtons::YesNo);
        QCOMPARE(boxes.calls[0].owner, &dlg);
        QCOMPARE(QByteArray(g_Settings.PC[1].PATH), QByteArray("/programs/pc2"));

        QVERIFY(Click(Item<QPushButton>(dlg, IDC_STATION_CLEAR + 2)));
        QCOMPARE(boxes.calls.size(), 2);
        QCOMPARE(path->text(), QString());
        const QByteArray zeros(sizeof g_Settings.PC[1].PATH, '\0');
        QCOMPARE(QByteArray(g_Settings.PC[1].PATH, sizeof g_Settings.PC[1].PATH), zeros);
        QCOMPARE(QByteArray(g_Settings.PC[0].PATH), QByteArray("/programs/pc1"));
        dlg.done(1);
    });
}

void TestConfigDlg::chosenDirectoryIsShownAtOnce_data()
{
    QTest::addColumn<uint32_t>("lang");
    QTest::addColumn<QString>("title");
    QTest::newRow("Czech") << 0u << QString::fromUtf8("Cesta (adresář) pro společnou grafiku");
    QTest::newRow("English") << 1u << QStringLiteral("DATA directory path");
}

void TestConfigDlg::chosenDirectoryIsShownAtOnce()
{
    QFETCH(uint32_t, lang);
    QFETCH(QString, title);
    g_Settings.LANG = lang;
    QStringList titles;
    QString answer;
    SetFolderChooserHandler([&](QWidget *, const QString &t, const QString &) {
        titles << t;
        return answer;
    });
    ConfigDlg dlg;
    RunModal(dlg, [&] {
        answer = QString::fromUtf8("/srv/grafika/stanice čtyři");
        QVERIFY(Click(Item<QPushButton>(dlg, IDC_STATION_CHOOSE + 3)));
        QCOMPARE(titles, QStringList{title});
        auto *path = Item<QLineEdit>(dlg, IDC_STATION_PATH + 3);
        QVERIFY(path);
        QCOMPARE(path->text(), answer);
        QCOMPARE(FieldToQString(g_Settings.PC[2].PATH), answer);

        answer.clear(); // cancelled
        QVERIFY(Click(Item<QPushButton>(dlg, IDC_STATION_CHOOSE + 3)));
        QCOMPARE(titles.size(), 2);
        QCOMPARE(FieldToQString(g_Settings.PC[2].PATH), QString::fromUtf8("/srv/grafika/stanice čtyři"));
        dlg.done(1);
    });
}

void TestConfigDlg::unstorableDirectoryIsRefused_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::newRow("characters outside the code page") << QString::fromUtf8("/srv/日本/pc1");
    QTest::newRow("260 characters") << QStringLiteral("/") + QString(259, QLatin1Char('d'));
}

void TestConfigDlg::unstorableDirectoryIsRefused()
{
    QFETCH(QString, chosen);
    SetFolderChooserHandler([&](QWidget *, const QString &, const QString &) { return chosen; });
    MessageRecorder boxes;
    ConfigDlg dlg;
    RunModal(dlg, [&] {
        QVERIFY(Click(Item<QPushButton>(dlg, IDC_STATION_CHOOSE + 1)));
        QCOMPARE(boxes.calls.size(), 1);
        QVERIFY(boxes.calls[0].text.contains(chosen));
        QCOMPARE(boxes.calls[0].icon, MsgIcon::Warning);
        QCOMPARE(QByteArray(g_Settings.PC[0].PATH), QByteArray("/programs/pc1"));
        auto *path = Item<QLineEdit>(dlg, IDC_STATION_PATH + 1);
        QVERIFY(path);
        QCOMPARE(path->text(), QStringLiteral("/programs/pc1"));
        dlg.done(1);
    });
    // 259 characters fit.
    chosen = QStringLiteral("/") + QString(258, QLatin1Char('d'));
    ConfigDlg again;
    RunModal(again, [&] {
        QVERIFY(Click(Item<QPushButton>(again, IDC_STATION_CHOOSE + 1)));
        QCOMPARE(FieldToQString(g_Settings.PC[0].PATH), chosen);
        again.done(1);
    });
}

void TestConfigDlg::textLimits()
{
    ConfigDlg dlg;
    RunModal(dlg, [&] {
        auto *address = Item<QLineEdit>(dlg, IDC_STATION_ADDRESS + 2);
        auto *socket = Item<QLineEdit>(dlg, IDC_STATION_SOCKET + 2);
        QVERIFY(address && socket);
        address->setFocus();
        address->selectAll();
        QTest::keyClicks(address, QString(70, QLatin1Char('a')));
        QCOMPARE(qstrlen(g_Settings.PC[1].ADDRESS), 59u);
        socket->setFocus();
        socket->selectAll();
        QTest::keyClicks(socket, QString(40, QLatin1Char('7')));
        QCOMPARE(QByteArray(g_Settings.PC[1].SOCKET), QByteArray(35, '7'));
        dlg.done(1);
    });
}

void TestConfigDlg::helpPaneShowsTheDemoHelp()
{
    QVERIFY(QDir().mkpath(QStringLiteral("PLAXONDATA")));
    QVERIFY(QFile::copy(QStringLiteral(PLAXON_DEMO_DIR "/PLAXONDATA/Config.rtf"), QStringLiteral("PLAXONDATA/Config.rtf")));
    ConfigDlg dlg;
    RunModal(dlg, [&] {
        auto *help = Item<QTextEdit>(dlg, IDC_CONFIG_HELP);
        QVERIFY(help && help->isReadOnly());
        const QString text = help->toPlainText();
        QVERIFY(text.startsWith(QString::fromUtf8("Nastavení – nápověda")));
        QVERIFY(text.contains(QString::fromUtf8("Síťová adresa")));
        QVERIFY(text.contains(QStringLiteral("Settings – help")));
        QVERIFY(text.contains(QStringLiteral("plaxon-station 7001 7002 7003 7004")));
        QVERIFY(text.contains(QStringLiteral("PLAXONDATA\\PlaxonCfg.xml")));
        QVERIFY(!text.contains(QLatin1Char('\\') + QStringLiteral("par")));
        QVERIFY(!text.contains(QStringLiteral("Arial")));
        dlg.done(1);
    });
}

void TestConfigDlg::missingHelpLeavesThePaneEmpty()
{
    // Not RTF at all, then no file: the pane stays empty and the rest works.
    for (bool present : {true, false}) {
        QDir(QStringLiteral("PLAXONDATA")).removeRecursively();
        if (present) {
            QVERIFY(QDir().mkpath(QStringLiteral("PLAXONDATA")));
            QVERIFY(WriteFile(QStringLiteral("PLAXONDATA/Config.rtf"), "plain words"));
        }
        ConfigDlg dlg;
        const int result = RunModal(dlg, [&] {
            auto *help = Item<QTextEdit>(dlg, IDC_CONFIG_HELP);
            QVERIFY(help);
            QVERIFY(help->toPlainText().isEmpty());
            QVERIFY(Click(Item<QRadioButton>(dlg, IDC_LAYOUT_10X1)));
            QCOMPARE(int(g_Settings.DIALOG), 8);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        });
        QCOMPARE(result, RESTART_RESULT);
        g_Settings.DIALOG = 0;
    }
}

QTEST_MAIN(TestConfigDlg)
#include "tst_configdlg.moc"
