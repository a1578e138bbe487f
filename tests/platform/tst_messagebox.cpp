// The real message box: its standard buttons read in the program's language;
// and the texts with a name put in.
#include "messagebox.h"
#include "qttranslations.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

namespace {

int g_lang = 0;

} // namespace

class TestMessageBox : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { SetQtLanguageSource([] { return g_lang; }); }
    void standardButtonsFollowTheLanguage_data();
    void standardButtonsFollowTheLanguage();
    void messageWithPutsTheValueInOnce_data();
    void messageWithPutsTheValueInOnce();
};

void TestMessageBox::messageWithPutsTheValueInOnce_data()
{
    QTest::addColumn<QByteArray>("utf8");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("Czech text") << QByteArray("Cesta \"%s\" je příliš dlouhá") << QStringLiteral("/srv/a")
                                << QString::fromUtf8("Cesta \"/srv/a\" je příliš dlouhá");
    QTest::newRow("only the first %s") << QByteArray("%s and %s") << QStringLiteral("x") << QStringLiteral("x and %s");
    // A value that holds "%s" itself is not filled in again.
    QTest::newRow("value with %s") << QByteArray("[%s]") << QStringLiteral("%s%s") << QStringLiteral("[%s%s]");
    QTest::newRow("no %s") << QByteArray("plain") << QStringLiteral("x") << QStringLiteral("plain");
}

void TestMessageBox::messageWithPutsTheValueInOnce()
{
    QFETCH(QByteArray, utf8);
    QFETCH(QString, value);
    QFETCH(QString, text);
    QCOMPARE(MessageWith(utf8.constData(), value), text);
}

void TestMessageBox::standardButtonsFollowTheLanguage_data()
{
    QTest::addColumn<int>("lang");
    QTest::addColumn<QString>("yes");
    QTest::addColumn<QString>("no");
    // In this order: each box follows the language at the moment it is shown.
    QTest::newRow("Czech") << 0 << QStringLiteral("&Ano") << QStringLiteral("&Ne");
    QTest::newRow("English") << 1 << QStringLiteral("&Yes") << QStringLiteral("&No");
    QTest::newRow("Czech again") << 0 << QStringLiteral("&Ano") << QStringLiteral("&Ne");
}

void TestMessageBox::standardButtonsFollowTheLanguage()
{
    QFETCH(int, lang);
    QFETCH(QString, yes);
    QFETCH(QString, no);
    QVERIFY2(QFileInfo::exists(QtCatalogueFile(0)),
             qPrintable(QtCatalogueFile(0) + QStringLiteral(" is missing: the package qt6-translations-l10n brings it")));
    g_lang = lang;
    QString shownYes, shownNo;
    auto *poll = new QTimer;
    connect(poll, &QTimer::timeout, poll, [&, poll] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            poll->deleteLater();
            shownYes = box->button(QMessageBox::Yes)->text();
            shownNo = box->button(QMessageBox::No)->text();
            box->button(QMessageBox::No)->click();
        }
    });
    poll->start(20);
    const int result = ShowMessageBox(nullptr, QStringLiteral("text"), QStringLiteral("caption"), MsgIcon::Question,
                                      MsgButtons::YesNo);
    QCOMPARE(result, MSG_NO);
    QCOMPARE(shownYes, yes);
    QCOMPARE(shownNo, no);
}

QTEST_MAIN(TestMessageBox)
#include "tst_messagebox.moc"
