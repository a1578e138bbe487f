// The remote API against the real main window and loopback stations: every
// answer code, the state against the panel, the records each command sends,
// the WebSocket stream, OSC from oscsend, and hostile input.
#include "buttonsetfile.h"
#include "commandrecord.h"
#include "codepage.h"
#include "configmodel.h"
#include "layouttypes.h"
#include "connectionguard.h"
#include "cplaxondlg.h"
#include "httpexchange.h"
#include "linktestsupport.h"
#include "maintemplates.h"
#include "markerbitmaps.h"
#include "oscreceiver.h"
#include "panelremote.h"
#include "rawattacker.h"
#include "recordsink.h"
#include "remotecontrol.h"
#include "remotehttpserver.h"
#include "remotepairing.h"
#include "remotewindow.h"
#include "settingsfile.h"
#include "sleepyclient.h"
#include "stateevents.h"

#include <QDate>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSlider>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>
#include <QWebSocket>

#include <lo/lo.h>

#include <netinet/in.h>
#include <sys/stat.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

namespace {

QByteArray Run(int32_t code, const char *name)
{
    return RecordBytes(code, QByteArray(name));
}

QByteArray BrightnessBytes(int32_t value)
{
    const CommandRecord record = BuildBrightnessRecord(value);
    return QByteArray(reinterpret_cast<const char *>(&record), sizeof record);
}

QJsonObject JsonOf(const QByteArray &body)
{
    return QJsonDocument::fromJson(body).object();
}

// A delivery answer with the records in flight counted as reached: what
// the panel handed over, whether or not the acknowledgement came yet.
QJsonObject HandedOver(QJsonObject delivery)
{
    for (const QString &key : delivery.keys()) {
        QJsonObject station = delivery.value(key).toObject();
        station.insert(QStringLiteral("reached"),
                       station.value(QStringLiteral("reached")).toInt() + station.value(QStringLiteral("inFlight")).toInt());
        station.remove(QStringLiteral("inFlight"));
        delivery.insert(key, station);
    }
    return delivery;
}

QStringList JournalLines()
{
    QFile file(QStringLiteral("PLAXONDATA/journal/%1.txt").arg(QDate::currentDate().toString(Qt::ISODate)));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// The resident memory of this process (the panel under test), in bytes.
qint64 ResidentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    return -1;
}

// AddressSanitizer keeps freed memory in quarantine, so resident memory
// says nothing about what the panel holds there.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kResidentMemoryMeansAnything = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kResidentMemoryMeansAnything = false;
#else
constexpr bool kResidentMemoryMeansAnything = true;
#endif
#else
constexpr bool kResidentMemoryMeansAnything = true;
#endif

const QHostAddress kAttacker(QStringLiteral("127.0.0.2"));
const QHostAddress kTablet(QStringLiteral("127.0.0.3"));

// An OSC message as a show-control system sends it, built by liblo.
QByteArray OscMessage(const char *path, const char *types, std::initializer_list<double> values)
{
    lo_message message = lo_message_new();
    auto value = values.begin();
    for (const char *t = types; *t; ++t, ++value) {
        if (*t == 'i')
            lo_message_add_int32(message, int32_t(*value));
        else if (*t == 'f')
            lo_message_add_float(message, float(*value));
        else if (*t == 's')
            lo_message_add_string(message, "text");
    }
    size_t size = 0;
    void *data = lo_message_serialise(message, path, nullptr, &size);
    const QByteArray bytes(static_cast<const char *>(data), qsizetype(size));
    free(data);
    lo_message_free(message);
    return bytes;
}

} // namespace

class TestRemote : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void answerCodes_data();
    void answerCodes();
    void stateShowsThePanel();
    void commandsSendWhatTheButtonsSend_data();
    void commandsSendWhatTheButtonsSend();
    void refusedWhereTheClickWouldDoNothing_data();
    void refusedWhereTheClickWouldDoNothing();
    void stopGoesThroughAnOpenDialog();
    void eventsStartWithTheStateAndFollowAStationDrop();
    void eventsAreCoalesced();
    void eventStreamRefusals_data();
    void eventStreamRefusals();
    void oscFromOscsend_data();
    void oscFromOscsend();
    void oscSenderOutsideTheAllowListIsNotHeard();
    void oscRefusalsAreJournaled();
    void hostileInputDoesNothingAndTheTickGoesOn();
    void oversizedAndAbandonedConnectionsAreClosed();
    void silentConnectionsAreClosed();
    void aClientThatStopsReadingIsLetGo();
    void aClientAtItsShareMakesRoomWithItsIdleConnections();
    void aStreamWhoseReaderIsGoneIsLetGo();
    void unreadAnswersAreCappedAndTheirReaderClosed();
    void lockoutAttemptsLeaveTheTabletServed_data();
    void lockoutAttemptsLeaveTheTabletServed();
    void strictEdgesRunNothing_data();
    void strictEdgesRunNothing();
    void oscFloodIsHeldToTheRate();
    void everyAddressTakesIPv4Too();
    void followsTheWindowAcrossARebuild();
    void pairingGivesADeviceTokenOnce();
    void pairRefusals_data();
    void pairRefusals();
    void forgottenTabletsAreShutOut();
    void stateTellsTheLiveLinksAndTheSettingsPause();
    void remoteWindowFromTheLinkIcon();

private:
    bool OpenPanel(int layout = 0);
    void WaitForLinks(int32_t state);
    void SetButton(int k, const char *name, std::initializer_list<const char *> programs);
    HttpAnswer Api(const QByteArray &method, const QByteArray &path, const QByteArray &body = {});
    HttpAnswer Pair(const QByteArray &code);
    QByteArray Code() { return m_remote->Pairing()->Code().Text(); }
    quint16 HttpPort() { return m_remote->Http()->Port(); }
    void ClearSinks()
    {
        for (RecordSink &sink : m_sink)
            sink.ClearReceived();
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previousDir;
    std::unique_ptr<CPlaxonDlg> m_panel;
    std::unique_ptr<RemoteControl> m_remote;
    QByteArray m_token;
    RecordSink m_sink[4];
};

void TestRemote::initTestCase()
{
    LoadMarkerBitmaps();
    for (RecordSink &sink : m_sink)
        QVERIFY(sink.Listen());
}

void TestRemote::init()
{
    m_previousDir = QDir::currentPath();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir::setCurrent(m_dir->path()));
    QVERIFY(QDir().mkdir(QStringLiteral("PLAXONDATA")));
    ClearConfiguration();
    // Station 1 on two ports, station 2 on one, 3 enabled without an address, 4 disabled.
    ConfigureStation(0, true, "127.0.0.1", {m_sink[0].Port(), m_sink[1].Port()});
    ConfigureStation(1, true, "127.0.0.1", {m_sink[2].Port()});
    ConfigureStation(2, false, "127.0.0.1", {m_sink[3].Port()});
    g_Settings.BRIGHT_ENA = 1;
    g_Settings.LANG = 1;
    CopyText(g_Settings.LASTFNAME, "set.PUC");
    SetButton(0, "Intro", {"show\\intro", "show\\intro wide"});
    SetButton(1, "Žluťoučký", {"", "kůň"});
    g_Buttons.BUTTON[1].COLOR = 0x00E6D8AD; // light blue, red in the low byte
    SetButton(10, "Eleven", {"eleven", "eleven"});
    QCOMPARE(SaveButtonSet("set.PUC"), 0);
    QCOMPARE(SaveSettings(), 0);
    ClearSinks();

    RemoteSettings settings;
    settings.http = RemoteEndpoint{QHostAddress(QHostAddress::LocalHost), 0};
    settings.osc = RemoteEndpoint{QHostAddress(QHostAddress::LocalHost), 0};
    m_remote = std::make_unique<RemoteControl>(settings);
    QString error;
    QVERIFY2(m_remote->Start(&error), qPrintable(error));
    QFile token(QStringLiteral("PLAXONDATA/remote-token"));
    QVERIFY(token.open(QIODevice::ReadOnly));
    m_token = token.readAll().trimmed();
    // The printed address carries the pairing code, never a token.
    QCOMPARE(m_remote->WebRemoteUrl(),
             QStringLiteral("http://127.0.0.1:%1/#pair=%2").arg(HttpPort()).arg(QString::fromLatin1(Code())));
    QVERIFY(QRegularExpression(QStringLiteral("^[2-9A-HJKMNP-Z]{8}$")).match(QString::fromLatin1(Code())).hasMatch());
}

void TestRemote::cleanup()
{
    m_remote.reset();
    m_panel.reset();
    QDir::setCurrent(m_previousDir);
    m_dir.reset();
}

void TestRemote::SetButton(int k, const char *name, std::initializer_list<const char *> programs)
{
    ButtonRecord &b = g_Buttons.BUTTON[k];
    b.ENABLE = 1;
    CopyText(b.NAME, QStringToAnsi(QString::fromUtf8(name)).constData());
    int s = 0;
    for (const char *p : programs)
        CopyText(b.PROGRAM[s++], QStringToAnsi(QString::fromUtf8(p)).constData());
}

bool TestRemote::OpenPanel(int layout)
{
    g_Settings.DIALOG = static_cast<unsigned char>(layout);
    const int templateId = TemplateForLayout(layout, IDD_PLAXON_5X8);
    m_panel = std::make_unique<CPlaxonDlg>(templateId);
    if (!m_panel->Create(templateId, nullptr))
        return false;
    m_panel->show();
    if (!QTest::qWaitForWindowExposed(m_panel.get()))
        return false;
    m_remote->Attach(m_panel.get());
    return true;
}

