// Opens one of the editors on the installation in the current directory, to
// look at it on a display: "config", "editor" or "browser" [station 1..4].
// After the dialog closes the results are printed; nothing is saved.

#include "configdlg.h"
#include "editmain.h"
#include "opendlg.h"

#include "buttonsetfile.h"
#include "codepage.h"
#include "configmodel.h"
#include "settingsfile.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    LoadSettings();
    LoadButtonSet(g_Settings.LASTFNAME);
    const QString which = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("config");
    if (argc > 3)
        g_Settings.LANG = uint32_t(QString::fromLocal8Bit(argv[3]).toUInt());
    int result = 0;
    if (which == QLatin1String("editor")) {
        EditMain editor;
        result = editor.DoModal();
    } else if (which == QLatin1String("browser")) {
        const int station = argc > 2 ? std::clamp(atoi(argv[2]), 1, 4) : 1;
        OpenDlg browser;
        browser.SetRoot(FieldToQString(g_Settings.PC[station - 1].PATH));
        result = browser.DoModal();
        std::printf("chosen: %s\n", browser.ChosenProgram().toUtf8().constData());
    } else {
        ConfigDlg settings;
        result = settings.DoModal();
    }
    std::printf("result: %d\n", result);
    return 0;
}
