#pragma once

// Qt's own texts (the standard buttons of message boxes, the file dialogs)
// in the program's language, from Qt's translation catalogues in Qt's
// translations folder. The program hands over how to read its language
// setting; each message box and file dialog applies it when it is shown, so
// a change of the setting shows in the next box.

#include <QString>

#include <functional>

// The language as the settings hold it: 0 Czech, 1 English; any other value
// leaves Qt's own English texts. Without a source nothing is loaded.
void SetQtLanguageSource(std::function<int()> source);
// Installs the catalogue of the source's current language unless it is in
// already. false when that catalogue is missing; Qt's English texts show then.
bool ApplyQtLanguage();
// The catalogue file of a language, empty for a language without one.
QString QtCatalogueFile(int lang);
