#include "buttonsetfile.h"
#include "codepage.h"
#include "configmodel.h"
#include "messagebox.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "testfiles.h"

#include <cstring>

namespace {

QByteArray EmptyButtonSetFile()
{
    QByteArray file = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<PLAXON_USER_CONFIG>\r\n";
    for (int b = 0; b < BUTTON_COUNT; ++b)
        file += "\t<BUTTON>\r\n\t\t<ENABLE>0</ENABLE>\r\n\t\t<NAME></NAME>\r\n\t\t<INLINE>0</INLINE>\r\n"
                "\t\t<COLOR>0</COLOR>\r\n\t\t<PROGRAM></PROGRAM>\r\n\t\t<PROGRAM></PROGRAM>\r\n"
                "\t\t<PROGRAM></PROGRAM>\r\n\t\t<PROGRAM></PROGRAM>\r\n\t</BUTTON>\r\n";
    return file + "</PLAXON_USER_CONFIG>\r\n";
}

// A fixed-layout file: entries b with enable 1, inline b % 2, caption "Button b",
// and program names "s<station>/p<b>".
QByteArray FixedLayoutFile(char first = 1)
{
    QByteArray data(FIXED_LAYOUT_SIZE, '\0');
    for (int b = 0; b < 30; ++b) {
        char *entry = data.data() + 169 * b;
        entry[0] = 1;
        entry[41] = char(b % 2);
        std::memset(entry + 42, 0x55, 127); // the unread rest of the entry
        const QByteArray caption = "Button " + QByteArray::number(b + 1);
        std::memcpy(entry + 1, caption.constData(), size_t(caption.size()));
        for (int s = 0; s < 4; ++s) {
            const QByteArray name = "s" + QByteArray::number(s) + "\\p" + QByteArray::number(b);
            std::memcpy(data.data() + 5070 + 2048 * s + 64 * b, name.constData(), size_t(name.size()));
        }
    }
    data[0] = first;
    return data;
}

} // namespace

class TestButtonSetFile : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void emptySetIsByteExact();
    void saveThenLoadGivesTheSameButtons();
    void probe_data();
    void probe();
    void rejectedFilesLeaveTheButtonsAndTellTheOperator_data();
    void rejectedFilesLeaveTheButtonsAndTellTheOperator();
    void fixedLayoutLoads();
    void fixedLayoutWithoutTerminatorsIsCutToTheFields();
    void xmlReading_data();
    void xmlReading();
    void saveCreatesTheDataDirectoryAndReportsFailure();

private:
    QString File(const char *name) const { return m_dir->filePath(QString::fromLatin1(name)); }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previous;
    QList<MessageBoxCall> m_boxes;
};

void TestButtonSetFile::init()
{
    m_previous = QDir::currentPath();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir::setCurrent(m_dir->path()));
    std::memset(&g_Buttons, 0, sizeof g_Buttons);
    std::memset(&g_Settings, 0, sizeof g_Settings);
    m_boxes.clear();
    SetMessageBoxHandler([this](const MessageBoxCall &call) {
        m_boxes.append(call);
        return MSG_OK;
    });
}

void TestButtonSetFile::cleanup()
{
    SetMessageBoxHandler({});
    QDir::setCurrent(m_previous);
    m_dir.reset();
}

void TestButtonSetFile::emptySetIsByteExact()
{
    QCOMPARE(SaveButtonSet("empty.PUC"), 0);
    const QByteArray file = ReadAll("empty.PUC");
    QCOMPARE(file, EmptyButtonSetFile());
    QCOMPARE(file.count("\r\n"), 403);
}

void TestButtonSetFile::saveThenLoadGivesTheSameButtons()
{
    for (int b = 0; b < BUTTON_COUNT; b += 3) {
        ButtonRecord &button = g_Buttons.BUTTON[b];
        button.ENABLE = 1;
        button.INLINE = b % 2;
        button.COLOR = b == 0 ? 255u : 16711680u + uint32_t(b);
        CopyText(button.NAME, b == 0 ? "a&b <c> \"d\" 'e'" : b == 3 ? "P\xF8\xED\x9Ei\xE8\r\nTwo lines" : "Button");
        for (int s = 0; s < STATION_COUNT; ++s)
            CopyText(button.PROGRAM[s], QByteArray("show\\scene " + QByteArray::number(b * 4 + s)).constData());
    }
    CopyText(g_Buttons.BUTTON[39].PROGRAM[3], QByteArray(79, 'z').constData());
    QCOMPARE(SaveButtonSet("set.PUC"), 0);
    const QByteArray file = ReadAll("set.PUC");
    QCOMPARE(file.count("\r\n"), 404); // the caption's own line break adds one
    QVERIFY(file.contains("\t\t<NAME>a&amp;b &lt;c&gt; &quot;d&quot; &apos;e&apos;</NAME>\r\n"));
    QVERIFY(file.contains("\t\t<COLOR>255</COLOR>\r\n"));
    QVERIFY(file.contains(QString::fromUtf8("\t\t<NAME>Přížič\r\nTwo lines</NAME>\r\n").toUtf8()));

    ButtonTable saved;
    std::memcpy(&saved, &g_Buttons, sizeof saved);
    std::memset(&g_Buttons, 0x5A, sizeof g_Buttons); // loading clears the table first
    LoadButtonSet("set.PUC");
    QVERIFY(m_boxes.isEmpty());
    QCOMPARE(std::memcmp(&g_Buttons, &saved, sizeof saved), 0);
}

