// The journal of the real panel under an OSC flood on a small file system
// that runs out of room: the settings save still succeeds, the journal
// pauses below its reserve, says why, and goes on by itself once space is
// back. Staged for real on a tmpfs in the test's own mount namespace.

#include "configmodel.h"
#include "cplaxondlg.h"
#include "maintemplates.h"
#include "filesystemfaults.h"
#include "journal.h"
#include "linktestsupport.h"
#include "markerbitmaps.h"
#include "messagebox.h"
#include "oscreceiver.h"
#include "remotecontrol.h"
#include "settingsfile.h"
#include "testfiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <lo/lo.h>

#include <memory>

namespace {

// Room for the reserve, the settings and a filler that takes the rest.
constexpr qint64 kTmpfsBytes = qint64(24) << 20;
constexpr int kFloodDatagrams = 2000;
constexpr int kLongAddress = 65000; // the largest address a datagram carries, near enough

QByteArray OscDatagram(const QByteArray &path)
{
    lo_message message = lo_message_new();
    size_t size = 0;
    void *data = lo_message_serialise(message, path.constData(), nullptr, &size);
    QByteArray bytes(static_cast<const char *>(data), qsizetype(size));
    std::free(data);
    lo_message_free(message);
    return bytes;
}

QString DayFile()
{
    return QStringLiteral("PLAXONDATA/journal/%1.txt").arg(QDate::currentDate().toString(Qt::ISODate));
}

} // namespace

class TestJournalFaults : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void floodOnAFillingDisk();

private:
    void Flood(RemoteControl &remote);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TmpfsMount> m_tmpfs;
    QString m_previousDir;
};

void TestJournalFaults::initTestCase()
{
    LoadMarkerBitmaps();
    // The panel starts without a button set, which it says in a message box.
    SetMessageBoxHandler([](const MessageBoxCall &) { return MSG_OK; });
    const QString mounts = EnterPrivateMounts();
    QVERIFY2(mounts.isEmpty(), qPrintable("a private mount namespace is needed: " + mounts));
}

void TestJournalFaults::init()
{
    m_previousDir = QDir::currentPath();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_tmpfs = std::make_unique<TmpfsMount>(m_dir->path(), kTmpfsBytes);
    QVERIFY2(m_tmpfs->Error().isEmpty(), qPrintable("a small disk could not be staged: " + m_tmpfs->Error()));
    QVERIFY(QDir::setCurrent(m_dir->path()));
    ClearConfiguration();
    g_Settings.LANG = 1;
    QCOMPARE(SaveSettings(), 0);
}

void TestJournalFaults::cleanup()
{
    QDir::setCurrent(m_previousDir);
    m_tmpfs.reset();
    m_dir.reset();
}

// Datagrams the receiver has dealt with: dropped after decoding, or over the
// sender's rate and dropped unread.
static int Heard(RemoteControl &remote)
{
    return remote.Osc()->Dropped() + remote.Osc()->Limited();
}

// Unknown addresses of every kind a sender might try: the longest one, one
// that forges a line, one with escape sequences.
void TestJournalFaults::Flood(RemoteControl &remote)
{
    const quint16 port = remote.Osc()->Port();
    const QList<QByteArray> paths = {
        "/plaxon/" + QByteArray(kLongAddress, '\xe9'),
        "/plaxon/x\n12:00:00.000  CMD_RUN  PC1 \"forged\" 1/1",
        "/plaxon/\x1b[2J\x1b]0;pwned\x07",
    };
    QUdpSocket sender;
    for (int i = 0; i < kFloodDatagrams; ++i) {
        const int heard = Heard(remote);
        sender.writeDatagram(OscDatagram(paths[i % paths.size()]), QHostAddress::LocalHost, port);
        // As fast as the panel takes them, not faster than the socket's buffer.
        QElapsedTimer wait;
        wait.start();
        while (Heard(remote) == heard && wait.elapsed() < 100)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

void TestJournalFaults::floodOnAFillingDisk()
{
    RemoteSettings settings;
    settings.osc = RemoteEndpoint{QHostAddress(QHostAddress::LocalHost), 0};
    RemoteControl remote(settings);
    QString error;
    QVERIFY2(remote.Start(&error), qPrintable(error));
    CPlaxonDlg panel(IDD_PLAXON_5X8);
    QVERIFY(panel.Create(IDD_PLAXON_5X8, nullptr));
    remote.Attach(&panel);

    // With room to spare: the flood is bounded by the remark limit, and no
    // raw control character reaches the file.
    QElapsedTimer clock;
    clock.start();
    Flood(remote);
    QTRY_VERIFY_WITH_TIMEOUT(Heard(remote) >= kFloodDatagrams * 9 / 10, 20000);
    const qint64 seconds = clock.elapsed() / 1000 + 2;
    // The excess is summed up: by the receiver's rate limit, or by the
    // journal's limit on remarks per sender.
    QTRY_VERIFY_WITH_TIMEOUT(ReadAll(DayFile()).contains("left out")
                                 || ReadAll(DayFile()).contains("over the rate limit"),
                             3000);

    const QByteArray written = ReadAll(DayFile());
    qInfo("flood of %d datagrams over %lld ms: %lld journal bytes", kFloodDatagrams, clock.elapsed(),
          qint64(written.size()));
    QVERIFY2(written.size() <= seconds * 2 * Journal::REMARKS_PER_SECOND * Journal::LINE_BYTES,
             qPrintable(QString::number(written.size())));
    for (const QByteArray &line : written.split('\n')) {
        QVERIFY(line.size() < Journal::LINE_BYTES);
        QVERIFY2(!line.startsWith("12:00:00.000"), line.constData());
        for (const char c : line)
            QVERIFY2(uchar(c) >= 0x20 && c != 0x7f, line.left(60).constData());
    }

    // Below the reserve: the journal pauses and says why; a save still goes through.
    const QString filler = QStringLiteral("filler");
    const qint64 free = FreeBytes(QStringLiteral("."));
    QVERIFY(free > JournalBounds().reserveBytes);
    QVERIFY(WriteAll(filler, QByteArray(free - JournalBounds().reserveBytes + (qint64(1) << 20), 'F')));
    const qint64 before = QFileInfo(DayFile()).size();
    Flood(remote);
    QTRY_VERIFY_WITH_TIMEOUT(panel.CommandJournal().Failed(), 5000);
    QVERIFY2(panel.CommandJournal().FailureText().contains(QStringLiteral("less than 16 MiB is free")),
             qPrintable(panel.CommandJournal().FailureText()));
    QVERIFY(QFileInfo(DayFile()).size() == before);
    g_Settings.BRIGHT_ENA = 1;
    QCOMPARE(SaveSettings(), 0);
    LoadSettings();
    QCOMPARE(g_Settings.BRIGHT_ENA, uchar(1));

    // Space back: the journal goes on by itself and notes the pause first.
    QVERIFY(QFile::remove(filler));
    QTRY_VERIFY_WITH_TIMEOUT(!panel.CommandJournal().Failed(), 3 * Journal::RETRY_MS);
    Flood(remote);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(DayFile()).size() > before, 5000);
    const QByteArray after = ReadAll(DayFile()).mid(before);
    QVERIFY2(after.startsWith(QByteArray()) && after.contains("journal  resumed: paused since"), after.left(300).constData());
    QVERIFY(after.indexOf("resumed") < after.indexOf("osc  "));
    QVERIFY(after.contains("less than 16777216 bytes free"));
}

QTEST_MAIN(TestJournalFaults)
#include "tst_journalfaults.moc"