void TestRemote::WaitForLinks(int32_t state)
{
    QTRY_COMPARE_WITH_TIMEOUT(m_panel->Links().ShownState(), state, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(LastTickLinkState(), state, 2000);
}

HttpAnswer TestRemote::Api(const QByteArray &method, const QByteArray &path, const QByteArray &body)
{
    return Exchange(HttpPort(), Request(method, path, HttpPort(), m_token, body));
}

HttpAnswer TestRemote::Pair(const QByteArray &code)
{
    return Exchange(HttpPort(), Request("POST", "/api/pair", HttpPort(), {}, "{\"code\": \"" + code + "\"}"));
}

void TestRemote::answerCodes_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QString>("token"); // "good", "none", "wrong"
    QTest::addColumn<QList<QByteArray>>("headers"); // %PORT% is the server's port
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");

    const QList<QByteArray> none;
    const QString good = QStringLiteral("good");
    QTest::newRow("page") << QByteArray("GET") << QByteArray("/") << QStringLiteral("none") << none << QByteArray() << 200;
    QTest::newRow("asset") << QByteArray("GET") << QByteArray("/assets/remote.js") << QStringLiteral("none") << none << QByteArray() << 200;
    QTest::newRow("missing asset") << QByteArray("GET") << QByteArray("/assets/x.js") << good << none << QByteArray() << 404;
    QTest::newRow("asset climbing out") << QByteArray("GET") << QByteArray("/assets/../remote-token") << good << none << QByteArray() << 404;
    QTest::newRow("page by POST") << QByteArray("POST") << QByteArray("/") << good << none << QByteArray() << 405;
    QTest::newRow("state") << QByteArray("GET") << QByteArray("/api/state") << good << none << QByteArray() << 200;
    QTest::newRow("state, no token") << QByteArray("GET") << QByteArray("/api/state") << QStringLiteral("none") << none << QByteArray() << 401;
    QTest::newRow("state, wrong token") << QByteArray("GET") << QByteArray("/api/state") << QStringLiteral("wrong") << none << QByteArray() << 401;
    QTest::newRow("state by POST") << QByteArray("POST") << QByteArray("/api/state") << good << none << QByteArray() << 405;
    QTest::newRow("launch by GET") << QByteArray("GET") << QByteArray("/api/launch/1") << good << none << QByteArray() << 405;
    QTest::newRow("unknown api path") << QByteArray("GET") << QByteArray("/api/nothing") << good << none << QByteArray() << 404;
    QTest::newRow("unknown api path, no token") << QByteArray("GET") << QByteArray("/api/nothing") << QStringLiteral("none") << none << QByteArray() << 401;
    QTest::newRow("launch 0") << QByteArray("POST") << QByteArray("/api/launch/0") << good << none << QByteArray() << 400;
    QTest::newRow("launch 41") << QByteArray("POST") << QByteArray("/api/launch/41") << good << none << QByteArray() << 400;
    QTest::newRow("launch x") << QByteArray("POST") << QByteArray("/api/launch/x") << good << none << QByteArray() << 404;
    QTest::newRow("brightness, not JSON") << QByteArray("POST") << QByteArray("/api/brightness") << good << none << QByteArray("{value: 3") << 400;
    QTest::newRow("brightness 101") << QByteArray("POST") << QByteArray("/api/brightness") << good << none << QByteArray(R"({"value": 101})") << 400;
    QTest::newRow("brightness 2.5") << QByteArray("POST") << QByteArray("/api/brightness") << good << none << QByteArray(R"({"value": 2.5})") << 400;
    QTest::newRow("brightness station 5") << QByteArray("POST") << QByteArray("/api/brightness") << good << none << QByteArray(R"({"value": 5, "stations": [5]})") << 400;
    QTest::newRow("brightness stations not a list") << QByteArray("POST") << QByteArray("/api/brightness") << good << none << QByteArray(R"({"value": 5, "stations": 1})") << 400;
    QTest::newRow("body over 64 KiB") << QByteArray("POST") << QByteArray("/api/play") << good << none << QByteArray(64 * 1024 + 1, ' ') << 413;
    QTest::newRow("events without upgrade") << QByteArray("GET") << QByteArray("/api/events") << good << none << QByteArray() << 426;
    QTest::newRow("foreign host") << QByteArray("GET") << QByteArray("/api/state") << good << QList<QByteArray>{"Host: plaxon.example:%PORT%"} << QByteArray() << 403;
    QTest::newRow("host without port") << QByteArray("GET") << QByteArray("/api/state") << good << QList<QByteArray>{"Host: 127.0.0.1"} << QByteArray() << 403;
    QTest::newRow("localhost") << QByteArray("GET") << QByteArray("/api/state") << good << QList<QByteArray>{"Host: localhost:%PORT%"} << QByteArray() << 200;
    QTest::newRow("foreign origin") << QByteArray("POST") << QByteArray("/api/play") << good << QList<QByteArray>{"Origin: http://evil.example"} << QByteArray() << 403;
    QTest::newRow("own origin") << QByteArray("GET") << QByteArray("/api/state") << good << QList<QByteArray>{"Origin: http://127.0.0.1:%PORT%"} << QByteArray() << 200;
    QTest::newRow("null origin") << QByteArray("GET") << QByteArray("/") << good << QList<QByteArray>{"Origin: null"} << QByteArray() << 403;
}

void TestRemote::answerCodes()
{
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, path);
    QFETCH(QString, token);
    QFETCH(QList<QByteArray>, headers);
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QVERIFY(OpenPanel());
    WaitForLinks(LINKS_FULL);
    const QByteArray port = QByteArray::number(HttpPort());
    QByteArray raw = method + ' ' + path + " HTTP/1.1\r\n";
    bool hostGiven = false;
    for (QByteArray header : headers) {
        header.replace("%PORT%", port);
        hostGiven = hostGiven || header.startsWith("Host:");
        raw += header + "\r\n";
    }
    if (!hostGiven)
        raw += "Host: 127.0.0.1:" + port + "\r\n";
    if (token == QLatin1String("good"))
        raw += "Authorization: Bearer " + m_token + "\r\n";
    else if (token == QLatin1String("wrong"))
        raw += "Authorization: Bearer " + QByteArray(m_token).replace(0, 1, m_token[0] == 'a' ? "b" : "a") + "\r\n";
    raw += "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;

    const HttpAnswer answer = Exchange(HttpPort(), raw);
    QCOMPARE(answer.status, status);
    // No cross-origin grant, ever.
    QVERIFY(!answer.headers.contains("Access-Control"));
    // Nothing reached a station, whatever the answer.
    QTest::qWait(50);
    for (RecordSink &sink : m_sink)
        QCOMPARE(sink.Received(), QByteArray());
    if (path.startsWith("/api/") && status != 200)
        QCOMPARE(JsonOf(answer.body).value(QStringLiteral("ok")), QJsonValue(false));
}

void TestRemote::stateShowsThePanel()
{
    QVERIFY(OpenPanel());
    WaitForLinks(LINKS_FULL);
    const HttpAnswer answer = Api("GET", "/api/state");
    QCOMPARE(answer.status, 200);
    QCOMPARE(answer.Header("Content-Type"), QByteArray("application/json"));
    const QJsonObject state = JsonOf(answer.body);
    QCOMPARE(state.value(QStringLiteral("version")).toString(), QStringLiteral(PLAXON_VERSION));
    QCOMPARE(state.value(QStringLiteral("title")).toString(), m_panel->windowTitle());
    QCOMPARE(state.value(QStringLiteral("language")).toInt(), 1);
    QCOMPARE(state.value(QStringLiteral("linkState")).toString(), QStringLiteral("full"));
    QCOMPARE(state.value(QStringLiteral("dialogOpen")).toBool(), false);
    QCOMPARE(state.value(QStringLiteral("last")), QJsonValue(QJsonValue::Null));

    const QJsonObject layout = state.value(QStringLiteral("layout")).toObject();
    QCOMPARE(layout.value(QStringLiteral("columns")).toInt(), 5);
    QCOMPARE(layout.value(QStringLiteral("rows")).toInt(), 8);
    QCOMPARE(layout.value(QStringLiteral("inView")).toInt(), 40);

    const QJsonArray stations = state.value(QStringLiteral("stations")).toArray();
    QCOMPARE(stations.size(), 4);
    const QJsonArray links = stations[0].toObject().value(QStringLiteral("links")).toArray();
    QCOMPARE(links.size(), 2);
    QCOMPARE(links[1].toObject().value(QStringLiteral("port")).toInt(), int(m_sink[1].Port()));
    QCOMPARE(links[1].toObject().value(QStringLiteral("connected")).toBool(), true);
    QCOMPARE(links[1].toObject().value(QStringLiteral("text")).toString(), QStringLiteral("* OK connected *"));
    QCOMPARE(stations[2].toObject().value(QStringLiteral("enabled")).toBool(), false);
    QCOMPARE(stations[2].toObject().value(QStringLiteral("links")).toArray().size(), 0);

    const QJsonArray buttons = state.value(QStringLiteral("buttons")).toArray();
    QCOMPARE(buttons.size(), BUTTON_COUNT);
    const QJsonObject second = buttons[1].toObject();
    QCOMPARE(second.value(QStringLiteral("index")).toInt(), 2);
    // Converted from windows-1250.
    QCOMPARE(second.value(QStringLiteral("caption")).toString(), QStringLiteral("Žluťoučký"));
    QCOMPARE(second.value(QStringLiteral("color")).toString(), QStringLiteral("#ADD8E6"));
    QCOMPARE(second.value(QStringLiteral("markers")).toArray(), QJsonArray({2}));
    QCOMPARE(buttons[0].toObject().value(QStringLiteral("markers")).toArray(), QJsonArray({1, 2}));
    QCOMPARE(buttons[0].toObject().value(QStringLiteral("color")), QJsonValue(QJsonValue::Null));
    QCOMPARE(buttons[2].toObject().value(QStringLiteral("shown")).toBool(), false);

    // A station that drops: its markers are no longer reachable.
    m_sink[2].StopListening();
    m_sink[2].DropConnections();
    WaitForLinks(LINKS_PARTIAL);
    const QJsonObject later = JsonOf(Api("GET", "/api/state").body);
    QCOMPARE(later.value(QStringLiteral("linkState")).toString(), QStringLiteral("partial"));
    const QJsonObject first = later.value(QStringLiteral("buttons")).toArray()[0].toObject();
    QCOMPARE(first.value(QStringLiteral("reachable")).toArray(), QJsonArray({1}));
    QVERIFY(m_sink[2].Listen(m_sink[2].Port()));
}

