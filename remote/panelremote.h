#pragma once

// The remote side's hold on the panel: the window now running (the start-up
// loop builds a new one after a layout change), its state for observers, and
// the commands, run through the window's PanelCommands on the interface
// thread under the rules of a click.

#include "remotecommand.h"

#include <QJsonObject>
#include <QObject>
#include <QPointer>

#include "cplaxondlg.h"

class PanelRemote : public QObject {
    Q_OBJECT
public:
    explicit PanelRemote(QObject *parent = nullptr);
    ~PanelRemote() override;

    // The window that now runs; commands are refused while there is none.
    void Attach(CPlaxonDlg *panel);
    CPlaxonDlg *Panel() const { return m_panel; }

    // source: who sent it, for the journal.
    RemoteOutcome Run(const RemoteCommand &command, const CommandSource &source);
    // The panel as GET /api/state and the events show it.
    QJsonObject State() const;
    // True while a window of the panel's own (settings, editor, file dialog,
    // message box) is open over it.
    bool DialogOpen() const;
    // A refused command in the panel's journal (OSC senders hear no answer).
    // source: the sender, which the journal's limit per second counts by.
    void JournalRefusal(const QString &text, const QString &source = QString());

signals:
    // The state may have changed: a tick, a command, a load or edit, a
    // dialog opened or closed, another window attached.
    void StateChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<CPlaxonDlg> m_panel;
    QMetaObject::Connection m_changed;
};
