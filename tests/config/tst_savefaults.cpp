// Saves under real faults: a full disk, failing system calls, folders and
// files that refuse writes, a read-only medium. A failed save must return
// non-zero quickly and leave the previous file exactly as it was.
#include "buttonsetfile.h"
#include "codepage.h"
#include "configmodel.h"
#include "filesystemfaults.h"
#include "libcfaults.h"
#include "safefilewrite.h"
#include "settingsfile.h"
#include "xmlfile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "testfiles.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <memory>

namespace {

const char kButtonSetPath[] = "PLAXONDATA/Demo show.PUC";
constexpr qint64 kTmpfsBytes = 64 * 1024;
constexpr qint64 kBoundMs = 2000;        // a failed save reports at once, it does not hang
constexpr uid_t kNobody = 65534;         // an unprivileged owner for the permission cases
constexpr char kFillChar = 'W';

struct Attempt {
    int rc = 0;
    qint64 ms = 0;
};

QString TargetPath(bool buttonSet)
{
    return QString::fromLatin1(buttonSet ? kButtonSetPath : SETTINGS_PATH);
}

// Reads the staged file into the record and changes it, so a save would change the bytes.
void LoadAndChange(bool buttonSet, bool grow = false)
{
    if (buttonSet) {
        LoadButtonSet(kButtonSetPath);
        CopyText(g_Buttons.BUTTON[0].NAME, "Changed");
        if (grow) {
            // Every text at full length: the file grows well past its old blocks.
            for (ButtonRecord &b : g_Buttons.BUTTON) {
                std::memset(b.NAME, kFillChar, sizeof b.NAME - 1);
                for (auto &program : b.PROGRAM)
                    std::memset(program, kFillChar, sizeof program - 1);
            }
        }
    } else {
        LoadSettings();
        g_Settings.LANG = g_Settings.LANG ? 0 : 1;
    }
}

Attempt TimedSave(bool buttonSet)
{
    QElapsedTimer timer;
    timer.start();
    const int rc = buttonSet ? SaveButtonSet(kButtonSetPath) : SaveSettings();
    return {rc, timer.elapsed()};
}

QStringList Listing(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TestSaveFaults : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void fullDisk_data();
    void fullDisk();
    void failingCalls_data();
    void failingCalls();
    void refusingFilesAndFolders_data();
    void refusingFilesAndFolders();
    void replacementKeepsOwnerModeAndLinks();
    void killedSavesLeaveNothingAtTheNextStart();

private:
    QString StageDemo();
    void VerifyUntouched(const QString &path, const QByteArray &before, const QStringList &listing, const Attempt &a);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previousDir;
};

void TestSaveFaults::init()
{
    m_previousDir = QDir::currentPath();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir::setCurrent(m_dir->path()));
}

void TestSaveFaults::cleanup()
{
    DisarmLibcFault();
    QDir::setCurrent(m_previousDir);
    m_dir.reset();
}

// The demo settings and button set in PLAXONDATA below the current directory.
QString TestSaveFaults::StageDemo()
{
    if (!QDir().mkpath(QString::fromLatin1(DATA_DIR)))
        return QStringLiteral("cannot create PLAXONDATA");
    for (const char *name : {"PlaxonCfg.xml", "Demo show.PUC"}) {
        const QString from = QStringLiteral(PLAXON_DEMO_DIR "/PLAXONDATA/") + QString::fromLatin1(name);
        if (!QFile::copy(from, QString::fromLatin1(DATA_DIR) + '/' + QString::fromLatin1(name)))
            return QStringLiteral("cannot copy ") + from;
    }
    return QString();
}

void TestSaveFaults::VerifyUntouched(const QString &path, const QByteArray &before, const QStringList &listing,
                                     const Attempt &a)
{
    const QByteArray after = ReadAll(path);
    qInfo("%s: returned %d in %lld ms; checksum before %s, after %s", qPrintable(path), a.rc, a.ms,
          Checksum(before).constData(), Checksum(after).constData());
    QVERIFY2(a.rc != 0, "the failed save reported success");
    QCOMPARE(after, before);
    QVERIFY2(a.ms < kBoundMs, qPrintable(QStringLiteral("the save took %1 ms").arg(a.ms)));
    QCOMPARE(Listing(QString::fromLatin1(DATA_DIR)), listing); // no temporary file left behind
}

void TestSaveFaults::fullDisk_data()
{
    QTest::addColumn<bool>("buttonSet");
    QTest::newRow("settings") << false;
    QTest::newRow("button set") << true;
}

