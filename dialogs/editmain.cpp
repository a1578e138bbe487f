#include "editmain.h"

#include "configmodel.h"
#include "dialogtemplates_dialogs.h"
#include "dlgctabctrl.h"

EditMain::EditMain(QWidget *parent) : MyCDialog(IDD_EDIT_MAIN, parent)
{
    RegisterDialogsTemplates();
}

QWidget *EditMain::CreateControl(const DialogControl &control, QWidget *parent)
{
    if (control.id != IDC_EDIT_TABS)
        return nullptr;
    m_tabs = new DlgCTabCtrl(parent);
    return m_tabs;
}

bool EditMain::OnInitDialog()
{
    MyCDialog::OnInitDialog();
    SetEnterMovesFocus();
    for (int s = 0; s < STATION_COUNT; ++s)
        m_pages[size_t(s)].SetStation(s);
    if (!m_tabs)
        return true;
    // A station that does not take part has no tab; its page gets no window.
    m_tabs->AddPage(QStringLiteral("PC 1"), &m_pages[0], IDD_EDIT_PAGE, true, false);
    for (int s = 1; s < STATION_COUNT; ++s)
        if (g_Settings.PC[s].ENABLE)
            m_tabs->AddPage(QStringLiteral("PC %1").arg(s + 1), &m_pages[size_t(s)], IDD_EDIT_PAGE, true, false);
    return true;
}
