#include "configdlg.h"
#include "dialogtestsupport.h"

#include "codepage.h"
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

constexpr int kLang = 2118;
constexpr int kMultiline = 2237;
constexpr int kHelp = 2224;

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

template <typename T>
T *Item(const MyCDialog &dlg, int id)
{
    T *w = dlg.DlgItem<T>(id);
    if (!w)
        qWarning("no control %d", id);
    return w;
}

void Click(QWidget *w)
{
    QVERIFY(w);
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(6, w->height() / 2));
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
    const int order[] = {2212, 2213, 2214, 2215, 2216, 2217, 2220, 2218, 2233, 2219, 2221, 2222, 2223, 2225};
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
        auto *other = Item<QRadioButton>(dlg, control == 2212 ? 2225 : 2212);
        Click(other);
        QCOMPARE(int(g_Settings.DIALOG), control == 2212 ? 13 : 0);
        QVERIFY(!radio->isChecked());
        Click(radio);
        QCOMPARE(int(g_Settings.DIALOG), layout);
        QTest::keyClick(&dlg, Qt::Key_Escape);
    });
    QCOMPARE(result, 2);
}

void TestConfigDlg::closingResults_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("close");
    QTest::addColumn<int>("result");
    QTest::newRow("nothing, OK clicked") << "" << "ok" << 1;
    QTest::newRow("nothing, Enter") << "" << "enter" << 1;
    QTest::newRow("nothing, Escape") << "" << "escape" << 2;
    QTest::newRow("nothing, close box") << "" << "closebox" << 2;
    QTest::newRow("language only, OK") << "language" << "ok" << 1;
    QTest::newRow("brightness only, Escape") << "brightness" << "escape" << 2;
    QTest::newRow("layout, Escape") << "layout" << "escape" << 99;
    QTest::newRow("layout, OK") << "layout" << "ok" << 99;
    QTest::newRow("layout, close box") << "layout" << "closebox" << 99;
    QTest::newRow("multi-line text alone, Enter") << "wrap" << "enter" << 99;
}

