#include "messagetexts.h"

#include "configmodel.h"

QString MessageTextFor(MessageText text)
{
    static const char *const texts[][2] = {
        {"Soubor nelze načíst (nekompatibilní formát dat nebo chyba přístupu k souboru)",
         "Could not load file (an incompatible format or access error)"},
        {"Soubor nelze uložit (chyba přístupu k souboru):\n%1",
         "Could not save file (an access error):\n%1"},
        {"Soubor nelze použít: jeho název nebo cesta je příliš dlouhá nebo obsahuje znaky, které program neumí uložit:\n%1",
         "Cannot use the file: its name or path is too long or holds characters the program cannot store:\n%1"},
        {"Sada tlačítek není uložena. Uložit ji?", "The button set is not saved. Save it?"},
        {"Plaxon už v této složce běží", "Plaxon is already running in this folder"},
        {"Dálkové ovládání nelze spustit:\n%1", "Remote control cannot be started:\n%1"},
    };
    return QString::fromUtf8(texts[int(text)][LangIndex()]);
}

QString ErrorCaption()
{
    return QString::fromUtf8(LangIndex() == 1 ? "Error" : "Chyba");
}
