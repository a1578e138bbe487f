// The real main window on the offscreen platform, against loopback listeners.
#include "buttonsetfile.h"
#include "codepage.h"
#include "commandrecord.h"
#include "configdlg.h"
#include "editmain.h"
#include "configmodel.h"
#include "cplaxonapp.h"
#include "cplaxondlg.h"
#include "dialogtemplates_dialogs.h"
#include "filedialogs.h"
#include "layouttypes.h"
#include "linktestsupport.h"
#include "maintemplates.h"
#include "maintooltips.h"
#include "markerbitmaps.h"
#include "messagebox.h"
#include "mycbutton.h"
#include "recordsink.h"
#include "settingsfile.h"
#include "socketerrors.h"
#include "templatebuilder.h"
#include "tooltip.h"

#include <QCheckBox>
#include <QDate>
#include <QDir>
#include <QHelpEvent>
#include <QRegularExpression>
#include <QToolTip>
#include <QElapsedTimer>
#include <QHelpEvent>
#include <QTextDocument>
#include <QToolTip>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QScopeGuard>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace {

// A window whose settings and editor dialogs answer as a test tells them.
class TestPanel : public CPlaxonDlg {
public:
    using CPlaxonDlg::CPlaxonDlg;
    std::function<int()> settingsDialog = [] { return IDCANCEL; };
    std::function<int()> buttonEditor = [] { return IDCANCEL; };

protected:
    int RunSettingsDialog() override { return settingsDialog(); }
    int RunButtonEditor() override { return buttonEditor(); }
};

QByteArray Run(int32_t code, const char *name)
{
    return RecordBytes(code, QByteArray(name));
}

// Counts the paints of one widget.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget *widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

// The digit of marker 2 ("#####" in its last row) when it stands as the
// right-hand one of two markers.
QColor SecondMarkerDigit(MyCButton *button)
{
    const QImage image = button->grab().toImage();
    return image.pixelColor(button->width() - 11 + 3, button->height() - 16 + 10);
}

QStringList JournalLines()
{
    QFile file(QStringLiteral("PLAXONDATA/journal/%1.txt").arg(QDate::currentDate().toString(Qt::ISODate)));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Journal lines after the time stamp, checked to have one.
QStringList JournalTexts()
{
    static const QRegularExpression stamp(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d  "));
    QStringList texts;
    for (const QString &line : JournalLines())
        texts << (stamp.match(line).hasMatch() ? line.mid(14) : QStringLiteral("<no time stamp> ") + line);
    return texts;
}

} // namespace

class TestCPlaxonDlg : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void launchSendsEachStationItsProgram();
    void nothingIsSentWhileNoLinkIsUp();
    void transportAndBrightness();
    void functionKeysToggleOnlyEnabledStations();
    void titleAndIconFollowTheLinkState();
    void layouts_data();
    void layouts();
    void refreshShowsTheButtonTable();
    void tooltips();
    void iconButtonsTellWhatTheyDo_data();
    void iconButtonsTellWhatTheyDo();
    void refusedPressSaysSo_data();
    void refusedPressSaysSo();
    void rulesGoByTheLiveLinks();
    void doubleClickLaunchesOnce();
    void newSetIsOfferedAFile();
    void closingAsksOnceForASetInNoFile_data();
    void closingAsksOnceForASetInNoFile();
    void lostStationAsksForAttention();
    void firstStartWithoutAButtonSet();
    void loadAndSaveAs();
    void failedSavesAreReported();
    void restartBuildsANewWindowFromTheSavedSettings();
    void rebuildsDuringAHungLookupNeitherWaitNorPileUpThreads();
    void settingsAndEditorButtonsRunTheRealDialogs();
    void enterNeverLaunchesNorOpensADialog_data();
    void enterNeverLaunchesNorOpensADialog();
    void buttonsBelowTheCutTakeNoFocus_data();
    void buttonsBelowTheCutTakeNoFocus();
    void saveAsIntoAMissingFolderChangesNothing();
    void trackbarAndTooltipsShowTheirText();
    void markersGreyWhileAStationIsUnreachable();
    void lastLaunchBarMovesAndGoes();
    void statusTooltipTellsTheLastDelivery_data();
    void statusTooltipTellsTheLastDelivery();
    void statusTooltipTellsOfAFullQueue();
    void journalKeepsCommandsAndLinkChanges();
    void unwritableJournalDoesNotStopThePanel();

private:
    QString LinkTooltip();
    TestPanel *Open(int templateId = IDD_PLAXON_5X8);
    MyCButton *Launch(int k) const { return m_panel->DlgItem<MyCButton>(IDC_LAUNCH_FIRST + k); }
    void WaitForLinks(int32_t state);
    void SetButton(int k, const char *name, std::initializer_list<const char *> programs, bool isInline = false);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previousDir;
    std::unique_ptr<TestPanel> m_panel;
    RecordSink m_sink[4];
    QList<MessageBoxCall> m_boxes;
};

void TestCPlaxonDlg::initTestCase()
{
    LoadMarkerBitmaps();
    for (RecordSink &sink : m_sink)
        QVERIFY(sink.Listen());
}

void TestCPlaxonDlg::init()
{
    m_previousDir = QDir::currentPath();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir::setCurrent(m_dir->path()));
    ClearConfiguration();
    // Station 1 on two ports, station 2 on one, 3 and 4 disabled.
    ConfigureStation(0, true, "127.0.0.1", {m_sink[0].Port(), m_sink[1].Port()});
    ConfigureStation(1, true, "127.0.0.1", {m_sink[2].Port()});
    ConfigureStation(2, false, "127.0.0.1", {m_sink[3].Port()});
    g_Settings.BRIGHT_ENA = 1;
    CopyText(g_Settings.LASTFNAME, "set.PUC");
    CopyText(g_Settings.LASTPROG, "set.PUC");
    SetButton(0, "Intro", {"show\\intro", "show\\intro wide", "show\\intro 3"});
    SetButton(1, "Inline", {"overlay\\clock", "", ""}, true);
    SetButton(2, "Nothing", {"", "", "never"});
    QCOMPARE(SaveButtonSet("set.PUC"), 0);
    m_boxes.clear();
    SetMessageBoxHandler([this](const MessageBoxCall &call) {
        m_boxes.append(call);
        return MSG_OK;
    });
    for (RecordSink &sink : m_sink)
        sink.ClearReceived();
}

void TestCPlaxonDlg::cleanup()
{
    m_panel.reset();
    SetMessageBoxHandler({});
    SetFileDialogHandler({});
    QDir::setCurrent(m_previousDir);
    m_dir.reset();
}

void TestCPlaxonDlg::SetButton(int k, const char *name, std::initializer_list<const char *> programs, bool isInline)
{
    ButtonRecord &b = g_Buttons.BUTTON[k];
    b.ENABLE = 1;
    b.INLINE = isInline ? 1 : 0;
    CopyText(b.NAME, name);
    int s = 0;
    for (const char *p : programs)
        CopyText(b.PROGRAM[s++], p);
}

TestPanel *TestCPlaxonDlg::Open(int templateId)
{
    m_panel = std::make_unique<TestPanel>(templateId);
    if (!m_panel->Create(templateId, nullptr))
        return nullptr;
    m_panel->show();
    if (!QTest::qWaitForWindowExposed(m_panel.get()))
        return nullptr;
    return m_panel.get();
}

QString TestCPlaxonDlg::LinkTooltip()
{
    QWidget *icon = m_panel->GetDlgItem(IDC_LINK_ICON);
    QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), icon->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(icon, &help);
    return QToolTip::text();
}

