#include "trash.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The trash of a user whose data folder is a temporary one.
class TestTrash : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void directoryGoesToTheUsersTrash();
    void linkIsMovedNotFollowed();
    void missingPathFails();

private:
    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<QTemporaryDir> m_work;
    QString m_cwd;
};

void TestTrash::init()
{
    m_data = std::make_unique<QTemporaryDir>();
    m_work = std::make_unique<QTemporaryDir>();
    QVERIFY(m_data->isValid() && m_work->isValid());
    qputenv("XDG_DATA_HOME", m_data->path().toLocal8Bit());
    // The trash must never appear below the current directory.
    m_cwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_work->path()));
}

void TestTrash::cleanup()
{
    QDir::setCurrent(m_cwd);
    qunsetenv("XDG_DATA_HOME");
}

void TestTrash::directoryGoesToTheUsersTrash()
{
    QVERIFY(QDir().mkpath(QStringLiteral("tree/Show/Act 1")));
    QFile prg(QStringLiteral("tree/Show/Act 1/program.prg"));
    QVERIFY(prg.open(QIODevice::WriteOnly));
    prg.close();
    QVERIFY(!QFileInfo::exists(m_data->filePath(QStringLiteral("Trash"))));

    QVERIFY(MoveToTrash(QStringLiteral("tree/Show/Act 1")));

    QVERIFY(!QFileInfo::exists(QStringLiteral("tree/Show/Act 1")));
    QVERIFY(QFileInfo::exists(QStringLiteral("tree/Show")));
    QVERIFY(QFileInfo::exists(m_data->filePath(QStringLiteral("Trash/files/Act 1/program.prg"))));
    QVERIFY(QFileInfo::exists(m_data->filePath(QStringLiteral("Trash/info/Act 1.trashinfo"))));
    QVERIFY(!QFileInfo::exists(QStringLiteral("files")));
    QVERIFY(!QFileInfo::exists(QStringLiteral("info")));
    QCOMPARE(QFile::permissions(m_data->filePath(QStringLiteral("Trash"))) & 0x0077, QFileDevice::Permissions());
}

void TestTrash::linkIsMovedNotFollowed()
{
    QVERIFY(QDir().mkpath(QStringLiteral("elsewhere/Program")));
    QFile prg(QStringLiteral("elsewhere/Program/program.prg"));
    QVERIFY(prg.open(QIODevice::WriteOnly));
    prg.close();
    QVERIFY(QDir().mkpath(QStringLiteral("tree")));
    QVERIFY(QFile::link(m_work->filePath(QStringLiteral("elsewhere/Program")), QStringLiteral("tree/Linked")));

    QVERIFY(MoveToTrash(QStringLiteral("tree/Linked")));

    QVERIFY(!QFileInfo(QStringLiteral("tree/Linked")).isSymLink());
    QVERIFY(QFileInfo::exists(QStringLiteral("elsewhere/Program/program.prg")));
    QVERIFY(QFileInfo(m_data->filePath(QStringLiteral("Trash/files/Linked"))).isSymLink());
}

void TestTrash::missingPathFails()
{
    QVERIFY(!MoveToTrash(QStringLiteral("no such folder")));
    QVERIFY(!QFileInfo::exists(QStringLiteral("files")));
}

QTEST_MAIN(TestTrash)
#include "tst_trash.moc"
