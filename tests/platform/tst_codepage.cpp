#include "codepage.h"

#include <QStringDecoder>
#include <QTest>

class TestCodePage : public QObject {
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void missingCharactersBecomeQuestionMarks();
    void boundedOutputsNeverSplitACharacter();
    void tableAgreesWithTheSystemConverter();
    void fieldFit_data();
    void fieldFit();
};

Q_DECLARE_METATYPE(AnsiFit)

void TestCodePage::fieldFit_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("fieldSize");
    QTest::addColumn<AnsiFit>("fit");
    // The terminator takes the last byte; Czech letters are one byte each.
    QTest::newRow("one short of the field") << QString(9, QLatin1Char('a')) << qsizetype(10) << AnsiFit::Fits;
    QTest::newRow("as long as the field") << QString(10, QLatin1Char('a')) << qsizetype(10) << AnsiFit::TooLong;
    QTest::newRow("Czech, one byte a letter") << QString::fromUtf8("žluťoučký") << qsizetype(10) << AnsiFit::Fits;
    QTest::newRow("empty") << QString() << qsizetype(1) << AnsiFit::Fits;
    QTest::newRow("outside the code page") << QString::fromUtf8("a日") << qsizetype(10) << AnsiFit::Unstorable;
    // Not storable wins over too long: the message names the real fault.
    QTest::newRow("outside and too long") << QString::fromUtf8("日日日") << qsizetype(2) << AnsiFit::Unstorable;
    QTest::newRow("NUL inside") << QStringLiteral("ab") + QChar(u'\0') + QStringLiteral("c") << qsizetype(10)
                                << AnsiFit::Unstorable;
}

void TestCodePage::fieldFit()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, fieldSize);
    QFETCH(AnsiFit, fit);
    QCOMPARE(FitAnsiField(text, fieldSize), fit);
}

void TestCodePage::roundTrip_data()
{
    QTest::addColumn<QByteArray>("ansi");
    QTest::addColumn<QString>("text");
    QTest::newRow("ascii") << QByteArray("Program 1") << QStringLiteral("Program 1");
    QTest::newRow("czech") << QByteArray("\xC8\x65sky \x9Elu\x9Dou\xE8k\xFD k\xF9\xF2") << QString::fromUtf8("Česky žluťoučký kůň");
    QTest::newRow("euro and quotes") << QByteArray("\x80 \x84\x93") << QString::fromUtf8("€ „“");
}

void TestCodePage::roundTrip()
{
    QFETCH(QByteArray, ansi);
    QFETCH(QString, text);
    QCOMPARE(AnsiToQString(ansi), text);
    QCOMPARE(QStringToAnsi(text), ansi);
    QVERIFY(SurvivesAnsi(text));

    char utf8[256];
    const qsizetype n = AnsiToUtf8(ansi, utf8, sizeof utf8);
    QCOMPARE(QByteArray(utf8, n), text.toUtf8());
    char back[256];
    QCOMPARE(QByteArray(back, Utf8ToAnsi(QByteArrayView(utf8, n), back, sizeof back)), ansi);
}

void TestCodePage::missingCharactersBecomeQuestionMarks()
{
    // One '?' per character, also for a character outside the basic plane,
    // while a real SUB control character passes through.
    const QString text = QString::fromUtf8("a日b\xF0\x9F\x98\x80" "c\x1A" "ä");
    QCOMPARE(QStringToAnsi(text), QByteArray("a?b?c\x1A\xE4"));
    QVERIFY(!SurvivesAnsi(text));
    QVERIFY(!SurvivesAnsi(QString::fromUtf8("ø")));
}

void TestCodePage::boundedOutputsNeverSplitACharacter()
{
    // "ž" is two bytes of UTF-8: a cut inside it drops the whole character.
    char out[4] = {'x', 'x', 'x', 'x'};
    QCOMPARE(AnsiToUtf8(QByteArray("a\x9E"), out, 3), qsizetype(1));
    QCOMPARE(QByteArray(out), QByteArray("a"));
    QCOMPARE(AnsiToUtf8(QByteArray("a\x9E"), out, 4), qsizetype(3));
    QCOMPARE(QByteArray(out), QByteArray("a\xC5\xBE"));

    char16_t wide[3];
    QCOMPARE(Utf8ToUtf16(QByteArray("x\xF0\x9F\x98\x80"), wide, 3), qsizetype(1)); // no lone surrogate
    QCOMPARE(wide[1], u'\0');

    char narrow[3];
    QCOMPARE(Utf16ToAnsi(u"abcdef", narrow, 3), qsizetype(2));
    QCOMPARE(QByteArray(narrow), QByteArray("ab"));
    QCOMPARE(Utf16ToAnsi(u"abc", narrow, 0), qsizetype(0)); // no room, nothing written
}

void TestCodePage::tableAgreesWithTheSystemConverter()
{
    // The program carries its own table; the system's converter (Qt's, or
    // Windows' own where Qt has none) must read every byte alike.
    QByteArray all(256, '\0');
    for (int i = 0; i < 256; ++i)
        all[i] = char(i);
    const std::optional<QString> system = DecodeCodePage(1250, all);
    QVERIFY2(system, "this system has no windows-1250 converter to compare with");
    const QString expected = *system;
    QCOMPARE(AnsiToQString(all), expected);
    QCOMPARE(QStringToAnsi(expected), all);
}

QTEST_GUILESS_MAIN(TestCodePage)
#include "tst_codepage.moc"