void TestCPlaxonDlg::WaitForLinks(int32_t state)
{
    // The window's own 500 ms timer moves the links.
    QTRY_COMPARE_WITH_TIMEOUT(m_panel->Links().ShownState(), state, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(LastTickLinkState(), state, 2000);
}

void TestCPlaxonDlg::launchSendsEachStationItsProgram()
{
    QVERIFY(Open());
    WaitForLinks(LINKS_FULL);

    QTest::mouseClick(Launch(0), Qt::LeftButton);
    QTRY_COMPARE(m_sink[0].Received(), Run(CMD_RUN, "show\\intro"));
    QTRY_COMPARE(m_sink[1].Received(), Run(CMD_RUN, "show\\intro"));
    QTRY_COMPARE(m_sink[2].Received(), Run(CMD_RUN, "show\\intro wide"));
    for (RecordSink &sink : m_sink)
        sink.ClearReceived();

    // Inline: code 6, and station 2 with an empty entry gets nothing.
    QTest::mouseClick(Launch(1), Qt::LeftButton);
    QTRY_COMPARE(m_sink[1].Received(), Run(CMD_RUN_INLINE, "overlay\\clock"));
    QCOMPARE(m_sink[0].Received(), Run(CMD_RUN_INLINE, "overlay\\clock"));
    // A button whose only program is for the disabled station sends nothing at all.
    QTest::mouseClick(Launch(2), Qt::LeftButton);
    QTest::mouseClick(m_panel->DlgItem<QPushButton>(IDC_STOP), Qt::LeftButton);
    QTRY_COMPARE(m_sink[2].Received(), RecordBytes(CMD_STOP));
    QCOMPARE(m_sink[3].Received(), QByteArray());
}

void TestCPlaxonDlg::nothingIsSentWhileNoLinkIsUp()
{
    ConfigureStation(0, true, "127.0.0.1", {RefusingPort()});
    ConfigureStation(1, false, "127.0.0.1", {m_sink[2].Port()});
    QVERIFY(Open());
    QTRY_VERIFY(Link(0).Error() != 0); // a connect was tried and refused
    QCOMPARE(LastTickLinkState(), LINKS_NONE);
    QTest::mouseClick(Launch(0), Qt::LeftButton);
    QTest::mouseClick(m_panel->DlgItem<QPushButton>(IDC_PLAY), Qt::LeftButton);
    QTest::keyClick(m_panel.get(), Qt::Key_F1);
    QTest::keyClick(m_panel.get(), Qt::Key_F8); // brightness is built but reaches no link
    QTest::qWait(200);
    for (RecordSink &sink : m_sink)
        QCOMPARE(sink.Received(), QByteArray());
}

void TestCPlaxonDlg::transportAndBrightness()
{
    QVERIFY(Open());
    WaitForLinks(LINKS_FULL);
    QTest::mouseClick(m_panel->DlgItem<QPushButton>(IDC_PLAY), Qt::LeftButton);
    QTest::mouseClick(m_panel->DlgItem<QPushButton>(IDC_PAUSE), Qt::LeftButton);
    QTest::mouseClick(m_panel->DlgItem<QPushButton>(IDC_STOP), Qt::LeftButton);
    const QByteArray transport = RecordBytes(CMD_PLAY) + RecordBytes(CMD_PAUSE) + RecordBytes(CMD_STOP);
    for (int i = 0; i < 3; ++i)
        QTRY_COMPARE(m_sink[i].Received(), transport);
    for (RecordSink &sink : m_sink)
        sink.ClearReceived();

    auto *slider = m_panel->DlgItem<QSlider>(IDC_BRIGHT_SLIDER);
    // F5 / F6 step by 10 within 0..100 and send nothing.
    QTest::keyClick(m_panel.get(), Qt::Key_F5);
    QCOMPARE(m_panel->Brightness(), 0);
    for (int i = 0; i < 10; ++i)
        QTest::keyClick(m_panel.get(), Qt::Key_F6);
    QCOMPARE(m_panel->Brightness(), 100);
    QCOMPARE(slider->value(), 100);
    QTest::keyClick(m_panel.get(), Qt::Key_F5);
    QCOMPARE(m_panel->Brightness(), 90);
    QTest::keyClick(slider, Qt::Key_Right); // a line step of the trackbar takes its position
    QCOMPARE(m_panel->Brightness(), 91);
    QTest::keyClick(m_panel.get(), Qt::Key_F6);
    QCOMPARE(m_panel->Brightness(), 100);
    QTest::qWait(100);
    QCOMPARE(m_sink[0].Received(), QByteArray());

    // F8 and the Set button go to the ticked stations only: here PC2.
    QTest::keyClick(m_panel.get(), Qt::Key_F2);
    QTest::keyClick(m_panel.get(), Qt::Key_F8);
    QTRY_COMPARE(m_sink[2].Received(), RecordBytes(CMD_BRIGHTNESS, QByteArray("\x64\0\0\0", 4)));
    QTest::mouseClick(m_panel->DlgItem<QCheckBox>(IDC_PC1), Qt::LeftButton); // the box ticks PC1 live
    QCOMPARE(m_panel->PcFlags()[0], 1);
    QTest::keyClick(m_panel.get(), Qt::Key_F5);
    QTest::mouseClick(m_panel->DlgItem<QPushButton>(IDC_BRIGHT_SET), Qt::LeftButton);
    const QByteArray ninety = RecordBytes(CMD_BRIGHTNESS, QByteArray("\x5A\0\0\0", 4));
    QTRY_COMPARE(m_sink[0].Received(), ninety);
    QTRY_COMPARE(m_sink[1].Received(), ninety);
    QCOMPARE(m_sink[3].Received(), QByteArray());
}

void TestCPlaxonDlg::functionKeysToggleOnlyEnabledStations()
{
    QVERIFY(Open());
    auto *pc2 = m_panel->DlgItem<QCheckBox>(IDC_PC1 + 1);
    auto *pc3 = m_panel->DlgItem<QCheckBox>(IDC_PC1 + 2);
    QTest::keyClick(m_panel.get(), Qt::Key_F1);
    QTest::keyClick(m_panel.get(), Qt::Key_F2);
    QTest::keyClick(m_panel.get(), Qt::Key_F3); // station 3 is disabled
    QCOMPARE(m_panel->PcFlags()[0], 1);
    QCOMPARE(m_panel->PcFlags()[1], 1);
    QCOMPARE(m_panel->PcFlags()[2], 0);
    QVERIFY(pc2->isChecked());
    QVERIFY(!pc3->isChecked());
    QVERIFY(!pc3->isEnabled());
    QTest::keyClick(m_panel->DlgItem<QLineEdit>(IDC_PROGRAM_NAME), Qt::Key_F1); // from any control
    QCOMPARE(m_panel->PcFlags()[0], 0);

    // A settings change that disables station 2 clears and greys its box.
    m_panel->settingsDialog = [] {
        g_Settings.PC[1].ENABLE = 0;
        return IDOK;
    };
    QTest::mouseClick(m_panel->DlgItem<QPushButton>(IDC_SETTINGS), Qt::LeftButton);
    QCOMPARE(m_panel->PcFlags()[1], 0);
    QVERIFY(!pc2->isChecked());
    QVERIFY(!pc2->isEnabled());
    QCOMPARE(g_Settings.PC[1].ENABLE, 0); // saved and read back
}

void TestCPlaxonDlg::titleAndIconFollowTheLinkState()
{
    ConfigureStation(1, true, "127.0.0.1", {RefusingPort()});
    QVERIFY(Open());
    QCOMPARE(m_panel->windowTitle(), QStringLiteral("Plaxon 3.1 (not connected)"));
    QSignalSpy titles(m_panel.get(), &QWidget::windowTitleChanged);
    WaitForLinks(LINKS_PARTIAL);
    QCOMPARE(m_panel->windowTitle(), QStringLiteral("Plaxon 3.1 (partially connected)"));
    QCOMPARE(m_panel->DlgItem<QLabel>(IDC_LINK_ICON)->property("iconId").toInt(), IDI_LINKS_DOWN);
    QTest::qWait(1200); // more ticks in the same state change nothing
    QCOMPARE(titles.size(), 1);

    m_panel->settingsDialog = [this] {
        ConfigureStation(1, true, "127.0.0.1", {m_sink[2].Port()});
        return IDOK;
    };
    QTest::mouseClick(m_panel->DlgItem<QPushButton>(IDC_SETTINGS), Qt::LeftButton);
    WaitForLinks(LINKS_FULL);
    QCOMPARE(m_panel->windowTitle(), QStringLiteral("Plaxon 3.1 (full connected)"));
    QCOMPARE(m_panel->DlgItem<QLabel>(IDC_LINK_ICON)->property("iconId").toInt(), IDI_LINKS_FULL);
}

void TestCPlaxonDlg::layouts_data()
{
    QTest::addColumn<int>("dialog");
    QTest::addColumn<int>("templateId");
    QTest::addColumn<int>("cut");
    const int rows[][3] = {
        {0, 101, 0}, {1, 102, 0}, {2, 101, 1031}, {3, 102, 1031}, {4, 101, 1021}, {5, 102, 1021},
        {6, 101, 1016}, {7, 101, 1011}, {8, 102, 1011}, {9, 162, 0}, {10, 162, 1031}, {11, 162, 1021},
        {12, 162, 1016}, {13, 162, 1011}, {14, 162, 0}, {200, 162, 0},
    };
    for (const auto &r : rows)
        QTest::addRow("DIALOG %d", r[0]) << r[0] << r[1] << r[2];
}

void TestCPlaxonDlg::layouts()
{
    QFETCH(int, dialog);
    QFETCH(int, templateId);
    QFETCH(int, cut);
    // Values outside 0..13 keep the previous pass's template.
    QCOMPARE(TemplateForLayout(dialog, IDD_PLAXON_WIDE), templateId);
    g_Settings.DIALOG = uint8_t(dialog);
    QVERIFY(Open(templateId));
    for (int k = 0; k < BUTTON_COUNT; ++k)
        QVERIFY(Launch(k) != nullptr);
    const int full = m_panel->GetDlgItem(IDC_LAUNCH_LAST)->geometry().bottom();
    if (cut) {
        QCOMPARE(m_panel->height(), m_panel->GetDlgItem(cut)->y());
        QVERIFY(m_panel->GetDlgItem(cut - 1)->geometry().bottom() < m_panel->height());
    } else {
        QVERIFY(m_panel->height() > full);
    }
    // Row-major: button 2 is right of button 1, in the first row.
    QCOMPARE(Launch(1)->y(), Launch(0)->y());
    QVERIFY(Launch(1)->x() > Launch(0)->x());
}

void TestCPlaxonDlg::refreshShowsTheButtonTable()
{
    g_Buttons.BUTTON[3].ENABLE = 0;
    CopyText(g_Buttons.BUTTON[3].NAME, "hidden name");
    SetButton(4, "Q & A", {"a", "", ""});
    g_Buttons.BUTTON[4].COLOR = 255;
    QCOMPARE(SaveButtonSet("set.PUC"), 0);
    ConfigureStation(1, false, "127.0.0.1", {m_sink[2].Port()});
    QVERIFY(Open());
    QVERIFY(!Launch(3)->isVisible());
    QCOMPARE(Launch(3)->text(), QString());
    QVERIFY(Launch(4)->isVisible());
    QCOMPARE(Launch(4)->Color(), 255u);
    QCOMPARE(Launch(1)->Flags(), MyCButton::INLINE_BIT); // only station 1 enabled: no markers
    QCOMPARE(m_panel->DlgItem<QLineEdit>(IDC_PROGRAM_NAME)->text(), QStringLiteral("set.PUC"));

    m_panel->settingsDialog = [] {
        g_Settings.PC[2].ENABLE = 1; // station 3 on: markers for every station with a program
        g_Settings.BRIGHT_ENA = 0;
        return IDOK;
    };
    QTest::mouseClick(m_panel->DlgItem<QPushButton>(IDC_SETTINGS), Qt::LeftButton);
    QCOMPARE(Launch(0)->Flags(), 0x01u | 0x04u);
    QCOMPARE(Launch(2)->Flags(), 0x04u);
    QCOMPARE(Launch(1)->Flags(), 0x01u | MyCButton::INLINE_BIT);
    for (int id : {IDC_BRIGHT_GROUP, IDC_PC1, IDC_PC4, IDC_BRIGHT_ICON, IDC_BRIGHT_SLIDER, IDC_BRIGHT_SET})
        QVERIFY(!m_panel->GetDlgItem(id)->isVisible());
    QVERIFY(m_panel->GetDlgItem(IDC_SETTINGS)->isVisible());

    // The caption is shown as typed: its '&' makes no key combination that launches.
    QVERIFY(Launch(4)->shortcut().isEmpty());
    QCOMPARE(Launch(4)->grab().toImage().pixelColor(8, 8), QColor(255, 0, 0));
}

void TestCPlaxonDlg::tooltips()
{
    const uint16_t refusing = RefusingPort();
    ConfigureStation(2, true, "127.0.0.1", {refusing});
    QVERIFY(Open());
    QTRY_COMPARE(Link(8).State(), LINK_CREATED);
    WaitForLinks(LINKS_PARTIAL);
    const QString status = StatusListText();
    // Each entry names its station, so which one is down shows at a glance.
    const QString expected = QStringLiteral("PC1 127.0.0.1:%1  * OK connected *\r\nPC1 127.0.0.1:%2  * OK connected *\r\n"
                                            "PC2 127.0.0.1:%3  * OK connected *\r\nPC3 127.0.0.1:%4  Err: 10061  ")
                                 .arg(m_sink[0].Port()).arg(m_sink[1].Port()).arg(m_sink[2].Port()).arg(refusing);
    QVERIFY2(status.startsWith(expected), qPrintable(status));
    // The system's text follows LANG: Czech for 0, English for 1.
    QVERIFY2(status.endsWith(QString::fromUtf8("aktivně odmítl.\r\n")), qPrintable(status));
    g_Settings.LANG = 1;
    QVERIFY(StatusListText().endsWith(QStringLiteral("actively refused it.\r\n")));
    QCOMPARE(StatusListText().left(expected.size()), expected);
    g_Settings.LANG = 0;

    QCOMPARE(LaunchButtonTooltip(0), QStringLiteral("PC1:  show\\intro\r\nPC2:  show\\intro wide\r\nPC3:  show\\intro 3"));
    g_Settings.PC[2].ENABLE = 0;
    QCOMPARE(LaunchButtonTooltip(1), QStringLiteral("PC1:  overlay\\clock\r\nPC2:  "));
    g_Settings.LANG = 1;
    QCOMPARE(HelpText(1903), QStringLiteral("F3 - enable PC3 bright control"));
    g_Settings.LANG = 0;
    QCOMPARE(HelpText(1903), QStringLiteral("F3 - povolit u PC3 aktualizaci jasu"));
    QCOMPARE(HelpText(2206), QString::fromUtf8("F8 - nastavit vybraný jas"));
    QCOMPARE(HelpText(IDC_PROGRAM_NAME), QString());
    g_Settings.LANG = 5;
    QCOMPARE(HelpText(1901), QString());
}

void TestCPlaxonDlg::iconButtonsTellWhatTheyDo_data()
{
    QTest::addColumn<int>("lang");
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("text");
    const struct {
        int id;
        const char *english;
        const char *czech;
    } rows[] = {
        {IDC_LOAD, "Load a button set", "Načíst sadu tlačítek"},
        {IDC_SAVE_AS, "Save the button set as", "Uložit sadu tlačítek jako"},
        {IDC_EDITOR, "Edit the buttons", "Upravit tlačítka"},
        {IDC_PLAY, "Play on every station", "Přehrát na všech stanicích"},
        {IDC_PAUSE, "Pause on every station", "Pozastavit na všech stanicích"},
        {IDC_STOP, "Stop every station", "Zastavit všechny stanice"},
        {IDC_SETTINGS, "Settings", "Nastavení"},
    };
    for (const auto &r : rows) {
        QTest::addRow("%d English", r.id) << 1 << r.id << QString::fromUtf8(r.english);
        QTest::addRow("%d Czech", r.id) << 0 << r.id << QString::fromUtf8(r.czech);
    }
}

// The buttons that show only an icon say, on hovering, what they do, in the
// operator's language; the window's controls stay where the template puts them.
void TestCPlaxonDlg::iconButtonsTellWhatTheyDo()
{
    QFETCH(int, lang);
    QFETCH(int, id);
    QFETCH(QString, text);
    g_Settings.LANG = uint8_t(lang);
    QVERIFY(Open());
    QWidget *button = m_panel->GetDlgItem(id);
    const QRect before = button->geometry();
    const QSize window = m_panel->size();
    QToolTip::hideText();
    QHelpEvent help(QEvent::ToolTip, QPoint(4, 4), button->mapToGlobal(QPoint(4, 4)));
    QApplication::sendEvent(button, &help);
    QTRY_VERIFY(QToolTip::isVisible());
    QTextDocument shown;
    shown.setHtml(QToolTip::text());
    QCOMPARE(shown.toPlainText(), text);
    QCOMPARE(button->geometry(), before);
    QCOMPARE(m_panel->size(), window);
    QToolTip::hideText();
}

void TestCPlaxonDlg::firstStartWithoutAButtonSet()
{
    g_Settings.LASTFNAME[0] = '\0';
    g_Buttons = ButtonTable{}; // nothing was ever loaded
    QVERIFY(Open());
    QCOMPARE(m_boxes.size(), 1);
    QCOMPARE(m_boxes[0].caption, QString::fromUtf8("Chyba"));
    QCOMPARE(m_boxes[0].owner, nullptr);
    for (int k = 0; k < BUTTON_COUNT; ++k)
        QVERIFY(!Launch(k)->isVisible());

    // After the load error, the empty button area says what to do.
    auto *hint = m_panel->findChild<QLabel *>(QStringLiteral("emptyHint"));
    QVERIFY(hint);
    QVERIFY(hint->isVisible());
    QVERIFY(hint->text().contains(QString::fromUtf8("žlutou složkou")));
    QVERIFY(hint->geometry().intersects(Launch(0)->geometry()));
    // The operator's language, after a settings change.
    m_panel->settingsDialog = [] {
        g_Settings.LANG = 1;
        return IDOK;
    };
    QTest::mouseClick(m_panel->DlgItem<QPushButton>(IDC_SETTINGS), Qt::LeftButton);
    for (const char *names : {"yellow folder", "gear", "grid-and-pencil"})
        QVERIFY2(hint->text().contains(QLatin1String(names)), qPrintable(hint->text()));

    // Gone as soon as one button is shown.
    SetFileDialogHandler([](const FileDialogRequest &) {
        return FileDialogResult{true, QStringLiteral("set.PUC"), QDir::current().filePath(QStringLiteral("set.PUC"))};
    });
    QTest::mouseClick(m_panel->DlgItem<QPushButton>(IDC_LOAD), Qt::LeftButton);
    QVERIFY(Launch(0)->isVisible());
    QVERIFY(!hint->isVisible());

    // A set whose only shown button lies below the window's cut shows the hint.
    m_panel.reset();
    g_Settings.DIALOG = 7; // 10 buttons in view
    ClearConfiguration();
    g_Settings.DIALOG = 7;
    SetButton(12, "Out of view", {"x"});
    QCOMPARE(SaveButtonSet("below.PUC"), 0);
    CopyText(g_Settings.LASTFNAME, "below.PUC");
    QVERIFY(Open());
    QVERIFY(m_panel->findChild<QLabel *>(QStringLiteral("emptyHint"))->isVisible());
}

void TestCPlaxonDlg::loadAndSaveAs()
{
    QVERIFY(Open());
    QList<FileDialogRequest> requests;
    QString answer = m_dir->filePath("other.PUC");
    SetFileDialogHandler([&](const FileDialogRequest &r) {
        requests.append(r);
        return FileDialogResult{true, QFileInfo(answer).fileName(), answer};
    });
    QTest::mouseClick(m_panel->DlgItem<QPushButton>(IDC_SAVE_AS), Qt::LeftButton);
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests[0].kind, FileDialogRequest::Save);
    QCOMPARE(requests[0].filter, QStringLiteral("Plaxon User Config Files (*.PUC)"));
    QCOMPARE(requests[0].startFolder, QStringLiteral("PLAXONDATA"));
    QCOMPARE(requests[0].defaultSuffix, QStringLiteral("puc"));
    QVERIFY(QFile::exists(answer));
    QCOMPARE(QByteArray(g_Settings.LASTPROG), QByteArray("other.PUC"));
    QCOMPARE(m_panel->DlgItem<QLineEdit>(IDC_PROGRAM_NAME)->text(), QStringLiteral("other.PUC"));
    LoadSettings(); // recorded in the settings file at once
    QCOMPARE(QByteArray(g_Settings.LASTFNAME), QStringToAnsi(answer));

    g_Buttons.BUTTON[0].ENABLE = 0;
    QTest::mouseClick(m_panel->DlgItem<QPushButton>(IDC_LOAD), Qt::LeftButton);
    QCOMPARE(requests.last().kind, FileDialogRequest::Open);
    QCOMPARE(requests.last().defaultSuffix, QString());
    QCOMPARE(g_Buttons.BUTTON[0].ENABLE, 1);
    QVERIFY(Launch(0)->isVisible());

    // A name the records cannot hold is refused; nothing changes.
    answer = m_dir->filePath(QString(300, QLatin1Char('n')) + QStringLiteral(".PUC"));
    QTest::mouseClick(m_panel->DlgItem<QPushButton>(IDC_LOAD), Qt::LeftButton);
    answer = m_dir->filePath(QString::fromUtf8("日本.PUC"));
    QTest::mouseClick(m_panel->DlgItem<QPushButton>(IDC_SAVE_AS), Qt::LeftButton);
    QCOMPARE(m_boxes.size(), 2);
    QVERIFY(m_boxes[1].text.contains(QString::fromUtf8("日本.PUC")));
    QCOMPARE(QByteArray(g_Settings.LASTPROG), QByteArray("other.PUC"));
    QVERIFY(!QFile::exists(answer));

    // Cancel changes nothing.
    SetFileDialogHandler([](const FileDialogRequest &) { return FileDialogResult{}; });
    QTest::mouseClick(m_panel->DlgItem<QPushButton>(IDC_LOAD), Qt::LeftButton);
    QCOMPARE(QByteArray(g_Settings.LASTPROG), QByteArray("other.PUC"));
}

