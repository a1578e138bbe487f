// plaxon-station: stands in for the display program on a station. It listens
// on the TCP ports a station would, prints every command record the panel
// sends, and can misbehave on purpose so that the panel's recovery can be
// watched.

#include "consoleoutput.h"
#include "stationlistener.h"
#include "stationoptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

const char *const kDescription = R"(Stands in for the display program of a Plaxon station.

It listens on the given TCP ports, takes the 104-byte command records the
panel sends and prints one line per record on standard output:

  14:03:07.512  port 700  peer 127.0.0.1:51234  CMD_RUN  "SHOW\intro"
  14:03:09.020  port 700  peer 127.0.0.1:51234  CMD_BRIGHTNESS  80
  14:03:11.731  port 700  peer 127.0.0.1:51234  CMD_STOP

Fields: local time, the port the record came in on, the panel's address and
port, the command (CMD_STOP, CMD_RUN, CMD_BRIGHTNESS, CMD_PLAY, CMD_PAUSE,
CMD_RUN_INLINE) and its argument: the program name for CMD_RUN and
CMD_RUN_INLINE (windows-1250 bytes shown as text, control characters as
\xHH), the value for CMD_BRIGHTNESS, nothing for the others. A record a
correct panel never sends gets a note in brackets at the end, e.g.
"[non-zero bytes after the argument]" or UNKNOWN(9) for an unknown code.
Connections, closes, a record cut off by a close, and the faults below are
reported on standard error, so standard output holds records only.

PORT is a port number or a comma list as in the panel's settings
("700,701"); several may be given. Without any, port 700 is used (ports
below 1024 need administrator rights on most systems).

The fault options apply to every connection on every port. They let you
watch how the panel copes: its title and status tooltip change, and its
links come back by themselves.

Examples:
  plaxon-station 700 701
      Two ports on this machine, as a station with SOCKET "700,701".
  plaxon-station --listen 0.0.0.0 700
      Accept panels on other machines (check the firewall).
  plaxon-station --close-after 3 --refuse-for 5000 7000
      Drop each connection after 3 records, then refuse connections for
      5 s: the panel should show the link down and reconnect.
  plaxon-station --stop-reading-after 0 7000
      A station that hangs: never reads. The panel keeps working; once the
      station's buffers are full its records are dropped whole, and if they
      stay full for about 5 s the panel gives the link up and reconnects.
  plaxon-station --stop-reading-after 1 --resume-reading-after 3000 7000
      A station that stalls for 3 s after the first record, then takes
      what waited: every record printed must still be whole.
  plaxon-station --send 'status?\n' --send-every 1000 7000
      A station that talks back; the panel reads and ignores it.

It runs until stopped (Ctrl+C) or until --exit-after is reached. Exit
status: 0 after --exit-after, 1 when a port cannot be listened on, 2 for a
mistake on the command line.)";

int UsageError(const QString &message)
{
    std::fprintf(stderr, "plaxon-station: %s\nTry 'plaxon-station --help'.\n", message.toLocal8Bit().constData());
    return 2;
}

// The command line's options, each with its help text.
struct Options {
    const QCommandLineOption listen{
        {QStringLiteral("l"), QStringLiteral("listen")},
        QStringLiteral("Listen on <address> (an IPv4 or IPv6 address of this machine, or 0.0.0.0 for all). "
                       "Default 127.0.0.1: only panels on this machine can connect."),
        QStringLiteral("address"), QStringLiteral("127.0.0.1")};
    const QCommandLineOption closeAfter{
        QStringLiteral("close-after"),
        QStringLiteral("Close each connection after its <n>-th record, as a station that drops the link."),
        QStringLiteral("n")};
    const QCommandLineOption stopReading{
        QStringLiteral("stop-reading-after"),
        QStringLiteral("Stop reading each connection after its <n>-th record (0: never read), as a station that "
                       "hangs. The connection stays open; unread records pile up in the network buffers."),
        QStringLiteral("n")};
    const QCommandLineOption resumeReading{
        QStringLiteral("resume-reading-after"),
        QStringLiteral("With --stop-reading-after, read again <ms> milliseconds after stopping, as a station that "
                       "stalls for a while. The records that waited are then printed; none may be cut."),
        QStringLiteral("ms")};
    const QCommandLineOption refuseFor{
        QStringLiteral("refuse-for"),
        QStringLiteral("Refuse connections for <ms> milliseconds at start, and again after each connection closed "
                       "by --close-after, as a station whose display program is restarting."),
        QStringLiteral("ms")};
    const QCommandLineOption send{
        QStringLiteral("send"),
        QStringLiteral("Send <text> (unsolicited bytes; \\n, \\r, \\t and \\xHH are understood) to each new "
                       "connection. The panel must ignore them."),
        QStringLiteral("text")};
    const QCommandLineOption sendEvery{
        QStringLiteral("send-every"), QStringLiteral("Repeat --send every <ms> milliseconds."), QStringLiteral("ms")};
    const QCommandLineOption exitAfter{
        QStringLiteral("exit-after"), QStringLiteral("Exit after <n> records in all, for scripts."), QStringLiteral("n")};

