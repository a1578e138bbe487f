// The command lines of the built plaxon and plaxon-station, run as the
// operator runs them.

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include "testfiles.h"

namespace {

const QString kPanel = QStringLiteral(PLAXON_PATH);
const QString kStation = QStringLiteral(PLAXON_STATION_PATH);
constexpr int kUsageError = 2;
constexpr int kRunMs = 10000;

} // namespace

class CommandLineTest : public QObject {
    Q_OBJECT

private slots:
    // Help, version and every mistake end at once, with no window system:
    // a platform that does not exist makes any attempt at a window crash.
    void endsBeforeAnyWindow_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");

        const QString usage = QStringLiteral("Try 'plaxon --help'.\n");
        // An existing file that is no directory.
        const QString file = QCoreApplication::applicationFilePath();
        QTest::newRow("help") << kPanel << QStringList{QStringLiteral("--help")} << 0
                              << QStringLiteral("-C, --directory <DIR>") << QString();
        QTest::newRow("version") << kPanel << QStringList{QStringLiteral("--version")} << 0
                                 << QStringLiteral("Plaxon " PLAXON_VERSION "\n") << QString();
        QTest::newRow("unknown option") << kPanel << QStringList{QStringLiteral("--bogus")} << kUsageError << QString()
                                        << QStringLiteral("plaxon: Unknown option 'bogus'.\n") + usage;
        QTest::newRow("missing DIR") << kPanel << QStringList{QStringLiteral("-C"), QStringLiteral("/nonexistent/dir")}
                                     << kUsageError << QString()
                                     << QStringLiteral("plaxon: cannot work in '/nonexistent/dir': no such directory\n") +
                                            usage;
        QTest::newRow("DIR is a file") << kPanel << QStringList{QStringLiteral("--directory"), file} << kUsageError
                                       << QString()
                                       << QStringLiteral("plaxon: cannot work in '%1': not a directory\n").arg(file) +
                                              usage;
        QTest::newRow("-C without DIR") << kPanel << QStringList{QStringLiteral("-C")} << kUsageError << QString()
                                        << QStringLiteral("plaxon: Missing value after '-C'.\n") + usage;
        QTest::newRow("stray argument") << kPanel << QStringList{QStringLiteral("demo")} << kUsageError << QString()
                                        << QStringLiteral("plaxon: unexpected argument 'demo'\n") + usage;
        QTest::newRow("--remote without a port") << kPanel << QStringList{QStringLiteral("--remote"), QStringLiteral("0.0.0.0")}
                                                 << kUsageError << QString()
                                                 << QStringLiteral("plaxon: --remote: '0.0.0.0' is not [ADDRESS:]PORT (an IP "
                                                                   "address and a port of 0 to 65535)\n") + usage;
        QTest::newRow("--osc with a name") << kPanel << QStringList{QStringLiteral("--osc"), QStringLiteral("show.local:9000")}
                                           << kUsageError << QString()
                                           << QStringLiteral("plaxon: --osc: 'show.local:9000' is not [ADDRESS:]PORT (an IP "
                                                             "address and a port of 0 to 65535)\n") + usage;
        QTest::newRow("--osc-allow with a name")
            << kPanel << QStringList{QStringLiteral("--osc-allow"), QStringLiteral("10.0.0.1,desk")} << kUsageError << QString()
            << QStringLiteral("plaxon: --osc-allow: 'desk' is not an IP address or ADDRESS/PREFIX\n") + usage;
        QTest::newRow("station version") << kStation << QStringList{QStringLiteral("--version")} << 0
                                         << QStringLiteral("plaxon-station " PLAXON_VERSION "\n") << QString();
        QTest::newRow("station unknown option")
            << kStation << QStringList{QStringLiteral("--bogus")} << kUsageError << QString()
            << QStringLiteral("plaxon-station: Unknown option 'bogus'.\nTry 'plaxon-station --help'.\n");
    }

    void endsBeforeAnyWindow()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);

        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("no-such-platform"));
        process.setProcessEnvironment(env);
        process.start(program, arguments);
        QVERIFY2(process.waitForFinished(kRunMs), qPrintable(process.errorString()));
        const QString stdOut = QString::fromLocal8Bit(process.readAllStandardOutput());
        const QString stdErr = QString::fromLocal8Bit(process.readAllStandardError());
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), status);
        // Success speaks on standard output only, a mistake on standard error only.
        if (status == 0) {
            QVERIFY2(stdOut.contains(out), qPrintable(stdOut));
            QCOMPARE(stdErr, QString());
        } else {
            QCOMPARE(stdOut, QString());
            QCOMPARE(stdErr, err);
        }
    }

    // A port that cannot be opened ends the panel before its window, with
    // status 1 and the reason, on standard error and in a message box (for a
    // panel started from the menu); nothing is printed on standard output.
    void remotePortInUseEndsWithStatus1()
    {
        QTcpServer busy;
        QVERIFY(busy.listen(QHostAddress::LocalHost));
        QTemporaryDir dir;
        QProcess process;
        const QString boxes = dir.filePath(QStringLiteral("boxes.txt"));
        process.setProcessEnvironment(PanelEnvironment(boxes));
        process.setWorkingDirectory(dir.path());
        process.start(kPanel, {QStringLiteral("--remote"), QStringLiteral("127.0.0.1:%1").arg(busy.serverPort())});
        QVERIFY2(process.waitForFinished(kRunMs), "the panel started although its port was taken");
        QCOMPARE(process.exitCode(), 1);
        QCOMPARE(process.readAllStandardOutput(), QByteArray());
        const QString reason = QStringLiteral("cannot serve the web remote on 127.0.0.1:%1: ").arg(busy.serverPort());
        const QString err = QString::fromLocal8Bit(process.readAllStandardError());
        QVERIFY2(err.contains(QStringLiteral("plaxon: ") + reason), qPrintable(err));
        const QString box = QString::fromUtf8(ReadAll(boxes));
        QVERIFY2(box.startsWith(QString::fromUtf8("Chyba\tDálkové ovládání nelze spustit: ") + reason), qPrintable(box));
        QCOMPARE(box.count(QLatin1Char('\n')), 1);
    }

    // One panel per installation folder: a second start says so in a box in
    // the settings' language, ends with status 3 and writes nothing; the
    // first runs on. Once the first is killed, its lock is taken over.
    void oneRunningPanelPerFolder()
    {
        QTemporaryDir root;
        QVERIFY(QDir(root.path()).mkpath(QStringLiteral("inst/PLAXONDATA")));
        QVERIFY(QFile::copy(QStringLiteral(PLAXON_DEMO_DIR "/PLAXONDATA/Demo show.PUC"),
                            root.filePath(QStringLiteral("inst/PLAXONDATA/Show.PUC"))));
        QVERIFY(WriteAll(root.filePath(QStringLiteral("inst/PLAXONDATA/PlaxonCfg.xml")),
                         "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<PLAXON_CONFIG>\r\n\t<LANG>1</LANG>\r\n"
                         "\t<LASTFNAME>PLAXONDATA/Show.PUC</LASTFNAME>\r\n</PLAXON_CONFIG>\r\n"));
        const QString inst = root.filePath(QStringLiteral("inst"));
        const QString lock = inst + QStringLiteral("/PLAXONDATA/plaxon.lock");
        const QString boxes = root.filePath(QStringLiteral("boxes.txt"));

        m_panel.setProcessEnvironment(PanelEnvironment(boxes));
        m_panel.setWorkingDirectory(inst);
        m_panel.start(kPanel, QStringList());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(lock) || m_panel.state() == QProcess::NotRunning, kRunMs);
        QCOMPARE(m_panel.state(), QProcess::Running);
        QTest::qWait(500); // the first panel's window is up and has written what it writes at start
        const QStringList before = Snapshot(inst);

        QProcess second;
        second.setProcessEnvironment(PanelEnvironment(boxes));
        second.setWorkingDirectory(inst);
        second.start(kPanel, QStringList());
        QVERIFY2(second.waitForFinished(kRunMs), "the second panel did not end");
        QCOMPARE(second.exitCode(), 3);
        QCOMPARE(QString::fromUtf8(ReadAll(boxes)), QStringLiteral("Plaxon\tPlaxon is already running in this folder\n"));
        QCOMPARE(Snapshot(inst), before);
        QCOMPARE(m_panel.state(), QProcess::Running);

        // Killed: nothing removes its lock file, yet the next panel takes it.
        m_panel.kill();
        QVERIFY(m_panel.waitForFinished());
        QVERIFY(QFile::exists(lock));
        QProcess third;
        third.setProcessEnvironment(PanelEnvironment(boxes));
        third.setWorkingDirectory(inst);
        third.start(kPanel, QStringList());
        QTRY_VERIFY_WITH_TIMEOUT(ReadAll(lock).startsWith(QByteArray::number(third.processId()) + '\n')
                                     || third.state() == QProcess::NotRunning,
                                 kRunMs);
        QCOMPARE(third.state(), QProcess::Running);
        QCOMPARE(ReadAll(boxes).count('\n'), 1);
        third.kill();
        third.waitForFinished();
    }

    // The panel reads the settings of the directory it works in: they name a
    // station on a port of this test, and the panel connects to it.
    void worksInItsDirectory_data()
    {
        QTest::addColumn<QString>("startIn");
        QTest::addColumn<QStringList>("arguments");

        QTest::newRow("no option: the start directory") << QStringLiteral("inst") << QStringList();
        QTest::newRow("-C relative to the start directory")
            << QString() << QStringList{QStringLiteral("-C"), QStringLiteral("inst")};
        QTest::newRow("--directory=absolute, started elsewhere")
            << QStringLiteral("elsewhere") << QStringList{QStringLiteral("--directory=@/inst")};
    }

    void worksInItsDirectory()
    {
        QFETCH(QString, startIn);
        QFETCH(QStringList, arguments);

        QTcpServer station;
        QVERIFY(station.listen(QHostAddress::LocalHost));
        QTemporaryDir root;
        QVERIFY(root.isValid());
        QVERIFY(QDir(root.path()).mkpath(QStringLiteral("inst/PLAXONDATA")));
        QVERIFY(QDir(root.path()).mkpath(QStringLiteral("elsewhere")));
        // A button set as well: without one the panel stops at the load error
        // before it connects.
        QVERIFY(QFile::copy(QStringLiteral(PLAXON_DEMO_DIR "/PLAXONDATA/Demo show.PUC"),
                            root.filePath(QStringLiteral("inst/PLAXONDATA/Show.PUC"))));
        QVERIFY(WriteAll(root.filePath(QStringLiteral("inst/PLAXONDATA/PlaxonCfg.xml")),
                 QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<PLAXON_CONFIG>\r\n"
                                "\t<LASTFNAME>PLAXONDATA/Show.PUC</LASTFNAME>\r\n"
                                "\t<PC>\r\n\t\t<ENABLE>1</ENABLE>\r\n\t\t<ADDRESS>127.0.0.1</ADDRESS>\r\n"
                                "\t\t<SOCKET>%1</SOCKET>\r\n\t</PC>\r\n</PLAXON_CONFIG>\r\n")
                     .arg(station.serverPort())
                     .toUtf8()));
        arguments.replaceInStrings(QStringLiteral("@"), root.path());

        m_panel.setWorkingDirectory(root.filePath(startIn));
        m_panel.setProcessChannelMode(QProcess::ForwardedChannels);
        m_panel.start(kPanel, arguments);
        QVERIFY2(m_panel.waitForStarted(), qPrintable(m_panel.errorString()));
        QTRY_VERIFY2_WITH_TIMEOUT(station.hasPendingConnections() || m_panel.state() == QProcess::NotRunning,
                                  "the panel did not connect to the station its directory's settings name", kRunMs);
        QVERIFY2(station.hasPendingConnections(), "the panel ended before it connected");
    }

    // The panel runs until it is stopped.
    void cleanup()
    {
        m_panel.kill();
        m_panel.waitForFinished();
    }

private:
    // The panel on the offscreen platform, its message boxes answered and
    // recorded in boxes.
    static QProcessEnvironment PanelEnvironment(const QString &boxes)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("PLAXON_MESSAGE_BOX_RECORD"), boxes);
        return env;
    }

    // Every file below folder with its size and modification time.
    static QStringList Snapshot(const QString &folder)
    {
        QStringList files;
        QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo info(it.next());
            files << QStringLiteral("%1 %2 %3").arg(info.filePath()).arg(info.size()).arg(
                info.lastModified().toMSecsSinceEpoch());
        }
        files.sort();
        return files;
    }

    QProcess m_panel;
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "tst_commandline.moc"
