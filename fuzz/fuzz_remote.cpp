// Any bytes as what reaches the remote control from outside: the first byte
// picks an OSC datagram, an HTTP request or a WebSocket handshake; for the
// requests, the rest is split at '\n' into method, path, Host, Origin,
// Authorization (or the query token) and body. A real panel window is
// attached, with one station up on loopback, so every command that passes
// the gate runs through the panel's command rules and, where they let it,
// to the station.
#include "buttonsetfile.h"
#include "configmodel.h"
#include "connectionmanager.h"
#include "cplaxondlg.h"
#include "maintemplates.h"
#include "markerbitmaps.h"
#include "messagebox.h"
#include "oscreceiver.h"
#include "panelremote.h"
#include "remoteapi.h"
#include "settingsfile.h"

#include <QApplication>
#include <QByteArray>
#include <QDeadlineTimer>
#include <QDir>
#include <QList>
#include <QTcpServer>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

const QByteArray kToken = QByteArrayLiteral("0123456789abcdef0123456789abcdef");
constexpr quint16 kPort = 8080;
// Layout 7 shows 10 buttons; the others are out of view.
constexpr int kLayout = 7;
constexpr int kInView = 10;
constexpr int kLinkWaitMs = 5000;

bool Known(int status)
{
    switch (status) {
    case 101: case 200: case 400: case 401: case 403: case 404: case 405: case 409: case 413: case 426:
        return true;
    default:
        return false;
    }
}

// Odd buttons are shown, every third has no program; button 40 is hidden.
bool Shown(int k) { return k % 2 == 0 && k != BUTTON_COUNT - 1; }
bool HasProgram(int k) { return k % 3 != 2; }

struct Fixture {
    QTemporaryDir dir;
    QTcpServer station; // accepts, never reads: records queue and drop as on a stalled station
    std::unique_ptr<CPlaxonDlg> window;
    PanelRemote remote;
    RemoteApi api{remote, RequestGate(kToken, kPort)};

    Fixture()
    {
        if (!dir.isValid() || !QDir::setCurrent(dir.path()) || !station.listen(QHostAddress::LocalHost))
            std::abort();
        SetMessageBoxHandler([](const MessageBoxCall &) { return MSG_OK; });
        LoadMarkerBitmaps();
        g_Settings.DIALOG = kLayout;
        g_Settings.BRIGHT_ENA = 1;
        g_Settings.PC[0].ENABLE = 1;
        CopyText(g_Settings.PC[0].ADDRESS, "127.0.0.1");
        CopyText(g_Settings.PC[0].SOCKET, QByteArray::number(station.serverPort()).constData());
        NormalizeSettings();
        for (int k = 0; k < BUTTON_COUNT; ++k) {
            ButtonRecord &b = g_Buttons.BUTTON[k];
            b.ENABLE = Shown(k) ? 1 : 0;
            CopyText(b.NAME, QByteArray("b").append(QByteArray::number(k + 1)).constData());
            if (HasProgram(k))
                CopyText(b.PROGRAM[0], QByteArray("show\\p").append(QByteArray::number(k + 1)).constData());
        }
        if (SaveButtonSet("fuzz.PUC") != 0)
            std::abort();
        CopyText(g_Settings.LASTFNAME, "fuzz.PUC");
        window = std::make_unique<CPlaxonDlg>(IDD_PLAXON_5X8);
        if (!window->Create(IDD_PLAXON_5X8, nullptr))
            std::abort();
        window->show();
        remote.Attach(window.get());
        const QDeadlineTimer deadline(kLinkWaitMs);
        while (LinkState() == LINKS_NONE && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (LinkState() == LINKS_NONE)
            std::abort();
    }
};

Fixture &Panel()
{
    static int argc = 1;
    static char name[] = "fuzz_remote";
    static char *argv[] = {name, nullptr};
    static QApplication *app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    (void)app;
    static Fixture *fixture = [] {
        auto *made = new Fixture;
        // The window stops its resolver thread before the link table goes
        // with the other statics at exit.
        std::atexit([] { delete fixture; });
        return made;
    }();
    return *fixture;
}

// What the panel's rules allow: a command they let through was sent, and a
// launch only of a shown button in view that has a program.
void CheckOutcome(const RemoteCommand &command, const RemoteOutcome &outcome)
{
    if (outcome.status != RemoteOutcome::Status::Done) {
        if (outcome.reason.isEmpty())
            std::abort();
        return;
    }
    if (!outcome.delivery.Built())
        std::abort();
    if (command.action == RemoteAction::Launch) {
        const int k = command.button - 1;
        if (k < 0 || k >= kInView || !Shown(k) || !HasProgram(k) || Panel().window->LastLaunch() != k)
            std::abort();
    }
}

} // namespace

// Fontconfig keeps what it allocates for the font cache to the end of the
// process; the first paint of the window must not count as a leak.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libfontconfig\n";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    Fixture &panel = Panel();
    QCoreApplication::processEvents();
    const QByteArray input(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const int mode = data[0] % 3;
    if (mode == 0) {
        QString reason;
        const std::optional<RemoteCommand> command = OscReceiver::Decode(input, &reason);
        if (!command)
            return 0;
        if ((command->action == RemoteAction::Launch) && (command->button < 1 || command->button > 40))
            std::abort();
        if (command->action == RemoteAction::Brightness
            && (command->brightness < 0 || command->brightness > 100 || (command->stations && *command->stations > 15)))
            std::abort();
        CheckOutcome(*command, panel.remote.Run(*command, {CommandSource::Kind::Osc, QStringLiteral("127.0.0.1:9")}));
        return 0;
    }
    const QList<QByteArray> parts = input.split('\n');
    auto part = [&parts](int i) { return i < parts.size() ? parts[i] : QByteArray(); };
    ApiRequest request;
    request.peer = QStringLiteral("127.0.0.1:9");
    request.method = part(0);
    request.path = QString::fromUtf8(part(1));
    request.host = part(2);
    request.origin = part(3);
    request.hasOrigin = !request.origin.isEmpty();
    request.authorization = part(4);
    request.queryToken = part(4);
    request.body = part(5);
    const ApiReply reply = mode == 1 ? panel.api.Answer(request) : panel.api.AnswerUpgrade(request);
    if (!Known(reply.status))
        std::abort();
    // Only a request with the token may get through to a route.
    const bool tokenGiven = RequestGate::ConstantTimeEqual(RequestGate::BearerToken(request.authorization), kToken)
                            || (mode == 2 && RequestGate::ConstantTimeEqual(request.queryToken, kToken));
    if (request.path.startsWith(QLatin1String("/api/")) && (reply.status == 200 || reply.status == 101) && !tokenGiven)
        std::abort();
    // A launch answered 200 went out under the panel's rules.
    if (reply.status == 200 && request.path.startsWith(QLatin1String("/api/launch/"))) {
        const int k = request.path.mid(12).toInt() - 1;
        if (k < 0 || k >= kInView || !Shown(k) || !HasProgram(k))
            std::abort();
    }
    return 0;
}