void TestCPlaxonDlg::failedSavesAreReported()
{
    QVERIFY(Open());
    // The button set's folder vanishes: the editor's save fails and says so.
    CopyText(g_Settings.LASTFNAME, "gone/set.PUC");
    QTest::mouseClick(m_panel->DlgItem<QPushButton>(IDC_EDITOR), Qt::LeftButton);
    QCOMPARE(m_boxes.size(), 1);
    QVERIFY(m_boxes[0].text.contains(QStringLiteral("gone/set.PUC")));
    // No button set file at all: nothing is saved and nothing reported.
    g_Settings.LASTFNAME[0] = '\0';
    QTest::mouseClick(m_panel->DlgItem<QPushButton>(IDC_EDITOR), Qt::LeftButton);
    QCOMPARE(m_boxes.size(), 1);

    // The settings file cannot be written: the entered values stay in memory.
    QVERIFY(QDir("PLAXONDATA").removeRecursively());
    QFile blocker("PLAXONDATA");
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    m_panel->settingsDialog = [] {
        CopyText(g_Settings.PC[3].ADDRESS, "10.1.2.3");
        CopyText(g_Settings.PC[3].SOCKET, "0,900");
        g_Settings.PC[0].ENABLE = 0;
        return IDOK;
    };
    QTest::mouseClick(m_panel->DlgItem<QPushButton>(IDC_SETTINGS), Qt::LeftButton);
    QCOMPARE(m_boxes.size(), 2);
    QVERIFY(m_boxes[1].text.contains(QStringLiteral("PLAXONDATA/PlaxonCfg.xml")));
    QCOMPARE(QByteArray(g_Settings.PC[3].ADDRESS), QByteArray("10.1.2.3"));
    QCOMPARE(g_Settings.PC[3].PORT[0], 700u);
    QCOMPARE(g_Settings.PC[3].PORT[1], 900u);
    QCOMPARE(g_Settings.PC[0].ENABLE, 1);
}

