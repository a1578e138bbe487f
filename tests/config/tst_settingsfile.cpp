#include "configmodel.h"
#include "settingsfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "testfiles.h"

#include <cstring>

namespace {

void WriteSettingsFile(const QByteArray &data)
{
    QVERIFY(QDir().mkpath("PLAXONDATA"));
    QFile f(SETTINGS_PATH);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

QByteArray StationBlock(int enable, const QByteArray &address = {}, const QByteArray &socket = {})
{
    return "\t<PC>\r\n\t\t<ENABLE>" + QByteArray::number(enable) + "</ENABLE>\r\n\t\t<ADDRESS>" + address
         + "</ADDRESS>\r\n\t\t<SOCKET>" + socket + "</SOCKET>\r\n\t\t<PATH></PATH>\r\n\t</PC>\r\n";
}

const QByteArray kDefaultFile = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                                "<PLAXON_CONFIG>\r\n"
                                "\t<LANG>0</LANG>\r\n"
                                "\t<DIALOG>0</DIALOG>\r\n"
                                "\t<DLG_MULTILINE>0</DLG_MULTILINE>\r\n"
                                "\t<BRIGHT_ENA>0</BRIGHT_ENA>\r\n"
                                "\t<LASTPROG></LASTPROG>\r\n"
                                "\t<LASTFNAME></LASTFNAME>\r\n"
                                + StationBlock(1) + StationBlock(0) + StationBlock(0) + StationBlock(0)
                                + "</PLAXON_CONFIG>\r\n";

void CheckDefaults()
{
    QCOMPARE(g_Settings.LANG, 0u);
    QCOMPARE(g_Settings.DIALOG, 0);
    QCOMPARE(g_Settings.DLG_MULTILINE, 0);
    QCOMPARE(g_Settings.BRIGHT_ENA, 0);
    QCOMPARE(g_Settings.LASTPROG[0], '\0');
    QCOMPARE(g_Settings.LASTFNAME[0], '\0');
    for (int s = 0; s < STATION_COUNT; ++s) {
        const StationRecord &pc = g_Settings.PC[s];
        QCOMPARE(pc.ENABLE, s == 0 ? 1 : 0);
        QCOMPARE(pc.ADDRESS[0], '\0');
        QCOMPARE(pc.SOCKET[0], '\0');
        QCOMPARE(pc.PATH[0], '\0');
        QCOMPARE(pc.PORT[0], 700u);
        QCOMPARE(pc.PORT[1], 0u);
        QCOMPARE(pc.PORT[2], 0u);
        QCOMPARE(pc.PORT[3], 0u);
    }
}

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void defaultsWithoutAFile();
    void defaultSaveIsByteExact();
    void roundTripsEveryField();
    void portList_data();
    void portList();
    void stationOneIsAlwaysEnabled();
    void tolerantLoading_data();
    void tolerantLoading();
    void failedSaveKeepsFileAndReports();
    void langOutsideTheTableReadsAsCzech();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previous;
};

void TestSettingsFile::init()
{
    m_previous = QDir::currentPath();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir::setCurrent(m_dir->path()));
    std::memset(&g_Settings, 0xAB, sizeof g_Settings); // loads must clear everything
}

void TestSettingsFile::cleanup()
{
    QDir::setCurrent(m_previous);
    m_dir.reset();
}

void TestSettingsFile::defaultsWithoutAFile()
{
    LoadSettings();
    CheckDefaults();
    QVERIFY(!QDir("PLAXONDATA").exists()); // loading creates nothing
}

void TestSettingsFile::defaultSaveIsByteExact()
{
    LoadSettings();
    QCOMPARE(SaveSettings(), 0); // creates the missing data directory
    const QByteArray file = ReadAll(SETTINGS_PATH);
    QCOMPARE(file, kDefaultFile);
    QCOMPARE(file.count("\r\n"), 33);
}

