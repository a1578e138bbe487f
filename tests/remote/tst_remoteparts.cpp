// The remote control's pure parts: the token file, the Host / Origin /
// token checks, and the command line's endpoints and allow lists.
#include "remoteendpoint.h"
#include "remotetoken.h"
#include "requestgate.h"
#include "specialfiles.h"
#include "testfiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

class TestRemoteParts : public QObject {
    Q_OBJECT
private slots:
    void tokenIsMadeOnceAndKeptPrivate();
    void unusableTokenFilesAreRefused_data();
    void unusableTokenFilesAreRefused();
    void emptyOrCutShortTokenFilesAreReplaced_data();
    void emptyOrCutShortTokenFilesAreReplaced();
    void hosts_data();
    void hosts();
    void origins_data();
    void origins();
    void tokens_data();
    void tokens();
    void endpoints_data();
    void endpoints();
    void allowLists_data();
    void allowLists();
};

void TestRemoteParts::tokenIsMadeOnceAndKeptPrivate()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("PLAXONDATA/remote-token"));
    QString error;
    const QByteArray token = RemoteToken::LoadOrCreate(path, &error);
    QVERIFY2(RemoteToken::WellFormed(token), qPrintable(error));
    QCOMPARE(ReadAll(path), token + '\n');
    EXPECT_FAIL_UNDER_WINE("file DACLs (a file shows the DACL of its Linux mode bits, not the one it was made with)");
    QVERIFY(IsOwnerOnly(path));
    // The second start reads the same token; a file others could read is made private.
    const QString opened = OpenToOthers(path);
    QVERIFY2(opened.isEmpty(), qPrintable(opened));
    QVERIFY(!IsOwnerOnly(path));
    QCOMPARE(RemoteToken::LoadOrCreate(path, &error), token);
    QVERIFY(IsOwnerOnly(path));
    // Two tokens made in a row differ.
    const QString other = dir.filePath(QStringLiteral("other"));
    QVERIFY(RemoteToken::LoadOrCreate(other, &error) != token);
}

void TestRemoteParts::unusableTokenFilesAreRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("not a token") << QStringLiteral("text");
    QTest::newRow("upper-case hex") << QStringLiteral("upper");
    QTest::newRow("FIFO") << QStringLiteral("fifo");
    QTest::newRow("folder") << QStringLiteral("folder");
    QTest::newRow("link to a token") << QStringLiteral("link");
}

void TestRemoteParts::unusableTokenFilesAreRefused()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("remote-token"));
    QString staged;
    if (kind == QLatin1String("text"))
        QVERIFY(WriteAll(path, "password\n"));
    else if (kind == QLatin1String("upper"))
        QVERIFY(WriteAll(path, QByteArray(32, 'A')));
    else if (kind == QLatin1String("fifo"))
        staged = MakeFifo(path);
    else if (kind == QLatin1String("link")) {
        // Whoever may change the link could point it at a token of theirs.
        QVERIFY(WriteAll(dir.filePath(QStringLiteral("elsewhere")), QByteArray(32, 'a') + '\n'));
        VERIFY_LINK_MADE(QStringLiteral("elsewhere"), path);
    } else
        QVERIFY(QDir().mkdir(path));
    QVERIFY2(staged.isEmpty(), qPrintable(staged));
    QElapsedTimer clock;
    clock.start();
    QString error;
    QCOMPARE(RemoteToken::LoadOrCreate(path, &error), QByteArray());
    QVERIFY(clock.elapsed() < 1000); // a FIFO with no writer must not hold the start
    QVERIFY2(error.contains(path), qPrintable(error));
    // Nothing was put in its place.
    QVERIFY(kind == QLatin1String("fifo") || kind == QLatin1String("folder") || ReadAll(path).size() < 40);
}

void TestRemoteParts::emptyOrCutShortTokenFilesAreReplaced_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("only a line end") << QByteArray("\n");
    QTest::newRow("cut short") << QByteArray("0123456789abcdef01");
}