    void AddTo(QCommandLineParser &parser) const
    {
        parser.setApplicationDescription(QString::fromUtf8(kDescription));
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addOptions({listen, closeAfter, stopReading, resumeReading, refuseFor, send, sendEvery, exitAfter});
        parser.addPositionalArgument(QStringLiteral("PORT"), QStringLiteral("Port(s) to listen on, default 700."),
                                     QStringLiteral("[PORT...]"));
    }
};

bool ParseCount(const QCommandLineParser &parser, const QCommandLineOption &option, int minimum, int &out)
{
    if (!parser.isSet(option))
        return true;
    bool ok = false;
    const int value = parser.value(option).toInt(&ok);
    if (!ok || value < minimum)
        return false;
    out = value;
    return true;
}

// --send's text with \n, \r, \t and \xHH turned into their bytes.
QByteArray UnescapeSendText(const QByteArray &text)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            bytes += text[i];
            continue;
        }
        const char c = text[++i];
        if (c == 'n') {
            bytes += '\n';
        } else if (c == 'r') {
            bytes += '\r';
        } else if (c == 't') {
            bytes += '\t';
        } else if (c == 'x' && i + 2 < text.size() && QByteArray::fromHex(text.mid(i + 1, 2)).size() == 1) {
            bytes += QByteArray::fromHex(text.mid(i + 1, 2));
            i += 2;
        } else {
            bytes += c;
        }
    }
    return bytes;
}

// The fault options into options; the mistake's message, or empty.
QString ReadFaultOptions(const QCommandLineParser &parser, const Options &o, StationOptions &options)
{
    if (!ParseCount(parser, o.closeAfter, 1, options.closeAfter))
        return QStringLiteral("--close-after needs a number of at least 1");
    if (!ParseCount(parser, o.stopReading, 0, options.stopReadingAfter))
        return QStringLiteral("--stop-reading-after needs a number of at least 0");
    if (!ParseCount(parser, o.resumeReading, 1, options.resumeReadingAfterMs))
        return QStringLiteral("--resume-reading-after needs milliseconds, at least 1");
    if (parser.isSet(o.resumeReading) && !parser.isSet(o.stopReading))
        return QStringLiteral("--resume-reading-after needs --stop-reading-after");
    if (!ParseCount(parser, o.refuseFor, 1, options.refuseForMs))
        return QStringLiteral("--refuse-for needs milliseconds, at least 1");
    if (!ParseCount(parser, o.sendEvery, 1, options.sendEveryMs))
        return QStringLiteral("--send-every needs milliseconds, at least 1");
    if (!ParseCount(parser, o.exitAfter, 1, options.exitAfter))
        return QStringLiteral("--exit-after needs a number of at least 1");
    if (parser.isSet(o.sendEvery) && !parser.isSet(o.send))
        return QStringLiteral("--send-every needs --send");
    if (parser.isSet(o.send)) {
        options.sendBytes = UnescapeSendText(parser.value(o.send).toUtf8());
        if (options.sendBytes.isEmpty())
            return QStringLiteral("--send needs at least one byte");
    }
    return QString();
}

// The ports given as arguments ("700", "700,701"), each once; 700 when none.
QString ReadPorts(const QStringList &arguments, QList<quint16> &ports)
{
    for (const QString &arg : arguments) {
        for (const QString &part : arg.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            bool ok = false;
            const uint port = part.trimmed().toUInt(&ok);
            if (!ok || port == 0 || port > 65535)
                return QStringLiteral("'%1' is not a port number (1..65535)").arg(part);
            if (!ports.contains(quint16(port)))
                ports.append(quint16(port));
        }
    }
    if (ports.isEmpty())
        ports.append(700);
    return QString();
}

// Listens on every port until the event loop ends; 1 when a port cannot be had.
int Serve(QCoreApplication &app, const StationOptions &options)
{
    int records = 0;
    std::vector<std::unique_ptr<StationListener>> listeners;
    for (const quint16 port : options.ports) {
        auto listener = std::make_unique<StationListener>(port, options);
        QObject::connect(listener.get(), &StationListener::recordReceived, &app, [&] {
            if (options.exitAfter > 0 && ++records >= options.exitAfter)
                QCoreApplication::exit(0);
        });
        if (!listener->Start())
            return 1;
        listeners.push_back(std::move(listener));
    }
    return app.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    PrepareConsoleOutput();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("plaxon-station"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PLAXON_VERSION));

    const Options o;
    QCommandLineParser parser;
    o.AddTo(parser);
    // Every mistake, an unknown option too, ends with the usage status 2.
    if (!parser.parse(QCoreApplication::arguments()))
        return UsageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();

    StationOptions options;
    if (!options.listenAddress.setAddress(parser.value(o.listen)))
        return UsageError(QStringLiteral("'%1' is not an IP address").arg(parser.value(o.listen)));
    QString mistake = ReadFaultOptions(parser, o, options);
    if (mistake.isEmpty())
        mistake = ReadPorts(parser.positionalArguments(), options.ports);
    if (!mistake.isEmpty())
        return UsageError(mistake);
    return Serve(app, options);
}