void TestSaveFaults::fullDisk()
{
    QFETCH(bool, buttonSet);
    TmpfsMount tmpfs(m_dir->path(), kTmpfsBytes);
    QVERIFY2(tmpfs.Error().isEmpty(), qPrintable("a full disk could not be staged: " + tmpfs.Error()));
    QVERIFY(QDir::setCurrent(m_dir->path())); // into the tmpfs, not the folder under it
    const QString staged = StageDemo();
    QVERIFY2(staged.isEmpty(), qPrintable(staged));
    const QString filled = FillUp(m_dir->path());
    QVERIFY2(filled.isEmpty(), qPrintable("a full disk could not be staged: " + filled));
    QCOMPARE(FreeBytes(m_dir->path()), 0);

    const QString path = TargetPath(buttonSet);
    const QByteArray before = ReadAll(path);
    const QStringList listing = Listing(QString::fromLatin1(DATA_DIR));
    LoadAndChange(buttonSet);
    VerifyUntouched(path, before, listing, TimedSave(buttonSet));
    if (QTest::currentTestFailed())
        return;

    // With room again the same record saves, and it differs from the old file.
    QVERIFY(QFile::remove(m_dir->filePath("filler")));
    QCOMPARE(TimedSave(buttonSet).rc, 0);
    QVERIFY(ReadAll(path) != before);
}

void TestSaveFaults::failingCalls_data()
{
    QTest::addColumn<bool>("buttonSet");
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("expected");
    QTest::newRow("fsync fails") << false << int(LibcFault::FsyncFails) << EIO;
    QTest::newRow("rename fails") << true << int(LibcFault::RenameFails) << EIO;
    QTest::newRow("write stops part way") << true << int(LibcFault::WriteStopsPartWay) << ENOSPC;
    QTest::newRow("short writes and interruptions") << false << int(LibcFault::WriteShortAndEintr) << 0;
}

void TestSaveFaults::failingCalls()
{
    QFETCH(bool, buttonSet);
    QFETCH(int, fault);
    QFETCH(int, expected);
    const QString staged = StageDemo();
    QVERIFY2(staged.isEmpty(), qPrintable(staged));
    const QString path = TargetPath(buttonSet);
    const QByteArray before = ReadAll(path);
    const QStringList listing = Listing(QString::fromLatin1(DATA_DIR));
    LoadAndChange(buttonSet);

    ArmLibcFault(LibcFault(fault));
    const Attempt a = TimedSave(buttonSet);
    const LibcCalls calls = DisarmLibcFault();
    qInfo("calls seen: fsync %d, rename %d, write %d", calls.fsync, calls.rename, calls.write);

    switch (LibcFault(fault)) {
    case LibcFault::FsyncFails:
        QVERIFY2(calls.fsync >= 1 && calls.rename == 0, "the fsync fault did not take effect");
        break;
    case LibcFault::RenameFails:
        QVERIFY2(calls.fsync >= 1 && calls.rename == 1, "the rename fault did not take effect");
        break;
    case LibcFault::WriteStopsPartWay:
        // The short first write is followed by a second that fails.
        QVERIFY2(calls.write == 2 && calls.rename == 0, "the write fault did not take effect");
        break;
    default:
        QVERIFY2(calls.write > before.size() / 7 && calls.rename == 1, "the short writes did not take effect");
        break;
    }

    if (expected == 0) {
        QCOMPARE(a.rc, 0);
        const QByteArray written = ReadAll(path);
        QVERIFY(written != before);
        QCOMPARE(TimedSave(buttonSet).rc, 0); // the same record saved without faults
        QCOMPARE(written, ReadAll(path));
        QCOMPARE(Listing(QString::fromLatin1(DATA_DIR)), listing);
        return;
    }
    VerifyUntouched(path, before, listing, a);
    QCOMPARE(a.rc, expected);
}

void TestSaveFaults::refusingFilesAndFolders_data()
{
    QTest::addColumn<bool>("buttonSet");
    QTest::addColumn<int>("folderMode");
    QTest::addColumn<int>("fileMode");
    QTest::addColumn<bool>("fill");
    QTest::addColumn<bool>("readOnlyMedium");
    QTest::addColumn<int>("expected");
    QTest::newRow("folder 555, file 666: rewritten in place") << false << 0555 << 0666 << false << false << 0;
    QTest::newRow("folder 555, file 444: refused") << false << 0555 << 0444 << false << false << EACCES;
    QTest::newRow("folder 555, file 666, full disk, file grows: refused")
        << true << 0555 << 0666 << true << false << ENOSPC;
    QTest::newRow("read-only medium") << true << 0755 << 0666 << false << true << EROFS;
}