// A name service that does not answer until the test lets it.
class HungLookup {
public:
    ~HungLookup() { Release(); }
    LookupFunction Function()
    {
        return [this](const char *, uint32_t, Ipv4SocketAddress *) {
            std::unique_lock lock(m_mutex);
            ++m_inside;
            m_cv.wait(lock, [this] { return m_released; });
            --m_inside;
            return WSAEINVAL;
        };
    }
    int Inside()
    {
        std::lock_guard lock(m_mutex);
        return m_inside;
    }
    void Release()
    {
        {
            std::lock_guard lock(m_mutex);
            m_released = true;
        }
        m_cv.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    int m_inside = 0;
    bool m_released = false;
};

void TestCPlaxonDlg::rebuildsDuringAHungLookupNeitherWaitNorPileUpThreads()
{
    constexpr int kRebuilds = 8;
    ConfigureStation(0, true, "hung.test", {m_sink[0].Port()});
    QCOMPARE(SaveSettings(), 0);
    HungLookup lookup;
    CPlaxonApp app;
    int windows = 0;
    int mostThreads = 0;
    qint64 longestRebuild = 0;
    QElapsedTimer rebuild;
    app.makeWindow = [&lookup](int templateId) { return new TestPanel(templateId, nullptr, lookup.Function()); };
    app.onWindow = [&](CPlaxonDlg &window) {
        if (rebuild.isValid())
            longestRebuild = std::max(longestRebuild, rebuild.elapsed());
        mostThreads = std::max(mostThreads, Resolver::LiveThreads());
        auto &panel = static_cast<TestPanel &>(window);
        panel.settingsDialog = [] { return RESTART_RESULT; };
        const int pass = windows++;
        QTimer::singleShot(0, &panel, [&, pass] {
            if (pass == 0)
                QTRY_COMPARE(lookup.Inside(), 1); // the first window's lookup hangs
            if (pass < kRebuilds) {
                rebuild.start();
                QTest::mouseClick(panel.DlgItem<QPushButton>(IDC_SETTINGS), Qt::LeftButton);
            } else {
                QTest::keyClick(&panel, Qt::Key_Escape);
            }
        });
    };
    QVERIFY(!app.InitInstance());
    QCOMPARE(windows, kRebuilds + 1);
    QVERIFY2(longestRebuild < 1000, qPrintable(QStringLiteral("a rebuild took %1 ms").arg(longestRebuild)));
    // The window's own resolver and the one left inside the hung lookup.
    QVERIFY2(mostThreads <= 2, qPrintable(QStringLiteral("%1 resolver threads at once").arg(mostThreads)));
    QCOMPARE(lookup.Inside(), 1);
    lookup.Release();
    QTRY_COMPARE(Resolver::LiveThreads(), 0);
}

void TestCPlaxonDlg::restartBuildsANewWindowFromTheSavedSettings()
{
    QCOMPARE(SaveSettings(), 0);
    CPlaxonApp app;
    QList<int> templates;
    int windows = 0;
    app.makeWindow = [](int templateId) { return new TestPanel(templateId); };
    app.onWindow = [&](CPlaxonDlg &window) {
        auto &panel = static_cast<TestPanel &>(window);
        templates.append(app.CurrentTemplate());
        const int pass = windows++;
        panel.settingsDialog = [] {
            g_Settings.DIALOG = 1; // a new layout asks for a new window
            return RESTART_RESULT;
        };
        QTimer::singleShot(0, &panel, [&panel, pass] {
            if (pass == 0)
                QTest::mouseClick(panel.DlgItem<QPushButton>(IDC_SETTINGS), Qt::LeftButton);
            else
                QTest::keyClick(&panel, Qt::Key_Escape); // any other end ends the program
        });
    };
    QVERIFY(!app.InitInstance());
    QCOMPARE(windows, 2);
    QCOMPARE(templates, QList<int>({IDD_PLAXON_5X8, IDD_PLAXON_10X4}));
    QCOMPARE(g_Settings.DIALOG, 1);
    QCOMPARE(Resolver::LiveThreads(), 0);
}

namespace {

// Closes the next modal dialog of type T with result once it is up; true in found when it was a T.
template <typename T>
void CloseNextModal(bool &found, int result)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, &found, result] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            found = qobject_cast<T *>(modal) != nullptr;
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->done(result);
            poll->deleteLater();
        }
    });
    poll->start(20);
}

} // namespace