void TestRemote::commandsSendWhatTheButtonsSend_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QList<QByteArray>>("records"); // per sink 0..2
    QTest::addColumn<QString>("delivery");

    QTest::newRow("launch 1") << QByteArray("/api/launch/1") << QByteArray()
                              << QList<QByteArray>{Run(CMD_RUN, "show\\intro"), Run(CMD_RUN, "show\\intro"),
                                                   Run(CMD_RUN, "show\\intro wide")}
                              << QStringLiteral(R"({"1":{"links":2,"reached":2},"2":{"links":1,"reached":1}})");
    QTest::newRow("launch 2, one station") << QByteArray("/api/launch/2") << QByteArray()
                                          << QList<QByteArray>{{}, {}, RecordBytes(CMD_RUN, QStringToAnsi(QStringLiteral("kůň")))}
                                          << QStringLiteral(R"({"2":{"links":1,"reached":1}})");
    QTest::newRow("play") << QByteArray("/api/play") << QByteArray()
                          << QList<QByteArray>{RecordBytes(CMD_PLAY), RecordBytes(CMD_PLAY), RecordBytes(CMD_PLAY)}
                          << QStringLiteral(R"({"1":{"links":2,"reached":2},"2":{"links":1,"reached":1}})");
    QTest::newRow("pause") << QByteArray("/api/pause") << QByteArray()
                           << QList<QByteArray>{RecordBytes(CMD_PAUSE), RecordBytes(CMD_PAUSE), RecordBytes(CMD_PAUSE)}
                           << QStringLiteral(R"({"1":{"links":2,"reached":2},"2":{"links":1,"reached":1}})");
    QTest::newRow("stop") << QByteArray("/api/stop") << QByteArray()
                          << QList<QByteArray>{RecordBytes(CMD_STOP), RecordBytes(CMD_STOP), RecordBytes(CMD_STOP)}
                          << QStringLiteral(R"({"1":{"links":2,"reached":2},"2":{"links":1,"reached":1}})");
    const QByteArray bright40 = BrightnessBytes(40);
    QTest::newRow("brightness to station 2") << QByteArray("/api/brightness") << QByteArray(R"({"value": 40, "stations": [2]})")
                                             << QList<QByteArray>{{}, {}, bright40}
                                             << QStringLiteral(R"({"2":{"links":1,"reached":1}})");
    QTest::newRow("brightness to the ticked stations") << QByteArray("/api/brightness") << QByteArray(R"({"value": 40})")
                                                       << QList<QByteArray>{bright40, bright40, {}}
                                                       << QStringLiteral(R"({"1":{"links":2,"reached":2}})");
}

void TestRemote::commandsSendWhatTheButtonsSend()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, body);
    QFETCH(QList<QByteArray>, records);
    QFETCH(QString, delivery);
    QVERIFY(OpenPanel());
    WaitForLinks(LINKS_FULL);
    // The operator ticked PC1 on the panel.
    QTest::mouseClick(m_panel->GetDlgItem(IDC_PC1), Qt::LeftButton, {}, QPoint(4, 4));
    QCOMPARE(m_panel->PcFlags()[0], 1);

    const HttpAnswer answer = Api("POST", path, body);
    QCOMPARE(answer.status, 200);
    const QJsonObject reply = JsonOf(answer.body);
    QCOMPARE(reply.value(QStringLiteral("ok")).toBool(), true);
    QCOMPARE(QJsonDocument(HandedOver(reply.value(QStringLiteral("delivery")).toObject())).toJson(QJsonDocument::Compact),
             delivery.toUtf8());
    // Reached, with nothing left in flight, once the stations' machines acknowledged it.
    const auto lastStations = [this] {
        return JsonOf(Api("GET", "/api/state").body).value(QStringLiteral("last")).toObject().value(QStringLiteral("stations")).toObject();
    };
    const auto nothingInFlight = [&lastStations] {
        const QJsonObject now = lastStations();
        for (const QString &key : now.keys())
            if (now.value(key).toObject().value(QStringLiteral("inFlight")).toInt() != 0)
                return false;
        return !now.isEmpty();
    };
    QTRY_VERIFY(nothingInFlight());
    for (int i = 0; i < 3; ++i)
        QTRY_COMPARE(m_sink[i].Received(), records[i]);
    QTest::qWait(50);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(m_sink[i].Received(), records[i]);

    // The panel shows it as its own: the last command, the trackbar.
    QCOMPARE(m_panel->LastDelivery().Built(), true);
    if (path.startsWith("/api/launch/")) {
        const int button = path.mid(12).toInt();
        QCOMPARE(m_panel->LastLaunch(), button - 1);
        // The journal names the sender, the button and its caption.
        const QString caption = AnsiToQString(g_Buttons.BUTTON[button - 1].NAME);
        const QStringList runs = JournalLines().filter(QStringLiteral("  CMD_RUN  "));
        QCOMPARE(runs.size(), 1);
        QVERIFY2(runs[0].contains(QRegularExpression(
                     QStringLiteral("  CMD_RUN  http 127\\.0\\.0\\.1:\\d+  button %1 \"%2\"  PC").arg(button).arg(caption))),
                 qPrintable(runs[0]));
    }
    if (path == "/api/brightness") {
        QCOMPARE(m_panel->DlgItem<QSlider>(IDC_BRIGHT_SLIDER)->value(), 40);
        const QJsonObject last = JsonOf(Api("GET", "/api/state").body).value(QStringLiteral("last")).toObject();
        QCOMPARE(last.value(QStringLiteral("command")).toString(), QStringLiteral("brightness"));
        QCOMPARE(last.value(QStringLiteral("argument")).toInt(), 40);
    }
}

void TestRemote::refusedWhereTheClickWouldDoNothing_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("reason");

    QTest::newRow("no link") << QStringLiteral("no link") << QByteArray("/api/play") << QByteArray()
                             << QStringLiteral("no station is connected");
    QTest::newRow("launch with no link") << QStringLiteral("no link") << QByteArray("/api/launch/1") << QByteArray()
                                         << QStringLiteral("no station is connected");
    QTest::newRow("hidden button") << QStringLiteral("") << QByteArray("/api/launch/3") << QByteArray()
                                   << QStringLiteral("button 3 is not shown");
    QTest::newRow("out of view") << QStringLiteral("layout 10") << QByteArray("/api/launch/11") << QByteArray()
                                 << QStringLiteral("button 11 is out of view");
    QTest::newRow("brightness off") << QStringLiteral("brightness off") << QByteArray("/api/brightness")
                                    << QByteArray(R"({"value": 10})") << QStringLiteral("brightness control is off");
    QTest::newRow("disabled station") << QStringLiteral("") << QByteArray("/api/brightness")
                                      << QByteArray(R"({"value": 10, "stations": [3]})")
                                      << QStringLiteral("station 3 is not enabled");
    QTest::newRow("dialog open") << QStringLiteral("dialog") << QByteArray("/api/play") << QByteArray()
                                 << QStringLiteral("a dialog of the panel is open");
    QTest::newRow("launch, dialog open") << QStringLiteral("dialog") << QByteArray("/api/launch/1") << QByteArray()
                                         << QStringLiteral("a dialog of the panel is open");
    QTest::newRow("brightness, nothing ticked") << QStringLiteral("") << QByteArray("/api/brightness")
                                                << QByteArray(R"({"value": 10})") << QStringLiteral("no station is ticked");
    QTest::newRow("brightness to no station") << QStringLiteral("") << QByteArray("/api/brightness")
                                              << QByteArray(R"({"value": 10, "stations": []})")
                                              << QStringLiteral("no station is ticked");
}

void TestRemote::refusedWhereTheClickWouldDoNothing()
{
    QFETCH(QString, situation);
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, body);
    QFETCH(QString, reason);
    if (situation == QLatin1String("no link")) {
        ConfigureStation(0, true, "127.0.0.1", {RefusingPort()});
        ConfigureStation(1, false, "127.0.0.1", {});
    }
    if (situation == QLatin1String("brightness off"))
        g_Settings.BRIGHT_ENA = 0;
    QVERIFY(OpenPanel(situation == QLatin1String("layout 10") ? 7 : 0));
    if (situation == QLatin1String("no link"))
        QTest::qWait(1200); // two ticks: the links stay down
    else
        WaitForLinks(LINKS_FULL);
    QDialog dialog(m_panel.get());
    if (situation == QLatin1String("dialog")) {
        dialog.setModal(true);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    }

    const QSlider *slider = m_panel->DlgItem<QSlider>(IDC_BRIGHT_SLIDER);
    const int sliderBefore = slider ? slider->value() : 0;
    const HttpAnswer answer = Api("POST", path, body);
    QCOMPARE(answer.status, 409);
    QCOMPARE(JsonOf(answer.body).value(QStringLiteral("reason")).toString(), reason);
    QTest::qWait(50);
    for (RecordSink &sink : m_sink)
        QCOMPARE(sink.Received(), QByteArray());
    QCOMPARE(m_panel->LastDelivery().Built(), false);
    // A refused brightness leaves the panel's trackbar where it was.
    if (slider)
        QCOMPARE(slider->value(), sliderBefore);
    // The journal says who asked and why nothing went.
    const QStringList refused = JournalLines().filter(QStringLiteral("  refused  "));
    QCOMPARE(refused.size(), 1);
    QVERIFY2(refused[0].contains(QRegularExpression(QStringLiteral("  refused  http 127\\.0\\.0\\.1:\\d+  .*  ")
                                                    + QRegularExpression::escape(reason) + QLatin1Char('$'))),
             qPrintable(refused[0]));
}

// STOP is taken whenever a link is up, even with a dialog open on the panel;
// it goes to the journal with its source.
void TestRemote::stopGoesThroughAnOpenDialog()
{
    QVERIFY(OpenPanel());
    WaitForLinks(LINKS_FULL);
    QDialog dialog(m_panel.get());
    dialog.setModal(true);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(Api("POST", "/api/play").status, 409);
    QCOMPARE(Api("POST", "/api/stop").status, 200);
    for (int i = 0; i < 3; ++i)
        QTRY_COMPARE(m_sink[i].Received(), RecordBytes(CMD_STOP));
    const QStringList stops = JournalLines().filter(QStringLiteral("  CMD_STOP  "));
    QCOMPARE(stops.size(), 1);
    QVERIFY2(stops[0].contains(QRegularExpression(QStringLiteral("  CMD_STOP  http 127\\.0\\.0\\.1:\\d+  PC1 2/2  PC2 1/1$"))),
             qPrintable(stops[0]));
}

