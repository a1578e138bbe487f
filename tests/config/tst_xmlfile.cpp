#include "alltypesdocument.h"
#include "codepage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "testfiles.h"

#include <cstring>

namespace {

QByteArray Crlf(QByteArray text)
{
    return text.replace("\n", "\r\n");
}

void Fill(AllTypesRecord &r)
{
    ClearAllTypes(r);
    std::strcpy(r.text, "a&b");
    std::memcpy(r.wtext, u"\u017E<", 6);
    r.i1 = 255;
    r.i2 = 65535;
    r.i4 = 4294967295u;
    r.i8 = 18446744073709551615ull;
    r.h1 = 0xAB;
    r.h2 = 0xBEEF;
    r.h4 = 0xDEADBEEF;
    r.r2 = 3.14159;
    r.r4 = -0.5;
    r.r8 = 2.718281828459;
    r.dc = {9, 12, 2026};
    r.d = {1999, 1, 2};
    r.dt = {2026, 12, 9, 21, 5, 7, 3};
    r.items[0] = {1, "one"};
    r.items[1] = {2, "two"};
    r.items[2] = {3, "three"};
    std::strcpy(r.texts[0], "t0");
    std::strcpy(r.texts[3], "t3");
    std::memcpy(r.wtexts[1], u"w1", 6);
    r.hexes[0] = 1;
    r.hexes[2] = 0xFFFF;
    r.var.Reset(2, sizeof(AllTypesItem));
    *reinterpret_cast<AllTypesItem *>(r.var.Element(0)) = {7, "seven"};
    *reinterpret_cast<AllTypesItem *>(r.var.Element(1)) = {8, "eight"};
}

const QByteArray kAllTypesFile = Crlf(
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<ALL>\n"
    "\t<TEXT>a&amp;b</TEXT>\n"
    "\t<WTEXT>\xC5\xBE&lt;</WTEXT>\n"
    "\t<I1>255</I1>\n"
    "\t<I2>65535</I2>\n"
    "\t<I4>4294967295</I4>\n"
    "\t<I8>18446744073709551615</I8>\n"
    "\t<H1>000000AB</H1>\n"
    "\t<H2>0000BEEF</H2>\n"
    "\t<H4>DEADBEEF</H4>\n"
    "\t<R2>3.14</R2>\n"
    "\t<R4>-0.5000</R4>\n"
    "\t<R8>2.71828183</R8>\n"
    "\t<DC>2026-12-09</DC>\n"
    "\t<D>1999-01-02</D>\n"
    "\t<DT>2026-12-09 21:05:07.03</DT>\n"
    "\t<ITEM>\n\t\t<ID>1</ID>\n\t\t<LABEL>one</LABEL>\n\t</ITEM>\n"
    "\t<ITEM>\n\t\t<ID>2</ID>\n\t\t<LABEL>two</LABEL>\n\t</ITEM>\n"
    "\t<ITEM>\n\t\t<ID>3</ID>\n\t\t<LABEL>three</LABEL>\n\t</ITEM>\n"
    "\t<T>t0</T>\n\t<T></T>\n\t<T></T>\n\t<T>t3</T>\n"
    "\t<W></W>\n\t<W>w1</W>\n"
    "\t<X>00000001</X>\n\t<X>00000000</X>\n\t<X>0000FFFF</X>\n"
    "\t<N>2</N>\n"
    "\t<V>\n\t\t<ID>7</ID>\n\t\t<LABEL>seven</LABEL>\n\t</V>\n"
    "\t<V>\n\t\t<ID>8</ID>\n\t\t<LABEL>eight</LABEL>\n\t</V>\n"
    "</ALL>\n");

} // namespace

class TestXmlFile : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void writesEveryTypeExactly();
    void readsEveryTypeBack();
    void textEscapesRoundTrip_data();
    void textEscapesRoundTrip();
    void tolerantReader_data();
    void tolerantReader();
    void arraysFillInOrderAndIgnoreSurplus_data();
    void arraysFillInOrderAndIgnoreSurplus();
    void longLinesArriveInPieces();
    void encodings();
    void countIsBounded_data();
    void countIsBounded();
    void unparsableValues();
    void openAndCreateFailures();