void TestCPlaxonDlg::settingsAndEditorButtonsRunTheRealDialogs()
{
    auto *plain = new CPlaxonDlg(IDD_PLAXON_5X8); // the real entry points, no stand-ins
    std::unique_ptr<CPlaxonDlg> owner(plain);
    QVERIFY(plain->Create(IDD_PLAXON_5X8, nullptr));
    plain->show();
    QVERIFY(QTest::qWaitForWindowExposed(plain));

    bool found = false;
    QFile::remove(SETTINGS_PATH);
    CloseNextModal<ConfigDlg>(found, IDCANCEL);
    QTest::mouseClick(plain->DlgItem<QPushButton>(IDC_SETTINGS), Qt::LeftButton);
    QVERIFY(found);
    QVERIFY(QFile::exists(SETTINGS_PATH)); // saved whatever the dialog's result

    found = false;
    QVERIFY(QFile::remove("set.PUC"));
    CloseNextModal<EditMain>(found, IDCANCEL);
    QTest::mouseClick(plain->DlgItem<QPushButton>(IDC_EDITOR), Qt::LeftButton);
    QVERIFY(found);
    QVERIFY(QFile::exists("set.PUC")); // the button set written back to LASTFNAME
}

void TestCPlaxonDlg::enterNeverLaunchesNorOpensADialog_data()
{
    QTest::addColumn<int>("focus");
    QTest::addColumn<int>("next");
    QTest::newRow("clicked launch button") << 1001 << 1002;
    QTest::newRow("program name 2202") << int(IDC_PROGRAM_NAME) << int(IDC_EDITOR);
    QTest::newRow("check box PC2") << IDC_PC1 + 1 << int(IDC_BRIGHT_SLIDER); // PC3 and PC4 are greyed
    QTest::newRow("trackbar") << int(IDC_BRIGHT_SLIDER) << int(IDC_BRIGHT_SET);
    QTest::newRow("Load button") << int(IDC_LOAD) << int(IDC_SAVE_AS);
}

void TestCPlaxonDlg::enterNeverLaunchesNorOpensADialog()
{
    QFETCH(int, focus);
    QFETCH(int, next);
    QVERIFY(Open());
    m_panel->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_panel.get()));
    WaitForLinks(LINKS_FULL);
    int fileDialogs = 0;
    SetFileDialogHandler([&](const FileDialogRequest &) {
        ++fileDialogs;
        return FileDialogResult{};
    });
    // No button is the window's default, so none is drawn as one.
    for (int i = 0; i < m_panel->ControlCount(); ++i)
        if (auto *button = qobject_cast<QPushButton *>(m_panel->ControlAt(i)))
            QVERIFY2(!button->isDefault(), qPrintable(QString::number(m_panel->ControlIdAt(i))));

    if (focus == IDC_LAUNCH_FIRST) {
        QTest::mouseClick(Launch(0), Qt::LeftButton);
        QTRY_COMPARE(m_sink[0].Received(), Run(CMD_RUN, "show\\intro"));
        QCOMPARE(QApplication::focusWidget(), Launch(0));
        for (RecordSink &sink : m_sink)
            sink.ClearReceived();
    } else {
        m_panel->GetDlgItem(focus)->setFocus();
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(TemplateBuilder::ControlId(QApplication::focusWidget()), next);
    QTest::qWait(300);
    for (RecordSink &sink : m_sink)
        QCOMPARE(sink.Received(), QByteArray());
    QCOMPARE(fileDialogs, 0);
    QCOMPARE(m_boxes.size(), 0);

    // Space on a focused launch button still launches.
    if (focus == IDC_LAUNCH_FIRST) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QTRY_COMPARE(m_sink[0].Received(), Run(CMD_RUN_INLINE, "overlay\\clock"));
    }
}

void TestCPlaxonDlg::buttonsBelowTheCutTakeNoFocus_data()
{
    QTest::addColumn<int>("dialog");
    QTest::addColumn<int>("templateId");
    QTest::addColumn<int>("cut");
    QTest::newRow("10 (5x2)") << 7 << int(IDD_PLAXON_5X8) << 1011;
    QTest::newRow("30 (10x3)") << 3 << int(IDD_PLAXON_10X4) << 1031;
    QTest::newRow("wide 10") << 13 << int(IDD_PLAXON_WIDE) << 1011;
}

void TestCPlaxonDlg::buttonsBelowTheCutTakeNoFocus()
{
    QFETCH(int, dialog);
    QFETCH(int, templateId);
    QFETCH(int, cut);
    g_Settings.DIALOG = uint8_t(dialog);
    for (int k = 0; k < BUTTON_COUNT; ++k)
        SetButton(k, "b", {"p", "q", ""});
    QCOMPARE(SaveButtonSet("set.PUC"), 0);
    QVERIFY(Open(templateId));
    m_panel->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_panel.get()));
    WaitForLinks(LINKS_FULL);
    QVERIFY(Launch(cut - IDC_LAUNCH_FIRST)->isVisible()); // shown, but out of view

    // Tab and Enter from the last button in view, twice round the window.
    for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Return}) {
        Launch(cut - IDC_LAUNCH_FIRST - 1)->setFocus();
        QList<int> reached;
        for (int i = 0; i < 2 * m_panel->ControlCount(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), key);
            reached << TemplateBuilder::ControlId(QApplication::focusWidget());
        }
        QVERIFY(reached.contains(IDC_LOAD)); // the walk went round
        for (int id : reached)
            QVERIFY2(id < cut || id > IDC_LAUNCH_LAST, qPrintable(QStringLiteral("%1 reached %2").arg(key).arg(id)));
    }
    // A click cannot give it the focus either, so Space cannot launch it.
    QCOMPARE(Launch(cut - IDC_LAUNCH_FIRST)->focusPolicy(), Qt::NoFocus);
    QCOMPARE(Launch(BUTTON_COUNT - 1)->focusPolicy(), Qt::NoFocus);
    QTest::qWait(200);
    for (RecordSink &sink : m_sink)
        QCOMPARE(sink.Received(), QByteArray());
}

void TestCPlaxonDlg::saveAsIntoAMissingFolderChangesNothing()
{
    QVERIFY(Open());
    QCOMPARE(SaveSettings(), 0);
    QFile settings(SETTINGS_PATH);
    QVERIFY(settings.open(QIODevice::ReadOnly));
    const QByteArray before = settings.readAll();
    settings.close();
    const QString missing = m_dir->filePath(QStringLiteral("nonexist/x.puc"));
    SetFileDialogHandler([&](const FileDialogRequest &) { return FileDialogResult{true, QStringLiteral("x.puc"), missing}; });
    QTest::mouseClick(m_panel->DlgItem<QPushButton>(IDC_SAVE_AS), Qt::LeftButton);
    QCOMPARE(QByteArray(g_Settings.LASTPROG), QByteArray("set.PUC"));
    QCOMPARE(QByteArray(g_Settings.LASTFNAME), QByteArray("set.PUC"));
    QCOMPARE(m_panel->DlgItem<QLineEdit>(IDC_PROGRAM_NAME)->text(), QStringLiteral("set.PUC"));
    QVERIFY(settings.open(QIODevice::ReadOnly));
    QCOMPARE(settings.readAll(), before);
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("nonexist"))));
    QCOMPARE(m_boxes.size(), 0); // no failed save to report
}

void TestCPlaxonDlg::trackbarAndTooltipsShowTheirText()
{
    SetButton(5, "Bold", {"<b>Intro</b>", "", ""});
    QCOMPARE(SaveButtonSet("set.PUC"), 0);
    g_Settings.PC[1].ENABLE = 0;
    QVERIFY(Open());
    const auto hover = [](QWidget *w) {
        QToolTip::hideText();
        QTRY_VERIFY(!QToolTip::isVisible());
        QHelpEvent help(QEvent::ToolTip, QPoint(4, 4), w->mapToGlobal(QPoint(4, 4)));
        QApplication::sendEvent(w, &help);
        QTRY_VERIFY(QToolTip::isVisible());
    };

    // The trackbar's own tip answers: the window has no text of its own for it.
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(m_panel.get(), Qt::Key_F6);
    hover(m_panel->GetDlgItem(IDC_BRIGHT_SLIDER));
    QCOMPARE(QToolTip::text(), QStringLiteral("30"));

    // Markup in a program name is shown as typed, its two blanks kept.
    hover(Launch(5));
    QTextDocument shown;
    shown.setHtml(QToolTip::text());
    QCOMPARE(shown.toPlainText(), QStringLiteral("PC1:  <b>Intro</b>"));
    QToolTip::hideText();
}

