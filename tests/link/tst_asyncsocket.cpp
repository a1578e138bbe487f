// The platform socket against real loopback peers: connect results, every
// way a peer can end the connection, and sends that never split a buffer.

#include "asyncsocket.h"
#include "hostlookup.h"
#include "recordsink.h"
#include "socketerrors.h"
#include "underwine.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <cstring>

namespace {

class ProbeSocket : public AsyncSocket {
public:
    QList<int> connects;
    QList<int> closes;

protected:
    void OnConnect(int error) override { connects << error; }
    void OnClose(int error) override
    {
        closes << error;
        Close();
    }
};

Ipv4SocketAddress Loopback(quint16 port)
{
    Ipv4SocketAddress a;
    const int rc = ResolveIPv4("127.0.0.1", port, &a);
    Q_ASSERT(rc == 0);
    return a;
}

// A record whose every byte tells its sequence number and position, so a
// record cut or spliced anywhere shows.
QByteArray NumberedRecord(int32_t seq)
{
    QByteArray r(104, '\0');
    std::memcpy(r.data(), &seq, sizeof seq);
    for (int j = 4; j < 104; ++j)
        r[j] = char((seq * 7 + j) & 0xFF);
    return r;
}

} // namespace

class TestAsyncSocket : public QObject {
    Q_OBJECT
private slots:
    void connectResult_data()
    {
        QTest::addColumn<bool>("listening");
        QTest::addColumn<int>("error");
        QTest::newRow("listening") << true << 0;
        QTest::newRow("refused") << false << WSAECONNREFUSED;
    }
    void connectResult()
    {
        QFETCH(bool, listening);
        QFETCH(int, error);
        RecordSink sink;
        QVERIFY(sink.Listen());
        const quint16 port = sink.Port();
        if (!listening)
            sink.StopListening();

        ProbeSocket s;
        QCOMPARE(s.Create(), 0);
        QCOMPARE(s.AsyncSelect(FD_CONNECT | FD_CLOSE), 0);
        QCOMPARE(s.Connect(Loopback(port)), WSAEWOULDBLOCK);
        QVERIFY(s.connects.isEmpty()); // the result arrives from the event loop only
        QTRY_COMPARE(s.connects.size(), 1);
        QCOMPARE(s.connects[0], error);
        QCOMPARE(s.IsConnected(), listening);
        if (listening)
            QTRY_COMPARE(sink.Accepted(), 1);
        QVERIFY(s.closes.isEmpty());
    }

    // However the station ends the connection, the close arrives, also after
    // the station sent plenty that nobody asked for.
    void peerEnds_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("error");
        QTest::newRow("close") << "close" << 0;
        QTest::newRow("close after 4 MB of chatter") << "flood" << 0;
        QTest::newRow("reset") << "reset" << WSAECONNRESET;
    }
    void peerEnds()
    {
        QFETCH(QString, how);
        QFETCH(int, error);
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        ProbeSocket s;
        QCOMPARE(s.Create(), 0);
        QCOMPARE(s.AsyncSelect(FD_CONNECT | FD_CLOSE), 0);
        s.Connect(Loopback(server.serverPort()));
        QTRY_VERIFY(server.hasPendingConnections());
        QTcpSocket *peer = server.nextPendingConnection();
        QTRY_COMPARE(s.connects, QList<int>{0});

        if (how == "reset") {
            // Closing with unread bytes makes the system answer with a reset.
            peer->setReadBufferSize(1);
            QCOMPARE(s.Send(NumberedRecord(1).constData(), 104), 104);
            QTRY_VERIFY(peer->bytesAvailable() > 0);
            peer->abort();
        } else {
            if (how == "flood") {
                const QByteArray chunk(64 * 1024, 'x');
                for (int i = 0; i < 64; ++i)
                    peer->write(chunk);
            }
            peer->disconnectFromHost(); // after what was written has gone
        }
        QTRY_COMPARE_WITH_TIMEOUT(s.closes.size(), 1, 20000);
        if (error != 0)
            EXPECT_FAIL_UNDER_WINE("WSAECONNRESET in the FD_CLOSE of a reset connection (it reports it as a graceful close)");
        QCOMPARE(s.closes[0], error);
        QVERIFY(!s.IsOpen());
    }

    // A station that stops reading: the socket takes records whole until its
    // backlog is full, then refuses them whole; once the station reads again
    // it receives exactly the records taken, in order, none cut.
    void sendIsWholeOrNothing()
    {
        RecordSink sink;
        sink.SetReading(false);
        QVERIFY(sink.Listen());
        ProbeSocket s;
        s.SetSendBacklog(32 * 104);
        QCOMPARE(s.Create(), 0);
        QCOMPARE(s.AsyncSelect(FD_CONNECT | FD_CLOSE), 0);
        s.Connect(Loopback(sink.Port()));
        QTRY_COMPARE(s.connects, QList<int>{0});
        QTRY_COMPARE(sink.Accepted(), 1);

        int taken = 0;
        int refusedInARow = 0;
        for (int seq = 0; seq < 1000000 && refusedInARow < 100; ++seq) {
            const int rc = s.Send(NumberedRecord(seq).constData(), 104);
            if (rc == 104) {
                QCOMPARE(refusedInARow, 0); // no station read, so nothing may be taken after a refusal
                QCOMPARE(seq, taken);
                ++taken;
            } else {
                QCOMPARE(rc, SOCKET_ERROR);
                QCOMPARE(s.LastError(), WSAEWOULDBLOCK);
                ++refusedInARow;
            }
        }
        qInfo("%d records taken before the backlog filled", taken);
        QCOMPARE(refusedInARow, 100);
        QVERIFY(taken > 0);
        QVERIFY(s.BacklogBytes() <= 32 * 104 + 104);

        sink.SetReading(true);
        QTRY_COMPARE_WITH_TIMEOUT(sink.Received().size(), qsizetype(taken) * 104, 30000);
        const QByteArray &got = sink.Received();
        for (int seq = 0; seq < taken; ++seq) {
            if (got.mid(qsizetype(seq) * 104, 104) != NumberedRecord(seq))
                QFAIL(qPrintable(QStringLiteral("record %1 of %2 differs").arg(seq).arg(taken)));
        }
        // Drained: records are taken again.
        QTRY_COMPARE(s.BacklogBytes(), 0);
        QCOMPARE(s.Send(NumberedRecord(taken).constData(), 104), 104);
        QTRY_COMPARE(sink.Received().size(), qsizetype(taken + 1) * 104);
        QCOMPARE(sink.Received().right(104), NumberedRecord(taken));
    }
};

QTEST_GUILESS_MAIN(TestAsyncSocket)
#include "tst_asyncsocket.moc"
