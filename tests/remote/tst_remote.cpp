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
#include "recordsink.h"
#include "remotecontrol.h"
#include "remotehttpserver.h"
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
#include <QProcess>
#include <QScopeGuard>
#include <QSlider>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>
#include <QWebSocket>

#include <lo/lo.h>

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

QStringList JournalLines()
{
    QFile file(QStringLiteral("PLAXONDATA/journal/%1.txt").arg(QDate::currentDate().toString(Qt::ISODate)));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

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
    void followsTheWindowAcrossARebuild();

private:
    bool OpenPanel(int layout = 0);
    void WaitForLinks(int32_t state);
    void SetButton(int k, const char *name, std::initializer_list<const char *> programs);
    HttpAnswer Api(const QByteArray &method, const QByteArray &path, const QByteArray &body = {});
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
    QCOMPARE(m_remote->WebRemoteUrl(),
             QStringLiteral("http://127.0.0.1:%1/#token=%2").arg(HttpPort()).arg(QString::fromLatin1(m_token)));
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
    QCOMPARE(QJsonDocument(reply.value(QStringLiteral("delivery")).toObject()).toJson(QJsonDocument::Compact),
             delivery.toUtf8());
    for (int i = 0; i < 3; ++i)
        QTRY_COMPARE(m_sink[i].Received(), records[i]);
    QTest::qWait(50);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(m_sink[i].Received(), records[i]);

    // The panel shows it as its own: the last command, the trackbar.
    QCOMPARE(m_panel->LastDelivery().Built(), true);
    if (path.startsWith("/api/launch/"))
        QCOMPARE(m_panel->LastLaunch(), path.mid(12).toInt() - 1);
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
    QTest::newRow("dialog open") << QStringLiteral("dialog") << QByteArray("/api/stop") << QByteArray()
                                 << QStringLiteral("a dialog of the panel is open");
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

    const HttpAnswer answer = Api("POST", path, body);
    QCOMPARE(answer.status, 409);
    QCOMPARE(JsonOf(answer.body).value(QStringLiteral("reason")).toString(), reason);
    QTest::qWait(50);
    for (RecordSink &sink : m_sink)
        QCOMPARE(sink.Received(), QByteArray());
    QCOMPARE(m_panel->LastDelivery().Built(), false);
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
        QVERIFY(Api("POST", "/api/brightness", QByteArray(R"({"value": )") + QByteArray::number(i + 1) + "}").status == 200);
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
    QTRY_COMPARE(m_remote->Osc()->Dropped(), 3);
    const QString journal = JournalLines().join(QLatin1Char('\n'));
    QVERIFY2(journal.contains(QStringLiteral("launch 3  refused: button 3 is not shown")), qPrintable(journal));
    QVERIFY(journal.contains(QStringLiteral("dropped: /plaxon/launch takes one number from 1 to 40")));
    QVERIFY(journal.contains(QStringLiteral("dropped: /plaxon/brightness takes a value")));
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
    for (int i = 0; i < ConnectionGuard::MAX_CONNECTIONS + 6; ++i)
        QCOMPARE(Exchange(HttpPort(), handshake).status, 101);
    QTRY_COMPARE(m_remote->Http()->Events().ClientCount(), 0);
    QTRY_COMPARE(m_remote->Http()->Guard()->OpenConnections(), 0);
    QCOMPARE(Api("GET", "/api/state").status, 200);

    // More than MAX_CONNECTIONS at once: the ones over are closed, the others served.
    std::vector<std::unique_ptr<QTcpSocket>> crowd;
    for (int i = 0; i < ConnectionGuard::MAX_CONNECTIONS + 10; ++i) {
        crowd.push_back(std::make_unique<QTcpSocket>());
        crowd.back()->connectToHost(QStringLiteral("127.0.0.1"), HttpPort());
    }
    QTRY_COMPARE(m_remote->Http()->Guard()->OpenConnections(), ConnectionGuard::MAX_CONNECTIONS);
    crowd.clear();
    QTRY_COMPARE(m_remote->Http()->Guard()->OpenConnections(), 0);
    QCOMPARE(Api("GET", "/api/state").status, 200);
}

void TestRemote::silentConnectionsAreClosed()
{
    QVERIFY(OpenPanel());
    const int idleMs = 300;
    m_remote->Http()->Guard()->SetIdleLimit(idleMs);
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
        QCOMPARE(Api("POST", "/api/brightness", "{\"value\": " + QByteArray::number(value) + "}").status, 200);
        QTest::qWait(1);
    }
    QCOMPARE(m_remote->Http()->Events().ClientCount(), 1);
    QCOMPARE(awake.state(), QAbstractSocket::ConnectedState);
    qInfo("the sleeping reader was let go after %d updates in %lld ms; the awake one had %d", commands,
          clock.elapsed(), messages);
    QTRY_VERIFY(messages >= commands / 2);
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

QTEST_MAIN(TestRemote)
#include "tst_remote.moc"