void TestCPlaxonDlg::markersGreyWhileAStationIsUnreachable()
{
    QVERIFY(Open());
    WaitForLinks(LINKS_FULL);
    MyCButton *both = Launch(0); // markers of stations 1 and 2
    MyCButton *first = Launch(1); // station 1 only
    QCOMPARE(both->Flags(), 0x03u);
    QTRY_COMPARE(SecondMarkerDigit(both), QColor(0, 128, 0));
    PaintCounter bothPaints(both);
    PaintCounter firstPaints(first);
    QTest::qWait(1200); // ticks that change nothing repaint nothing
    QCOMPARE(bothPaints.paints, 0);

    // Station 2's only link goes down: its digit turns grey, in place.
    const quint16 port = m_sink[2].Port();
    m_sink[2].StopListening();
    m_sink[2].DropConnections();
    QTRY_COMPARE_WITH_TIMEOUT(SecondMarkerDigit(both), QColor(128, 128, 128), 5000);
    QVERIFY(bothPaints.paints > 0);
    QCOMPARE(firstPaints.paints, 0); // no marker of station 2 on it
    const QImage grey = both->grab().toImage();
    QCOMPARE(grey.pixelColor(both->width() - 18 + 3, both->height() - 16 + 10), QColor(255, 0, 0)); // station 1

    // Back in colour once it listens again.
    QVERIFY(m_sink[2].Listen(port));
    QTRY_COMPARE_WITH_TIMEOUT(SecondMarkerDigit(both), QColor(0, 128, 0), 10000);
    // Every station reachable: the pixels of the plain button.
    MyCButton plain;
    plain.resize(both->size());
    plain.SetFlags(both->Flags());
    plain.setText(both->text());
    plain.setFont(both->font());
    QCOMPARE(both->grab().toImage().convertToFormat(QImage::Format_RGB32),
             plain.grab().toImage().convertToFormat(QImage::Format_RGB32));
}

void TestCPlaxonDlg::lastLaunchBarMovesAndGoes()
{
    QVERIFY(Open());
    WaitForLinks(LINKS_FULL);
    const QColor highlight = Launch(0)->palette().color(QPalette::Highlight);
    const auto barShown = [this, highlight](int k) {
        const QImage image = Launch(k)->grab().toImage();
        return image.pixelColor(3, image.height() / 2) == highlight;
    };
    const auto launch = [this](int k) { QTest::mouseClick(Launch(k), Qt::LeftButton); };
    const auto press = [this](int id) { QTest::mouseClick(m_panel->DlgItem<QPushButton>(id), Qt::LeftButton); };

    QCOMPARE(m_panel->LastLaunch(), -1);
    launch(0);
    QCOMPARE(m_panel->LastLaunch(), 0);
    QVERIFY(barShown(0));
    launch(1);
    QCOMPARE(m_panel->LastLaunch(), 1);
    QVERIFY(!barShown(0));
    QVERIFY(barShown(1));
    launch(2); // its only program is for a disabled station: nothing built, the mark stays
    QCOMPARE(m_panel->LastLaunch(), 1);
    press(IDC_PLAY);
    press(IDC_PAUSE);
    QCOMPARE(m_panel->LastLaunch(), 1);
    press(IDC_STOP);
    QCOMPARE(m_panel->LastLaunch(), -1);
    QVERIFY(!barShown(1));

    launch(0);
    SetFileDialogHandler([](const FileDialogRequest &) {
        return FileDialogResult{true, QStringLiteral("set.PUC"), QDir::current().filePath(QStringLiteral("set.PUC"))};
    });
    press(IDC_LOAD);
    QCOMPARE(m_panel->LastLaunch(), -1);
    QVERIFY(!barShown(0));
    launch(0);
    press(IDC_EDITOR);
    QCOMPARE(m_panel->LastLaunch(), -1);
    QVERIFY(!barShown(0));
    launch(0);
    press(IDC_SAVE_AS); // not among what removes it
    QCOMPARE(m_panel->LastLaunch(), 0);
}

void TestCPlaxonDlg::statusTooltipTellsTheLastDelivery_data()
{
    QTest::addColumn<int>("lang");
    QTest::addColumn<QString>("head");
    QTest::addColumn<QString>("taken");
    QTest::addColumn<QString>("refused");
    QTest::newRow("English") << 1 << QStringLiteral("Last command: CMD_RUN, sent at ")
                             << QStringLiteral("%1 of %2 links took the whole record")
                             << QStringLiteral("; port %1: not connected");
    QTest::newRow("Czech") << 0 << QString::fromUtf8("Poslední příkaz: CMD_RUN, odeslán v ")
                           << QString::fromUtf8("celý záznam převzalo %1 z %2 spojení")
                           << QString::fromUtf8("; port %1: nepřipojeno");
}

void TestCPlaxonDlg::statusTooltipTellsTheLastDelivery()
{
    QFETCH(int, lang);
    QFETCH(QString, head);
    QFETCH(QString, taken);
    QFETCH(QString, refused);
    const uint16_t refusing = RefusingPort();
    ConfigureStation(2, true, "127.0.0.1", {refusing});
    g_Settings.LANG = uint8_t(lang);
    QVERIFY(Open());
    WaitForLinks(LINKS_PARTIAL);
    QTRY_VERIFY(Link(8).Error() != 0);
    // Before any command: the status list alone.
    QCOMPARE(LinkTooltip(), WrapToolTipText(StatusListText().replace(QStringLiteral("\r\n"), QStringLiteral("\n"))));

    const QTime before = QTime::currentTime();
    QTest::mouseClick(Launch(0), Qt::LeftButton);
    const QString text = LinkTooltip();
    const QString list = StatusListText().replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QVERIFY2(text.startsWith(WrapToolTipText(list)), qPrintable(text));
    // The list's last line, one empty line, the delivery.
    const QStringList all = text.split(QLatin1Char('\n'));
    const qsizetype headAt = all.indexOf(QRegularExpression(QRegularExpression::escape(head) + QStringLiteral(".*")));
    QVERIFY2(headAt >= 2, qPrintable(text));
    QCOMPARE(all[headAt - 1], QString());
    QVERIFY(!all[headAt - 2].isEmpty());
    const QStringList delivery = text.mid(text.indexOf(head)).split(QLatin1Char('\n'));
    QCOMPARE(delivery.size(), 4);
    QVERIFY2(delivery[0].startsWith(head), qPrintable(delivery[0]));
    const QTime sentAt = QTime::fromString(delivery[0].mid(head.size()), QStringLiteral("HH:mm:ss"));
    QVERIFY(sentAt.isValid());
    QVERIFY(qAbs(sentAt.secsTo(before)) <= 2);
    // The stations were sent different programs: each line names its own.
    QCOMPARE(delivery[1], QStringLiteral("PC1 \"show\\intro\": ") + taken.arg(2).arg(2));
    QCOMPARE(delivery[2], QStringLiteral("PC2 \"show\\intro wide\": ") + taken.arg(1).arg(1));
    QCOMPARE(delivery[3], QStringLiteral("PC3 \"show\\intro 3\": ") + taken.arg(0).arg(1) + refused.arg(refusing));

    // One program for every station it went to: named once, on the first line.
    QTest::mouseClick(Launch(1), Qt::LeftButton);
    QVERIFY(DeliveryText(m_panel->LastDelivery()).contains(QStringLiteral(": CMD_RUN_INLINE \"overlay\\clock\",")));
    QVERIFY(DeliveryText(m_panel->LastDelivery()).contains(QStringLiteral("\r\nPC1: ")));
    // Brightness to PC1 only: its value on the first line, one station line.
    QTest::keyClick(m_panel.get(), Qt::Key_F1);
    QTest::keyClick(m_panel.get(), Qt::Key_F6);
    QTest::keyClick(m_panel.get(), Qt::Key_F8);
    const QStringList bright = DeliveryText(m_panel->LastDelivery()).split(QStringLiteral("\r\n"));
    QCOMPARE(bright.size(), 2);
    QVERIFY2(bright[0].contains(QStringLiteral("CMD_BRIGHTNESS 10,")), qPrintable(bright[0]));
    QCOMPARE(bright[1], QStringLiteral("PC1: ") + taken.arg(2).arg(2));
}

void TestCPlaxonDlg::statusTooltipTellsOfAFullQueue()
{
    g_Settings.LANG = 1;
    SetButton(3, "Two only", {"", "two\\only", ""});
    QCOMPARE(SaveButtonSet("set.PUC"), 0);
    m_sink[2].SetReading(false); // station 2 stops reading
    QVERIFY(Open());
    WaitForLinks(LINKS_FULL);
    const auto outcome = [this] { return m_panel->LastDelivery().station[1].link[0].outcome; };
    // One station, one program: named on the first line.
    const QString line = QStringLiteral("PC2: 0 of 1 links took the whole record; port %1: ").arg(m_sink[2].Port());
    QString whileQueued;
    for (int n = 0; n < 1000000 && outcome() != LinkOutcome::Dropped; ++n) {
        Launch(3)->click();
        if (whileQueued.isEmpty() && outcome() == LinkOutcome::Queued)
            whileQueued = LinkTooltip();
    }
    m_sink[2].SetReading(true);
    QCOMPARE(outcome(), LinkOutcome::Dropped);
    QVERIFY2(whileQueued.contains(line + QStringLiteral("waiting in queue")), qPrintable(whileQueued));
    QVERIFY2(LinkTooltip().contains(line + QStringLiteral("dropped: queue full")), qPrintable(LinkTooltip()));
}

