// The remote control's pure parts: the token file, the pairing code, the
// paired tablets' file, the Host / Origin / token checks, the command line's
// endpoints and allow lists, the reading of raw requests ahead of Qt's
// parser and the OSC senders' rate.
#include "devicetokens.h"
#include "pairingcode.h"
#include "remoteendpoint.h"
#include "remotetoken.h"
#include "requestgate.h"
#include "requestscanner.h"
#include "senderratelimit.h"
#include "specialfiles.h"
#include "testfiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

mode_t ModeOf(const QString &path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 0777 : 0;
}

} // namespace

class TestRemoteParts : public QObject {
    Q_OBJECT
private slots:
    void tokenIsMadeOnceAndKeptPrivate();
    void unusableTokenFilesAreRefused_data();
    void unusableTokenFilesAreRefused();
    void pairingCodeIsTakenOnceAndExpires();
    void pairedTabletsAreKeptPrivately();
    void untrustedDeviceFilesAreRefused_data();
    void untrustedDeviceFilesAreRefused();
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
    void clientsForTheirShare_data();
    void clientsForTheirShare();
    void requestsReadAhead_data();
    void requestsReadAhead();
    void oscSendersAreHeldToTheirRate();
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

void TestRemoteParts::pairingCodeIsTakenOnceAndExpires()
{
    PairingCode code(std::chrono::milliseconds(300));
    const QByteArray first = code.Text();
    QCOMPARE(first.size(), PairingCode::LENGTH);
    for (const char c : first)
        QVERIFY(std::strchr(PairingCode::ALPHABET, c));
    QVERIFY(!code.Take("22222222") || first == "22222222");
    QVERIFY(code.Take(first.toLower().insert(4, '-')));
    QVERIFY(!code.Take(first));
    QVERIFY(!code.Usable());
    QCOMPARE(code.RemainingMs(), 0);

    // A new code stops the old one; a code not taken in time is not taken after.
    code.Renew();
    const QByteArray second = code.Text();
    QVERIFY(second != first);
    QVERIFY(!code.Take(first));
    QTRY_VERIFY_WITH_TIMEOUT(!code.Usable(), 2000);
    QVERIFY(!code.Used());
    QVERIFY(!code.Take(second));
}

void TestRemoteParts::pairedTabletsAreKeptPrivately()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("PLAXONDATA/remote-devices"));
    QString error;
    DeviceTokens devices(path);
    QVERIFY2(devices.Load(&error), qPrintable(error)); // no file yet: no tablet
    // Made owner-only whatever the umask, and never readable by others.
    const mode_t mask = ::umask(0);
    const QByteArray first = devices.Issue(&error);
    ::umask(mask);
    QVERIFY2(!first.isEmpty(), qPrintable(error));
    const QByteArray second = devices.Issue(&error);
    QVERIFY(second != first);
    QCOMPARE(ModeOf(path), mode_t(0600));
    const QByteArray file = ReadAll(path);
    QVERIFY(!file.contains(first) && !file.contains(second));
    QCOMPARE(file.count('\n'), 2);

    // A file others were let read is made private again on the descriptor
    // it is read through, as the token file is.
    QVERIFY(::chmod(QFile::encodeName(path).constData(), 0644) == 0);
    DeviceTokens again(path);
    QVERIFY2(again.Load(&error), qPrintable(error));
    QCOMPARE(ModeOf(path), mode_t(0600));
    QVERIFY(again.Accepts(first) && again.Accepts(second));
    QVERIFY(!again.Accepts(QByteArray(32, 'a')));
    QVERIFY(!again.Accepts(first.toUpper()));
    QVERIFY(again.ForgetAll(&error));
    QVERIFY(!again.Accepts(first));
    DeviceTokens afterForget(path);
    QVERIFY(afterForget.Load(&error));
    QCOMPARE(afterForget.Count(), 0);

    // The oldest pairing gives way beyond the bound.
    QByteArray oldest;
    for (int i = 0; i <= DeviceTokens::MAX_DEVICES; ++i) {
        const QByteArray token = afterForget.Issue(&error);
        if (i == 0)
            oldest = token;
    }
    QCOMPARE(afterForget.Count(), DeviceTokens::MAX_DEVICES);
    QVERIFY(!afterForget.Accepts(oldest));
}

void TestRemoteParts::untrustedDeviceFilesAreRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("symbolic link") << QStringLiteral("link");
    QTest::newRow("FIFO") << QStringLiteral("fifo");
    QTest::newRow("folder") << QStringLiteral("folder");
    QTest::newRow("huge") << QStringLiteral("huge");
    QTest::newRow("damaged") << QStringLiteral("damaged");
}

