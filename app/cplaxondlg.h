#pragma once

// The launch bar: the main window with its 40 launch buttons, transport and
// brightness controls, the button set file, the link state in the title and
// icon, and the settings and editor buttons. It owns the user-interface side
// of the link: it starts the connection manager, drives it from a 500 ms
// timer and turns the operator's actions into command records.

#include "commanddelivery.h"
#include "configmodel.h"
#include "connectionmanager.h"
#include "journal.h"
#include "mycdialog.h"
#include "panelcommands.h"

#include <QTimer>

#include <cstdint>

class MyCButton;
class QLabel;
class QSlider;

class CPlaxonDlg : public MyCDialog {
    Q_OBJECT
public:
    // lookup resolves the stations' addresses; tests pass a scripted one.
    explicit CPlaxonDlg(int templateId, QWidget *parent = nullptr, LookupFunction lookup = ResolveIPv4);
    ~CPlaxonDlg() override;

    // Brightness selection of stations 1..4 (check boxes 1901..1904).
    const unsigned char (&PcFlags() const)[STATION_COUNT] { return m_pc; }
    int32_t Brightness() const { return m_brightness; }
    ConnectionManager &Links() { return m_links; }
    const ConnectionManager &Links() const { return m_links; }

    // One tick of timer 1: link state, title and icon, connect step.
    void TimerTick();
    // The window's controls from the model (after init and each dialog, load and save).
    void Refresh();

    // Greys the markers of stations outside reachable (bit s: station s has
    // a connected link); repaints only the buttons whose markers change.
    void ApplyReachability(uint32_t reachable);
    // The last command built, for the status tooltip (code 0 before any).
    const CommandDelivery &LastDelivery() const { return m_lastDelivery; }
    // The station markers launch button (0..39) shows: bit s for station s.
    uint32_t MarkersOf(int button) const;
    // The launch button (0..39) whose launch went out last, or -1.
    int LastLaunch() const { return m_lastLaunch; }
    const Journal &CommandJournal() const { return m_journal; }

    // Clicks a control as the operator would: its BN_CLICKED handler runs,
    // as for the mouse.
    void Press(int controlId) { OnCmdMsg(BN_CLICKED, controlId, GetDlgItem(controlId)); }
    // Every command to the stations, from the window's controls and keys
    // and from remote control, runs through these rules.
    PanelCommands &Commands() { return m_commands; }
    // A line of the panel's own making in its journal.
    void JournalRemark(const QString &text, const QString &source = QString()) { m_journal.AppendRemark(text, source); }
    // True while the button set in the panel is in no file: a set never
    // saved (no LASTFNAME) that holds buttons, or one whose last save failed.
    bool ButtonSetUnsaved() const;

    // How long the "Nothing sent" tip stays at a refused control.
    static constexpr int REFUSAL_TIP_MS = 2000;

signals:
    // Something an observer of the panel may show has changed or may have:
    // emitted at each tick, after each command, load, edit and refresh.
    void StateChanged();
    // A station that had a connection lost its last one; the window has asked
    // the desktop for the operator's attention.
    void AttentionRequested(int station);

public:

protected:
    bool OnInitDialog() override;
    QWidget *CreateControl(const DialogControl &control, QWidget *parent) override;
    bool OnCmdMsg(int code, int id, QWidget *control) override;
    void OnScroll(int message, int code, int position, QWidget *control) override;
    void OnCancel() override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

    // The settings and editor dialogs; their results as the dialogs give them.
    virtual int RunSettingsDialog();
    virtual int RunButtonEditor();

private:
    friend class PanelCommands;

    void OnAccelerator(int command);
    // A command from the window's own control at (the control the operator
    // pressed): a refusal shows its reason there for a moment.
    void RunFromPanel(const PanelCommand &command, QWidget *at);
    void ShowNothingSent(QWidget *at, const Refusal &refusal);
    void OnLinkEvent(int link, LinkEvent event, int error);
    void OnSettings();
    // The settings dialog, its save, and the reload (or, when the save
    // failed, the record kept as entered); run while the links are paused.
    void EditSettings();
    void OnButtonEditor();
    void OnLoad();
    // Save As; title names the file dialog (empty: the platform's own).
    void OnSaveAs(const QString &title = QString());
    // The file dialog of Load (Open) or Save As (Save); on a usable choice the
    // file is recorded in LASTPROG / LASTFNAME and the settings are saved.
    bool ChooseButtonSetFile(int kind, const QString &title = QString());
    void SaveButtonSetTo(const char *path);
    // Asked before the window ends with a set in no file: false keeps it open.
    bool MayCloseWithUnsavedSet();
    void CutToLayout();
    void SetIcons();
    void ShowLinkState(int32_t state);
    void ReportSaveFailure(const QString &file);
    void SetControlTextOf(int id, const QString &text);
    QString ToolTipFor(int id) const;
    // Keeps a command that was built, for the status tooltip and observers.
    void Sent(const CommandDelivery &delivery);
    void MarkLastLaunch(int button);
    // The hint over an empty button area, shown while no launch button is.
    void UpdateEmptyHint();

    MyCButton *m_launch[BUTTON_COUNT] = {};
    QSlider *m_slider = nullptr;
    QTimer m_timer;
    ConnectionManager m_links;
    unsigned char m_pc[STATION_COUNT] = {};
    int32_t m_brightness = 0;
    Journal m_journal;
    CommandDelivery m_lastDelivery;
    int m_lastLaunch = -1;
    bool m_saveFailed = false; // the last save of the button set did not reach its file
    PanelCommands m_commands{*this};
    uint32_t m_reachable = 0;
    QLabel *m_emptyHint = nullptr;
};