void TestCPlaxonDlg::journalKeepsCommandsAndLinkChanges()
{
    QVERIFY(Open());
    WaitForLinks(LINKS_FULL);
    const QString pc2 = QStringLiteral("link  PC2 127.0.0.1:%1  ").arg(m_sink[2].Port());
    QTRY_COMPARE(JournalTexts().filter(QStringLiteral("connected")).size(), 3);
    QVERIFY(JournalTexts().contains(pc2 + QStringLiteral("connected")));

    QTest::mouseClick(Launch(0), Qt::LeftButton);
    QTest::keyClick(m_panel.get(), Qt::Key_F2);
    QTest::keyClick(m_panel.get(), Qt::Key_F6);
    QTest::keyClick(m_panel.get(), Qt::Key_F8);
    QTest::mouseClick(m_panel->DlgItem<QPushButton>(IDC_STOP), Qt::LeftButton);
    // Where each came from, a launch with its button; each line is written
    // once the stations' machines acknowledged its records.
    QTRY_COMPARE(JournalTexts().mid(3), QStringList({
        QStringLiteral("CMD_RUN  panel  button 1 \"Intro\"  PC1 \"show\\intro\" 2/2  PC2 \"show\\intro wide\" 1/1"),
        QStringLiteral("CMD_BRIGHTNESS  panel  10  PC2 1/1"),
        QStringLiteral("CMD_STOP  panel  PC1 2/2  PC2 1/1"),
    }));

    // Station 2 goes away, after reading all it got, and comes back.
    QTRY_VERIFY(m_sink[2].Received().endsWith(RecordBytes(CMD_STOP)));
    const quint16 port = m_sink[2].Port();
    m_sink[2].StopListening();
    m_sink[2].DropConnections();
    QTRY_VERIFY(JournalTexts().size() == 7);
    QCOMPARE(JournalTexts().last(), pc2 + QString::fromUtf8("lost  0  Stanice ukončila spojení."));
    QTest::mouseClick(Launch(0), Qt::LeftButton);
    QTRY_COMPARE(JournalTexts().size(), 8);
    QCOMPARE(JournalTexts().last(),
             QStringLiteral("CMD_RUN  panel  button 1 \"Intro\"  PC1 \"show\\intro\" 2/2  PC2 \"show\\intro wide\" 0/1 "
                            "(%1 not connected)")
                 .arg(port));
    QVERIFY(m_sink[2].Listen(port));
    QTRY_COMPARE_WITH_TIMEOUT(JournalTexts().size(), 9, 10000);
    QCOMPARE(JournalTexts().last(), pc2 + QStringLiteral("connected"));

    // Closing the window closes the links on purpose.
    m_panel.reset();
    QCOMPARE(JournalTexts().mid(9).filter(QStringLiteral("  closed")).size(), 3);
}

void TestCPlaxonDlg::unwritableJournalDoesNotStopThePanel()
{
    QVERIFY(QDir().mkpath("PLAXONDATA"));
    QFile blocker("PLAXONDATA/journal");
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    g_Settings.LANG = 1;
    QVERIFY(Open());
    WaitForLinks(LINKS_FULL);
    QTest::mouseClick(Launch(0), Qt::LeftButton);
    QTRY_COMPARE(m_sink[2].Received(), Run(CMD_RUN, "show\\intro wide"));
    const QString text = LinkTooltip();
    QVERIFY2(text.contains(QStringLiteral("\n\nThe journal cannot be written: PLAXONDATA")), qPrintable(text));
    QCOMPARE(text.count(QStringLiteral("journal cannot be written")), 1);
    QTest::mouseClick(Launch(0), Qt::LeftButton); // still sent; still one message
    QTRY_COMPARE(m_sink[2].Received().size(), 208);
    QCOMPARE(LinkTooltip().count(QStringLiteral("journal cannot be written")), 1);
}

void TestCPlaxonDlg::refusedPressSaysSo_data()
{
    QTest::addColumn<int>("lang");
    QTest::addColumn<int>("control");
    QTest::addColumn<QString>("tip");
    QTest::addColumn<QString>("line");
    const QString noLinks = QStringLiteral("no station is connected");
    QTest::newRow("launch, English") << 1 << IDC_LAUNCH_FIRST + 4
                                     << QStringLiteral("Nothing sent: no station is connected")
                                     << QStringLiteral("refused  panel  launch 5 \"Finale\"  ") + noLinks;
    QTest::newRow("launch, Czech") << 0 << IDC_LAUNCH_FIRST + 4
                                   << QString::fromUtf8("Nic neodesláno: žádná stanice není připojena")
                                   << QStringLiteral("refused  panel  launch 5 \"Finale\"  ") + noLinks;
    QTest::newRow("PLAY") << 1 << int(IDC_PLAY) << QStringLiteral("Nothing sent: no station is connected")
                          << QStringLiteral("refused  panel  play  ") + noLinks;
    QTest::newRow("PAUSE") << 1 << int(IDC_PAUSE) << QStringLiteral("Nothing sent: no station is connected")
                           << QStringLiteral("refused  panel  pause  ") + noLinks;
    QTest::newRow("STOP, Czech") << 0 << int(IDC_STOP)
                                 << QString::fromUtf8("Nic neodesláno: žádná stanice není připojena")
                                 << QStringLiteral("refused  panel  stop  ") + noLinks;
}

// A press that sends nothing says so at the pressed control, for a moment,
// and in the journal; the panel goes on taking input meanwhile.
void TestCPlaxonDlg::refusedPressSaysSo()
{
    QFETCH(int, lang);
    QFETCH(int, control);
    QFETCH(QString, tip);
    QFETCH(QString, line);
    ConfigureStation(0, true, "127.0.0.1", {RefusingPort()});
    ConfigureStation(1, false, "127.0.0.1", {m_sink[2].Port()});
    SetButton(4, "Finale", {"show\\finale"});
    QCOMPARE(SaveButtonSet("set.PUC"), 0);
    g_Settings.LANG = uint8_t(lang);
    QVERIFY(Open());
    QTRY_VERIFY(Link(0).Error() != 0);
    QToolTip::hideText();
    QWidget *pressed = m_panel->GetDlgItem(control);
    QTest::mouseClick(pressed, Qt::LeftButton);
    QVERIFY(QToolTip::isVisible());
    QTextDocument shown;
    shown.setHtml(QToolTip::text());
    QCOMPARE(shown.toPlainText(), tip);
    // At the pressed control: its tip window lies on or just below it.
    const QRect at(pressed->mapToGlobal(QPoint(0, 0)), pressed->size());
    QWidget *tipWindow = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->inherits("QTipLabel") && w->isVisible())
            tipWindow = w;
    QVERIFY(tipWindow);
    QVERIFY2(qAbs(tipWindow->geometry().top() - at.bottom()) < 40 && tipWindow->geometry().left() < at.right()
                 && tipWindow->geometry().right() > at.left(),
             qPrintable(QStringLiteral("tip at %1,%2, control at %3,%4").arg(tipWindow->x()).arg(tipWindow->y()).arg(at.x()).arg(at.y())));
    // Input goes on while it shows: F1 still ticks PC1.
    QTest::keyClick(m_panel.get(), Qt::Key_F1);
    QCOMPARE(m_panel->PcFlags()[0], 1);
    QCOMPARE(JournalTexts().filter(QStringLiteral("refused")), QStringList({line}));
    // It goes by itself after about two seconds.
    QTRY_VERIFY_WITH_TIMEOUT(!QToolTip::isVisible(), CPlaxonDlg::REFUSAL_TIP_MS + 3000);
    for (RecordSink &sink : m_sink)
        QCOMPARE(sink.Received(), QByteArray());
}

// A launch goes as soon as a link is up, not only after the next tick has
// seen it: right after the links come up, the last tick still says "none".
void TestCPlaxonDlg::rulesGoByTheLiveLinks()
{
    bool caught = false;
    for (int attempt = 0; attempt < 5 && !caught; ++attempt) {
        m_panel.reset();
        for (RecordSink &sink : m_sink)
            sink.ClearReceived();
        QVERIFY(Open());
        QTRY_VERIFY_WITH_TIMEOUT(LinkState() != LINKS_NONE, 5000);
        if (LastTickLinkState() != LINKS_NONE)
            continue; // the next tick came first; try again
        caught = true;
        QTest::mouseClick(Launch(0), Qt::LeftButton);
        QVERIFY(m_panel->LastDelivery().Built());
    }
    QVERIFY2(caught, "the links never came up between two ticks");
    QTRY_VERIFY(m_sink[0].Received() == Run(CMD_RUN, "show\\intro") || m_sink[2].Received() == Run(CMD_RUN, "show\\intro wide"));
}

