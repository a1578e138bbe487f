#pragma once

// The settings dialog: language, brightness control, launch-button layout
// and caption wrapping, and for each station whether it takes part, its
// address, its ports and its programs directory, with a help pane below.
// It edits the settings record in place and never saves: its caller saves
// after it closes, whatever the result.

#include "dialogtemplates_dialogs.h"
#include "mycdialog.h"

#include <cstdint>

class ConfigDlg : public MyCDialog {
    Q_OBJECT
public:
    explicit ConfigDlg(QWidget *parent = nullptr);

protected:
    bool OnInitDialog() override;
    bool OnCmdMsg(int code, int id, QWidget *control) override;
    void OnChange(int id) override;
    void OnOK() override;
    void OnCancel() override;

private:
    void ShowTemplateIcons();
    void LoadHelp();
    void ChooseDirectory(int station);
    void ClearDirectory(int station);
    // Ends with RESTART_RESULT when the layout or the wrapping differs from the values at open.
    void Close(int result);

    uint8_t m_layoutAtOpen = 0;
    uint8_t m_wrapAtOpen = 0;
};
