#include "rtfreader.h"

#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>

namespace {

// Each fragment of the document as "text|flags", flags b i u s, then the
// point size and the colour when set; blocks joined by "¶".
QString Describe(const QTextDocument &doc)
{
    QStringList blocks;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        QStringList parts;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            const QTextCharFormat c = f.charFormat();
            QString flags;
            if (c.fontWeight() >= QFont::Bold)
                flags += QLatin1Char('b');
            if (c.fontItalic())
                flags += QLatin1Char('i');
            if (c.fontUnderline())
                flags += QLatin1Char('u');
            if (c.fontStrikeOut())
                flags += QLatin1Char('s');
            if (c.hasProperty(QTextFormat::FontPointSize))
                flags += QStringLiteral("%1pt").arg(c.fontPointSize());
            if (c.hasProperty(QTextFormat::ForegroundBrush))
                flags += c.foreground().color().name();
            parts << f.text() + (flags.isEmpty() ? QString() : QLatin1Char('|') + flags);
        }
        blocks << parts.join(QLatin1Char('+'));
    }
    return blocks.join(QStringLiteral("¶"));
}

} // namespace

class TestRtfReader : public QObject {
    Q_OBJECT
private slots:
    void reads_data();
    void reads();
    void refusesWhatIsNotRtf();
    void survivesHostileInput_data();
    void survivesHostileInput();
};

void TestRtfReader::reads_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain text, blank after a word eaten")
        << QByteArray("{\\rtf1\\ansi Hello world}") << "Hello world";
    QTest::newRow("paragraphs and line breaks")
        << QByteArray("{\\rtf1 one\\par two\\line three\\par\r\nfour}") << QString::fromUtf8("one¶two\u2028three¶four");
    QTest::newRow("tab") << QByteArray("{\\rtf1 a\\tab b}") << "a\tb";
    QTest::newRow("bold italic underline strike, switched off with 0")
        << QByteArray("{\\rtf1 \\b B\\b0 \\i I\\i0 \\ul U\\ulnone \\strike S\\strike0 N}") << "B|b+I|i+U|u+S|s+N";
    QTest::newRow("groups restore the format")
        << QByteArray("{\\rtf1 a{\\b b{\\i c}d}e}") << "a+b|b+c|bi+d|b+e";
    QTest::newRow("font size in half points") << QByteArray("{\\rtf1 \\fs28 big\\fs16 small}") << "big|14pt+small|8pt";
    QTest::newRow("colour table; index 0 is automatic")
        << QByteArray("{\\rtf1{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green128\\blue0;}\\cf1 red\\cf2 green\\cf0 auto}")
        << "red|#ff0000+green|#008000+auto";
    QTest::newRow("plain resets the character format")
        << QByteArray("{\\rtf1 \\b\\i\\fs30 x\\plain y}") << "x|bi15pt+y";
    QTest::newRow("hex escapes in windows-1250")
        << QByteArray("{\\rtf1\\ansi\\ansicpg1250 Nastaven\\'ed \\'9e\\'ed\\'e8\\'ec\\'f8\\'9a\\'f9 \\'8a\\'8e}")
        << QString::fromUtf8("Nastavení žíčěřšů ŠŽ");
    QTest::newRow("hex escapes default to windows-1252")
        << QByteArray("{\\rtf1\\ansi caf\\'e9 \\'80}") << QString::fromUtf8("café €");
    QTest::newRow("unicode with one fallback character")
        << QByteArray("{\\rtf1 a\\u345?b}") << QString::fromUtf8("ařb");
    QTest::newRow("unicode with uc2 skips two, a hex escape counts as one")
        << QByteArray("{\\rtf1\\uc2 \\u-3913\\'3f\\'3fz\\uc0\\u269 y}") << QString::fromUtf8("\uF0B7zčy");
    QTest::newRow("font table, star destinations and info skipped")
        << QByteArray("{\\rtf1{\\fonttbl{\\f0\\fswiss Arial;}{\\f1 Times;}}{\\*\\generator Pad 1;}{\\info{\\title T}}x{\\*\\unknown y}z}")
        << "xz";
    QTest::newRow("escaped braces and backslash")
        << QByteArray("{\\rtf1 \\{a\\}\\\\b}") << "{a}\\b";
    QTest::newRow("symbols") << QByteArray("{\\rtf1 a\\emdash b\\~c\\bullet}")
                             << QString::fromUtf8("a—b\u00A0c•");
    QTest::newRow("unknown words show nothing") << QByteArray("{\\rtf1\\viewkind4\\sa200\\sl276 x\\lang1029 y}") << "xy";
    QTest::newRow("binary data skipped") << QByteArray("{\\rtf1 a{\\pict\\bin3 }{x}b}") << "ab";
    QTest::newRow("text after the document's group is ignored") << QByteArray("{\\rtf1 a}b") << "a";
}

void TestRtfReader::reads()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, expected);
    QTextDocument doc;
    QVERIFY(LoadRtf(rtf, &doc));
    QCOMPARE(Describe(doc), expected);
}

void TestRtfReader::refusesWhatIsNotRtf()
{
    QTextDocument doc;
    doc.setPlainText(QStringLiteral("old"));
    QVERIFY(!LoadRtf("plain text", &doc));
    QVERIFY(doc.isEmpty());
    QVERIFY(!LoadRtf("", &doc));
}

void TestRtfReader::survivesHostileInput_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("expected");
    QTest::newRow("unclosed groups") << QByteArray("{\\rtf1 a{\\b b{\\i c") << "a+b|b+c|bi";
    QTest::newRow("deep nesting") << QByteArray("{\\rtf1 ") + QByteArray(100000, '{') + "x" + QByteArray(100000, '}')
                                  << "x";
    QTest::newRow("cut hex escape") << QByteArray("{\\rtf1 a\\'4") << "a";
    QTest::newRow("backslash at the end") << QByteArray("{\\rtf1 a\\") << "a";
    QTest::newRow("huge parameters") << QByteArray("{\\rtf1\\fs99999999999999 a\\bin99999999999 b}") << "a|1500pt";
    QTest::newRow("colour index outside the table") << QByteArray("{\\rtf1{\\colortbl;}\\cf7 a}") << "a";
}

void TestRtfReader::survivesHostileInput()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, expected);
    QTextDocument doc;
    QVERIFY(LoadRtf(rtf, &doc));
    QCOMPARE(Describe(doc), expected);
}

QTEST_MAIN(TestRtfReader)
#include "tst_rtfreader.moc"