void TestRemoteParts::emptyOrCutShortTokenFilesAreReplaced()
{
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("remote-token"));
    QVERIFY(WriteAll(path, content));
    QString error;
    const QByteArray token = RemoteToken::LoadOrCreate(path, &error);
    QVERIFY2(RemoteToken::WellFormed(token), qPrintable(error));
    QCOMPARE(RemoteToken::LoadOrCreate(path, &error), token);
    QCOMPARE(ReadAll(path), token + '\n');
    EXPECT_FAIL_UNDER_WINE("file DACLs (a file shows the DACL of its Linux mode bits, not the one it was made with)");
    QVERIFY(IsOwnerOnly(path));
}

void TestRemoteParts::hosts_data()
{
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("IPv4 and port") << QByteArray("127.0.0.1:8080") << true;
    QTest::newRow("LAN address") << QByteArray("192.168.1.20:8080") << true;
    QTest::newRow("localhost") << QByteArray("localhost:8080") << true;
    QTest::newRow("LOCALHOST") << QByteArray("LOCALHOST:8080") << true;
    QTest::newRow("IPv6") << QByteArray("[::1]:8080") << true;
    QTest::newRow("a name") << QByteArray("plaxon.example:8080") << false;
    QTest::newRow("a name that looks local") << QByteArray("localhost.evil.example:8080") << false;
    QTest::newRow("no port") << QByteArray("127.0.0.1") << false;
    QTest::newRow("other port") << QByteArray("127.0.0.1:8081") << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("with user") << QByteArray("me@127.0.0.1:8080") << false;
    QTest::newRow("with path") << QByteArray("127.0.0.1:8080/x") << false;
    QTest::newRow("bad brackets") << QByteArray("[::1:8080") << false;
    QTest::newRow("control character") << QByteArray("127.0.0.1:8080\r\nX: y") << false;
}

void TestRemoteParts::hosts()
{
    QFETCH(QByteArray, host);
    QFETCH(bool, allowed);
    QCOMPARE(RequestGate(QByteArray(32, 'a'), 8080).HostAllowed(host), allowed);
}

void TestRemoteParts::origins_data()
{
    QTest::addColumn<QByteArray>("origin");
    QTest::addColumn<bool>("present");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("none") << QByteArray() << false << true;
    QTest::newRow("own") << QByteArray("http://127.0.0.1:8080") << true << true;
    QTest::newRow("https") << QByteArray("https://127.0.0.1:8080") << true << false;
    QTest::newRow("other port") << QByteArray("http://127.0.0.1:9090") << true << false;
    QTest::newRow("foreign") << QByteArray("http://evil.example") << true << false;
    QTest::newRow("null") << QByteArray("null") << true << false;
    QTest::newRow("empty but present") << QByteArray() << true << false;
}

void TestRemoteParts::origins()
{
    QFETCH(QByteArray, origin);
    QFETCH(bool, present);
    QFETCH(bool, allowed);
    QCOMPARE(RequestGate::OriginAllowed(origin, present, "127.0.0.1:8080"), allowed);
}

void TestRemoteParts::tokens_data()
{
    const QByteArray token("0123456789abcdef0123456789abcdef");
    QTest::addColumn<QByteArray>("authorization");
    QTest::addColumn<bool>("valid");
    QTest::newRow("right") << QByteArray("Bearer " + token) << true;
    QTest::newRow("no scheme") << token << false;
    QTest::newRow("other scheme") << QByteArray("Basic " + token) << false;
    QTest::newRow("last character off") << QByteArray("Bearer " + token.left(31) + "0") << false;
    QTest::newRow("prefix only") << QByteArray("Bearer " + token.left(16)) << false;
    QTest::newRow("longer") << QByteArray("Bearer " + token + "0") << false;
    QTest::newRow("empty") << QByteArray("Bearer ") << false;
}