void TestRemoteParts::untrustedDeviceFilesAreRefused()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("remote-devices"));
    const QByteArray name = QFile::encodeName(path);
    // A file that would be good, to link to or to spoil.
    const QString good = dir.filePath(QStringLiteral("good"));
    QString error;
    {
        DeviceTokens maker(good);
        QVERIFY(!maker.Issue(&error).isEmpty());
    }
    if (kind == QLatin1String("0644")) {
        QVERIFY(QFile::copy(good, path));
        QVERIFY(::chmod(name.constData(), 0644) == 0);
    } else if (kind == QLatin1String("link")) {
        QVERIFY(::symlink(QFile::encodeName(good).constData(), name.constData()) == 0);
    } else if (kind == QLatin1String("fifo")) {
        QVERIFY(::mkfifo(name.constData(), 0600) == 0);
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkdir(path));
    } else {
        QVERIFY(WriteAll(path, kind == QLatin1String("huge") ? QByteArray(1 << 20, 'a') : QByteArray("not a hash\n")));
        QVERIFY(::chmod(name.constData(), 0600) == 0);
    }
    QElapsedTimer clock;
    clock.start();
    DeviceTokens devices(path);
    QVERIFY(!devices.Load(&error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(devices.Count(), 0);
    QVERIFY(clock.elapsed() < 2000); // a FIFO is not waited on
    // Nor is a link written through: the file it names stays as it was.
    if (kind == QLatin1String("link")) {
        const QByteArray before = ReadAll(good);
        QVERIFY(devices.Issue(&error).isEmpty());
        QCOMPARE(ReadAll(good), before);
    }
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

void TestRemoteParts::clientsForTheirShare_data()
{
    QTest::addColumn<QString>("peer");
    QTest::addColumn<QString>("client");
    QTest::newRow("IPv4") << QStringLiteral("192.168.1.9") << QStringLiteral("192.168.1.9");
    QTest::newRow("IPv4 on a dual-stack socket") << QStringLiteral("::ffff:192.168.1.9") << QStringLiteral("192.168.1.9");
    QTest::newRow("IPv6, its /64") << QStringLiteral("2001:db8:1:2:a:b:c:d") << QStringLiteral("2001:db8:1:2::");
    QTest::newRow("IPv6 loopback") << QStringLiteral("::1") << QStringLiteral("::");
}

void TestRemoteParts::clientsForTheirShare()
{
    QFETCH(QString, peer);
    QFETCH(QString, client);
    QCOMPARE(ClientOf(QHostAddress(peer)), QHostAddress(client));
}

void TestRemoteParts::requestsReadAhead_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<int>("status"); // 0: taken
    QTest::addColumn<bool>("closeAfter"); // after the first answer
    QTest::addColumn<int>("requests");    // framed, waiting for their answers

    const QByteArray get = "GET /api/state HTTP/1.1\r\nHost: 127.0.0.1:8080\r\n";
    const QByteArray post = "POST /api/stop HTTP/1.1\r\nHost: 127.0.0.1:8080\r\n";
    QTest::newRow("GET") << get + "\r\n" << 0 << false << 1;
    QTest::newRow("blank lines before it") << "\r\n\r\n" + get + "\r\n" << 0 << false << 1;
    QTest::newRow("Connection: close") << get + "Connection: keep-alive, Close\r\n\r\n" << 0 << true << 1;
    QTest::newRow("HTTP/1.0") << QByteArray("GET / HTTP/1.0\r\n\r\n") << 0 << true << 1;
    QTest::newRow("body") << post + "Content-Length: 5\r\n\r\nhello" << 0 << false << 1;
    QTest::newRow("chunked") << post + "Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\nA;x=1\r\n0123456789\r\n0\r\nX-Sum: 1\r\n\r\n" << 0 << false << 1;
    QTest::newRow("absolute form, its own host") << QByteArray("POST http://127.0.0.1:8080/api/stop HTTP/1.1\r\nHost: 127.0.0.1:8080\r\nContent-Length: 0\r\n\r\n") << 0 << false << 1;
    QTest::newRow("two Host") << QByteArray("GET / HTTP/1.1\r\nHost: evil.example\r\nhost: 127.0.0.1:8080\r\n\r\n") << 400 << false << 1;
    QTest::newRow("two Origin") << get + "Origin: http://evil.example\r\nOrigin: http://127.0.0.1:8080\r\n\r\n" << 400 << false << 1;
    QTest::newRow("two Authorization") << get + "Authorization: Bearer a\r\nAUTHORIZATION: Bearer b\r\n\r\n" << 400 << false << 1;
    QTest::newRow("two equal Content-Length") << post + "Content-Length: 0\r\nContent-Length: 0\r\n\r\n" << 400 << false << 1;
    QTest::newRow("Content-Length and chunked") << post + "Content-Length: 5\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n" << 400 << false << 1;
    QTest::newRow("Content-Length -5") << post + "Content-Length: -5\r\n\r\n" << 400 << false << 1;
    QTest::newRow("chunk size zz") << post + "Transfer-Encoding: chunked\r\n\r\nzz\r\n" << 400 << false << 1;
    QTest::newRow("chunk size 0x5") << post + "Transfer-Encoding: chunked\r\n\r\n0x5\r\nhello\r\n0\r\n\r\n" << 400 << false << 1;
    QTest::newRow("chunk longer than its size") << post + "Transfer-Encoding: chunked\r\n\r\n2\r\nhello\r\n0\r\n\r\n" << 400 << false << 1;
    QTest::newRow("gzip coding") << post + "Transfer-Encoding: gzip\r\n\r\n" << 400 << false << 1;
    QTest::newRow("absolute form, another host") << QByteArray("POST http://evil.example/api/stop HTTP/1.1\r\nHost: 127.0.0.1:8080\r\n\r\n") << 400 << false << 1;
    QTest::newRow("target not a path") << QByteArray("GET api/state HTTP/1.1\r\nHost: 127.0.0.1:8080\r\n\r\n") << 400 << false << 1;
    QTest::newRow("no Host") << QByteArray("GET / HTTP/1.1\r\n\r\n") << 400 << false << 1;
    QTest::newRow("HTTP/2.0") << QByteArray("GET / HTTP/2.0\r\nHost: 127.0.0.1:8080\r\n\r\n") << 400 << false << 1;
    QTest::newRow("bare LF") << QByteArray("GET / HTTP/1.1\nHost: 127.0.0.1:8080\n\n") << 400 << false << 1;
    QTest::newRow("folded header") << get + "X-A: 1\r\n  2\r\n\r\n" << 400 << false << 1;
    QTest::newRow("h2c upgrade") << get + "Upgrade: h2c\r\nConnection: Upgrade\r\n\r\n" << 400 << false << 1;
    QTest::newRow("two at once") << get + "\r\n" + post + "Content-Length: 2\r\n\r\n{}" << 0 << false << 2;
    QTest::newRow("nothing after the close") << get + "Connection: close\r\n\r\n" + post + "Content-Length: 2\r\n\r\n{}" << 0 << true << 1;
    QTest::newRow("body over the limit") << post + "Content-Length: 2000\r\n\r\n" << 413 << false << 1;
    QTest::newRow("chunks over the limit") << post + "Transfer-Encoding: chunked\r\n\r\n400\r\n" + QByteArray(1024, 'x') + "\r\n400\r\n" << 413 << false << 1;
    QTest::newRow("head over 16 KiB") << get + "X-Fill: " + QByteArray(RequestScanner::HEAD_LIMIT, 'x') + "\r\n\r\n" << 431 << false << 1;
}

void TestRemoteParts::requestsReadAhead()
{
    QFETCH(QByteArray, raw);
    QFETCH(int, status);
    QFETCH(bool, closeAfter);
    QFETCH(int, requests);
    constexpr qint64 requestLimit = 1500;
    // All at once, and a byte at a time: where the bytes are cut changes nothing.
    for (const bool bytewise : {false, true}) {
        RequestScanner scanner(requestLimit);
        std::optional<RequestScanner::Refusal> refusal;
        if (bytewise) {
            for (qsizetype i = 0; i < raw.size() && !refusal; ++i)
                refusal = scanner.Feed(QByteArrayView(raw).sliced(i, 1));
        } else {
            refusal = scanner.Feed(raw);
        }
        QVERIFY2((refusal ? refusal->status : 0) == status,
                 refusal ? refusal->reason.constData() : "taken, not refused");
        if (refusal) {
            QVERIFY(!refusal->reason.isEmpty());
            continue;
        }
        QCOMPARE(scanner.CloseAfterAnswer(), closeAfter);
        // Each whole request was framed: they wait for their answers, then the next may come.
        for (int answered = 0; answered < requests; ++answered) {
            QVERIFY(!scanner.Idle());
            scanner.Answered();
        }
        QVERIFY(scanner.Idle());
        QVERIFY(!scanner.Feed("GET / HTTP/1.1\r\nHost: 127.0.0.1:8080\r\n\r\n"));
        QCOMPARE(scanner.Idle(), closeAfter); // after the close, nothing more is taken
    }
}

void TestRemoteParts::oscSendersAreHeldToTheirRate()
{
    SenderRateLimit::Limits limits;
    limits.rate = 20;
    limits.burst = 10;
    limits.totalRate = 30;
    limits.totalBurst = 15;
    SenderRateLimit rate(limits);
    const QHostAddress a(QStringLiteral("192.0.2.1")), b(QStringLiteral("192.0.2.2")), c(QStringLiteral("192.0.2.3"));
    auto taken = [&](const QHostAddress &sender, int tries, qint64 now) {
        int n = 0;
        for (int i = 0; i < tries; ++i)
            n += rate.Take(sender, now);
        return n;
    };
    // A burst, then the rate; the others' share of the total is what is left.
    QCOMPARE(taken(a, 100, 0), 10);
    QCOMPARE(taken(b, 100, 0), 5);
    QCOMPARE(taken(c, 100, 0), 0);
    SenderRateLimit::Summary summary = rate.TakeSummary();
    QCOMPARE(summary.dropped, 90 + 95 + 100);
    QCOMPARE(summary.senders, 3);
    QCOMPARE(summary.first, a);
    QCOMPARE(taken(a, 100, 500), 10);
    QCOMPARE(rate.TakeSummary().senders, 1);
    // A second later a quiet sender has its burst back, within the total.
    QCOMPARE(taken(c, 100, 1500), 10);
    QCOMPARE(rate.TakeSummary().dropped, 90);
}

QTEST_GUILESS_MAIN(TestRemoteParts)
#include "tst_remoteparts.moc"
