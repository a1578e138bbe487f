// The Windows Sockets codes a link stores for native errors, and the texts
// the status list prints for them.

#include "socketerrors.h"

#include <QTest>

#include <cerrno>

class TestSocketErrors : public QObject {
    Q_OBJECT
private slots:
    void fromErrno_data()
    {
        QTest::addColumn<int>("err");
        QTest::addColumn<int>("code");
        QTest::newRow("none") << 0 << 0;
        QTest::newRow("refused") << int(ECONNREFUSED) << 10061;
        QTest::newRow("timed out") << int(ETIMEDOUT) << 10060;
        QTest::newRow("network unreachable") << int(ENETUNREACH) << 10051;
        QTest::newRow("host unreachable") << int(EHOSTUNREACH) << 10065;
        QTest::newRow("reset") << int(ECONNRESET) << 10054;
        QTest::newRow("broken pipe") << int(EPIPE) << 10054;
        QTest::newRow("in progress") << int(EINPROGRESS) << 10035;
        QTest::newRow("would block") << int(EWOULDBLOCK) << 10035;
        QTest::newRow("again") << int(EAGAIN) << 10035;
        QTest::newRow("already") << int(EALREADY) << 10037;
        QTest::newRow("is connected") << int(EISCONN) << 10056;
        QTest::newRow("address in use") << int(EADDRINUSE) << 10048;
        QTest::newRow("too many files") << int(EMFILE) << 10024;
        QTest::newRow("unknown errno") << 99999 << 10022;
    }
    void fromErrno()
    {
        QFETCH(int, err);
        QFETCH(int, code);
        QCOMPARE(WsaErrorFromErrno(err), code);
    }

    void text_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("0") << 0 << QByteArray("The operation completed successfully.\r\n");
        QTest::newRow("10061") << 10061
                               << QByteArray("No connection could be made because the target machine actively refused it.\r\n");
        QTest::newRow("10060") << 10060
                               << QByteArray("A connection attempt failed because the connected party did not properly "
                                             "respond after a period of time, or established connection failed because "
                                             "connected host has failed to respond.\r\n");
        QTest::newRow("10022") << 10022 << QByteArray("An invalid argument was supplied.\r\n");
        QTest::newRow("10035") << 10035
                               << QByteArray("A non-blocking socket operation could not be completed immediately.\r\n");
        QTest::newRow("-1 has no text") << -1 << QByteArray();
        QTest::newRow("unknown code has no text") << 10999 << QByteArray();
    }
    void text()
    {
        QFETCH(int, code);
        QFETCH(QByteArray, text);
        QCOMPARE(QByteArray(SocketErrorText(code)), text);
        QCOMPARE(QByteArray(SocketErrorText(code, 1)), text);
    }

    // LANG 0 reads Czech; the Czech table covers exactly the codes the English one does.
    void czechTexts()
    {
        QCOMPARE(QString::fromUtf8(SocketErrorText(10061, 0)),
                 QString::fromUtf8("Nelze navázat spojení, protože cílový počítač je aktivně odmítl.\r\n"));
        QCOMPARE(QByteArray(SocketErrorText(-1, 0)), QByteArray());
        for (int code = -1; code < 12000; ++code) {
            const QByteArray english = SocketErrorText(code, 1);
            const QByteArray czech = SocketErrorText(code, 0);
            QVERIFY2(english.isEmpty() == czech.isEmpty(), qPrintable(QString::number(code)));
            if (czech.isEmpty())
                continue;
            QVERIFY2(czech != english, qPrintable(QString::number(code)));
            QVERIFY(czech.endsWith("\r\n"));
            QVERIFY(QString::fromUtf8(czech).size() < 300);
        }
    }

    // Every code errno can map to must have a text, or the status list would
    // show a number without explanation.
    void everyMappedCodeHasText()
    {
        for (int err = 1; err < 200; ++err) {
            const int code = WsaErrorFromErrno(err);
            QVERIFY2(SocketErrorText(code)[0] != '\0', qPrintable(QString::number(code)));
            QVERIFY(QByteArray(SocketErrorText(code)).endsWith("\r\n"));
            QVERIFY(qstrlen(SocketErrorText(code)) < 300);
        }
    }
};

QTEST_GUILESS_MAIN(TestSocketErrors)
#include "tst_socketerrors.moc"
