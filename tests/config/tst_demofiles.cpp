// The bundled demo installation is what a first-time user sees: its files
// must load as meant and be exactly what the program itself would write.
#include "buttonsetfile.h"
#include "configmodel.h"
#include "messagebox.h"
#include "settingsfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "testfiles.h"

class TestDemoFiles : public QObject {
    Q_OBJECT
private slots:
    void settingsLoadAndRewriteUnchanged();
    void buttonSetLoadsAndRewritesUnchanged();
};

void TestDemoFiles::settingsLoadAndRewriteUnchanged()
{
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QVERIFY(QDir(dir.path()).mkpath("PLAXONDATA"));
    const QString source = QStringLiteral(PLAXON_DEMO_DIR "/PLAXONDATA/PlaxonCfg.xml");
    QVERIFY(QFile::copy(source, dir.filePath(SETTINGS_PATH)));
    QVERIFY(QDir::setCurrent(dir.path()));
    LoadSettings();
    QCOMPARE(g_Settings.LANG, 1u);
    QCOMPARE(QByteArray(g_Settings.LASTFNAME), QByteArray("PLAXONDATA/Demo show.PUC"));
    QCOMPARE(g_Settings.PC[0].PORT[1], 7002u);
    QCOMPARE(g_Settings.PC[3].ENABLE, 0);
    QCOMPARE(SaveSettings(), 0);
    QDir::setCurrent(previous);
    QCOMPARE(ReadAll(dir.filePath(SETTINGS_PATH)), ReadAll(source));
}

void TestDemoFiles::buttonSetLoadsAndRewritesUnchanged()
{
    SetMessageBoxHandler([](const MessageBoxCall &call) -> int {
        qFatal("unexpected message: %s", qPrintable(call.text));
    });
    const QByteArray source = PLAXON_DEMO_DIR "/PLAXONDATA/Demo show.PUC";
    LoadButtonSet(source.constData());
    int enabled = 0;
    for (const ButtonRecord &b : g_Buttons.BUTTON)
        enabled += b.ENABLE ? 1 : 0;
    QVERIFY(enabled >= 15);
    QVERIFY(QByteArray(g_Buttons.BUTTON[1].NAME).contains("\r\n"));

    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    QCOMPARE(SaveButtonSet("copy.PUC"), 0);
    QDir::setCurrent(previous);
    QCOMPARE(ReadAll(dir.filePath("copy.PUC")), ReadAll(QString::fromUtf8(source)));
    SetMessageBoxHandler({});
}

QTEST_GUILESS_MAIN(TestDemoFiles)
#include "tst_demofiles.moc"
