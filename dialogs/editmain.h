#pragma once

// The button editor: a tab host with one page per taking-part station ("PC 1"
// always) and an OK button. Every change goes into the button table at once;
// the caller saves the button set after the editor closes, whatever its result.

#include "dlgctabctrl.h"
#include "editdlg.h"
#include "mycdialog.h"

#include <QPointer>

#include <array>

class EditMain : public MyCDialog {
    Q_OBJECT
public:
    explicit EditMain(QWidget *parent = nullptr);

    DlgCTabCtrl *TabHost() const { return m_tabs; }
    EditDlg *Page(int station) { return &m_pages[size_t(station)]; }

protected:
    bool OnInitDialog() override;
    QWidget *CreateControl(const DialogControl &control, QWidget *parent) override;

private:
    QPointer<DlgCTabCtrl> m_tabs;
    std::array<EditDlg, 4> m_pages; // stations 1 to 4
};