private:
    QString Path() const { return m_dir->filePath("doc.xml"); }
    QByteArray PathAnsi() const { return QStringToAnsi(Path()); }
    void Write(AllTypesRecord &r, int encoding = 1);
    void Read(const QByteArray &file, AllTypesRecord &r);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestXmlFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestXmlFile::cleanup()
{
    m_dir.reset();
}

void TestXmlFile::Write(AllTypesRecord &r, int encoding)
{
    XmlFile x;
    QCOMPARE(x.Create(PathAnsi().constData(), encoding), 0);
    QCOMPARE(x.WriteDocument(AllTypesDocument(r)), 0);
    QCOMPARE(x.Close(), 0);
}

void TestXmlFile::Read(const QByteArray &file, AllTypesRecord &r)
{
    QVERIFY(WriteAll(Path(), file));
    ClearAllTypes(r);
    XmlFile x;
    QCOMPARE(x.OpenRead(PathAnsi().constData()), 0);
    x.ReadDocument(AllTypesDocument(r));
    x.Close();
}

void TestXmlFile::writesEveryTypeExactly()
{
    AllTypesRecord r;
    Fill(r);
    Write(r);
    QCOMPARE(ReadAll(Path()), kAllTypesFile);
}

void TestXmlFile::readsEveryTypeBack()
{
    AllTypesRecord r;
    Read(kAllTypesFile, r);
    QCOMPARE(QByteArray(r.text), QByteArray("a&b"));
    QCOMPARE(QStringView(r.wtext), QStringView(u"\u017E<"));
    QCOMPARE(r.i1, uint8_t(255));
    QCOMPARE(r.i2, uint16_t(65535));
    QCOMPARE(r.i4, 4294967295u);
    QCOMPARE(r.i8, 18446744073709551615ull);
    QCOMPARE(r.h1, uint8_t(0xAB));
    QCOMPARE(r.h2, uint16_t(0xBEEF));
    QCOMPARE(r.h4, 0xDEADBEEFu);
    QCOMPARE(r.r2, 3.14);
    QCOMPARE(r.r4, -0.5);
    QCOMPARE(r.r8, 2.71828183);
    QCOMPARE(r.dc.year, uint16_t(2026));
    QCOMPARE(r.dc.month, uint8_t(12));
    QCOMPARE(r.dc.day, uint8_t(9));
    QCOMPARE(r.d.year, uint16_t(1999));
    QCOMPARE(r.d.day, uint16_t(2));
    QCOMPARE(r.dt.hour, uint16_t(21));
    QCOMPARE(r.dt.second, uint16_t(7));
    QCOMPARE(r.dt.fraction, 3u);
    QCOMPARE(r.items[2].id, 3u);
    QCOMPARE(QByteArray(r.items[2].label), QByteArray("three"));
    QCOMPARE(QByteArray(r.texts[3]), QByteArray("t3"));
    QCOMPARE(QStringView(r.wtexts[1]), QStringView(u"w1"));
    QCOMPARE(r.hexes[2], uint16_t(0xFFFF));
    QCOMPARE(r.var.Count(), size_t(2));
    QCOMPARE(reinterpret_cast<AllTypesItem *>(r.var.Element(1))->id, 8u);
    QCOMPARE(QByteArray(reinterpret_cast<AllTypesItem *>(r.var.Element(1))->label), QByteArray("eight"));

    // What was read writes out the same file again.
    Write(r);
    QCOMPARE(ReadAll(Path()), kAllTypesFile);
}

void TestXmlFile::textEscapesRoundTrip_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("all five") << QByteArray("&<>\"'") << QByteArray("&amp;&lt;&gt;&quot;&apos;");
    QTest::newRow("entity text") << QByteArray("&lt;") << QByteArray("&amp;lt;");
    QTest::newRow("line break") << QByteArray("one\r\ntwo") << QByteArray("one\r\ntwo");
    QTest::newRow("leading break") << QByteArray("\r\nx") << QByteArray("\r\nx");
    QTest::newRow("czech") << QByteArray("\xE8\x9E") << QByteArray("\xC4\x8D\xC5\xBE");
}

void TestXmlFile::textEscapesRoundTrip()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, written);
    AllTypesRecord r;
    ClearAllTypes(r);
    std::strcpy(r.text, text.constData());
    r.i4 = 42;
    Write(r);
    const QByteArray file = ReadAll(Path());
    QVERIFY2(file.contains("\t<TEXT>" + written + "</TEXT>\r\n\t<WTEXT>"), file.constData());

    Read(file, r);
    QCOMPARE(QByteArray(r.text), text);
    QCOMPARE(r.i4, 42u); // the reader is back in step after a multi-line value
}