void TestSaveFaults::refusingFilesAndFolders()
{
    QFETCH(bool, buttonSet);
    QFETCH(int, folderMode);
    QFETCH(int, fileMode);
    QFETCH(bool, fill);
    QFETCH(bool, readOnlyMedium);
    QFETCH(int, expected);

    TmpfsMount tmpfs(m_dir->path(), kTmpfsBytes);
    QVERIFY2(tmpfs.Error().isEmpty(), qPrintable("the medium could not be staged: " + tmpfs.Error()));
    QVERIFY(QDir::setCurrent(m_dir->path())); // into the tmpfs, not the folder under it
    QString staged = StageDemo();
    QVERIFY2(staged.isEmpty(), qPrintable(staged));
    const QString path = TargetPath(buttonSet);
    for (const QString &file : Listing(QString::fromLatin1(DATA_DIR))) {
        staged = SetOwnerAndMode(QString::fromLatin1(DATA_DIR) + '/' + file, kNobody, kNobody, mode_t(fileMode));
        QVERIFY2(staged.isEmpty(), qPrintable(staged));
    }
    staged = SetOwnerAndMode(QString::fromLatin1(DATA_DIR), kNobody, kNobody, mode_t(folderMode));
    QVERIFY2(staged.isEmpty(), qPrintable(staged));
    LoadAndChange(buttonSet, fill);
    // What a save of this record writes where nothing stands in its way.
    QCOMPARE(XmlFile::SaveDocument(QStringToAnsi(m_dir->path() + "/reference.xml").constData(),
                                   buttonSet ? ButtonSetDocument() : SettingsDocument()), 0);
    const QByteArray wanted = ReadAll(m_dir->filePath("reference.xml"));
    QVERIFY(QFile::remove(m_dir->filePath("reference.xml")));
    if (fill) {
        staged = FillUp(m_dir->path());
        QVERIFY2(staged.isEmpty(), qPrintable("a full disk could not be staged: " + staged));
    }
    if (readOnlyMedium) {
        staged = tmpfs.RemountReadOnly();
        QVERIFY2(staged.isEmpty(), qPrintable(staged));
    }

    const QByteArray before = ReadAll(path);
    const QStringList listing = Listing(QString::fromLatin1(DATA_DIR));
    Attempt a;
    {
        // Root writes whatever the permission bits say: save as the files' owner.
        FsIdentity nobody(readOnlyMedium ? ::geteuid() : kNobody, readOnlyMedium ? ::getegid() : kNobody);
        QVERIFY2(nobody.Error().isEmpty(), qPrintable(nobody.Error()));
        QFile probe(QString::fromLatin1(DATA_DIR) + QStringLiteral("/probe"));
        QVERIFY2(!probe.open(QIODevice::WriteOnly), "the folder still takes new files: the fault is not staged");
        a = TimedSave(buttonSet);
    }

    if (expected != 0) {
        VerifyUntouched(path, before, listing, a);
        QCOMPARE(a.rc, expected);
        return;
    }
    qInfo("%s: returned %d in %lld ms; checksum before %s, after %s", qPrintable(path), a.rc, a.ms,
          Checksum(before).constData(), Checksum(ReadAll(path)).constData());
    QCOMPARE(a.rc, 0);
    QCOMPARE(ReadAll(path), wanted);
    QVERIFY(wanted != before);
    struct stat st {};
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
    QCOMPARE(int(st.st_mode & 07777), fileMode);
    QCOMPARE(st.st_uid, kNobody);
    QCOMPARE(Listing(QString::fromLatin1(DATA_DIR)), listing);
}