void TestSettingsFile::roundTripsEveryField()
{
    LoadSettings();
    g_Settings.LANG = 1;
    g_Settings.DIALOG = 13;
    g_Settings.DLG_MULTILINE = 1;
    g_Settings.BRIGHT_ENA = 1;
    CopyText(g_Settings.LASTPROG, "show & <tell>.PUC");
    CopyText(g_Settings.LASTFNAME, "/data/\xC8\x65sk\xE9/show & <tell>.PUC");
    g_Settings.PC[3].ENABLE = 1;
    CopyText(g_Settings.PC[3].ADDRESS, "station-4.local");
    CopyText(g_Settings.PC[3].SOCKET, "700,701");
    CopyText(g_Settings.PC[3].PATH, "/mnt/grafika/\x9Elu\x9Dou\xE8k\xFD");
    QCOMPARE(SaveSettings(), 0);
    const QByteArray file = ReadAll(SETTINGS_PATH);
    QVERIFY(file.contains("\t<LASTPROG>show &amp; &lt;tell&gt;.PUC</LASTPROG>\r\n"));
    QVERIFY(file.contains(QString::fromUtf8("<PATH>/mnt/grafika/žluťoučký</PATH>").toUtf8()));

    DerivePorts();
    SettingsRecord saved;
    std::memcpy(&saved, &g_Settings, sizeof saved);
    LoadSettings();
    QCOMPARE(g_Settings.LANG, 1u);
    QCOMPARE(g_Settings.DIALOG, 13);
    QCOMPARE(g_Settings.DLG_MULTILINE, 1);
    QCOMPARE(g_Settings.BRIGHT_ENA, 1);
    QCOMPARE(QByteArray(g_Settings.LASTFNAME), QByteArray(saved.LASTFNAME));
    QCOMPARE(QByteArray(g_Settings.PC[3].PATH), QByteArray(saved.PC[3].PATH));
    QCOMPARE(g_Settings.PC[3].PORT[1], 701u);
    QCOMPARE(std::memcmp(&g_Settings, &saved, sizeof saved), 0);
}

void TestSettingsFile::portList_data()
{
    QTest::addColumn<QByteArray>("socket");
    QTest::addColumn<QList<uint>>("ports");
    QTest::newRow("empty") << QByteArray() << QList<uint>{700, 0, 0, 0};
    QTest::newRow("two") << QByteArray("700,800") << QList<uint>{700, 800, 0, 0};
    QTest::newRow("zero first") << QByteArray("0,701") << QList<uint>{700, 701, 0, 0};
    QTest::newRow("five numbers") << QByteArray("1,2,3,4,5") << QList<uint>{1, 2, 3, 4};
    QTest::newRow("spaces before numbers") << QByteArray(" 701, 702") << QList<uint>{701, 702, 0, 0};
    QTest::newRow("space before comma") << QByteArray("701 ,702") << QList<uint>{701, 0, 0, 0};
    QTest::newRow("not a number") << QByteArray("port 700") << QList<uint>{700, 0, 0, 0};
    QTest::newRow("stops at junk") << QByteArray("701,x,703") << QList<uint>{701, 0, 0, 0};
    QTest::newRow("semicolon") << QByteArray("701;702") << QList<uint>{701, 0, 0, 0};
    QTest::newRow("no port above 65535") << QByteArray("701,70000,703") << QList<uint>{701, 0, 0, 0};
    QTest::newRow("no negative port") << QByteArray("-1") << QList<uint>{700, 0, 0, 0};
}

void TestSettingsFile::portList()
{
    QFETCH(QByteArray, socket);
    QFETCH(QList<uint>, ports);
    WriteSettingsFile("<PLAXON_CONFIG>\r\n<PC>\r\n<SOCKET>" + socket + "</SOCKET>\r\n</PC>\r\n<PC>\r\n<SOCKET>"
                      + socket + "</SOCKET>\r\n</PC>\r\n</PLAXON_CONFIG>\r\n");
    LoadSettings();
    for (int s = 0; s < 2; ++s)
        for (int i = 0; i < PORTS_PER_STATION; ++i)
            QCOMPARE(g_Settings.PC[s].PORT[i], ports[i]);
    QCOMPARE(g_Settings.PC[2].PORT[0], 700u);
}