void TestXmlFile::tolerantReader_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<uint>("i4");
    QTest::newRow("spaces and order") << QByteArray("<ALL>\n    <I4>7</I4>\n  \t<TEXT>x</TEXT>\n</ALL>\n") << QByteArray("x") << 7u;
    QTest::newRow("no line ends at all") << QByteArray("<ALL>\n<I4>7</I4>") << QByteArray() << 7u;
    QTest::newRow("indented root") << QByteArray(" <ALL>\n<I4>7</I4>\n</ALL>\n") << QByteArray() << 0u;
    QTest::newRow("attribute") << QByteArray("<ALL>\n<TEXT a=\"1\">x</TEXT>\n<I4>5</I4>\n</ALL>\n") << QByteArray() << 5u;
    QTest::newRow("self-closing") << QByteArray("<ALL>\n<TEXT/>\n<I4/>\n</ALL>\n") << QByteArray() << 0u;
    QTest::newRow("unknown and child closing tags") << QByteArray("<ALL>\n<FOO>1</FOO>\n</ITEM>\n<I4>3</I4>\n</ALL>\n") << QByteArray() << 3u;
    QTest::newRow("declaration inside") << QByteArray("<ALL>\n<?xml version=\"1.0\"?>\n<I4>3</I4>\n</ALL>\n") << QByteArray() << 3u;
    QTest::newRow("after the root ends") << QByteArray("<ALL>\n</ALL>\n<I4>3</I4>\n") << QByteArray() << 0u;
    QTest::newRow("truncated file") << QByteArray("<ALL>\n<TEXT>abc</TEXT>\n<I4>9") << QByteArray("abc") << 9u;
    QTest::newRow("text to end of file") << QByteArray("<ALL>\n<TEXT>ab\ncd") << QByteArray("ab\ncd") << 0u;
    QTest::newRow("empty value") << QByteArray("<ALL>\n<TEXT>") << QByteArray() << 0u;
    QTest::newRow("unknown entity") << QByteArray("<ALL>\n<TEXT>&foo;&amp</TEXT>\n</ALL>\n") << QByteArray("&foo;&amp") << 0u;
    QTest::newRow("text cut to field") << QByteArray("<ALL>\n<TEXT>0123456789abcdefgh</TEXT>\n</ALL>\n") << QByteArray("0123456789abcde") << 0u;
    QTest::newRow("number then text") << QByteArray("<ALL>\n<I4> 12abc</I4>\n</ALL>\n") << QByteArray() << 12u;
    QTest::newRow("negative number") << QByteArray("<ALL>\n<I4>-1</I4>\n</ALL>\n") << QByteArray() << 4294967295u;
    QTest::newRow("not a number") << QByteArray("<ALL>\n<I4>7</I4>\n<I4>x</I4>\n</ALL>\n") << QByteArray() << 0u;
    QTest::newRow("not xml") << QByteArray("\x00\xFF garbage\n<<>>\n", 15) << QByteArray() << 0u;
    QTest::newRow("nul inside a line") << QByteArray("<ALL>\n<I4>1\x00</I4>\n<I4>2</I4>\n</ALL>\n", 33) << QByteArray() << 2u;
}

void TestXmlFile::tolerantReader()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, text);
    QFETCH(uint, i4);
    AllTypesRecord r;
    Read(file, r);
    QCOMPARE(QByteArray(r.text), text);
    QCOMPARE(r.i4, i4);
}

void TestXmlFile::arraysFillInOrderAndIgnoreSurplus_data()
{
    QTest::addColumn<int>("occurrences");
    QTest::newRow("six into four") << 6;
    QTest::newRow("two into four") << 2;
}

