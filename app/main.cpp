// plaxon: the operator's control panel. The command line is read before the
// window system is touched, so --help, --version and a mistake work without a
// display and end before any window appears.

#include "cplaxonapp.h"
#include "maintemplates.h"
#include "resourceicons.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <optional>

namespace {

// Exit status of a mistake on the command line, as plaxon-station uses it.
constexpr int kUsageError = 2;

const char *const kDescription = R"(The operator's control panel for up to four Plaxon display stations.

Plaxon keeps its settings and button sets in PLAXONDATA/ below the directory
it works in: the directory it was started in, or DIR with -C. It never
changes that directory afterwards.

Exit status: 0 when the panel is closed, 2 for a mistake on the command line
(an unknown option, a DIR that is not a directory).)";

int UsageError(const QString &message)
{
    std::fprintf(stderr, "plaxon: %s\nTry 'plaxon --help'.\n", message.toLocal8Bit().constData());
    return kUsageError;
}

// Reads the command line and enters -C's directory. Returns the status to end
// with at once, or nothing when the panel is to start. Only a core
// application exists meanwhile, so no display is needed.
std::optional<int> ReadCommandLine(int &argc, char *argv[])
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
    parser.addOption(help);
    parser.addVersionOption();
    parser.addOption(directory);

    if (!parser.parse(QCoreApplication::arguments()))
        return UsageError(parser.errorText());
    if (parser.isSet(help))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    if (!parser.positionalArguments().isEmpty())
        return UsageError(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));

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
    QCoreApplication::setApplicationName(QStringLiteral("Plaxon"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PLAXON_VERSION));
    if (const std::optional<int> status = ReadCommandLine(argc, argv))
        return *status;

    QApplication application(argc, argv);
    // Ties the windows to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(PLAXON_APP_ID));
    QApplication::setWindowIcon(ResourceIcon(IDI_PLAXON));
    CPlaxonApp app;
    app.InitInstance();
    return 0;
}
