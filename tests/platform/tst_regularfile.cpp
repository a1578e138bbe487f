#include "regularfile.h"

#include "specialfiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestRegularFile : public QObject {
    Q_OBJECT
private slots:
    void readsRegularFilesUpToTheLimit_data();
    void readsRegularFilesUpToTheLimit();
    void refusesDevicesAndPipesAtOnce_data();
    void refusesDevicesAndPipesAtOnce();
    void refusesWhatIsNoPlainFile();
};

void TestRegularFile::readsRegularFilesUpToTheLimit_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<qint64>("maxBytes");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("empty") << qint64(0) << qint64(-1) << true << qint64(0);
    QTest::newRow("small") << qint64(761) << qint64(-1) << true << qint64(761);
    QTest::newRow("at the limit") << READ_LIMIT_BYTES << qint64(-1) << true << READ_LIMIT_BYTES;
    QTest::newRow("one byte over") << READ_LIMIT_BYTES + 1 << qint64(-1) << false << qint64(0);
    QTest::newRow("prefix of a small file") << qint64(5000) << qint64(328) << true << qint64(328);
    QTest::newRow("prefix longer than the file") << qint64(10) << qint64(328) << true << qint64(10);
    QTest::newRow("prefix of an oversized file") << READ_LIMIT_BYTES + 1 << qint64(328) << false << qint64(0);
}

void TestRegularFile::readsRegularFilesUpToTheLimit()
{
    QFETCH(qint64, size);
    QFETCH(qint64, maxBytes);
    QFETCH(bool, readable);
    QFETCH(qint64, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("f"));
    QByteArray content(qsizetype(size), Qt::Uninitialized);
    for (qsizetype i = 0; i < content.size(); ++i)
        content[i] = char('a' + i % 26);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), size);
    file.close();

    const std::optional<QByteArray> data = ReadRegularFile(path, maxBytes);
    QCOMPARE(data.has_value(), readable);
    if (readable)
        QCOMPARE(*data, content.left(qsizetype(expected)));
}

void TestRegularFile::refusesDevicesAndPipesAtOnce_data()
{
    QTest::addColumn<QString>("name");
    // Windows devices in every folder, with or without an extension, and
    // paths into the device namespace; elsewhere these are missing files.
    QTest::newRow("NUL") << QStringLiteral("NUL");
    QTest::newRow("CON") << QStringLiteral("CON");
    QTest::newRow("COM1") << QStringLiteral("COM1");
    QTest::newRow("nul.txt in a folder") << QStringLiteral("PLAXONDATA/nul.txt");
    QTest::newRow("a named pipe") << QStringLiteral("\\\\.\\pipe\\plaxon-test");
    QTest::newRow("a device path") << QStringLiteral("\\\\.\\NUL");
}

void TestRegularFile::refusesDevicesAndPipesAtOnce()
{
    QFETCH(QString, name);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!ReadRegularFile(name));
    QVERIFY(clock.elapsed() < 1000);
}

void TestRegularFile::refusesWhatIsNoPlainFile()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    QVERIFY(!ReadRegularFile(dir.filePath(QStringLiteral("missing"))));
    QVERIFY(!ReadRegularFile(dir.filePath(QStringLiteral("folder"))));
    QVERIFY(!ReadRegularFile(QString()));
    // A link to a plain file is read like the file.
    QFile file(dir.filePath(QStringLiteral("target")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("text");
    file.close();
    VERIFY_LINK_MADE(file.fileName(), dir.filePath(QStringLiteral("link")));
    QCOMPARE(ReadRegularFile(dir.filePath(QStringLiteral("link"))).value_or("<none>"), QByteArray("text"));
}

QTEST_GUILESS_MAIN(TestRegularFile)
#include "tst_regularfile.moc"