void TestXmlFile::arraysFillInOrderAndIgnoreSurplus()
{
    QFETCH(int, occurrences);
    QByteArray file = "<ALL>\n";
    for (int i = 0; i < occurrences; ++i)
        file += "\t<T>v" + QByteArray::number(i) + "</T>\n\t<ITEM>\n\t\t<ID>" + QByteArray::number(i + 10)
              + "</ID>\n\t</ITEM>\n";
    file += "\t<I4>1</I4>\n</ALL>\n";

    AllTypesRecord r;
    QVERIFY(WriteAll(Path(), file));
    ClearAllTypes(r);
    std::strcpy(r.texts[2], "keep");
    r.items[2].id = 99;
    XmlFile x;
    QCOMPARE(x.OpenRead(PathAnsi().constData()), 0);
    x.ReadDocument(AllTypesDocument(r));
    x.Close();

    for (int i = 0; i < 4; ++i) {
        const QByteArray expected = i < occurrences ? "v" + QByteArray::number(i) : QByteArray(i == 2 ? "keep" : "");
        QCOMPARE(QByteArray(r.texts[i]), expected);
    }
    QCOMPARE(r.items[0].id, 10u);
    QCOMPARE(r.items[1].id, 11u);
    QCOMPARE(r.items[2].id, occurrences > 2 ? 12u : 99u);
    // Surplus ITEM occurrences are ignored and their children matched against
    // the enclosing table: ID is not an element of it.
    QCOMPARE(r.i4, 1u);
}

void TestXmlFile::longLinesArriveInPieces()
{
    // A line longer than one read (9,998 bytes) arrives as several lines: the
    // value is collected across them, and a tag inside a later piece is read.
    const QByteArray longText(25000, 'a');
    QByteArray file = "<ALL>\n<TEXT>" + longText + "</TEXT>\n";
    file += QByteArray(9998, ' ') + "<I4>5</I4>\n";
    file += "<I2>" + QByteArray(20000, '7') + "</I2>\n</ALL>\n";
    AllTypesRecord r;
    Read(file, r);
    QCOMPARE(QByteArray(r.text), QByteArray(15, 'a'));
    QCOMPARE(r.i4, 5u);

    // Writing a text longer than a piece may hold is cut at the piece limit, whole characters only.
    XmlField table[] = {
        {"BIG", XML_TEXT, 0, 12001, 0, nullptr, 0},
        {"", XML_END, 0, 0, 0, nullptr, 0},
    };
    QByteArray big(12000, '\xE8'); // "č", two bytes each in UTF-8
    XmlRoot roots[] = {{"R", table, big.data()}, {"", nullptr, nullptr}};
    XmlFile w;
    QCOMPARE(w.Create(PathAnsi().constData(), 1), 0);
    QCOMPARE(w.WriteDocument(roots), 0);
    QCOMPARE(w.Close(), 0);
    const QByteArray written = ReadAll(Path());
    const qsizetype from = written.indexOf("<BIG>") + 5;
    const qsizetype to = written.indexOf("</BIG>");
    QCOMPARE(to - from, qsizetype(9998));
    QVERIFY(QString::fromUtf8(written.mid(from, to - from)).count(QChar(0x10D)) == 4999);
}

void TestXmlFile::encodings()
{
    AllTypesRecord r;
    ClearAllTypes(r);
    std::strcpy(r.text, "\x8Elu\x9Dou\xE8k\xFD"); // "Žluťoučký" in windows-1250
    Write(r, 1);
    QByteArray file = ReadAll(Path());
    QVERIFY(file.startsWith("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"));
    QVERIFY(file.contains(QString::fromUtf8("<TEXT>Žluťoučký</TEXT>").toUtf8()));
    Read(file, r);
    QCOMPARE(QByteArray(r.text), QByteArray("\x8Elu\x9Dou\xE8k\xFD"));

    ClearAllTypes(r);
    std::strcpy(r.text, "\x8Elu\x9Dou\xE8k\xFD");
    std::memcpy(r.wtext, u"\u017E\u65E5", 6);
    Write(r, 0);
    file = ReadAll(Path());
    QVERIFY(file.startsWith("<?xml version=\"1.0\" encoding=\"windows-1250\"?>\r\n"));
    QVERIFY(file.contains("<TEXT>\x8Elu\x9Dou\xE8k\xFD</TEXT>"));
    QVERIFY(file.contains("<WTEXT>\x9E?</WTEXT>")); // wide text in the code page, '?' for what it lacks
    // The reader always decodes UTF-8, so such a file does not read back unchanged.
    Read(file, r);
    QVERIFY(QByteArray(r.text) != QByteArray("\x8Elu\x9Dou\xE8k\xFD"));
    QCOMPARE(QByteArray(r.text), QByteArray("?lu?ou?k?"));
}

