// The real file dialog (Qt's own, on the offscreen platform), driven by keys.
#include "filedialogs.h"
#include "messagebox.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

// Runs the request; act gets the file dialog once it is up, and must end it.
FileDialogResult RunWith(const FileDialogRequest &request, const std::function<void(QFileDialog *)> &act)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            poll->deleteLater();
            act(dialog);
        }
    });
    poll->start(20);
    return RunFileDialog(request);
}

FileDialogRequest ButtonSetRequest(FileDialogRequest::Kind kind)
{
    FileDialogRequest request;
    request.kind = kind;
    request.filter = QStringLiteral("Plaxon User Config Files (*.PUC)");
    request.startFolder = QStringLiteral("PLAXONDATA");
    if (kind == FileDialogRequest::Save)
        request.defaultSuffix = QStringLiteral("puc");
    return request;
}

QLineEdit *NameBox(QFileDialog *dialog)
{
    return dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
}

} // namespace

class TestFileDialogs : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void saveRefusesAFolderThatDoesNotExist();
    void missingStartFolderStartsEmptyInTheCurrentDirectory_data();
    void missingStartFolderStartsEmptyInTheCurrentDirectory();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previousDir;
    QList<MessageBoxCall> m_boxes;
};

void TestFileDialogs::init()
{
    m_previousDir = QDir::currentPath();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir::setCurrent(m_dir->path()));
    m_boxes.clear();
    SetMessageBoxHandler([this](const MessageBoxCall &call) {
        m_boxes << call;
        return MSG_OK;
    });
}

void TestFileDialogs::cleanup()
{
    SetMessageBoxHandler({});
    QDir::setCurrent(m_previousDir);
    m_dir.reset();
}

void TestFileDialogs::saveRefusesAFolderThatDoesNotExist()
{
    QVERIFY(QDir().mkdir(QStringLiteral("PLAXONDATA")));
    bool stayedOpen = false;
    const FileDialogResult result = RunWith(ButtonSetRequest(FileDialogRequest::Save), [&](QFileDialog *dialog) {
        QLineEdit *name = NameBox(dialog);
        QVERIFY(name);
        name->setFocus();
        QTest::keyClicks(name, QStringLiteral("nonexist/x"));
        QTest::keyClick(name, Qt::Key_Return);
        stayedOpen = dialog->isVisible();
        name->clear();
        QTest::keyClicks(name, QStringLiteral("good"));
        QTest::keyClick(name, Qt::Key_Return);
        if (dialog->isVisible())
            dialog->reject();
    });
    QVERIFY(stayedOpen);
    QCOMPARE(m_boxes.size(), 1);
    QVERIFY2(m_boxes[0].text.contains(QStringLiteral("nonexist")), qPrintable(m_boxes[0].text));
    QCOMPARE(m_boxes[0].icon, MsgIcon::Warning);
    QVERIFY(!QFileInfo::exists(QStringLiteral("PLAXONDATA/nonexist")));
    // A name in a folder that exists is taken, with the default suffix.
    QVERIFY(result.accepted);
    QCOMPARE(result.fileName, QStringLiteral("good.puc"));
    QCOMPARE(result.path, QDir::toNativeSeparators(QDir::current().absoluteFilePath(QStringLiteral("PLAXONDATA/good.puc"))));

    // An answer from elsewhere in a missing folder is not taken either.
    SetFileDialogHandler([](const FileDialogRequest &) {
        return FileDialogResult{true, QStringLiteral("x.puc"), QDir::current().absoluteFilePath(QStringLiteral("gone/x.puc"))};
    });
    QVERIFY(!RunFileDialog(ButtonSetRequest(FileDialogRequest::Save)).accepted);
    QVERIFY(RunFileDialog(ButtonSetRequest(FileDialogRequest::Open)).accepted); // an open reports its own failure
    SetFileDialogHandler({});
}

void TestFileDialogs::missingStartFolderStartsEmptyInTheCurrentDirectory_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("Load") << int(FileDialogRequest::Open);
    QTest::newRow("Save As") << int(FileDialogRequest::Save);
}

void TestFileDialogs::missingStartFolderStartsEmptyInTheCurrentDirectory()
{
    QFETCH(int, kind);
    QString typed = QStringLiteral("(not seen)");
    QString folder;
    const FileDialogResult result = RunWith(ButtonSetRequest(FileDialogRequest::Kind(kind)), [&](QFileDialog *dialog) {
        if (QLineEdit *name = NameBox(dialog))
            typed = name->text();
        folder = dialog->directory().absolutePath();
        dialog->reject();
    });
    QVERIFY(!result.accepted);
    QCOMPARE(typed, QString());
    QCOMPARE(folder, QDir::current().absolutePath());
}

QTEST_MAIN(TestFileDialogs)
#include "tst_filedialogs.moc"
