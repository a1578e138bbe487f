#pragma once

// Entry points for the open and save file dialogs and the folder chooser.
// Tests install handlers that record the request and answer in place of a person.

#include <QString>

#include <functional>

class QWidget;

struct FileDialogRequest {
    enum Kind { Open, Save };
    Kind kind = Open;
    QWidget *parent = nullptr;
    QString filter;        // "Plaxon User Config Files (*.PUC)"; patterns match in any case
    QString startFolder;   // relative to the current directory, which the dialog never changes
    QString defaultSuffix; // added to a typed name without one (save)
    QString title;         // empty: the platform's default title
};

struct FileDialogResult {
    bool accepted = false;
    QString fileName; // the chosen file's name, without folder
    QString path;     // its full path
};

using FileDialogHandler = std::function<FileDialogResult(const FileDialogRequest &)>;
using FolderChooserHandler = std::function<QString(QWidget *parent, const QString &title, const QString &start)>;

// Each returns the previous handler; an empty one restores the real dialog.
FileDialogHandler SetFileDialogHandler(FileDialogHandler handler);
FolderChooserHandler SetFolderChooserHandler(FolderChooserHandler handler);

// Open: the file must exist. Save: the folder must exist, overwriting asks first.
FileDialogResult RunFileDialog(const FileDialogRequest &request);
// The chosen folder, or an empty text when the operator cancelled.
QString ChooseFolder(QWidget *parent, const QString &title, const QString &start = QString());