void TestXmlFile::countIsBounded_data()
{
    QTest::addColumn<QByteArray>("count");
    QTest::addColumn<qulonglong>("expected");
    QTest::newRow("zero") << QByteArray("0") << 0ull;
    QTest::newRow("negative") << QByteArray("-5") << 0ull;
    QTest::newRow("absurd") << QByteArray("2147483647") << qulonglong(XmlVarArray::MAX_ELEMENTS);
    QTest::newRow("wraps past 32 bits") << QByteArray("4294967299") << 3ull;
    QTest::newRow("most negative") << QByteArray("-2147483648") << 0ull;
    QTest::newRow("wraps to most negative") << QByteArray("2147483648") << 0ull;
    QTest::newRow("negative wraps to positive") << QByteArray("-4294967294") << 2ull;
    QTest::newRow("garbage") << QByteArray("x") << 0ull;
}

void TestXmlFile::countIsBounded()
{
    QFETCH(QByteArray, count);
    QFETCH(qulonglong, expected);
    AllTypesRecord r;
    Read("<ALL>\n<N>" + count + "</N>\n<V>\n<ID>4</ID>\n</V>\n<V>\n<ID>5</ID>\n</V>\n</ALL>\n", r);
    QCOMPARE(qulonglong(r.var.Count()), expected);
    if (expected > 0)
        QCOMPARE(reinterpret_cast<AllTypesItem *>(r.var.Element(0))->id, 4u);
    if (expected > 2)
        QCOMPARE(reinterpret_cast<AllTypesItem *>(r.var.Element(2))->id, 0u); // zero-filled, not grown by V
}

void TestXmlFile::unparsableValues()
{
    AllTypesRecord r;
    QVERIFY(WriteAll(Path(), "<ALL>\n<R2>abc</R2>\n<R4>1e3x</R4>\n<H4>0x1F</H4>\n<H2>zz</H2>\n<I8> -2</I8>\n"
                     "<D>2024-05</D>\n<DT>2024-05-06 07:08:09.10</DT>\n<DC>2024-13-40</DC>\n</ALL>\n"));
    ClearAllTypes(r);
    r.r2 = 1.25;
    r.h2 = 7;
    r.d = {1, 1, 1};
    XmlFile x;
    QCOMPARE(x.OpenRead(PathAnsi().constData()), 0);
    x.ReadDocument(AllTypesDocument(r));
    x.Close();
    QCOMPARE(r.r2, 1.25); // a real that does not parse keeps its value
    QCOMPARE(r.r4, 1000.0);
    QCOMPARE(r.h4, 0x1Fu);
    QCOMPARE(r.h2, uint16_t(0)); // hex and integers store 0
    QCOMPARE(r.i8, uint64_t(0) - 2);
    QCOMPARE(r.d.year, uint16_t(0)); // half a date stores no date
    QCOMPARE(r.d.day, uint16_t(0));
    QCOMPARE(r.dt.minute, uint16_t(8));
    QCOMPARE(r.dt.fraction, 10u);
    QCOMPARE(r.dc.month, uint8_t(13)); // dates are stored as written, not validated
}

void TestXmlFile::openAndCreateFailures()
{
    XmlFile x;
    QCOMPARE(x.OpenRead(QStringToAnsi(m_dir->filePath("missing.xml")).constData()), 1);
    QCOMPARE(x.OpenRead(""), 1);

    QVERIFY(WriteAll(Path(), "previous"));
    // A folder that is a file: nothing can be created there.
    QVERIFY(x.Create(QStringToAnsi(Path() + "/x.xml").constData(), 1) != 0);
    QCOMPARE(x.Close(), 0);
    QVERIFY(x.Create(QStringToAnsi(m_dir->path()).constData(), 1) != 0);
    QCOMPARE(ReadAll(Path()), QByteArray("previous"));

    // The previous file stays whole until the new one is committed.
    QCOMPARE(x.Create(PathAnsi().constData(), 1), 0);
    QCOMPARE(ReadAll(Path()), QByteArray("previous"));
    QCOMPARE(x.Close(), 0);
    QCOMPARE(ReadAll(Path()), QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"));
}

QTEST_GUILESS_MAIN(TestXmlFile)
#include "tst_xmlfile.moc"