void TestRemote::eventsStartWithTheStateAndFollowAStationDrop()
{
    QVERIFY(OpenPanel());
    WaitForLinks(LINKS_FULL);
    QWebSocket client;
    QStringList messages;
    connect(&client, &QWebSocket::textMessageReceived, this, [&messages](const QString &m) { messages << m; });
    client.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/api/events?token=%2").arg(HttpPort()).arg(QString::fromLatin1(m_token))));
    QTRY_COMPARE(messages.size(), 1);
    const QJsonObject first = JsonOf(messages[0].toUtf8());
    QCOMPARE(first.value(QStringLiteral("type")).toString(), QStringLiteral("state"));
    QCOMPARE(first.value(QStringLiteral("state")).toObject(), m_remote->Panel().State());
    QCOMPARE(first.value(QStringLiteral("state")).toObject().value(QStringLiteral("linkState")).toString(),
             QStringLiteral("full"));

    QElapsedTimer clock;
    clock.start();
    m_sink[2].StopListening();
    m_sink[2].DropConnections();
    auto linkState = [&messages] {
        return JsonOf(messages.last().toUtf8()).value(QStringLiteral("state")).toObject().value(QStringLiteral("linkState")).toString();
    };
    QTRY_COMPARE_WITH_TIMEOUT(linkState(), QStringLiteral("partial"), 3000);
    qInfo("station drop reached the stream after %lld ms", clock.elapsed());

    // A launch shows up as the last command.
    QVERIFY(Api("POST", "/api/launch/1").status == 200);
    auto lastState = [&messages] { return JsonOf(messages.last().toUtf8()).value(QStringLiteral("state")).toObject(); };
    QTRY_VERIFY(!lastState().value(QStringLiteral("last")).isNull());
    // The launch mark stays through PLAY, as on the panel; STOP clears it.
    auto last = [&lastState] { return lastState().value(QStringLiteral("last")).toObject(); };
    QCOMPARE(Api("POST", "/api/play").status, 200);
    QTRY_COMPARE(last().value(QStringLiteral("command")).toString(), QStringLiteral("play"));
    QCOMPARE(last().value(QStringLiteral("button")).toInt(), 1);
    QCOMPARE(Api("POST", "/api/stop").status, 200);
    QTRY_COMPARE(last().value(QStringLiteral("command")).toString(), QStringLiteral("stop"));
    QCOMPARE(last().value(QStringLiteral("button")), QJsonValue(QJsonValue::Null));
    // A dialog opening and closing over the panel is heard at once, not at
    // the next tick (the settings dialog stops the panel's timer).
    QSignalSpy changes(&m_remote->Panel(), &PanelRemote::StateChanged);
    {
        QDialog dialog(m_panel.get());
        dialog.setModal(true);
        dialog.show();
        QVERIFY(changes.count() >= 1);
        QTRY_VERIFY(lastState().value(QStringLiteral("dialogOpen")).toBool());
        changes.clear();
        dialog.hide();
        QVERIFY(changes.count() >= 1);
    }
    QTRY_VERIFY(!lastState().value(QStringLiteral("dialogOpen")).toBool());
    QVERIFY(m_sink[2].Listen(m_sink[2].Port()));
}

void TestRemote::eventsAreCoalesced()
{
    QVERIFY(OpenPanel());
    WaitForLinks(LINKS_FULL);
    QWebSocket client;
    QList<qint64> arrivals;
    QElapsedTimer clock;
    clock.start();
    connect(&client, &QWebSocket::textMessageReceived, this, [&] { arrivals << clock.elapsed(); });
    client.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/api/events?token=%2").arg(HttpPort()).arg(QString::fromLatin1(m_token))));
    QTRY_COMPARE(arrivals.size(), 1);
    // A burst: 30 brightness changes, each a change of state, within ~300 ms.
    for (int i = 0; i < 30; ++i) {
        QVERIFY(Api("POST", "/api/brightness", QByteArray(R"({"stations": [1], "value": )") + QByteArray::number(i + 1) + "}").status == 200);
        QTest::qWait(10);
    }
    QTest::qWait(300);
    QVERIFY2(arrivals.size() >= 3, "the burst sent too few updates");
    QVERIFY2(arrivals.size() <= 1 + int(clock.elapsed() / StateEvents::COALESCE_MS) + 1, "not coalesced");
    for (int i = 2; i < arrivals.size(); ++i)
        QVERIFY2(arrivals[i] - arrivals[i - 1] >= StateEvents::COALESCE_MS - 15,
                 qPrintable(QStringLiteral("messages %1 ms apart").arg(arrivals[i] - arrivals[i - 1])));
    // The last one holds the last value.
    QTRY_COMPARE(m_remote->Panel().State().value(QStringLiteral("brightness")).toObject().value(QStringLiteral("value")).toInt(), 30);
}

void TestRemote::eventStreamRefusals_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QString>("token"); // "good", "none", "wrong"
    QTest::addColumn<QByteArray>("extra");
    QTest::addColumn<int>("status");
    QTest::newRow("good") << QByteArray("/api/events") << QStringLiteral("good") << QByteArray() << 101;
    QTest::newRow("no token") << QByteArray("/api/events") << QStringLiteral("none") << QByteArray() << 401;
    QTest::newRow("wrong token") << QByteArray("/api/events") << QStringLiteral("wrong") << QByteArray() << 401;
    QTest::newRow("foreign origin") << QByteArray("/api/events") << QStringLiteral("good")
                                    << QByteArray("Origin: http://evil.example\r\n") << 403;
    QTest::newRow("foreign host") << QByteArray("/api/events") << QStringLiteral("good")
                                  << QByteArray("Host: evil.example\r\n") << 403;
    QTest::newRow("other path") << QByteArray("/api/state") << QStringLiteral("good") << QByteArray() << 404;
}

void TestRemote::eventStreamRefusals()
{
    QFETCH(QByteArray, path);
    QFETCH(QString, token);
    QFETCH(QByteArray, extra);
    QFETCH(int, status);
    QVERIFY(OpenPanel());
    const QByteArray query = token == QLatin1String("good")    ? "?token=" + m_token
                             : token == QLatin1String("wrong") ? "?token=" + QByteArray(32, 'a')
                                                               : QByteArray();
    const QByteArray host = extra.startsWith("Host:") ? QByteArray() : "Host: 127.0.0.1:" + QByteArray::number(HttpPort()) + "\r\n";
    const QByteArray raw = "GET " + path + query + " HTTP/1.1\r\n" + host + extra
                           + "Upgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                             "Sec-WebSocket-Version: 13\r\n\r\n";
    const HttpAnswer answer = Exchange(HttpPort(), raw);
    QCOMPARE(answer.status, status);
    QTRY_COMPARE(m_remote->Http()->Events().ClientCount(), status == 101 ? 1 : 0);
    QVERIFY(!answer.headers.contains("Access-Control"));
}

void TestRemote::oscFromOscsend_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QList<QByteArray>>("records");
    QTest::newRow("launch int") << QStringList{"/plaxon/launch", "i", "1"}
                                << QList<QByteArray>{Run(CMD_RUN, "show\\intro"), Run(CMD_RUN, "show\\intro"), Run(CMD_RUN, "show\\intro wide")};
    QTest::newRow("launch float") << QStringList{"/plaxon/launch", "f", "1.0"}
                                  << QList<QByteArray>{Run(CMD_RUN, "show\\intro"), Run(CMD_RUN, "show\\intro"), Run(CMD_RUN, "show\\intro wide")};
    QTest::newRow("play") << QStringList{"/plaxon/play"} << QList<QByteArray>{RecordBytes(CMD_PLAY), RecordBytes(CMD_PLAY), RecordBytes(CMD_PLAY)};
    QTest::newRow("pause") << QStringList{"/plaxon/pause"} << QList<QByteArray>{RecordBytes(CMD_PAUSE), RecordBytes(CMD_PAUSE), RecordBytes(CMD_PAUSE)};
    QTest::newRow("stop") << QStringList{"/plaxon/stop"} << QList<QByteArray>{RecordBytes(CMD_STOP), RecordBytes(CMD_STOP), RecordBytes(CMD_STOP)};
    const QByteArray bright = BrightnessBytes(70);
    QTest::newRow("brightness to station 2") << QStringList{"/plaxon/brightness", "ii", "70", "2"} << QList<QByteArray>{{}, {}, bright};
    QTest::newRow("brightness to 1 and 2") << QStringList{"/plaxon/brightness", "iii", "70", "1", "2"} << QList<QByteArray>{bright, bright, bright};
}

void TestRemote::oscFromOscsend()
{
    QFETCH(QStringList, arguments);
    QFETCH(QList<QByteArray>, records);
    QVERIFY(OpenPanel());
    WaitForLinks(LINKS_FULL);
    const int before = m_remote->Osc()->Executed();
    QProcess oscsend;
    oscsend.start(QStringLiteral("oscsend"),
                  QStringList{QStringLiteral("127.0.0.1"), QString::number(m_remote->Osc()->Port())} + arguments);
    QVERIFY2(oscsend.waitForFinished(5000), "oscsend (Debian's liblo-tools) must be installed");
    QCOMPARE(oscsend.exitCode(), 0);
    QTRY_COMPARE(m_remote->Osc()->Executed(), before + 1);
    for (int i = 0; i < 3; ++i)
        QTRY_COMPARE(m_sink[i].Received(), records[i]);
}

void TestRemote::oscSenderOutsideTheAllowListIsNotHeard()
{
    m_remote.reset();
    RemoteSettings settings;
    settings.osc = RemoteEndpoint{QHostAddress(QHostAddress::LocalHost), 0};
    QString error;
    settings.oscAllowed = *ParseAddressList(QStringLiteral("192.0.2.7,10.1.0.0/16"), &error);
    m_remote = std::make_unique<RemoteControl>(settings);
    QVERIFY(m_remote->Start(&error));
    QVERIFY(OpenPanel());
    WaitForLinks(LINKS_FULL);
    QProcess oscsend;
    oscsend.start(QStringLiteral("oscsend"), {QStringLiteral("127.0.0.1"), QString::number(m_remote->Osc()->Port()),
                                             QStringLiteral("/plaxon/play")});
    QVERIFY(oscsend.waitForFinished(5000));
    QTRY_COMPARE(m_remote->Osc()->Ignored(), 1);
    QTest::qWait(100);
    QCOMPARE(m_remote->Osc()->Executed(), 0);
    for (RecordSink &sink : m_sink)
        QCOMPARE(sink.Received(), QByteArray());
    // Not even the journal hears of it.
    QVERIFY(!JournalLines().join(QLatin1Char('\n')).contains(QStringLiteral("osc")));
}

void TestRemote::oscRefusalsAreJournaled()
{
    QVERIFY(OpenPanel());
    WaitForLinks(LINKS_FULL);
    QUdpSocket sender;
    const quint16 port = m_remote->Osc()->Port();
    sender.writeDatagram(OscMessage("/plaxon/launch", "i", {3}), QHostAddress::LocalHost, port);
    sender.writeDatagram(OscMessage("/plaxon/launch", "f", {2.5}), QHostAddress::LocalHost, port);
    sender.writeDatagram(OscMessage("/plaxon/brightness", "s", {0}), QHostAddress::LocalHost, port);
    // Arguments a command does not take are no command.
    sender.writeDatagram(OscMessage("/plaxon/stop", "i", {99}), QHostAddress::LocalHost, port);
    sender.writeDatagram(OscMessage("/plaxon/play", "s", {0}), QHostAddress::LocalHost, port);
    QTRY_COMPARE(m_remote->Osc()->Dropped(), 5);
    const QString journal = JournalLines().join(QLatin1Char('\n'));
    QVERIFY2(journal.contains(QStringLiteral("  refused  osc 127.0.0.1:%1  launch 3 \"\"  button 3 is not shown")
                                  .arg(sender.localPort())),
             qPrintable(journal));
    QVERIFY(journal.contains(QStringLiteral("dropped: /plaxon/launch takes one number from 1 to 40")));
    QVERIFY(journal.contains(QStringLiteral("dropped: /plaxon/brightness takes a value")));
    QVERIFY(journal.contains(QStringLiteral("dropped: /plaxon/stop takes no arguments")));
    QVERIFY(journal.contains(QStringLiteral("dropped: /plaxon/play takes no arguments")));
    for (RecordSink &sink : m_sink)
        QCOMPARE(sink.Received(), QByteArray());
}

