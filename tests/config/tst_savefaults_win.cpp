// The Windows build's saves against real faults: a full disk and a
// read-only medium (a tmpfs that the tests' own mount namespace holds; under
// Wine it is a folder like any other), and a file with the read-only
// attribute. Each leaves the previous file byte for byte, leaves no
// temporary file behind and reports the failure at once.

#include "buttonsetfile.h"
#include "configmodel.h"
#include "filesystemfaults.h"
#include "settingsfile.h"
#include "testfiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <windows.h>

#include <memory>

namespace {

const char kButtonSetPath[] = "PLAXONDATA/Demo show.PUC";
constexpr qint64 kTmpfsBytes = 64 * 1024;
constexpr qint64 kBoundMs = 2000;

enum class Fault { FullDisk, ReadOnlyMedium, ReadOnlyFile };

QString TargetPath(bool buttonSet)
{
    return QString::fromLatin1(buttonSet ? kButtonSetPath : SETTINGS_PATH);
}

void LoadAndChange(bool buttonSet)
{
    if (buttonSet) {
        LoadButtonSet(kButtonSetPath);
        CopyText(g_Buttons.BUTTON[0].NAME, "Changed");
    } else {
        LoadSettings();
        g_Settings.LANG = g_Settings.LANG ? 0 : 1;
    }
}

QStringList Listing(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QString StageDemo()
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

bool SetReadOnly(const QString &path, bool on)
{
    const std::wstring name = QDir::toNativeSeparators(path).toStdWString();
    return SetFileAttributesW(name.c_str(), on ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
}

} // namespace

class TestSaveFaultsWin : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void failedSaveLeavesThePreviousFile_data();
    void failedSaveLeavesThePreviousFile();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previousDir;
};

void TestSaveFaultsWin::init()
{
    m_previousDir = QDir::currentPath();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestSaveFaultsWin::cleanup()
{
    QDir::setCurrent(m_previousDir);
    m_dir.reset();
}

void TestSaveFaultsWin::failedSaveLeavesThePreviousFile_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<bool>("buttonSet");
    QTest::addColumn<int>("error");
    QTest::newRow("full disk: settings") << int(Fault::FullDisk) << false << int(ERROR_DISK_FULL);
    QTest::newRow("full disk: button set") << int(Fault::FullDisk) << true << int(ERROR_DISK_FULL);
    // Wine reports a write to a read-only file system as an access error.
    QTest::newRow("read-only medium") << int(Fault::ReadOnlyMedium) << false << 0;
    QTest::newRow("read-only file") << int(Fault::ReadOnlyFile) << true << int(ERROR_ACCESS_DENIED);
}

void TestSaveFaultsWin::failedSaveLeavesThePreviousFile()
{
    QFETCH(int, fault);
    QFETCH(bool, buttonSet);
    QFETCH(int, error);
    std::unique_ptr<TmpfsMount> tmpfs;
    if (fault != int(Fault::ReadOnlyFile)) {
        tmpfs = std::make_unique<TmpfsMount>(m_dir->path(), kTmpfsBytes);
        QVERIFY2(tmpfs->Error().isEmpty(), qPrintable("the medium could not be staged: " + tmpfs->Error()));
    }
    QVERIFY(QDir::setCurrent(m_dir->path()));
    const QString staged = StageDemo();
    QVERIFY2(staged.isEmpty(), qPrintable(staged));
    const QString path = TargetPath(buttonSet);
    LoadAndChange(buttonSet);
    if (fault == int(Fault::FullDisk)) {
        const QString filled = FillUp(m_dir->path());
        QVERIFY2(filled.isEmpty(), qPrintable("a full disk could not be staged: " + filled));
    } else if (fault == int(Fault::ReadOnlyMedium)) {
        const QString readOnly = tmpfs->RemountReadOnly();
        QVERIFY2(readOnly.isEmpty(), qPrintable("a read-only medium could not be staged: " + readOnly));
    } else {
        QVERIFY(SetReadOnly(path, true));
    }
    const QByteArray before = ReadAll(path);
    const QStringList listing = Listing(QString::fromLatin1(DATA_DIR));

    QElapsedTimer timer;
    timer.start();
    const int rc = buttonSet ? SaveButtonSet(kButtonSetPath) : SaveSettings();
    const qint64 ms = timer.elapsed();
    qInfo("%s: returned %d in %lld ms; checksum before %s, after %s", qPrintable(path), rc, ms,
          Checksum(before).constData(), Checksum(ReadAll(path)).constData());
    if (error != 0)
        QCOMPARE(rc, error);
    else
        QVERIFY2(rc != 0, "the failed save reported success");
    QCOMPARE(ReadAll(path), before);
    QVERIFY2(ms < kBoundMs, qPrintable(QStringLiteral("the save took %1 ms").arg(ms)));
    QCOMPARE(Listing(QString::fromLatin1(DATA_DIR)), listing);

    if (fault == int(Fault::ReadOnlyFile)) {
        // Once the file takes writes again the same record saves.
        QVERIFY(SetReadOnly(path, false));
        QCOMPARE(buttonSet ? SaveButtonSet(kButtonSetPath) : SaveSettings(), 0);
        QVERIFY(ReadAll(path) != before);
    }
}

QTEST_GUILESS_MAIN(TestSaveFaultsWin)
#include "tst_savefaults_win.moc"
