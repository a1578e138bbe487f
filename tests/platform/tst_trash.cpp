#include "trash.h"

#include "specialfiles.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

[[nodiscard]] bool MakeEntry(const QString &directory)
{
    QFile prg(directory + QStringLiteral("/program.prg"));
    return QDir().mkpath(directory) && prg.open(QIODevice::WriteOnly);
}

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Installs a hook for the test's span and removes it again.
class HookScope {
public:
    explicit HookScope(TrashHook hook) : m_previous(SetTrashHook(std::move(hook))) {}
    ~HookScope() { SetTrashHook(std::move(m_previous)); }
    HookScope(const HookScope &) = delete;
    HookScope &operator=(const HookScope &) = delete;

private:
    TrashHook m_previous;
};

} // namespace

// The trash of a user whose data folder is a temporary one.
class TestTrash : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void directoryGoesToTheUsersTrash();
    void linkIsMovedNotFollowed();
    void missingPathFails();
    void sameNameTwiceKeepsBoth();
    void refusedBelowTheRoot_data();
    void refusedBelowTheRoot();
    void folderSwappedAfterItWasOpened();
    void trashThatCannotBeMade();

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
    const QByteArray info = ReadAll(m_data->filePath(QStringLiteral("Trash/info/Act 1.trashinfo")));
    const QRegularExpression form(QStringLiteral("^\\[Trash Info\\]\nPath=(.*)\nDeletionDate=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\n$"));
    const QRegularExpressionMatch match = form.match(QString::fromUtf8(info));
    QVERIFY2(match.hasMatch(), info.constData());
    const QString tree = QFileInfo(QStringLiteral("tree")).canonicalFilePath();
    QCOMPARE(match.captured(1), QString::fromLatin1(QFile::encodeName(tree + QStringLiteral("/Show/Act 1")).toPercentEncoding("/")));
    QVERIFY(match.captured(1).endsWith(QStringLiteral("/Show/Act%201")));
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
    VERIFY_LINK_MADE(m_work->filePath(QStringLiteral("elsewhere/Program")), QStringLiteral("tree/Linked"));

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

void TestTrash::sameNameTwiceKeepsBoth()
{
    QVERIFY(MakeEntry(QStringLiteral("a/P1")));
    QVERIFY(MakeEntry(QStringLiteral("b/P1")));
    QVERIFY(MoveToTrash(QStringLiteral("a/P1")));
    QVERIFY(MoveToTrash(QStringLiteral("b/P1")));
    QVERIFY(QFileInfo::exists(m_data->filePath(QStringLiteral("Trash/files/P1/program.prg"))));
    QVERIFY(QFileInfo::exists(m_data->filePath(QStringLiteral("Trash/files/P1.1/program.prg"))));
    QVERIFY(ReadAll(m_data->filePath(QStringLiteral("Trash/info/P1.1.trashinfo"))).contains("/b/P1\n"));
}

// Names that lead out of the root, folders that are links and missing
// entries are refused, and nothing moves.
void TestTrash::refusedBelowTheRoot_data()
{
    QTest::addColumn<QStringList>("relative");
    QTest::newRow("a folder on the way is a link") << QStringList{QStringLiteral("Via"), QStringLiteral("P")};
    QTest::newRow("up and out") << QStringList{QStringLiteral(".."), QStringLiteral("outside"), QStringLiteral("P")};
    QTest::newRow("a slash inside a name") << QStringList{QStringLiteral("Real/P")};
    QTest::newRow("an empty name") << QStringList{QString(), QStringLiteral("P")};
    QTest::newRow("a missing entry") << QStringList{QStringLiteral("Real"), QStringLiteral("Gone")};
    QTest::newRow("the root itself") << QStringList{};
}

void TestTrash::refusedBelowTheRoot()
{
    QFETCH(QStringList, relative);
    QVERIFY(MakeEntry(QStringLiteral("tree/Real/P")));
    QVERIFY(MakeEntry(QStringLiteral("outside/P")));
    VERIFY_LINK_MADE(QStringLiteral("Real"), QStringLiteral("tree/Via"));
    QVERIFY(QFileInfo(QStringLiteral("tree/Via/P/program.prg")).exists());

    QCOMPARE(MoveToTrashBelow(m_work->filePath(QStringLiteral("tree")), relative), TrashResult::NotInside);

    QVERIFY(QFileInfo::exists(QStringLiteral("tree/Real/P/program.prg")));
    QVERIFY(QFileInfo::exists(QStringLiteral("outside/P/program.prg")));
    QVERIFY(QFileInfo(QStringLiteral("tree/Via")).isSymLink());
    QVERIFY(QDir(m_data->filePath(QStringLiteral("Trash/files"))).isEmpty());
}

// Once the folder is open, swapping its path for a link to somewhere else
// changes nothing: the entry leaves the folder that was checked.
void TestTrash::folderSwappedAfterItWasOpened()
{
    QVERIFY(MakeEntry(QStringLiteral("tree/Show/P1")));
    QVERIFY(MakeEntry(QStringLiteral("outside/P1")));
    int swaps = 0;
    HookScope hook([&](TrashStep step) {
        if (step != TrashStep::BeforeMove)
            return;
        ++swaps;
        QVERIFY(QDir().rename(QStringLiteral("tree/Show"), QStringLiteral("tree/.aside")));
        VERIFY_LINK_MADE(m_work->filePath(QStringLiteral("outside")), QStringLiteral("tree/Show"));
    });

    const TrashResult result =
        MoveToTrashBelow(m_work->filePath(QStringLiteral("tree")), {QStringLiteral("Show"), QStringLiteral("P1")});

    QVERIFY2(swaps == 1, "the hook never ran: the swap could not be staged");
    QCOMPARE(result, TrashResult::Moved);
    QVERIFY(QFileInfo::exists(QStringLiteral("outside/P1/program.prg")));
    QVERIFY(!QFileInfo::exists(QStringLiteral("tree/.aside/P1")));
    QVERIFY(QFileInfo::exists(m_data->filePath(QStringLiteral("Trash/files/P1/program.prg"))));
}

// A file where the trash folder belongs: the entry stays where it was.
void TestTrash::trashThatCannotBeMade()
{
    QVERIFY(MakeEntry(QStringLiteral("tree/P1")));
    QFile blocker(m_data->filePath(QStringLiteral("Trash")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    QCOMPARE(MoveToTrashBelow(m_work->filePath(QStringLiteral("tree")), {QStringLiteral("P1")}), TrashResult::Failed);

    QVERIFY(QFileInfo::exists(QStringLiteral("tree/P1/program.prg")));
    QVERIFY(QFileInfo(m_data->filePath(QStringLiteral("Trash"))).isFile());
    QVERIFY(!QFileInfo::exists(QStringLiteral("files")));
}

QTEST_MAIN(TestTrash)
#include "tst_trash.moc"
