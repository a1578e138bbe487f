// The four files the panel reads (settings, a button set, the help text and a
// program description) put where a FIFO, an endless device or a huge sparse
// file stands: each read gives the outcome of an unreadable file at once.

#include "buttonsetfile.h"
#include "configdlg.h"
#include "configmodel.h"
#include "dialogtemplates_dialogs.h"
#include "dialogtestsupport.h"
#include "programlist.h"
#include "settingsfile.h"
#include "specialfiles.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>


namespace {

enum class Place { Settings, ButtonSet, Help, Description };
enum class Fault { Fifo, EndlessDevice, HugeSparseFile };

constexpr qint64 kSparseBytes = 3LL * 1024 * 1024 * 1024;
constexpr qint64 kInterfaceBudgetMs = 100;

// Puts the fault at path; false with a reason when the machine cannot stage it.
bool StageFault(Fault fault, const QString &path, QString &why)
{
    switch (fault) {
    case Fault::Fifo:
        why = MakeFifo(path);
        return why.isEmpty();
    case Fault::EndlessDevice:
        why = MakeLinkToEndlessDevice(path);
        return why.isEmpty();
    case Fault::HugeSparseFile:
        why = MakeSparseFile(path, "<BUTTON>\r\n", kSparseBytes);
        return why.isEmpty();
    }
    return false;
}

} // namespace

class TestReadFaults : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void unreadableFileGivesItsOutcomeAtOnce_data();
    void unreadableFileGivesItsOutcomeAtOnce();

private:
    QTemporaryDir m_dir;
    QString m_cwd;
};

void TestReadFaults::init()
{
    QVERIFY(m_dir.isValid());
    m_cwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir.path()));
    QDir(QStringLiteral("PLAXONDATA")).removeRecursively();
    QDir(QStringLiteral("programs")).removeRecursively();
    QVERIFY(QDir().mkpath(QStringLiteral("PLAXONDATA")));
}

void TestReadFaults::cleanup()
{
    QDir::setCurrent(m_cwd);
}

void TestReadFaults::unreadableFileGivesItsOutcomeAtOnce_data()
{
    QTest::addColumn<Place>("place");
    QTest::addColumn<Fault>("fault");
    const std::pair<const char *, Place> places[] = {
        {"settings", Place::Settings}, {"button set", Place::ButtonSet},
        {"help", Place::Help}, {"description", Place::Description}};
    const std::pair<const char *, Fault> faults[] = {
        {"fifo", Fault::Fifo}, {"endless device", Fault::EndlessDevice}, {"huge sparse file", Fault::HugeSparseFile}};
    for (const auto &[placeName, place] : places)
        for (const auto &[faultName, fault] : faults)
            QTest::addRow("%s, %s", placeName, faultName) << place << fault;
}

void TestReadFaults::unreadableFileGivesItsOutcomeAtOnce()
{
    QFETCH(Place, place);
    QFETCH(Fault, fault);
    const QString programDir = QStringLiteral("programs/Show/Finale");
    const QHash<Place, QString> paths = {
        {Place::Settings, QString::fromLatin1(SETTINGS_PATH)},
        {Place::ButtonSet, QStringLiteral("PLAXONDATA/Show.PUC")},
        {Place::Help, QStringLiteral("PLAXONDATA/Config.rtf")},
        {Place::Description, programDir + QStringLiteral("/program.txt")},
    };
    if (place == Place::Description)
        QVERIFY(MakeProgram(QStringLiteral("programs"), QStringLiteral("Show/Finale"), QByteArray()));
    QString why;
    QVERIFY2(StageFault(fault, paths[place], why), qPrintable(QStringLiteral("fault not staged: ") + why));

    MessageRecorder messages;
    QElapsedTimer timer;
    switch (place) {
    case Place::Settings:
        std::memset(&g_Settings, 0x5A, sizeof g_Settings);
        timer.start();
        LoadSettings();
        QVERIFY(timer.elapsed() < kInterfaceBudgetMs);
        QCOMPARE(int(g_Settings.DIALOG), 0);
        QCOMPARE(int(g_Settings.PC[0].ENABLE), 1);
        QCOMPARE(g_Settings.PC[1].PORT[0], DEFAULT_PORT);
        QCOMPARE(QByteArray(g_Settings.LASTFNAME), QByteArray());
        break;
    case Place::ButtonSet: {
        std::memset(&g_Buttons, 0, sizeof g_Buttons);
        std::strcpy(g_Buttons.BUTTON[0].NAME, "Kept");
        timer.start();
        LoadButtonSet("PLAXONDATA/Show.PUC");
        QVERIFY(timer.elapsed() < kInterfaceBudgetMs);
        QCOMPARE(messages.calls.size(), 1);
        QCOMPARE(messages.calls[0].icon, MsgIcon::Error);
        QCOMPARE(QByteArray(g_Buttons.BUTTON[0].NAME), QByteArray("Kept"));
        QCOMPARE(ProbeButtonSet("PLAXONDATA/Show.PUC"), -1);
        break;
    }
    case Place::Help: {
        ConfigDlg dlg;
        bool shown = false;
        timer.start();
        RunModal(dlg, [&] {
            shown = true;
            QVERIFY(dlg.DlgItem<QTextEdit>(IDC_CONFIG_HELP)->toPlainText().isEmpty());
            dlg.done(0);
        });
        QVERIFY(shown);
        // The whole dialog, built and shown: the read itself is a small part.
        QVERIFY2(timer.elapsed() < 10 * kInterfaceBudgetMs, qPrintable(QString::number(timer.elapsed())));
        break;
    }
    case Place::Description: {
        ProgramList &list = TheProgramList();
        list.Clear();
        timer.start();
        list.Scan(QStringLiteral("programs/Show"), -1, QString(), QFileInfo(QStringLiteral("programs")).canonicalFilePath());
        QVERIFY(timer.elapsed() < kInterfaceBudgetMs);
        QCOMPARE(list.Count(), 1);
        QCOMPARE(list.NameOf(0), QStringLiteral("Finale"));
        QCOMPARE(list.DescriptionOf(0), QString());
        list.Clear();
        break;
    }
    }
    if (place != Place::ButtonSet)
        QVERIFY(messages.calls.isEmpty());
}

QTEST_MAIN(TestReadFaults)
#include "tst_readfaults.moc"
