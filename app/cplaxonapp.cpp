#include "cplaxonapp.h"

#include "cplaxondlg.h"
#include "dialogtemplates_dialogs.h"
#include "layouttypes.h"
#include "markerbitmaps.h"
#include "qttranslations.h"
#include "settingsfile.h"
#include "configmodel.h"

#include <QApplication>

#include <memory>

bool CPlaxonApp::InitInstance()
{
    // Between two passes no window is open; that must not end the program.
    if (auto *app = qobject_cast<QApplication *>(QCoreApplication::instance()))
        app->setQuitOnLastWindowClosed(false);
    LoadMarkerBitmaps();
    // Qt's own texts (standard buttons, file dialogs) follow LANG; like the
    // program's own texts, any value but English reads as Czech.
    SetQtLanguageSource([] { return g_Settings.LANG == 1 ? 1 : 0; });
    m_template = IDD_PLAXON_5X8;
    for (;;) {
        LoadSettings();
        m_template = TemplateForLayout(g_Settings.DIALOG, m_template);
        // The window of the previous pass is gone, and its resolver with it,
        // before the next one starts its own.
        std::unique_ptr<CPlaxonDlg> window(makeWindow ? makeWindow(m_template) : new CPlaxonDlg(m_template));
        if (onWindow)
            onWindow(*window);
        const int result = window->DoModal();
        window.reset();
        if (result != RESTART_RESULT)
            return false;
    }
}
