#include "filedialogs.h"

#include "messagebox.h"
#include "qttranslations.h"

#include <QCoreApplication>

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace {

bool FolderExists(const QString &file)
{
    return QFileInfo(QFileInfo(file).absolutePath()).isDir();
}

FileDialogHandler &FileHandler()
{
    static FileDialogHandler handler;
    return handler;
}

FolderChooserHandler &FolderHandler()
{
    static FolderChooserHandler handler;
    return handler;
}

// Qt's file dialog takes a name in a folder that does not exist; the save
// dialog here refuses it and stays open, as a path that must exist asks.
class SaveFileDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    void accept() override
    {
        const QStringList files = selectedFiles();
        if (acceptMode() == AcceptSave && !files.isEmpty() && !FolderExists(files.constFirst())) {
            const QString folder = QDir::toNativeSeparators(QFileInfo(files.constFirst()).absolutePath());
            ShowMessageBox(this,
                           QCoreApplication::translate("QFileDialog", "%1\nDirectory not found.\nPlease verify the "
                                                                      "correct directory name was given.")
                               .arg(folder),
                           windowTitle(), MsgIcon::Warning);
            return;
        }
        QFileDialog::accept();
    }
};

FileDialogResult RealFileDialog(const FileDialogRequest &request)
{
    ApplyQtLanguage();
    // A start folder that does not exist starts the dialog in the current
    // directory; Qt would take its name for the file name.
    const QDir current = QDir::current();
    const QString start = current.absoluteFilePath(request.startFolder);
    SaveFileDialog dialog(request.parent, request.title, QFileInfo(start).isDir() ? start : current.absolutePath(),
                          request.filter);
    if (request.kind == FileDialogRequest::Save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(request.defaultSuffix);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QFileInfo chosen(dialog.selectedFiles().constFirst());
    return {true, chosen.fileName(), QDir::toNativeSeparators(chosen.absoluteFilePath())};
}

} // namespace

FileDialogHandler SetFileDialogHandler(FileDialogHandler handler)
{
    FileDialogHandler previous = std::move(FileHandler());
    FileHandler() = std::move(handler);
    return previous;
}

FolderChooserHandler SetFolderChooserHandler(FolderChooserHandler handler)
{
    FolderChooserHandler previous = std::move(FolderHandler());
    FolderHandler() = std::move(handler);
    return previous;
}

FileDialogResult RunFileDialog(const FileDialogRequest &request)
{
    if (!FileHandler())
        return RealFileDialog(request);
    FileDialogResult result = FileHandler()(request);
    // Whatever answers, a save never lands in a folder that is not there.
    if (result.accepted && request.kind == FileDialogRequest::Save && !FolderExists(result.path))
        return {};
    return result;
}

QString ChooseFolder(QWidget *parent, const QString &title, const QString &start)
{
    if (FolderHandler())
        return FolderHandler()(parent, title, start);
    return QDir::toNativeSeparators(QFileDialog::getExistingDirectory(parent, title, start));
}