void TestRemote::hostileInputDoesNothingAndTheTickGoesOn()
{
    QVERIFY(OpenPanel());
    WaitForLinks(LINKS_FULL);
    // The panel's 500 ms tick: the gaps between its runs while the noise goes on.
    QElapsedTimer clock;
    clock.start();
    QList<qint64> ticks;
    connect(m_panel.get(), &CPlaxonDlg::StateChanged, this, [&] { ticks << clock.elapsed(); });

    QList<QByteArray> malformed = {
        "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: -5\r\n\r\n",
        "\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03",
        "POST /api/play HTTP/1.1\r\nHost: [::1\r\n\r\n",
        "GET /api/state HTTP/9.9\r\n\r\n",
        "GET /%00%ff/../../etc/passwd HTTP/1.1\r\nHost: 127.0.0.1:1\r\n\r\n",
        "POST /api/brightness HTTP/1.1\r\nTransfer-Encoding: chunked\r\nHost: x\r\n\r\nzz\r\n",
        QByteArray(9000, 'A') + "\r\n\r\n",
        "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: h2c\r\nConnection: Upgrade\r\n\r\n",
    };
    QUdpSocket udp;
    const quint16 oscPort = m_remote->Osc()->Port();
    const QList<QByteArray> badOsc = {
        "", "/plaxon/launch", QByteArray("/plaxon/launch\0\0,i\0\0", 20), "#bundle\0\0\0\0\0\0\0\0\1\0\0\0\4abcd",
        OscMessage("/plaxon/launch", "i", {-7}), OscMessage("/plaxon/brightness", "iiiiii", {1, 1, 1, 1, 1, 1}),
        OscMessage("/plaxon/launch", "f", {1e30}), QByteArray(2000, '\xff'),
    };
    // Each request on a connection of its own, many at once, as a scanner
    // would send them; a client gives up on its oldest connection to make room.
    const int rounds = 1000;
    const int concurrent = 32;
    std::vector<std::unique_ptr<QTcpSocket>> open;
    int answered = 0;
    for (int i = 0; i < rounds; ++i) {
        QByteArray request = malformed[i % malformed.size()];
        if (i % 7 == 0)
            request.insert(i % request.size(), char(i));
        auto socket = std::make_unique<QTcpSocket>();
        QTcpSocket *raw = socket.get();
        connect(raw, &QTcpSocket::connected, raw, [raw, request] { raw->write(request); });
        connect(raw, &QTcpSocket::readyRead, raw, [raw, &answered] {
            answered += raw->property("answered").isNull();
            raw->setProperty("answered", true);
            raw->readAll();
        });
        raw->connectToHost(QStringLiteral("127.0.0.1"), HttpPort());
        open.push_back(std::move(socket));
        if (int(open.size()) > concurrent)
            open.erase(open.begin());
        QByteArray packet = badOsc[i % badOsc.size()];
        if (i % 5 == 0 && !packet.isEmpty())
            packet[i % packet.size()] = char(i * 31);
        udp.writeDatagram(packet, QHostAddress::LocalHost, oscPort);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        QTest::qWait(3);
    }
    QTest::qWait(200);
    open.clear();
    const qint64 noise = clock.elapsed();
    QTest::qWait(600);
    qint64 longestGap = 0;
    for (int i = 1; i < ticks.size(); ++i)
        longestGap = std::max(longestGap, ticks[i] - ticks[i - 1]);
    qInfo("1000 malformed HTTP requests and 1000 malformed OSC packets in %lld ms; %d answered with an error; "
          "longest gap between panel updates %lld ms",
          noise, answered, longestGap);
    QVERIFY2(noise < 10000, "the noise took longer than 10 s");
    QVERIFY2(longestGap < 750, qPrintable(QStringLiteral("the tick stalled for %1 ms").arg(longestGap)));
    for (RecordSink &sink : m_sink)
        QCOMPARE(sink.Received(), QByteArray());
    QCOMPARE(m_remote->Osc()->Executed(), 0);
    // Still serving, and the noise left no connection open.
    QCOMPARE(Api("GET", "/api/state").status, 200);
    QTRY_VERIFY_WITH_TIMEOUT(m_remote->Http()->Guard()->OpenConnections() <= 1, 3000);
}

