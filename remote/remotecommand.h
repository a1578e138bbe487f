#pragma once

// A command from outside the panel (HTTP or OSC), and what became of it. The
// panel runs it through the same rules as the operator's own click.

#include "commanddelivery.h"
#include "panelcommands.h"

#include <QString>

// The panel's own command: the remote names it as the window's controls do.
using RemoteAction = PanelAction;
using RemoteCommand = PanelCommand;

struct RemoteOutcome {
    enum class Status {
        Done,    // the command was sent as the panel sends it
        Refused, // the panel would have done nothing (a reason says why)
    };
    Status status = Status::Refused;
    QString reason;           // Refused: in English, for the caller's log
    CommandDelivery delivery; // Done: what each station's links did with it
};
