#pragma once

// The program's message box texts, each in Czech and English, picked by LANG
// when they are shown.

#include <QString>

enum class MessageText {
    LoadError,     // a button set that cannot be loaded
    SaveError,     // a file that could not be written; %1 is the file
    FileNameError, // a chosen file whose name the records cannot hold; %1 is the file
    UnsavedButtonSet, // the window closes with a button set that is in no file
    AlreadyRunning, // another panel works in the same installation folder
    RemoteStartError, // the remote control could not start; %1 says why
};

QString MessageTextFor(MessageText text);
// "Chyba" / "Error".
QString ErrorCaption();