void TestRemote::oversizedAndAbandonedConnectionsAreClosed()
{
    QVERIFY(OpenPanel());
    // A body far beyond what the guard lets through: answered 413 and closed
    // long before it is all sent.
    QTcpSocket big;
    big.connectToHost(QStringLiteral("127.0.0.1"), HttpPort());
    QTRY_COMPARE(big.state(), QAbstractSocket::ConnectedState);
    big.write("POST /api/play HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(HttpPort())
              + "\r\nContent-Length: 100000000\r\n\r\n");
    QByteArray reply;
    connect(&big, &QTcpSocket::readyRead, this, [&] { reply += big.readAll(); });
    const QByteArray chunk(64 * 1024, 'x');
    for (int i = 0; i < 64 && big.state() == QAbstractSocket::ConnectedState; ++i) {
        big.write(chunk);
        QTest::qWait(5);
    }
    QTRY_COMPARE(big.state(), QAbstractSocket::UnconnectedState);
    QVERIFY2(reply.startsWith("HTTP/1.1 413"), reply.constData());

    // A request the HTTP server cannot parse: it gives up on it, and the
    // connection does not stay open.
    QTcpSocket garbage;
    garbage.connectToHost(QStringLiteral("127.0.0.1"), HttpPort());
    QTRY_COMPARE(garbage.state(), QAbstractSocket::ConnectedState);
    garbage.write("\x01\x02 nonsense \r\n\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(garbage.state(), QAbstractSocket::UnconnectedState, 2000);

    // Event streams opened and closed again, more of them than the cap:
    // each one handed over to the WebSocket server is let go of here.
    const QByteArray handshake = "GET /api/events?token=" + m_token + " HTTP/1.1\r\nHost: 127.0.0.1:"
                                 + QByteArray::number(HttpPort())
                                 + "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                                   "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n";
    for (int i = 0; i < StateEvents::STREAMS_PER_CLIENT + 6; ++i)
        QCOMPARE(Exchange(HttpPort(), handshake).status, 101);
    QTRY_COMPARE(m_remote->Http()->Events().ClientCount(), 0);
    QTRY_COMPARE(m_remote->Http()->Guard()->OpenConnections(), 0);
    QCOMPARE(Api("GET", "/api/state").status, 200);

    // More than the cap at once, from more addresses than it takes at their
    // share: the ones over are closed, the others served.
    std::vector<std::unique_ptr<QTcpSocket>> crowd;
    const int addresses = ConnectionLimits::MAX_CONNECTIONS / ConnectionLimits::PER_CLIENT + 2;
    for (int i = 0; i < addresses * ConnectionLimits::PER_CLIENT; ++i) {
        crowd.push_back(std::make_unique<QTcpSocket>());
        QVERIFY(crowd.back()->bind(QHostAddress(QStringLiteral("127.0.1.%1").arg(1 + i % addresses))));
        crowd.back()->connectToHost(QStringLiteral("127.0.0.1"), HttpPort());
    }
    QTRY_COMPARE(m_remote->Http()->Guard()->OpenConnections(), ConnectionLimits::MAX_CONNECTIONS);
    crowd.clear();
    QTRY_COMPARE(m_remote->Http()->Guard()->OpenConnections(), 0);
    QCOMPARE(Api("GET", "/api/state").status, 200);
}

void TestRemote::silentConnectionsAreClosed()
{
    QVERIFY(OpenPanel());
    const int idleMs = 300;
    ConnectionLimits limits;
    limits.idleMs = idleMs;
    limits.requestMs = idleMs;
    m_remote->Http()->Guard()->SetLimits(limits);
    // Half a request, then nothing: a client holding a connection for good.
    QTcpSocket slow;
    slow.connectToHost(QStringLiteral("127.0.0.1"), HttpPort());
    QTRY_COMPARE(slow.state(), QAbstractSocket::ConnectedState);
    slow.write("GET /api/state HTTP/1.1\r\nHost: 127.0.0.1\r\n");
    QElapsedTimer clock;
    clock.start();
    QTRY_COMPARE_WITH_TIMEOUT(slow.state(), QAbstractSocket::UnconnectedState, 3000);
    QVERIFY(clock.elapsed() >= idleMs);
    // An event stream is left open however quiet it is.
    QWebSocket client;
    int messages = 0;
    connect(&client, &QWebSocket::textMessageReceived, this, [&messages] { ++messages; });
    client.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/api/events?token=%2").arg(HttpPort()).arg(QString::fromLatin1(m_token))));
    QTRY_COMPARE(messages, 1);
    QTest::qWait(idleMs * 5);
    QCOMPARE(client.state(), QAbstractSocket::ConnectedState);
}

void TestRemote::aClientThatStopsReadingIsLetGo()
{
    QVERIFY(OpenPanel());
    WaitForLinks(LINKS_FULL);
    // The kernel takes a few MB for a reader before anything waits in the
    // panel, so the updates come as fast as the commands.
    StateEvents &events = m_remote->Http()->Events();
    events.SetBacklogLimit(64 * 1024);
    events.SetCoalesceInterval(0);
    // A stream whose reader never reads, with a small receive window (set
    // before the connection, so the window is small from the start).
    const int window = 2048;
    SleepyClient sleeper(HttpPort(), window);
    QVERIFY(sleeper.Connected());
    const QByteArray handshake = "GET /api/events?token=" + m_token + " HTTP/1.1\r\nHost: 127.0.0.1:"
                                 + QByteArray::number(HttpPort())
                                 + "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                                   "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n";
    QVERIFY(sleeper.Send(handshake));
    QTRY_COMPARE(m_remote->Http()->Events().ClientCount(), 1);
    // A reader that keeps up stays.
    QWebSocket awake;
    int messages = 0;
    connect(&awake, &QWebSocket::textMessageReceived, this, [&messages] { ++messages; });
    awake.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/api/events?token=%2").arg(HttpPort()).arg(QString::fromLatin1(m_token))));
    QTRY_COMPARE(m_remote->Http()->Events().ClientCount(), 2);
    QElapsedTimer clock;
    clock.start();
    int commands = 0;
    for (int value = 0; events.ClientCount() == 2 && clock.elapsed() < 30000; value = (value + 1) % 101, ++commands) {
        QCOMPARE(Api("POST", "/api/brightness", "{\"stations\": [1], \"value\": " + QByteArray::number(value) + "}").status, 200);
        QTest::qWait(1);
    }
    QCOMPARE(m_remote->Http()->Events().ClientCount(), 1);
    QCOMPARE(awake.state(), QAbstractSocket::ConnectedState);
    qInfo("the sleeping reader was let go after %d updates in %lld ms; the awake one had %d", commands,
          clock.elapsed(), messages);
    QTRY_VERIFY(messages >= commands / 2);
}

void TestRemote::aClientAtItsShareMakesRoomWithItsIdleConnections()
{
    QVERIFY(OpenPanel());
    const QHostAddress browser(QStringLiteral("127.0.0.4"));
    const QByteArray request = Request("GET", "/api/state", HttpPort(), m_token);
    // A browser's pool: its share of connections, each answered and kept open.
    std::vector<std::unique_ptr<QTcpSocket>> pool;
    for (int i = 0; i < ConnectionLimits::PER_CLIENT; ++i) {
        pool.push_back(std::make_unique<QTcpSocket>());
        QTcpSocket &socket = *pool.back();
        QVERIFY(socket.bind(browser));
        socket.connectToHost(QStringLiteral("127.0.0.1"), HttpPort());
        QVERIFY(socket.waitForConnected(1000));
        socket.write(request);
        QByteArray answer;
        QTRY_VERIFY((answer += socket.readAll()).contains("\r\n\r\n"));
        QVERIFY2(answer.startsWith("HTTP/1.1 200"), answer.left(200).constData());
    }
    // One more is served; the longest waiting of the pool made room.
    QCOMPARE(Exchange(HttpPort(), request, 1000, browser).status, 200);
    QTRY_COMPARE(pool.front()->state(), QAbstractSocket::UnconnectedState);
    for (size_t i = 1; i < pool.size(); ++i)
        QCOMPARE(pool[i]->state(), QAbstractSocket::ConnectedState);
    // A share of requests under way makes no room: the newcomer is refused.
    for (const std::unique_ptr<QTcpSocket> &socket : pool)
        if (socket->state() == QAbstractSocket::ConnectedState)
            socket->write("GET /api/state HTTP/1.1\r\n");
    QTest::qWait(100);
    auto extra = std::make_unique<QTcpSocket>();
    QVERIFY(extra->bind(browser));
    extra->connectToHost(QStringLiteral("127.0.0.1"), HttpPort());
    QVERIFY(extra->waitForConnected(1000));
    extra->write("GET /api/state HTTP/1.1\r\n");
    QTest::qWait(100);
    pool.push_back(std::move(extra));
    QCOMPARE(Exchange(HttpPort(), request, 1000, browser).status, 0);
    QCOMPARE(Exchange(HttpPort(), request, 1000, kTablet).status, 200);
}

void TestRemote::aStreamWhoseReaderIsGoneIsLetGo()
{
    QVERIFY(OpenPanel());
    StateEvents &events = m_remote->Http()->Events();
    constexpr int pingMs = 100;
    events.SetPingInterval(pingMs);
    // A peer that took its stream and then answers nothing, as a tablet
    // switched off does; and a live one, which answers the pings by itself.
    RawAttacker gone(kAttacker, HttpPort(), 1,
                     "GET /api/events?token=" + m_token + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(HttpPort())
                         + "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                           "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n",
                     RawAttacker::Mode::Once, 20);
    QWebSocket live;
    live.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/api/events?token=%2").arg(HttpPort()).arg(QString::fromLatin1(m_token))));
    QTRY_COMPARE(events.ClientCount(), 2);
    QElapsedTimer clock;
    clock.start();
    QTRY_COMPARE_WITH_TIMEOUT(events.ClientsFrom(kAttacker), 0, 10 * pingMs);
    QVERIFY(clock.elapsed() >= pingMs);
    // The silent peer comes back, and is let go again; the live one stays all along.
    QTRY_VERIFY_WITH_TIMEOUT(gone.ClosedByPanel() >= 2, 20 * pingMs);
    QCOMPARE(live.state(), QAbstractSocket::ConnectedState);
    QCOMPARE(events.ClientsFrom(QHostAddress::LocalHost), 1);
}

void TestRemote::unreadAnswersAreCappedAndTheirReaderClosed()
{
    QVERIFY(OpenPanel());
    ConnectionGuard &guard = *m_remote->Http()->Guard();
    // One request at a time, each read and answered before the next, and not
    // a byte of the answers taken: they back up in the kernel, then in the panel.
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    QVERIFY(fd >= 0);
    const auto closeFd = qScopeGuard([fd] { ::close(fd); });
    const int window = 2048;
    QVERIFY(::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &window, sizeof window) == 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(HttpPort());
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QVERIFY(::connect(fd, reinterpret_cast<const sockaddr *>(&to), sizeof to) == 0);
    const QByteArray request = Request("GET", "/assets/remote.js", HttpPort());
    QElapsedTimer clock;
    clock.start();
    qint64 unsent = 0;
    int requests = 0;
    bool closed = false;
    while (!closed && clock.elapsed() < 20000) {
        closed = ::send(fd, request.constData(), size_t(request.size()), MSG_DONTWAIT | MSG_NOSIGNAL) < 0
                 && errno != EAGAIN;
        requests += !closed;
        QTest::qWait(2);
        unsent = std::max(unsent, guard.UnsentBytes());
    }
    qInfo("closed after %d requests in %lld ms; at most %.1f KiB unsent in the panel", requests, clock.elapsed(),
          double(unsent) / 1024);
    QVERIFY2(closed, "the panel kept the connection of a client that reads nothing");
    // The cap, and the one answer that crossed it.
    QVERIFY(unsent <= ConnectionLimits::UNSENT_BYTES + 64 * 1024);
    QCOMPARE(Api("GET", "/api/state").status, 200);
}

void TestRemote::lockoutAttemptsLeaveTheTabletServed_data()
{
    QTest::addColumn<QByteArray>("request"); // %PORT% and %TOKEN% filled in
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("connections");
    QTest::addColumn<int>("requestMs");
    QTest::addColumn<int>("longestLifeMs"); // every connection closed by then; 0: only that some are

    const QByteArray state = "GET /api/state HTTP/1.1\r\nHost: 127.0.0.1:%PORT%\r\nAuthorization: Bearer %TOKEN%\r\n";
    const int beyondTheCap = ConnectionLimits::MAX_CONNECTIONS + 8;
    const int repeat = int(RawAttacker::Mode::Repeat), drip = int(RawAttacker::Mode::Drip), once = int(RawAttacker::Mode::Once);
    // Never read: the answers back up in the panel until it closes the connection.
    QTest::newRow("answers nobody reads") << QByteArray("GET /assets/remote.js HTTP/1.1\r\nHost: 127.0.0.1:%PORT%\r\n\r\n")
                                          << repeat << 32 << ConnectionLimits::REQUEST_MS << 0;
    // A byte now and then, each well within any idle limit.
    QTest::newRow("a byte at a time") << state + "\r\n" << drip << beyondTheCap << 300 << 1000;
    // A foreign page's requests: refused, and their connections with them.
    QTest::newRow("foreign host names") << QByteArray("GET /api/state HTTP/1.1\r\nHost: evil.example:%PORT%\r\nOrigin: http://evil.example:%PORT%\r\n\r\n")
                                        << once << beyondTheCap << ConnectionLimits::REQUEST_MS << 700;
    QTest::newRow("Connection: close") << state + "Connection: close\r\n\r\n" << once << beyondTheCap << ConnectionLimits::REQUEST_MS << 700;
    QTest::newRow("HTTP/1.0") << QByteArray("GET /api/state HTTP/1.0\r\nAuthorization: Bearer %TOKEN%\r\n\r\n")
                              << once << beyondTheCap << ConnectionLimits::REQUEST_MS << 700;
    QTest::newRow("event streams") << QByteArray("GET /api/events?token=%TOKEN% HTTP/1.1\r\nHost: 127.0.0.1:%PORT%\r\n"
                                                 "Upgrade: websocket\r\nConnection: Upgrade\r\n"
                                                 "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n")
                                   << once << beyondTheCap << ConnectionLimits::REQUEST_MS << 0;
}

void TestRemote::lockoutAttemptsLeaveTheTabletServed()
{
    QFETCH(QByteArray, request);
    QFETCH(int, mode);
    QFETCH(int, connections);
    QFETCH(int, requestMs);
    QFETCH(int, longestLifeMs);
    QVERIFY(OpenPanel());
    WaitForLinks(LINKS_FULL);
    ConnectionGuard &guard = *m_remote->Http()->Guard();
    ConnectionLimits limits;
    limits.requestMs = requestMs;
    guard.SetLimits(limits);
    request.replace("%PORT%", QByteArray::number(HttpPort())).replace("%TOKEN%", m_token);
    // The tablet's own request, and the panel's memory, before the attack.
    const QByteArray tabletRequest = Request("GET", "/api/state", HttpPort(), m_token);
    QCOMPARE(Exchange(HttpPort(), tabletRequest, 1000, kTablet).status, 200);
    const qint64 idle = ResidentBytes();

    constexpr int attackMs = 2000;
    constexpr int tickMs = 5;
    constexpr int tabletEveryMs = 100;
    RawAttacker attacker(kAttacker, HttpPort(), connections, request, RawAttacker::Mode(mode), tickMs);
    QElapsedTimer clock;
    clock.start();
    int asked = 0;
    int answered = 0;
    qint64 peak = idle;
    qint64 unsent = 0;
    while (clock.elapsed() < attackMs) {
        QTest::qWait(tabletEveryMs);
        ++asked;
        answered += Exchange(HttpPort(), tabletRequest, 1000, kTablet).status == 200;
        peak = std::max(peak, ResidentBytes());
        unsent = std::max(unsent, guard.UnsentBytes());
    }
    const bool streams = QTest::currentDataTag() == QByteArrayLiteral("event streams");
    const HttpAnswer tabletStream =
        streams ? Exchange(HttpPort(), request, 1000, kTablet) : HttpAnswer{};
    const int attackerStreams = m_remote->Http()->Events().ClientsFrom(kAttacker);
    qInfo("%s: tablet answered %d of %d; resident memory +%.1f MB at most; at most %.1f KiB of answers unsent; "
          "%d attacker connections closed by the panel, the longest after %lld ms",
          QTest::currentDataTag(), answered, asked, double(peak - idle) / (1024 * 1024), double(unsent) / 1024,
          attacker.ClosedByPanel(), attacker.LongestLife());

    QCOMPARE(answered, asked);
    QVERIFY2(attacker.ClosedByPanel() > 0, "the panel closed none of the attacker's connections");
    if (longestLifeMs > 0) {
        QVERIFY2(attacker.LongestLife() <= longestLifeMs,
                 qPrintable(QStringLiteral("a connection lived %1 ms").arg(attacker.LongestLife())));
        QVERIFY2(attacker.OldestOpen() <= longestLifeMs,
                 qPrintable(QStringLiteral("a connection is open after %1 ms").arg(attacker.OldestOpen())));
    }
    // What the panel keeps for its clients stays within the address's share.
    QVERIFY(unsent <= ConnectionLimits::PER_CLIENT * (limits.unsentBytes + 64 * 1024));
    constexpr qint64 memoryBound = 50 * 1024 * 1024;
    if (kResidentMemoryMeansAnything)
        QVERIFY2(peak - idle < memoryBound, qPrintable(QStringLiteral("+%1 bytes").arg(peak - idle)));
    else
        qInfo("resident memory not bounded here: AddressSanitizer holds freed memory");
    if (streams) {
        QVERIFY2(attackerStreams <= StateEvents::STREAMS_PER_CLIENT, qPrintable(QString::number(attackerStreams)));
        QVERIFY(guard.OpenStreams(kAttacker) <= StateEvents::STREAMS_PER_CLIENT);
        QCOMPARE(tabletStream.status, 101);
    }
}

void TestRemote::strictEdgesRunNothing_data()
{
    QTest::addColumn<QByteArray>("raw"); // %PORT% and %TOKEN% filled in
    QTest::addColumn<int>("status");

    const QByteArray host = "Host: 127.0.0.1:%PORT%\r\n";
    const QByteArray token = "Authorization: Bearer %TOKEN%\r\n";
    const QByteArray stop = "POST /api/stop HTTP/1.1\r\n";
    QTest::newRow("two Host") << stop + "Host: evil.example\r\n" + host + token + "Content-Length: 0\r\n\r\n" << 400;
    QTest::newRow("two Origin") << stop + host + "Origin: http://evil.example\r\nOrigin: http://127.0.0.1:%PORT%\r\n" + token + "Content-Length: 0\r\n\r\n" << 400;
    QTest::newRow("two Authorization") << stop + host + "Authorization: Bearer 0\r\n" + token + "Content-Length: 0\r\n\r\n" << 400;
    QTest::newRow("two Content-Length") << stop + host + token + "Content-Length: 0\r\nContent-Length: 5\r\n\r\nhello" << 400;
    QTest::newRow("absolute form, another host") << "POST http://evil.example/api/stop HTTP/1.1\r\n" + host + token + "Content-Length: 0\r\n\r\n" << 400;
    QTest::newRow("chunk size zz") << stop + host + token + "Transfer-Encoding: chunked\r\n\r\nzz\r\n\r\n0\r\n\r\n" << 400;
    QTest::newRow("Content-Length and chunked") << stop + host + token + "Content-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n" << 400;
    // Answered, and what comes after it on the connection is not taken.
    QTest::newRow("a command after Connection: close") << "GET /api/state HTTP/1.1\r\n" + host + token + "Connection: close\r\n\r\n" + stop + host + token + "Content-Length: 0\r\n\r\n" << 200;
    // The same command, well formed in ways Qt's parser and this one agree on, runs.
    QTest::newRow("absolute form, its own host") << "POST http://127.0.0.1:%PORT%/api/stop HTTP/1.1\r\n" + host + token + "Content-Length: 0\r\n\r\n" << 200;
    QTest::newRow("chunked") << stop + host + token + "Transfer-Encoding: chunked\r\n\r\n2\r\n{}\r\n0\r\n\r\n" << 200;
}

void TestRemote::strictEdgesRunNothing()
{
    QFETCH(QByteArray, raw);
    QFETCH(int, status);
    QVERIFY(OpenPanel());
    WaitForLinks(LINKS_FULL);
    raw.replace("%PORT%", QByteArray::number(HttpPort())).replace("%TOKEN%", m_token);
    const HttpAnswer answer = Exchange(HttpPort(), raw);
    QCOMPARE(answer.status, status);
    QTest::qWait(100);
    const bool runs = status == 200 && QByteArray(QTest::currentDataTag()) != "a command after Connection: close";
    for (int i = 0; i < 3; ++i)
        QCOMPARE(m_sink[i].Received(), runs ? RecordBytes(CMD_STOP) : QByteArray());
    if (!runs)
        QCOMPARE(answer.Header("Connection"), QByteArray("close"));
}

void TestRemote::oscFloodIsHeldToTheRate()
{
    QVERIFY(OpenPanel());
    WaitForLinks(LINKS_FULL);
    OscReceiver &osc = *m_remote->Osc();
    constexpr int summaryMs = 200;
    osc.SetSummaryInterval(summaryMs);
    const qint64 journalBefore = JournalLines().join(QLatin1Char('\n')).toUtf8().size();
    // One sender floods STOP; another, on its own address, sends one PLAY amid it.
    QUdpSocket flooder;
    QVERIFY(flooder.bind(kAttacker, 0));
    QUdpSocket desk;
    QVERIFY(desk.bind(kTablet, 0));
    const QByteArray stop = OscMessage("/plaxon/stop", "", {});
    QElapsedTimer clock;
    clock.start();
    int sent = 0;
    while (clock.elapsed() < 1000) {
        for (int i = 0; i < 50; ++i, ++sent)
            flooder.writeDatagram(stop, QHostAddress::LocalHost, osc.Port());
        if (sent == 1000)
            desk.writeDatagram(OscMessage("/plaxon/play", "", {}), QHostAddress::LocalHost, osc.Port());
        QTest::qWait(5);
    }
    const qint64 floodMs = clock.elapsed();
    QTest::qWait(summaryMs * 2);
    const QStringList summaries = JournalLines().filter(QStringLiteral("over the rate limit"));
    qInfo("%d datagrams in %lld ms: %d executed, %d over the rate; %lld journal bytes; %lld bytes at PC1's first link",
          sent, floodMs, osc.Executed(), osc.Limited(),
          JournalLines().join(QLatin1Char('\n')).toUtf8().size() - journalBefore, qint64(m_sink[0].Received().size()));
    // The flooder gets its burst and its rate; the desk its PLAY.
    const int allowed = int(SenderRateLimit::BURST + SenderRateLimit::RATE * double(floodMs) / 1000.0) + 1;
    QVERIFY2(osc.Executed() <= allowed + 1, qPrintable(QString::number(osc.Executed())));
    QVERIFY(osc.Executed() >= int(SenderRateLimit::BURST));
    QVERIFY(osc.Limited() > 0);
    QVERIFY(m_sink[0].Received().size() <= qsizetype(sizeof(CommandRecord)) * (allowed + 1));
    QVERIFY(m_sink[0].Received().contains(RecordBytes(CMD_PLAY)));
    // One summary line per interval, naming the flooder and what it lost.
    QVERIFY(!summaries.isEmpty());
    QVERIFY2(summaries.size() <= floodMs / summaryMs + 2, qPrintable(summaries.join(QLatin1Char('\n'))));
    QVERIFY2(summaries.first().contains(QStringLiteral("osc  127.0.0.2  over the rate limit: ")), qPrintable(summaries.first()));
    QVERIFY(JournalLines().join(QLatin1Char('\n')).toUtf8().size() - journalBefore < 8 * 1024);
}

void TestRemote::everyAddressTakesIPv4Too()
{
    m_remote.reset();
    RemoteSettings settings;
    settings.http = RemoteEndpoint{QHostAddress(QHostAddress::AnyIPv6), 0};
    settings.osc = RemoteEndpoint{QHostAddress(QHostAddress::AnyIPv6), 0};
    m_remote = std::make_unique<RemoteControl>(settings);
    QString error;
    QVERIFY2(m_remote->Start(&error), qPrintable(error));
    QVERIFY(OpenPanel());
    WaitForLinks(LINKS_FULL);
    QUdpSocket sender;
    sender.writeDatagram(OscMessage("/plaxon/stop", "", {}), QHostAddress::LocalHost, m_remote->Osc()->Port());
    QTRY_COMPARE(m_remote->Osc()->Executed(), 1);
    QTRY_COMPARE(m_sink[0].Received(), RecordBytes(CMD_STOP));
    QCOMPARE(Api("GET", "/api/state").status, 200);
}

void TestRemote::followsTheWindowAcrossARebuild()
{
    QVERIFY(OpenPanel());
    WaitForLinks(LINKS_FULL);
    QCOMPARE(Api("POST", "/api/play").status, 200);
    // Between two windows of the start-up loop nothing is pressed.
    m_panel.reset();
    const HttpAnswer between = Api("POST", "/api/play");
    QCOMPARE(between.status, 409);
    QCOMPARE(JsonOf(between.body).value(QStringLiteral("reason")).toString(), QStringLiteral("the panel is starting"));
    QCOMPARE(JsonOf(Api("GET", "/api/state").body).value(QStringLiteral("last")), QJsonValue(QJsonValue::Null));
    // The next window, of another layout, is the one pressed and shown.
    ClearSinks();
    QVERIFY(OpenPanel(7));
    WaitForLinks(LINKS_FULL);
    const QJsonObject layout = JsonOf(Api("GET", "/api/state").body).value(QStringLiteral("layout")).toObject();
    QCOMPARE(layout.value(QStringLiteral("rows")).toInt(), 2);
    QCOMPARE(Api("POST", "/api/launch/1").status, 200);
    QTRY_COMPARE(m_sink[2].Received(), Run(CMD_RUN, "show\\intro wide"));
}

void TestRemote::pairingGivesADeviceTokenOnce()
{
    QVERIFY(OpenPanel());
    const QByteArray code = Code();
    // Typed by hand: lower case, in two halves.
    const HttpAnswer paired = Pair(code.left(4).toLower() + ' ' + code.mid(4).toLower());
    QCOMPARE(paired.status, 200);
    const QByteArray device = JsonOf(paired.body).value(QStringLiteral("token")).toString().toLatin1();
    QCOMPARE(device.size(), 32);
    QVERIFY(device != m_token);
    // Used once: the same code, as a browser's history keeps it, opens nothing.
    QCOMPARE(Pair(code).status, 401);

    // The device token is taken wherever the API token is: Bearer and the event stream.
    const HttpAnswer state = Exchange(HttpPort(), Request("GET", "/api/state", HttpPort(), device));
    QCOMPARE(state.status, 200);
    QCOMPARE(JsonOf(state.body), m_remote->Panel().State());
    QWebSocket client;
    QSignalSpy messages(&client, &QWebSocket::textMessageReceived);
    client.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/api/events?token=%2").arg(HttpPort()).arg(QString::fromLatin1(device))));
    QVERIFY(messages.wait(5000));
    QCOMPARE(m_remote->Http()->Events().ClientCount(), 1);

    // Kept owner-only, as a hash: the file gives no token away.
    const QString file = QStringLiteral("PLAXONDATA/remote-devices");
    struct stat info {};
    QVERIFY(::lstat(QFile::encodeName(file).constData(), &info) == 0);
    QCOMPARE(info.st_mode & 0777, mode_t(0600));
    QFile devices(file);
    QVERIFY(devices.open(QIODevice::ReadOnly));
    const QByteArray kept = devices.readAll();
    QVERIFY(!kept.isEmpty());
    QVERIFY(!kept.contains(device));
    QVERIFY(!kept.contains(m_token));

    // A restart of the panel knows the tablet still; the API token is unchanged.
    client.close();
    m_remote.reset();
    RemoteSettings settings;
    settings.http = RemoteEndpoint{QHostAddress(QHostAddress::LocalHost), 0};
    m_remote = std::make_unique<RemoteControl>(settings);
    QString error;
    QVERIFY2(m_remote->Start(&error), qPrintable(error));
    m_remote->Attach(m_panel.get());
    QCOMPARE(Exchange(HttpPort(), Request("GET", "/api/state", HttpPort(), device)).status, 200);
    QCOMPARE(Api("GET", "/api/state").status, 200);
    // A new start has a new code; the one used before stays used.
    QVERIFY(Code() != code);
    QCOMPARE(Pair(code).status, 401);
}

void TestRemote::pairRefusals_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("host"); // PORT is the served port
    QTest::addColumn<QByteArray>("origin");
    QTest::addColumn<QByteArray>("body"); // CODE is the valid code
    QTest::addColumn<int>("status");
    const QByteArray good = "127.0.0.1:PORT";
    const QByteArray right = "{\"code\": \"CODE\"}";
    QTest::newRow("wrong code") << QByteArray("POST") << good << QByteArray() << QByteArray("{\"code\": \"22222222\"}") << 401;
    QTest::newRow("code and more") << QByteArray("POST") << good << QByteArray() << QByteArray("{\"code\": \"CODE2\"}") << 401;
    QTest::newRow("no code") << QByteArray("POST") << good << QByteArray() << QByteArray("{}") << 400;
    QTest::newRow("code not text") << QByteArray("POST") << good << QByteArray() << QByteArray("{\"code\": 5}") << 400;
    QTest::newRow("not json") << QByteArray("POST") << good << QByteArray() << QByteArray("CODE") << 400;
    QTest::newRow("get") << QByteArray("GET") << good << QByteArray() << QByteArray() << 405;
    // Host and Origin rules hold for pairing too, even with the right code.
    QTest::newRow("foreign origin") << QByteArray("POST") << good << QByteArray("http://evil.example") << right << 403;
    QTest::newRow("name as host") << QByteArray("POST") << QByteArray("evil.example:PORT") << QByteArray() << right << 403;
}

