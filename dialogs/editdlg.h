#pragma once

// One station's page of the button editor: 40 rows, one per launch button,
// each with its enable box, caption, program name with a browse button,
// inline box and colour picker. Caption, colour and both flags are shared by
// every page; the program name is the page's station's.

#include "mycdialog.h"

class EditDlg : public MyCDialog {
    Q_OBJECT
public:
    EditDlg();

    // The station (0 to 3) whose program names the page edits; set before
    // the page window is created.
    void SetStation(int index) { m_station = index; }
    int Station() const { return m_station; }

    // The tooltip of a control in the current language; empty when it has none.
    static QString ToolTipText(int controlId);

protected:
    bool OnInitDialog() override;
    QWidget *CreateControl(const DialogControl &control, QWidget *parent) override;
    bool OnCmdMsg(int code, int id, QWidget *control) override;
    void OnChange(int id) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Browse(int button);

    int32_t m_station = 0;
};
