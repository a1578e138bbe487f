#pragma once

// Every command that reaches the stations, from the window's own buttons and
// keys as from HTTP and OSC, goes through PanelCommands::Run: the rules that
// refuse a command live here once, the command is sent, kept for the status
// tooltip and journaled with where it came from.

#include "commanddelivery.h"

#include <QString>

#include <cstdint>
#include <optional>

class CPlaxonDlg;

enum class PanelAction { Launch, Play, Pause, Stop, Brightness };

struct PanelCommand {
    static constexpr int BRIGHTNESS_MAX = 100;

    PanelAction action = PanelAction::Play;
    int button = 0;     // Launch: 1..BUTTON_COUNT, as the operator counts them
    int brightness = 0; // Brightness: 0..BRIGHTNESS_MAX
    // Brightness: bit s - 1 for station s; none means the panel's ticked stations.
    std::optional<uint32_t> stations;
};

// Where a command came from: the panel itself, or a remote peer ("ADDRESS:PORT").
struct CommandSource {
    enum class Kind { Panel, Http, Osc };
    Kind kind = Kind::Panel;
    QString address;

    static CommandSource Panel() { return {}; }
    // "panel", "http ADDRESS" or "osc ADDRESS", as the journal writes it.
    QString Text() const;
    // The sender's address without its port (empty for the panel): what the
    // journal's limit on remarks per sender counts by.
    QString Sender() const;
};

// Why a command was not sent.
struct Refusal {
    enum class Kind {
        None,
        NoSuchButton,      // number: the button asked for
        NotShown,          // number: the button
        OutOfView,         // number: the button
        DialogOpen,
        NoLinks,
        NoProgram,         // number: the button
        BrightnessOff,
        StationNotEnabled, // number: the station
        NoStationTicked,   // brightness with no station to send to
    };
    Kind kind = Kind::None;
    int number = 0;

    explicit operator bool() const { return kind != Kind::None; }
    // In English, for remote callers and the journal.
    QString Text() const;
    // In the operator's language (LANG).
    QString LocalText() const;
};

struct CommandOutcome {
    CommandDelivery delivery; // what was sent; code 0 when refused
    Refusal refusal;

    bool Sent() const { return !refusal; }
};

class PanelCommands {
public:
    explicit PanelCommands(CPlaxonDlg &panel) : m_panel(panel) {}

    // Checks the rules against the live links and the window, then sends,
    // keeps and journals the command; a refusal is journaled too.
    CommandOutcome Run(const PanelCommand &command, const CommandSource &source);
    // The rule alone: why command would be refused now (Kind::None: it would go).
    Refusal Check(const PanelCommand &command) const;
    // True while a window of the panel's own (settings, editor, file dialog,
    // message box) is open over it.
    bool DialogOpen() const;

    // "launch 5 \"Finale\"", "stop", "brightness 40": the command as the
    // journal and the remote callers name it.
    static QString CommandText(const PanelCommand &command);

private:
    // The stations a brightness command goes to: those it names, or the
    // panel's ticked ones.
    void StationsFor(const PanelCommand &command, unsigned char (&stations)[STATION_COUNT]) const;
    CommandDelivery Send(const PanelCommand &command);
    // The journal line: what was sent or why nothing was, with its source.
    void Record(const PanelCommand &command, const CommandSource &source, const CommandOutcome &outcome);

    CPlaxonDlg &m_panel;
};