// A double click on a launch button is one launch; on PLAY it is two, as
// ordinary push buttons give.
void TestCPlaxonDlg::doubleClickLaunchesOnce()
{
    QVERIFY(Open());
    WaitForLinks(LINKS_FULL);
    const auto doubleClick = [](QWidget *w) {
        QTest::mouseClick(w, Qt::LeftButton);
        QTest::mousePress(w, Qt::LeftButton);
        QTest::mouseDClick(w, Qt::LeftButton);
        QTest::mouseRelease(w, Qt::LeftButton);
    };
    doubleClick(Launch(0));
    doubleClick(m_panel->DlgItem<QPushButton>(IDC_PLAY));
    const QByteArray play = RecordBytes(CMD_PLAY);
    QTRY_COMPARE(m_sink[0].Received(), Run(CMD_RUN, "show\\intro") + play + play);
    QTRY_COMPARE(m_sink[1].Received(), Run(CMD_RUN, "show\\intro") + play + play);
    QTRY_COMPARE(m_sink[2].Received(), Run(CMD_RUN, "show\\intro wide") + play + play);
    QCOMPARE(JournalTexts().filter(QStringLiteral("CMD_RUN")).size(), 1);
}

// A set built in a fresh folder (no LASTFNAME) is offered a file when the
// editor closes with OK; cancelled, the set stays in the panel.
void TestCPlaxonDlg::newSetIsOfferedAFile()
{
    g_Settings.LASTFNAME[0] = '\0';
    g_Settings.LASTPROG[0] = '\0';
    g_Buttons = ButtonTable{};
    g_Settings.LANG = 1;
    QVERIFY(Open());
    m_boxes.clear();
    m_panel->buttonEditor = [this] {
        SetButton(0, "New", {"new\\one"});
        return IDOK;
    };
    QList<FileDialogRequest> requests;
    SetFileDialogHandler([&requests](const FileDialogRequest &r) {
        requests << r;
        return FileDialogResult{};
    });
    QTest::mouseClick(m_panel->DlgItem<QPushButton>(IDC_EDITOR), Qt::LeftButton);
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests[0].kind, FileDialogRequest::Save);
    QCOMPARE(requests[0].title, QStringLiteral("Save the new button set"));
    QVERIFY(Launch(0)->isVisible()); // cancelled: still in the panel
    QCOMPARE(QByteArray(g_Buttons.BUTTON[0].NAME), QByteArray("New"));
    QVERIFY(m_panel->ButtonSetUnsaved());

    // In Czech, and this time a file is chosen: the set goes there.
    g_Settings.LANG = 0;
    const QString path = QDir::current().filePath(QStringLiteral("PLAXONDATA/new.PUC"));
    QVERIFY(QDir().mkpath(QStringLiteral("PLAXONDATA")));
    SetFileDialogHandler([&requests, path](const FileDialogRequest &r) {
        requests << r;
        return FileDialogResult{true, QStringLiteral("new.PUC"), path};
    });
    QTest::mouseClick(m_panel->DlgItem<QPushButton>(IDC_EDITOR), Qt::LeftButton);
    QCOMPARE(requests.size(), 2);
    QCOMPARE(requests[1].title, QString::fromUtf8("Uložit novou sadu tlačítek"));
    QVERIFY(QFile::exists(path));
    QVERIFY(!m_panel->ButtonSetUnsaved());
    QCOMPARE(QByteArray(g_Settings.LASTPROG), QByteArray("new.PUC"));

    // With a file, OK saves there and offers nothing; Cancel in a fresh folder offers nothing either.
    QTest::mouseClick(m_panel->DlgItem<QPushButton>(IDC_EDITOR), Qt::LeftButton);
    QCOMPARE(requests.size(), 2);
    g_Settings.LASTFNAME[0] = '\0';
    m_panel->buttonEditor = [] { return IDCANCEL; };
    QTest::mouseClick(m_panel->DlgItem<QPushButton>(IDC_EDITOR), Qt::LeftButton);
    QCOMPARE(requests.size(), 2);
    QCOMPARE(m_boxes.size(), 0);
}

void TestCPlaxonDlg::closingAsksOnceForASetInNoFile_data()
{
    QTest::addColumn<int>("lang");
    QTest::addColumn<bool>("closeBox"); // the close box, else Esc
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("chooseFile"); // Yes: the Save As dialog picks a file
    QTest::addColumn<bool>("closes");
    QTest::newRow("Esc, Cancel") << 1 << false << MSG_CANCEL << false << false;
    QTest::newRow("close box, No") << 1 << true << MSG_NO << false << true;
    QTest::newRow("Esc, Yes, saved") << 0 << false << MSG_YES << true << true;
    QTest::newRow("Esc, Yes, Save As cancelled") << 1 << false << MSG_YES << false << false;
}

// A window that closes with a set in no file asks once, Yes / No / Cancel;
// with the set saved it asks nothing.
void TestCPlaxonDlg::closingAsksOnceForASetInNoFile()
{
    QFETCH(int, lang);
    QFETCH(bool, closeBox);
    QFETCH(int, answer);
    QFETCH(bool, chooseFile);
    QFETCH(bool, closes);
    g_Settings.LANG = uint8_t(lang);
    QVERIFY(Open());
    const auto close = [this, closeBox] {
        if (closeBox)
            m_panel->close();
        else
            QTest::keyClick(m_panel.get(), Qt::Key_Escape);
    };
    // Saved: the ordinary Esc, nothing asked.
    m_boxes.clear();
    close();
    QCOMPARE(m_boxes.size(), 0);
    QVERIFY(!m_panel->isVisible());
    QCOMPARE(m_panel->result(), int(IDCANCEL));

    g_Settings.LASTFNAME[0] = '\0'; // the set came from an editor in a fresh folder
    QVERIFY(Open());
    m_boxes.clear();
    SetMessageBoxHandler([this, answer](const MessageBoxCall &call) {
        m_boxes.append(call);
        return answer;
    });
    const QString path = QDir::current().filePath(QStringLiteral("kept.PUC"));
    int fileDialogs = 0;
    SetFileDialogHandler([&fileDialogs, chooseFile, path](const FileDialogRequest &) {
        ++fileDialogs;
        return chooseFile ? FileDialogResult{true, QStringLiteral("kept.PUC"), path} : FileDialogResult{};
    });
    close();
    QCOMPARE(m_boxes.size(), 1);
    QCOMPARE(m_boxes[0].text, lang == 1 ? QStringLiteral("The button set is not saved. Save it?")
                                        : QString::fromUtf8("Sada tlačítek není uložena. Uložit ji?"));
    QCOMPARE(m_boxes[0].buttons, MsgButtons::YesNoCancel);
    QCOMPARE(fileDialogs, answer == MSG_YES ? 1 : 0);
    QCOMPARE(QFile::exists(path), chooseFile);
    QCOMPARE(m_panel->isVisible(), !closes);
    if (!closes) {
        QVERIFY(Launch(0)->isVisible());
        QCOMPARE(QByteArray(g_Buttons.BUTTON[0].NAME), QByteArray("Intro"));
    }
}

// A station that loses its last connection asks for the operator's
// attention; links the panel closes itself (settings) ask nothing.
void TestCPlaxonDlg::lostStationAsksForAttention()
{
    QVERIFY(Open());
    WaitForLinks(LINKS_FULL);
    QSignalSpy attention(m_panel.get(), &CPlaxonDlg::AttentionRequested);
    // The stations come back for the tests after this one, whatever happens here.
    const quint16 ports[] = {m_sink[1].Port(), m_sink[2].Port()};
    const auto relisten = qScopeGuard([this, ports] {
        m_sink[1].Listen(ports[0]);
        m_sink[2].Listen(ports[1]);
    });
    QTest::mouseClick(m_panel->DlgItem<QPushButton>(IDC_SETTINGS), Qt::LeftButton);
    WaitForLinks(LINKS_FULL);
    QCOMPARE(attention.size(), 0);

    // Station 1 loses one of its two links: it is still reached, no call.
    m_sink[1].StopListening();
    m_sink[1].DropConnections();
    QTRY_COMPARE_WITH_TIMEOUT(m_panel->Links().ShownState(), LINKS_PARTIAL, 5000);
    QCOMPARE(attention.size(), 0);
    // Station 2 loses its only one.
    m_sink[2].StopListening();
    m_sink[2].DropConnections();
    QTRY_COMPARE_WITH_TIMEOUT(attention.size(), 1, 5000);
    QCOMPARE(attention[0][0].toInt(), 2);
    QVERIFY(Launch(0)->Unreachable() & 0x02u);
}

QTEST_MAIN(TestCPlaxonDlg)
#include "tst_cplaxondlg.moc"
