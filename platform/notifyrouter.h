#pragma once

// Turns the Qt signals of one template control into the messages that the
// dialog platform sends to the control's dialog, and only in the cases where
// the platform sends them:
//   QLineEdit / multi-line edits: text changed (by the user or the program)
//       -> EN_CHANGE; focus lost -> EN_KILLFOCUS
//   QComboBox: activated (user choices only, not the end of typing)
//       -> CBN_SELCHANGE; the edit field's textEdited -> CBN_EDITCHANGE
//   QAbstractButton: clicked (not a programmatic check) -> BN_CLICKED
//   QDateEdit: a date change, except one set through controlmessages.h
//       -> WM_NOTIFY DTN_DATETIMECHANGE
//   QSlider: its actions -> WM_HSCROLL / WM_VSCROLL with the scroll code
// The router is a child of the control and lives as long as it does.

#include "notifycodes.h"

#include <QObject>

#include <functional>

class NotifyRouter : public QObject {
    Q_OBJECT
public:
    using Sink = std::function<void(const ControlEvent &)>;

    NotifyRouter(QWidget *control, int id, Sink sink);

    // Stops delivering (the dialog's window is going away).
    void Mute() { m_muted = true; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Send(int message, int code, int position = 0);

    QWidget *m_control;
    int m_id;
    Sink m_sink;
    bool m_muted = false;
    bool m_editEnding = false; // a combo's typing is ending: its activated is Qt's own

};