void TestButtonSetFile::probe_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("result");
    QTest::newRow("xml") << QByteArray("<x") << 2;
    QTest::newRow("xml of fixed size") << QByteArray("<").append(QByteArray(FIXED_LAYOUT_SIZE - 1, 'a')) << 2;
    QTest::newRow("fixed, first byte 1") << FixedLayoutFile(1) << 1;
    QTest::newRow("fixed, first byte 0") << FixedLayoutFile(0) << 1;
    QTest::newRow("fixed size, first byte 2") << FixedLayoutFile(2) << -1;
    QTest::newRow("one byte too long") << QByteArray(FIXED_LAYOUT_SIZE + 1, '\0') << -1;
    QTest::newRow("one byte too short") << QByteArray(FIXED_LAYOUT_SIZE - 1, '\0') << -1;
    QTest::newRow("empty") << QByteArray() << -1;
    QTest::newRow("bom before xml") << QByteArray("\xEF\xBB\xBF<x") << -1;
}

void TestButtonSetFile::probe()
{
    QFETCH(QByteArray, content);
    QFETCH(int, result);
    QVERIFY(WriteAll("probe.PUC", content));
    QCOMPARE(ProbeButtonSet("probe.PUC"), result);
}

void TestButtonSetFile::rejectedFilesLeaveTheButtonsAndTellTheOperator_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<uint>("lang");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("caption");
    const QString czech = QString::fromUtf8("Soubor nelze načíst (nekompatibilní formát dat nebo chyba přístupu k souboru)");
    const QString english = QStringLiteral("Could not load file (an incompatible format or access error)");
    QTest::newRow("bad first byte, Czech") << QByteArray("bad.PUC") << 0u << czech << QString::fromUtf8("Chyba");
    QTest::newRow("bad first byte, English") << QByteArray("bad.PUC") << 1u << english << QStringLiteral("Error");
    QTest::newRow("missing file") << QByteArray("missing.PUC") << 1u << english << QStringLiteral("Error");
    QTest::newRow("empty path") << QByteArray() << 0u << czech << QString::fromUtf8("Chyba");
    QTest::newRow("folder") << QByteArray("PLAXONDATA") << 0u << czech << QString::fromUtf8("Chyba");
    QTest::newRow("LANG out of range") << QByteArray("bad.PUC") << 5u << czech << QString::fromUtf8("Chyba");
}

void TestButtonSetFile::rejectedFilesLeaveTheButtonsAndTellTheOperator()
{
    QFETCH(QByteArray, path);
    QFETCH(uint, lang);
    QFETCH(QString, text);
    QFETCH(QString, caption);
    QVERIFY(WriteAll("bad.PUC", FixedLayoutFile(2)));
    QVERIFY(QDir().mkpath("PLAXONDATA"));
    g_Settings.LANG = lang;
    g_Buttons.BUTTON[4].ENABLE = 1;
    CopyText(g_Buttons.BUTTON[4].NAME, "kept");

    LoadButtonSet(path.constData());
    QCOMPARE(m_boxes.size(), 1);
    QCOMPARE(m_boxes[0].text, text);
    QCOMPARE(m_boxes[0].caption, caption);
    QCOMPARE(m_boxes[0].icon, MsgIcon::Error);
    QCOMPARE(m_boxes[0].buttons, MsgButtons::Ok);
    QCOMPARE(m_boxes[0].owner, nullptr);
    QCOMPARE(QByteArray(g_Buttons.BUTTON[4].NAME), QByteArray("kept"));
}

void TestButtonSetFile::fixedLayoutLoads()
{
    QVERIFY(WriteAll("old.PUC", FixedLayoutFile()));
    g_Buttons.BUTTON[35].ENABLE = 1;
    g_Buttons.BUTTON[2].COLOR = 255;
    LoadButtonSet("old.PUC");
    QVERIFY(m_boxes.isEmpty());
    for (int b = 0; b < 30; ++b) {
        const ButtonRecord &button = g_Buttons.BUTTON[b];
        QCOMPARE(button.ENABLE, 1);
        QCOMPARE(button.INLINE, b % 2);
        QCOMPARE(button.COLOR, 0u);
        QCOMPARE(QByteArray(button.NAME), "Button " + QByteArray::number(b + 1));
        for (int s = 0; s < 4; ++s)
            QCOMPARE(QByteArray(button.PROGRAM[s]), "s" + QByteArray::number(s) + "\\p" + QByteArray::number(b));
    }
    for (int b = 30; b < BUTTON_COUNT; ++b) {
        QCOMPARE(g_Buttons.BUTTON[b].ENABLE, 0);
        QCOMPARE(g_Buttons.BUTTON[b].NAME[0], '\0');
    }
}