void TestRemoteParts::tokens()
{
    QFETCH(QByteArray, authorization);
    QFETCH(bool, valid);
    const RequestGate gate("0123456789abcdef0123456789abcdef", 8080);
    QCOMPARE(gate.TokenValid(RequestGate::BearerToken(authorization)), valid);
    // A gate without a token lets nobody in, not even with an empty one.
    QVERIFY(!RequestGate(QByteArray(), 8080).TokenValid(QByteArray()));
}

void TestRemoteParts::endpoints_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("address"); // empty: refused
    QTest::addColumn<int>("port");
    QTest::newRow("port only") << QStringLiteral("8080") << QStringLiteral("127.0.0.1") << 8080;
    QTest::newRow("all interfaces") << QStringLiteral("0.0.0.0:9000") << QStringLiteral("0.0.0.0") << 9000;
    QTest::newRow("IPv6") << QStringLiteral("[::1]:9000") << QStringLiteral("::1") << 9000;
    QTest::newRow("any free port") << QStringLiteral("0") << QStringLiteral("127.0.0.1") << 0;
    QTest::newRow("port too large") << QStringLiteral("65536") << QString() << 0;
    QTest::newRow("a name") << QStringLiteral("localhost:8080") << QString() << 0;
    QTest::newRow("bad address") << QStringLiteral("300.1.1.1:8080") << QString() << 0;
    QTest::newRow("no port") << QStringLiteral("127.0.0.1:") << QString() << 0;
    QTest::newRow("IPv6 without brackets") << QStringLiteral("::1:8080") << QString() << 0;
}

void TestRemoteParts::endpoints()
{
    QFETCH(QString, text);
    QFETCH(QString, address);
    QFETCH(int, port);
    QString error;
    const std::optional<RemoteEndpoint> endpoint = ParseEndpoint(text, &error);
    QCOMPARE(endpoint.has_value(), !address.isEmpty());
    if (!endpoint) {
        QVERIFY(!error.isEmpty());
        return;
    }
    QCOMPARE(endpoint->address, QHostAddress(address));
    QCOMPARE(int(endpoint->port), port);
}

void TestRemoteParts::allowLists_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("sender");
    QTest::addColumn<bool>("heard");
    QTest::newRow("default, loopback") << QString() << QStringLiteral("127.0.0.1") << true;
    QTest::newRow("default, 127.5.5.5") << QString() << QStringLiteral("127.5.5.5") << true;
    QTest::newRow("default, IPv4 on a dual-stack socket") << QString() << QStringLiteral("::ffff:127.0.0.1") << true;
    QTest::newRow("default, LAN") << QString() << QStringLiteral("192.168.1.9") << false;
    QTest::newRow("listed") << QStringLiteral("192.168.1.9, 10.0.0.1") << QStringLiteral("10.0.0.1") << true;
    QTest::newRow("listed list leaves loopback out") << QStringLiteral("192.168.1.9") << QStringLiteral("127.0.0.1") << false;
    QTest::newRow("subnet") << QStringLiteral("10.1.0.0/16") << QStringLiteral("10.1.200.3") << true;
    QTest::newRow("outside subnet") << QStringLiteral("10.1.0.0/16") << QStringLiteral("10.2.0.1") << false;
}

void TestRemoteParts::allowLists()
{
    QFETCH(QString, list);
    QFETCH(QString, sender);
    QFETCH(bool, heard);
    QString error;
    const QList<AddressRange> ranges = list.isEmpty() ? LoopbackRanges() : ParseAddressList(list, &error).value();
    QCOMPARE(InRanges(ranges, QHostAddress(sender)), heard);
    QVERIFY(!ParseAddressList(QStringLiteral("10.0.0.1,example.com"), &error));
    QVERIFY(error.contains(QStringLiteral("example.com")));
    QVERIFY(!ParseAddressList(QString(), &error));
}

QTEST_GUILESS_MAIN(TestRemoteParts)
#include "tst_remoteparts.moc"
