#pragma once

// A command from outside the panel (HTTP or OSC), and what became of it. The
// panel runs it through the same code as the operator's own click.

#include "commanddelivery.h"
#include "configmodel.h"

#include <QString>

#include <cstdint>
#include <optional>

enum class RemoteAction { Launch, Play, Pause, Stop, Brightness };

struct RemoteCommand {
    static constexpr int BRIGHTNESS_MAX = 100;

    RemoteAction action = RemoteAction::Play;
    int button = 0;     // Launch: 1..BUTTON_COUNT
    int brightness = 0; // Brightness: 0..BRIGHTNESS_MAX
    // Brightness: bit s - 1 for station s; none means the panel's ticked stations.
    std::optional<uint32_t> stations;
};

struct RemoteOutcome {
    enum class Status {
        Done,    // the command was sent as the panel sends it
        Refused, // the panel would have done nothing (a reason says why)
    };
    Status status = Status::Refused;
    QString reason;           // Refused: in English, for the caller's log
    CommandDelivery delivery; // Done: what each station's links did with it
};

// The command's name as the API spells it ("launch 5", "brightness 40").
QString RemoteCommandText(const RemoteCommand &command);