void TestSaveFaults::replacementKeepsOwnerModeAndLinks()
{
    const QString staged = StageDemo();
    QVERIFY2(staged.isEmpty(), qPrintable(staged));
    const QByteArray settings = QFile::encodeName(QString::fromLatin1(SETTINGS_PATH));
    QCOMPARE(::chmod(settings.constData(), 0640), 0);
    QCOMPARE(::chown(settings.constData(), kNobody, kNobody), 0);
    LoadAndChange(false);
    QCOMPARE(SaveSettings(), 0);
    struct stat st {};
    QCOMPARE(::stat(settings.constData(), &st), 0);
    QCOMPARE(int(st.st_mode & 07777), 0640);
    QCOMPARE(st.st_uid, kNobody);
    QCOMPARE(st.st_gid, gid_t(kNobody));

    // A new file gets the mode every new file gets.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    QCOMPARE(SaveButtonSet("PLAXONDATA/new.PUC"), 0);
    QCOMPARE(::stat("PLAXONDATA/new.PUC", &st), 0);
    QCOMPARE(int(st.st_mode & 07777), int(0666 & ~mask));

    // A link is saved through: the file it names changes, the link stays.
    QVERIFY(QFile::link(QString::fromLatin1(kButtonSetPath).section('/', 1), QStringLiteral("PLAXONDATA/link.PUC")));
    LoadAndChange(true);
    QCOMPARE(SaveButtonSet("PLAXONDATA/link.PUC"), 0);
    QVERIFY(QFileInfo(QStringLiteral("PLAXONDATA/link.PUC")).isSymLink());
    QCOMPARE(SaveButtonSet("PLAXONDATA/plain.PUC"), 0);
    QCOMPARE(ReadAll(QString::fromLatin1(kButtonSetPath)), ReadAll(QStringLiteral("PLAXONDATA/plain.PUC")));
    QVERIFY(ReadAll(QString::fromLatin1(kButtonSetPath)).contains("<NAME>Changed</NAME>"));
}


// Saves killed part way (in their fsync, in a child process) leave their
// temporaries; the next start removes exactly those, older than the start,
// and keeps every file that only looks like one.
void TestSaveFaults::killedSavesLeaveNothingAtTheNextStart()
{
    QVERIFY2(StageDemo().isEmpty(), "the demo files could not be staged");
    const QString data = QString::fromLatin1(DATA_DIR);
    const QStringList before = QDir(data).entryList(QDir::Files);
    for (const bool buttonSet : {false, true}) {
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            LoadAndChange(buttonSet);
            ArmLibcFault(LibcFault::FsyncKills);
            (void)(buttonSet ? SaveButtonSet(kButtonSetPath) : SaveSettings());
            ::_exit(0); // not reached: the fsync kills the save
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY2(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL, "the save was not killed part way");
    }
    QStringList left = QDir(data).entryList(QDir::Files);
    for (const QString &name : before)
        left.removeOne(name);
    QCOMPARE(left.size(), 2);
    for (const QString &name : left)
        QVERIFY2(!SaveTemporaryTarget(name).isEmpty(), qPrintable(name));

    const QStringList lookAlikes = {
        QStringLiteral("PlaxonCfg.xml.bak"),       // five letters
        QStringLiteral("PlaxonCfg.xml.my_old"),    // not a letter or digit
        QStringLiteral("notes.txt.backup"),        // the form, for a file the panel never saves
        QStringLiteral("Demo show.PUC.copy-1"),
    };
    for (const QString &name : lookAlikes)
        QVERIFY(WriteAll(data + '/' + name, "keep me"));
    // The form and an old time, but a link and a folder: neither is a temporary.
    QVERIFY(QFile::link(QStringLiteral("PlaxonCfg.xml"), data + QStringLiteral("/PlaxonCfg.xml.Ab12Cd")));
    QVERIFY(QDir().mkdir(data + QStringLiteral("/Show.PUC.Zz9Yy8")));
    QTest::qWait(1100); // file times may be as coarse as a second
    const QDateTime startedAt = QDateTime::currentDateTime();
    QTest::qWait(50);
    // A save under way right now, by the form: newer than the start, kept.
    QVERIFY(WriteAll(data + QStringLiteral("/PlaxonCfg.xml.Qq1Ww2"), "a save under way"));

    QCOMPARE(RemoveStaleTemporaries(startedAt), 2);
    for (const QString &name : left)
        QVERIFY2(!QFile::exists(data + '/' + name), qPrintable(name));
    for (const QString &name : lookAlikes)
        QCOMPARE(ReadAll(data + '/' + name), QByteArray("keep me"));
    QVERIFY(QFileInfo(data + QStringLiteral("/PlaxonCfg.xml.Ab12Cd")).isSymLink());
    QVERIFY(QFileInfo(data + QStringLiteral("/Show.PUC.Zz9Yy8")).isDir());
    QVERIFY(QFile::exists(data + QStringLiteral("/PlaxonCfg.xml.Qq1Ww2")));
    for (const QString &name : before)
        QVERIFY(QFile::exists(data + '/' + name));
}

QTEST_GUILESS_MAIN(TestSaveFaults)
#include "tst_savefaults.moc"