void TestConfigDlg::closingResults()
{
    QFETCH(QString, change);
    QFETCH(QString, close);
    QFETCH(int, result);
    ConfigDlg dlg;
    const int got = RunModal(dlg, [&] {
        if (change == QLatin1String("language")) {
            auto *lang = Item<QComboBox>(dlg, kLang);
            QVERIFY(lang);
            QCOMPARE(lang->currentText(), QString::fromUtf8("Česky"));
            lang->setFocus();
            QTest::keyClick(lang, Qt::Key_Down);
            QCOMPARE(g_Settings.LANG, 1u);
        } else if (change == QLatin1String("brightness")) {
            Click(Item<QCheckBox>(dlg, 2209));
            QCOMPARE(int(g_Settings.BRIGHT_ENA), 1);
        } else if (change == QLatin1String("layout")) {
            Click(Item<QRadioButton>(dlg, 2221));
            QCOMPARE(int(g_Settings.DIALOG), 10);
        } else if (change == QLatin1String("wrap")) {
            Click(Item<QCheckBox>(dlg, kMultiline));
            QCOMPARE(int(g_Settings.DLG_MULTILINE), 1);
        }
        if (close == QLatin1String("ok"))
            Click(Item<QPushButton>(dlg, 1));
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
        QVERIFY(Item<QCheckBox>(dlg, 1901));
        QVERIFY(!Item<QCheckBox>(dlg, 1901)->isVisible());
        for (int id : {1911, 1931, 1921, 1941, 1951})
            QVERIFY(Item<QWidget>(dlg, id)->isEnabled());
        // PC 4 does not take part: its fields are off from the start.
        for (int id : {1914, 1934, 1924, 1944, 1954})
            QVERIFY2(!Item<QWidget>(dlg, id)->isEnabled(), qPrintable(QString::number(id)));
        QVERIFY(Item<QCheckBox>(dlg, 1904)->isEnabled());

        Click(Item<QCheckBox>(dlg, 1903));
        QCOMPARE(int(g_Settings.PC[2].ENABLE), 0);
        // Address edit to clear button, labels between included; the box stays.
        for (int i = dlg.ControlIndex(1913); i <= dlg.ControlIndex(1953); ++i)
            QVERIFY2(!dlg.ControlAt(i)->isEnabled(), qPrintable(QString::number(i)));
        QVERIFY(Item<QCheckBox>(dlg, 1903)->isEnabled());
        QCOMPARE(Item<QLineEdit>(dlg, 1913)->text(), QStringLiteral("10.0.0.3"));
        QCOMPARE(QByteArray(g_Settings.PC[2].ADDRESS), QByteArray("10.0.0.3"));
        for (int id : {1912, 1932, 1922, 1942, 1952})
            QVERIFY(Item<QWidget>(dlg, id)->isEnabled());

        Click(Item<QCheckBox>(dlg, 1903));
        for (int id : {1913, 1933, 1923, 1943, 1953})
            QVERIFY(Item<QWidget>(dlg, id)->isEnabled());
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
        auto *path = Item<QLineEdit>(dlg, 1922);
        QVERIFY(path && path->isReadOnly());
        path->setFocus();
        QTest::keyClicks(path, QStringLiteral("typed"));
        QTest::keyClick(path, Qt::Key_Backspace);
        QCOMPARE(path->text(), QStringLiteral("/programs/pc2"));

        Click(Item<QPushButton>(dlg, 1952));
        QCOMPARE(boxes.calls.size(), 1);
        QCOMPARE(boxes.calls[0].text, question);
        QCOMPARE(boxes.calls[0].caption, caption);
        QCOMPARE(boxes.calls[0].icon, MsgIcon::Question);
        QCOMPARE(boxes.calls[0].buttons, MsgButtons::YesNo);
        QCOMPARE(boxes.calls[0].owner, &dlg);
        QCOMPARE(QByteArray(g_Settings.PC[1].PATH), QByteArray("/programs/pc2"));

        Click(Item<QPushButton>(dlg, 1952));
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
        Click(Item<QPushButton>(dlg, 1943));
        QCOMPARE(titles, QStringList{title});
        QCOMPARE(Item<QLineEdit>(dlg, 1923)->text(), answer);
        QCOMPARE(FieldToQString(g_Settings.PC[2].PATH), answer);

        answer.clear(); // cancelled
        Click(Item<QPushButton>(dlg, 1943));
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
        Click(Item<QPushButton>(dlg, 1941));
        QCOMPARE(boxes.calls.size(), 1);
        QVERIFY(boxes.calls[0].text.contains(chosen));
        QCOMPARE(boxes.calls[0].icon, MsgIcon::Warning);
        QCOMPARE(QByteArray(g_Settings.PC[0].PATH), QByteArray("/programs/pc1"));
        QCOMPARE(Item<QLineEdit>(dlg, 1921)->text(), QStringLiteral("/programs/pc1"));
        dlg.done(1);
    });
    // 259 characters fit.
    chosen = QStringLiteral("/") + QString(258, QLatin1Char('d'));
    ConfigDlg again;
    RunModal(again, [&] {
        Click(Item<QPushButton>(again, 1941));
        QCOMPARE(FieldToQString(g_Settings.PC[0].PATH), chosen);
        again.done(1);
    });
}

void TestConfigDlg::textLimits()
{
    ConfigDlg dlg;
    RunModal(dlg, [&] {
        auto *address = Item<QLineEdit>(dlg, 1912);
        auto *socket = Item<QLineEdit>(dlg, 1932);
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
        auto *help = Item<QTextEdit>(dlg, kHelp);
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
            WriteFile(QStringLiteral("PLAXONDATA/Config.rtf"), "plain words");
        }
        ConfigDlg dlg;
        const int result = RunModal(dlg, [&] {
            QVERIFY(Item<QTextEdit>(dlg, kHelp)->toPlainText().isEmpty());
            Click(Item<QRadioButton>(dlg, 2233));
            QCOMPARE(int(g_Settings.DIALOG), 8);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        });
        QCOMPARE(result, 99);
        g_Settings.DIALOG = 0;
    }
}

QTEST_MAIN(TestConfigDlg)
#include "tst_configdlg.moc"
