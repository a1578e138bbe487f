#pragma once

// The connection manager: one link per configured port of every enabled
// station (at most 16), built in two halves. The resolver thread turns
// addresses into socket addresses; on the user-interface thread a 500 ms
// step creates the sockets, starts the connects and advances each link's
// state machine. Records go only to connected links.
//
// The free functions work on the process-wide link table and run on the
// user-interface thread. ConnectionManager is the part the main window owns:
// the resolver thread and the start, shutdown, settings-change and timer
// sequences.

#include "clientsocket.h"
#include "commanddelivery.h"
#include "commandrecord.h"
#include "hostlookup.h"
#include "resolver.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

constexpr int LINK_COUNT = STATION_COUNT * PORTS_PER_STATION;

constexpr int32_t LINKS_NONE = 0;
constexpr int32_t LINKS_PARTIAL = 1;
constexpr int32_t LINKS_FULL = 2;

// The link table, index = station * 4 + port index. The resolver and the
// functions below write it; everything else reads it through Link(), which
// gives address, port, state and error for the status list.
ClientSocket *LinkTable();
const ClientSocket &Link(int index);

// True for a port that makes a link: the station is enabled, its ADDRESS is
// not empty and the port number is not zero.
bool IsConfiguredLink(int station, int portIndex);
// Calls fn(station, portIndex, linkIndex) for every configured link, in
// station order and port order.
template <typename Fn>
void ForEachConfiguredLink(Fn &&fn)
{
    for (int s = 0; s < STATION_COUNT; ++s)
        for (int i = 0; i < PORTS_PER_STATION; ++i)
            if (IsConfiguredLink(s, i))
                fn(s, i, s * PORTS_PER_STATION + i);
}

// Advances every configured link one step: creates sockets for resolved
// links, (re)starts connects, abandons connects that take too long. Address
// and port were given to the links at start and at the last settings change.
void ConnectStep();
// Writes the record, whole, to each connected link of the station in port
// order; other links are skipped. Says what each configured link did with
// it; nothing is retried.
StationDelivery SendToStation(int station, const CommandRecord &record);
// Closes every link above state 1 and sets it idle; links in state 0 or 1
// are left as they are.
void CloseAll();
// Closes every connected link that is not taking records (ClientSocket::
// STALL_BOUND), and reports it; it is then connected afresh like a lost one.
// Runs at every timer tick.
void CloseStalledLinks();
// LINKS_NONE when no configured link is connected (or none is configured),
// LINKS_FULL when all are, else LINKS_PARTIAL.
int32_t LinkState();
// The link state computed at the last timer tick; what the command handlers
// go by.
int32_t LastTickLinkState();
// Bit s set for each station s with at least one connected link.
uint32_t ReachableStations();

// A link came up (connected) or went down (lost, with the close's code,
// closed by the panel itself, or closed as not taking records). Called on
// the user-interface thread.
enum class LinkEvent { Connected, Lost, Closed, Stalled };
using LinkObserver = std::function<void(int linkIndex, LinkEvent event, int error)>;
// One observer for the whole table; an empty function removes it.
void SetLinkObserver(LinkObserver observer);
void NotifyLinkEvent(const ClientSocket &link, LinkEvent event, int error);

class ConnectionManager {
public:
    struct TickResult {
        bool shownStateChanged = false; // the window updates title and icon
        bool stepped = false;           // ConnectStep ran (the state was below full)
    };

    // lookup resolves station addresses; tests and benchmarks may pass one
    // that stands in for a slow or scripted name service.
    explicit ConnectionManager(LookupFunction lookup = ResolveIPv4);
    // Shuts down if Start ran and Shutdown did not.
    ~ConnectionManager();
    ConnectionManager(const ConnectionManager &) = delete;
    ConnectionManager &operator=(const ConnectionManager &) = delete;

    // Starts the resolver on a snapshot of the stations. The window then
    // calls TimerTick every 500 ms.
    void Start();
    // Stops the resolver (waiting for it at most wait), then closes all
    // links. Afterwards nothing touches the link table, even if the
    // resolver is still inside a lookup. True when the resolver ended in time.
    bool Shutdown(std::chrono::milliseconds wait = Resolver::STOP_WAIT);

    // The settings change, whole: pauses the resolver and closes all links,
    // runs change (the dialog, the save, the reload; the window stops its
    // timer around this call), then takes one snapshot of the new stations
    // for the links' set-up and the resolver, has every link resolved again
    // from it, and lets the resolver run.
    void ChangeSettings(const std::function<void()> &change);

    // One timer tick: computes the link state, reports whether the shown
    // state changed, and runs ConnectStep while not all links are up.
    TickResult TimerTick();

    int32_t ShownState() const { return m_shown; }
    // True while ChangeSettings runs its change: the links are closed for it.
    bool SettingsOpen() const { return m_settingsOpen; }
    bool IsRunning() const { return m_resolver != nullptr; }

private:
    LookupFunction m_lookup;
    std::unique_ptr<Resolver> m_resolver;
    int32_t m_shown = LINKS_NONE;
    bool m_settingsOpen = false;
};
