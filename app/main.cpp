// plaxon: the operator's control panel. The command line is read before the
// window system is touched, so --help, --version and a mistake work without a
// display and end before any window appears.

#include "consoleoutput.h"
#include "cplaxonapp.h"
#include "cplaxondlg.h"
#include "maintemplates.h"
#include "messagebox.h"
#include "messagetexts.h"
#include "panellock.h"
#include "remotecontrol.h"
#include "resourceicons.h"
#include "settingsfile.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <memory>
#include <optional>

namespace {

// Exit status of a mistake on the command line, as plaxon-station uses it.
constexpr int kUsageError = 2;

const char *const kDescription = R"(The operator's control panel for up to four Plaxon display stations.

Plaxon keeps its settings and button sets in PLAXONDATA/ below the directory
it works in: the directory it was started in, or DIR with -C. It never
changes that directory afterwards.

Remote control is off unless asked for. --remote serves the web remote and
its HTTP/WebSocket API and prints the page's address with a one-time pairing
code (the API token for scripts is in PLAXONDATA/remote-token); --osc takes OSC messages /plaxon/launch N,
/plaxon/play, /plaxon/pause, /plaxon/stop and /plaxon/brightness VALUE
[STATION...]. ADDRESS defaults to 127.0.0.1; [::] takes every address, IPv4
ones too.

One panel runs per PLAXONDATA/: a second one started on the same folder says
so and ends without writing anything.

Exit status: 0 when the panel is closed, 1 when the remote control cannot be
started, 2 for a mistake on the command line (an unknown option, a DIR that
is not a directory), 3 when another panel already runs in this folder.)";

// Exit status when a port asked for cannot be opened.
constexpr int kRemoteError = 1;
// Exit status when another panel holds the installation folder.
constexpr int kAlreadyRunning = 3;

int UsageError(const QString &message)
{
    std::fprintf(stderr, "plaxon: %s\nTry 'plaxon --help'.\n", message.toLocal8Bit().constData());
    return kUsageError;
}

// Reads the command line and enters -C's directory. Returns the status to end
// with at once, or nothing when the panel is to start. Only a core
// application exists meanwhile, so no display is needed.
std::optional<int> ReadCommandLine(int &argc, char *argv[], RemoteSettings &remote)
{
    const QCoreApplication core(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(kDescription));
    // Our own help option: the stock one adds --help-all, which lists Qt's
    // window system options, and those are not taken here.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption directory(
        {QStringLiteral("C"), QStringLiteral("directory")},
        QStringLiteral("Work in <DIR>: its PLAXONDATA/ holds the settings and button sets, and relative "
                       "program paths start there. Default: the directory Plaxon is started in."),
        QStringLiteral("DIR"));
    const QCommandLineOption remoteOption(
        QStringLiteral("remote"),
        QStringLiteral("Serve the web remote and its API on [ADDRESS:]PORT (HTTP and WebSocket)."),
        QStringLiteral("[ADDRESS:]PORT"));
    const QCommandLineOption oscOption(QStringLiteral("osc"), QStringLiteral("Take OSC over UDP on [ADDRESS:]PORT."),
                                       QStringLiteral("[ADDRESS:]PORT"));
    const QCommandLineOption oscAllow(
        QStringLiteral("osc-allow"),
        QStringLiteral("Hear OSC only from these senders (addresses or ADDRESS/PREFIX). Default: this machine. "
                       "A filter, not a sign-on: a sender's address can be forged."),
        QStringLiteral("ADDR[,ADDR...]"));
    parser.addOption(help);
    parser.addVersionOption();
    parser.addOption(directory);
    parser.addOption(remoteOption);
    parser.addOption(oscOption);
    parser.addOption(oscAllow);

    if (!parser.parse(QCoreApplication::arguments()))
        return UsageError(parser.errorText());
    // Printed here rather than by the parser, which on Windows shows a
    // message box instead whenever it sees no console of its own.
    if (parser.isSet(help)) {
        std::fputs(parser.helpText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return UsageError(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));

    QString error;
    if (parser.isSet(remoteOption) && !(remote.http = ParseEndpoint(parser.value(remoteOption), &error)))
        return UsageError(QStringLiteral("--remote: %1").arg(error));
    if (parser.isSet(oscOption) && !(remote.osc = ParseEndpoint(parser.value(oscOption), &error)))
        return UsageError(QStringLiteral("--osc: %1").arg(error));
    if (parser.isSet(oscAllow)) {
        const std::optional<QList<AddressRange>> allowed = ParseAddressList(parser.value(oscAllow), &error);
        if (!allowed)
            return UsageError(QStringLiteral("--osc-allow: %1").arg(error));
        remote.oscAllowed = *allowed;
    }

    if (parser.isSet(directory)) {
        const QString dir = parser.value(directory);
        const QFileInfo info(dir);
        if (!info.exists())
            return UsageError(QStringLiteral("cannot work in '%1': no such directory").arg(dir));
        if (!info.isDir())
            return UsageError(QStringLiteral("cannot work in '%1': not a directory").arg(dir));
        if (!QDir::setCurrent(dir))
            return UsageError(QStringLiteral("cannot work in '%1': cannot enter it").arg(dir));
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char *argv[])
{
    PrepareConsoleOutput();
    const QDateTime startedAt = QDateTime::currentDateTime();
    QCoreApplication::setApplicationName(QStringLiteral("Plaxon"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PLAXON_VERSION));
    RemoteSettings remoteSettings;
    if (const std::optional<int> status = ReadCommandLine(argc, argv, remoteSettings))
        return *status;

    QApplication application(argc, argv);
    // Ties the windows to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(PLAXON_APP_ID));
    QApplication::setWindowIcon(ResourceIcon(IDI_PLAXON));
    // Tests of the whole program answer its message boxes through this file.
    if (const QString record = qEnvironmentVariable("PLAXON_MESSAGE_BOX_RECORD"); !record.isEmpty())
        SetMessageBoxHandler(RecordingHandler(record));
    // The settings only give the language of the messages before the window.
    LoadSettings();
    PanelLock lock(QString::fromLatin1(DATA_DIR));
    if (!ClaimInstallation(lock)) {
        std::fprintf(stderr, "plaxon: %s\n", MessageTextFor(MessageText::AlreadyRunning).toLocal8Bit().constData());
        return kAlreadyRunning;
    }
    // Only the panel that holds the folder clears what killed saves left there.
    RemoveStaleTemporaries(startedAt);
    CPlaxonApp app;
    std::unique_ptr<RemoteControl> remote;
    if (remoteSettings.Any()) {
        remote = std::make_unique<RemoteControl>(remoteSettings);
        QString error;
        if (!remote->Start(&error)) {
            std::fprintf(stderr, "plaxon: %s\n", error.toLocal8Bit().constData());
            // Started from the menu, nobody reads the standard error.
            ShowMessageBox(nullptr, MessageTextFor(MessageText::RemoteStartError).arg(error), ErrorCaption(),
                           MsgIcon::Error);
            return kRemoteError;
        }
        if (const QString url = remote->WebRemoteUrl(); !url.isEmpty()) {
            std::printf("%s\n", url.toLocal8Bit().constData());
            std::fflush(stdout);
        }
        app.onWindow = [&remote](CPlaxonDlg &window) { remote->Attach(&window); };
    }
    app.InitInstance();
    return 0;
}