void TestSettingsFile::stationOneIsAlwaysEnabled()
{
    WriteSettingsFile(QByteArray(kDefaultFile).replace("<ENABLE>1</ENABLE>", "<ENABLE>0</ENABLE>"));
    LoadSettings();
    QCOMPARE(g_Settings.PC[0].ENABLE, 1);
    QCOMPARE(SaveSettings(), 0);
    QCOMPARE(ReadAll(SETTINGS_PATH), kDefaultFile);
}

void TestSettingsFile::tolerantLoading_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<uint>("lang");
    QTest::addColumn<QByteArray>("address4");
    QTest::newRow("spaces and any order")
        << QByteArray("<PLAXON_CONFIG>\r\n  <PC>\r\n  </PC>\r\n    <LANG>1</LANG>\r\n<PC>\r\n</PC>\r\n<PC>\r\n</PC>\r\n"
                      "<PC>\r\n <ADDRESS>10.0.0.4</ADDRESS><ENABLE>1</ENABLE>\r\n</PC>\r\n</PLAXON_CONFIG>\r\n")
        << 1u << QByteArray("10.0.0.4");
    QTest::newRow("indented root loads nothing") << QByteArray(" <PLAXON_CONFIG>\r\n<LANG>1</LANG>\r\n</PLAXON_CONFIG>\r\n")
                                                 << 0u << QByteArray();
    QTest::newRow("fifth PC ignored")
        << QByteArray("<PLAXON_CONFIG>\n<PC>\n</PC>\n<PC>\n</PC>\n<PC>\n</PC>\n<PC>\n<ADDRESS>d</ADDRESS>\n</PC>\n"
                      "<PC>\n<ADDRESS>e</ADDRESS>\n</PC>\n<LANG>1</LANG>\n</PLAXON_CONFIG>\n")
        << 1u << QByteArray("d");
    QTest::newRow("not xml") << QByteArray("\x01\x02 binary\xFF") << 0u << QByteArray();
    QTest::newRow("empty file") << QByteArray() << 0u << QByteArray();
}

void TestSettingsFile::tolerantLoading()
{
    QFETCH(QByteArray, file);
    QFETCH(uint, lang);
    QFETCH(QByteArray, address4);
    WriteSettingsFile(file);
    LoadSettings();
    QCOMPARE(g_Settings.LANG, lang);
    QCOMPARE(QByteArray(g_Settings.PC[3].ADDRESS), address4);
    QCOMPARE(g_Settings.PC[0].ENABLE, 1);
}

void TestSettingsFile::failedSaveKeepsFileAndReports()
{
    LoadSettings();
    QCOMPARE(SaveSettings(), 0);
    // The data directory replaced by a plain file: nothing can be created in it.
    QVERIFY(QDir("PLAXONDATA").removeRecursively());
    {
        QFile blocker("PLAXONDATA");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    g_Settings.LANG = 1;
    QVERIFY(SaveSettings() != 0);
    QCOMPARE(g_Settings.LANG, 1u); // what the operator entered stays in memory
}

void TestSettingsFile::langOutsideTheTableReadsAsCzech()
{
    WriteSettingsFile("<PLAXON_CONFIG>\r\n<LANG>7</LANG>\r\n</PLAXON_CONFIG>\r\n");
    LoadSettings();
    QCOMPARE(g_Settings.LANG, 7u); // kept as read, so a save writes it back unchanged
    QCOMPARE(LangIndex(), 0);
    g_Settings.LANG = 1;
    QCOMPARE(LangIndex(), 1);
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