void TestButtonSetFile::fixedLayoutWithoutTerminatorsIsCutToTheFields()
{
    QByteArray data = FixedLayoutFile();
    std::memset(data.data() + 1, 'N', 40);                  // caption of entry 0 without its NUL
    std::memset(data.data() + 5070 + 2048 * 3 + 64 * 29, 'P', 64); // last slot read, without its NUL
    QVERIFY(WriteAll("old.PUC", data));
    LoadButtonSet("old.PUC");
    QCOMPARE(QByteArray(g_Buttons.BUTTON[0].NAME), QByteArray(39, 'N'));
    QCOMPARE(g_Buttons.BUTTON[0].INLINE, 0); // the next field is read from its own offset
    QCOMPARE(QByteArray(g_Buttons.BUTTON[29].PROGRAM[3]), QByteArray(64, 'P'));
}

void TestButtonSetFile::xmlReading_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("name1");
    QTest::addColumn<QByteArray>("program1");
    QTest::addColumn<QByteArray>("name40");
    const QByteArray head = "<PLAXON_USER_CONFIG>\n";
    QByteArray many = head;
    for (int b = 0; b < 41; ++b)
        many += "<BUTTON>\n<NAME>b" + QByteArray::number(b + 1) + "</NAME>\n</BUTTON>\n";
    QTest::newRow("41st button ignored") << many + "</PLAXON_USER_CONFIG>\n" << QByteArray("b1") << QByteArray() << QByteArray("b40");
    QTest::newRow("fifth program ignored")
        << head + "<BUTTON>\n<PROGRAM>a</PROGRAM>\n<PROGRAM>b</PROGRAM>\n<PROGRAM>c</PROGRAM>\n<PROGRAM>d</PROGRAM>\n"
                  "<PROGRAM>e</PROGRAM>\n<NAME>n</NAME>\n</BUTTON>\n</PLAXON_USER_CONFIG>\n"
        << QByteArray("n") << QByteArray("a") << QByteArray();
    QTest::newRow("45-character caption")
        << head + "<BUTTON>\n<NAME>" + QByteArray(45, 'c') + "</NAME>\n</BUTTON>\n</PLAXON_USER_CONFIG>\n"
        << QByteArray(39, 'c') << QByteArray() << QByteArray();
    QTest::newRow("no root element, any length") << QByteArray("<other>\n<BUTTON>\n<NAME>x</NAME>\n</BUTTON>\n")
                                                 << QByteArray() << QByteArray() << QByteArray();
}

void TestButtonSetFile::xmlReading()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, name1);
    QFETCH(QByteArray, program1);
    QFETCH(QByteArray, name40);
    QVERIFY(WriteAll("x.PUC", file));
    std::memset(&g_Buttons, 0x5A, sizeof g_Buttons);
    LoadButtonSet("x.PUC");
    QVERIFY(m_boxes.isEmpty());
    QCOMPARE(QByteArray(g_Buttons.BUTTON[0].NAME), name1);
    QCOMPARE(QByteArray(g_Buttons.BUTTON[0].PROGRAM[0]), program1);
    QCOMPARE(QByteArray(g_Buttons.BUTTON[39].NAME), name40);
    QCOMPARE(g_Buttons.BUTTON[39].ENABLE, 0);
}

void TestButtonSetFile::saveCreatesTheDataDirectoryAndReportsFailure()
{
    QVERIFY(QDir().mkpath("elsewhere"));
    g_Buttons.BUTTON[0].ENABLE = 1;
    QCOMPARE(SaveButtonSet("elsewhere/other.PUC"), 0);
    QVERIFY(QDir("PLAXONDATA").exists());
    QVERIFY(QFile::exists("elsewhere/other.PUC"));

    const QByteArray before = ReadAll("elsewhere/other.PUC");
    g_Buttons.BUTTON[0].ENABLE = 0;
    QVERIFY(SaveButtonSet("nowhere/other.PUC") != 0);
    QVERIFY(SaveButtonSet("") != 0);
    QVERIFY(SaveButtonSet("elsewhere") != 0); // a folder is no file
    QCOMPARE(ReadAll("elsewhere/other.PUC"), before);
    QVERIFY(m_boxes.isEmpty()); // saving never shows anything itself
}

QTEST_GUILESS_MAIN(TestButtonSetFile)
#include "tst_buttonsetfile.moc"
