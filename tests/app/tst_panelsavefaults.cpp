// The real main window on a full disk: every save it makes fails, the
// operator is told which file, and the files on the disk stay as they were.
#include "codepage.h"
#include "configmodel.h"
#include "cplaxondlg.h"
#include "filedialogs.h"
#include "filesystemfaults.h"
#include "layouttypes.h"
#include "maintemplates.h"
#include "markerbitmaps.h"
#include "messagebox.h"
#include "settingsfile.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "testfiles.h"

#include <memory>

namespace {

const char kButtonSetPath[] = "PLAXONDATA/Demo show.PUC";
constexpr qint64 kTmpfsBytes = 64 * 1024;
constexpr qint64 kBoundMs = 2000;
constexpr int kPollMs = 20;

struct Shown {
    MessageBoxCall call;
    qint64 ms = -1; // from the dialog's close to the message
};

} // namespace

class TestPanelSaveFaults : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void fullDiskSavesAreReported();

private:
    void EscapeNextModal();
    void VerifyReported(const Shown &shown, const QString &path, const QByteArray &before);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TmpfsMount> m_tmpfs;
    QString m_previousDir;
    QElapsedTimer m_sinceClose;
    QByteArray m_escaped; // the class of the dialog closed with Escape
    QList<Shown> m_shown;
};

void TestPanelSaveFaults::initTestCase()
{
    LoadMarkerBitmaps();
}

void TestPanelSaveFaults::init()
{
    m_previousDir = QDir::currentPath();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_tmpfs = std::make_unique<TmpfsMount>(m_dir->path(), kTmpfsBytes);
    QVERIFY2(m_tmpfs->Error().isEmpty(), qPrintable("a full disk could not be staged: " + m_tmpfs->Error()));
    QVERIFY(QDir::setCurrent(m_dir->path()));
    QVERIFY(QDir().mkpath(QString::fromLatin1(DATA_DIR)));
    for (const char *name : {"PlaxonCfg.xml", "Demo show.PUC"}) {
        const QString from = QStringLiteral(PLAXON_DEMO_DIR "/PLAXONDATA/") + QString::fromLatin1(name);
        QVERIFY(QFile::copy(from, QString::fromLatin1(DATA_DIR) + '/' + QString::fromLatin1(name)));
    }
    m_shown.clear();
    SetMessageBoxHandler([this](const MessageBoxCall &call) {
        m_shown.append({call, m_sinceClose.isValid() ? m_sinceClose.elapsed() : -1});
        return MSG_OK;
    });
}

void TestPanelSaveFaults::cleanup()
{
    SetMessageBoxHandler({});
    SetFileDialogHandler({});
    QDir::setCurrent(m_previousDir);
    m_tmpfs.reset();
    m_dir.reset();
}

// Presses Escape in the next modal dialog once it is up.
void TestPanelSaveFaults::EscapeNextModal()
{
    m_sinceClose.invalidate();
    m_escaped.clear();
    auto *poll = new QTimer;
    connect(poll, &QTimer::timeout, poll, [this, poll] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        poll->deleteLater();
        m_escaped = modal->metaObject()->className();
        m_sinceClose.start();
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    poll->start(kPollMs);
}

void TestPanelSaveFaults::VerifyReported(const Shown &shown, const QString &path, const QByteArray &before)
{
    const QByteArray after = ReadAll(path);
    qInfo("%s: message \"%s\" after %lld ms; checksum before %s, after %s", qPrintable(path),
          qPrintable(QString(shown.call.text).replace('\n', ' ')), shown.ms, Checksum(before).constData(),
          Checksum(after).constData());
    QVERIFY2(shown.call.text.contains(path), qPrintable(shown.call.text));
    QCOMPARE(shown.call.icon, MsgIcon::Error);
    QCOMPARE(after, before);
    QVERIFY2(shown.ms >= 0 && shown.ms < kBoundMs, qPrintable(QStringLiteral("reported after %1 ms").arg(shown.ms)));
}

void TestPanelSaveFaults::fullDiskSavesAreReported()
{
    LoadSettings();
    g_Settings.BRIGHT_ENA = g_Settings.BRIGHT_ENA ? 0 : 1; // the settings file would change
    const QString settings = QString::fromLatin1(SETTINGS_PATH);
    const QString buttonSet = QString::fromLatin1(kButtonSetPath);
    const QByteArray settingsBefore = ReadAll(settings);
    const QByteArray buttonSetBefore = ReadAll(buttonSet);
    const QString filled = FillUp(m_dir->path());
    QVERIFY2(filled.isEmpty(), qPrintable("a full disk could not be staged: " + filled));

    CPlaxonDlg panel(IDD_PLAXON_5X8); // the real window and its real dialogs
    QVERIFY(panel.Create(IDD_PLAXON_5X8, nullptr));
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QCOMPARE(m_shown.size(), 0); // the demo button set loaded
    CopyText(g_Buttons.BUTTON[0].NAME, "Changed"); // the button set file would change

    // Settings button, then Escape in the settings dialog.
    EscapeNextModal();
    QTest::mouseClick(panel.DlgItem<QPushButton>(IDC_SETTINGS), Qt::LeftButton);
    QCOMPARE(m_escaped, QByteArray("ConfigDlg"));
    QCOMPARE(m_shown.size(), 1);
    VerifyReported(m_shown[0], settings, settingsBefore);

    // The button editor writes back to its file when it closes.
    EscapeNextModal();
    QTest::mouseClick(panel.DlgItem<QPushButton>(IDC_EDITOR), Qt::LeftButton);
    QCOMPARE(m_escaped, QByteArray("EditMain"));
    QCOMPARE(m_shown.size(), 2);
    VerifyReported(m_shown[1], buttonSet, buttonSetBefore);

    // Save As to a new file: both the settings and the new file fail, and
    // no empty or partial file is left under the new name.
    const QString fresh = QStringLiteral("PLAXONDATA/fresh.PUC");
    SetFileDialogHandler([&](const FileDialogRequest &) {
        m_sinceClose.start();
        return FileDialogResult{true, QStringLiteral("fresh.PUC"), fresh};
    });
    QTest::mouseClick(panel.DlgItem<QPushButton>(IDC_SAVE_AS), Qt::LeftButton);
    QCOMPARE(m_shown.size(), 4);
    VerifyReported(m_shown[2], settings, settingsBefore);
    QVERIFY2(m_shown[3].call.text.contains(fresh), qPrintable(m_shown[3].call.text));
    QVERIFY(!QFile::exists(fresh));
    QCOMPARE(ReadAll(buttonSet), buttonSetBefore);
}

QTEST_MAIN(TestPanelSaveFaults)
#include "tst_panelsavefaults.moc"