void TestRemote::pairRefusals()
{
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, host);
    QFETCH(QByteArray, origin);
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QVERIFY(OpenPanel());
    body.replace("CODE", Code());
    QByteArray raw = method + " /api/pair HTTP/1.1\r\nHost: " + QByteArray(host).replace("PORT", QByteArray::number(HttpPort()))
                     + "\r\n";
    if (!origin.isEmpty())
        raw += "Origin: " + origin + "\r\n";
    raw += "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
    const HttpAnswer answer = Exchange(HttpPort(), raw);
    QCOMPARE(answer.status, status);
    QVERIFY(!answer.body.contains("token\":"));
    // Nothing was used up: the right code still pairs.
    QCOMPARE(Pair(Code()).status, 200);
}

void TestRemote::forgottenTabletsAreShutOut()
{
    QVERIFY(OpenPanel());
    const QByteArray device = JsonOf(Pair(Code()).body).value(QStringLiteral("token")).toString().toLatin1();
    QVERIFY(!device.isEmpty());
    QWebSocket tablet;
    QWebSocket script;
    QSignalSpy tabletClosed(&tablet, &QWebSocket::disconnected);
    QSignalSpy scriptClosed(&script, &QWebSocket::disconnected);
    QSignalSpy tabletState(&tablet, &QWebSocket::textMessageReceived);
    QSignalSpy scriptState(&script, &QWebSocket::textMessageReceived);
    tablet.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/api/events?token=%2").arg(HttpPort()).arg(QString::fromLatin1(device))));
    script.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/api/events?token=%2").arg(HttpPort()).arg(QString::fromLatin1(m_token))));
    QTRY_VERIFY(tabletState.size() == 1 && scriptState.size() == 1);

    QString error;
    QVERIFY2(m_remote->Pairing()->ForgetDevices(&error), qPrintable(error));
    // The tablet's stream is closed and its token refused; scripts keep the API token.
    QTRY_COMPARE(tabletClosed.size(), 1);
    QCOMPARE(Exchange(HttpPort(), Request("GET", "/api/state", HttpPort(), device)).status, 401);
    QCOMPARE(Api("GET", "/api/state").status, 200);
    QTest::qWait(200);
    QCOMPARE(scriptClosed.size(), 0);
    QCOMPARE(m_remote->Http()->Events().ClientCount(), 1);
}

