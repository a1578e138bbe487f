#include "filedialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace {

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

FileDialogResult RealFileDialog(const FileDialogRequest &request)
{
    QFileDialog dialog(request.parent, request.title, QDir::current().absoluteFilePath(request.startFolder), request.filter);
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
    if (FileHandler())
        return FileHandler()(request);
    return RealFileDialog(request);
}

QString ChooseFolder(QWidget *parent, const QString &title, const QString &start)
{
    if (FolderHandler())
        return FolderHandler()(parent, title, start);
    return QDir::toNativeSeparators(QFileDialog::getExistingDirectory(parent, title, start));
}