void TestRemote::stateTellsTheLiveLinksAndTheSettingsPause()
{
    QVERIFY(OpenPanel());
    WaitForLinks(LINKS_FULL);
    QJsonObject before = JsonOf(Api("GET", "/api/state").body);
    QCOMPARE(before.value(QStringLiteral("linkState")).toString(), QStringLiteral("full"));
    QVERIFY(before.value(QStringLiteral("paused")).isNull());

    // While the settings dialog is open its links are closed; the last tick,
    // taken before, still counts them as up.
    QJsonObject during;
    int32_t lastTick = -1;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog || dialog == m_panel.get() || !during.isEmpty())
            return;
        during = JsonOf(Api("GET", "/api/state").body);
        lastTick = LastTickLinkState();
        static_cast<QDialog *>(dialog)->reject();
    });
    poll.start(20);
    m_panel->Press(IDC_SETTINGS);
    poll.stop();
    QVERIFY(!during.isEmpty());
    QCOMPARE(lastTick, LINKS_FULL);
    QCOMPARE(during.value(QStringLiteral("paused")).toString(), QStringLiteral("settings"));
    QCOMPARE(during.value(QStringLiteral("linkState")).toString(), QStringLiteral("none"));
    const QJsonArray links = during.value(QStringLiteral("stations")).toArray()[0].toObject().value(QStringLiteral("links")).toArray();
    QCOMPARE(links.size(), 2);
    for (const QJsonValue &link : links)
        QVERIFY(!link.toObject().value(QStringLiteral("connected")).toBool());

    // Closed again: the pause is over and the links come back.
    QVERIFY(JsonOf(Api("GET", "/api/state").body).value(QStringLiteral("paused")).isNull());
    QTRY_COMPARE_WITH_TIMEOUT(JsonOf(Api("GET", "/api/state").body).value(QStringLiteral("linkState")).toString(),
                              QStringLiteral("full"), 10000);
}

void TestRemote::remoteWindowFromTheLinkIcon()
{
    QVERIFY(OpenPanel());
    // The link icon's context menu opens the window; the menu is answered as the operator would.
    auto *icon = qobject_cast<QLabel *>(m_panel->GetDlgItem(IDC_LINK_ICON));
    QVERIFY(icon);
    QString offered;
    QTimer::singleShot(50, this, [&offered] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu || menu->actions().isEmpty())
            return;
        offered = menu->actions().first()->text();
        menu->actions().first()->trigger();
        menu->close();
    });
    emit icon->customContextMenuRequested(QPoint(2, 2));
    QCOMPARE(offered, QStringLiteral("Remote control…"));
    RemoteWindow *window = m_remote->Window();
    QVERIFY(window);
    QTRY_VERIFY(window->isVisible());

    auto *url = window->findChild<QLabel *>(QStringLiteral("pairingUrl"));
    auto *code = window->findChild<QLabel *>(QStringLiteral("pairingCode"));
    auto *qr = window->findChild<QLabel *>(QStringLiteral("pairingQr"));
    QVERIFY(url && code && qr);
    QCOMPARE(url->text(), m_remote->WebRemoteUrl());
    QCOMPARE(code->text(), QString::fromLatin1(Code()));
    // The QR code's modules are square and black on white, with a quiet zone.
    const QImage image = qr->pixmap().toImage();
    QVERIFY(!image.isNull());
    QCOMPARE(image.width(), image.height());
    QCOMPARE(QColor(image.pixel(2, 2)), QColor(Qt::white));
    QVERIFY(image.width() >= (21 + 8) * 5);

    // A new code replaces the shown one; the old one no longer pairs.
    const QByteArray old = Code();
    window->findChild<QPushButton *>(QStringLiteral("newCode"))->click();
    QVERIFY(Code() != old);
    QCOMPARE(code->text(), QString::fromLatin1(Code()));
    QCOMPARE(Pair(old).status, 401);
    QCOMPARE(Pair(Code()).status, 200);
    // Once used, reopening the window shows a fresh code; forgetting empties the list.
    window->close();
    const QByteArray used = Code();
    m_remote->ShowWindow();
    QVERIFY(Code() != used);
    window = m_remote->Window();
    QCOMPARE(window->findChild<QLabel *>(QStringLiteral("pairingCode"))->text(), QString::fromLatin1(Code()));
    auto *forget = window->findChild<QPushButton *>(QStringLiteral("forgetDevices"));
    QVERIFY(forget->isEnabled());
    forget->click();
    QCOMPARE(m_remote->Pairing()->Devices().Count(), 0);
    QVERIFY(!forget->isEnabled());
}

QTEST_MAIN(TestRemote)
#include "tst_remote.moc"
