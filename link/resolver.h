#pragma once

// The resolver thread: every 500 ms it turns the address and port of every
// idle link into a socket address. It never reads the live configuration,
// which the settings dialog rewrites; it works on a snapshot of the stations
// handed to it under a lock at start and at resume.
//
// At most one resolver serves the link table at a time: starting one retires
// any other, and a lookup that returns after its resolver was stopped or
// retired, or after the snapshot it was made from was replaced, stores nothing.

#include "configmodel.h"
#include "ipv4socketaddress.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <thread>

constexpr int32_t RESOLVER_RUN = 0;
constexpr int32_t RESOLVER_PAUSE = 1;
constexpr int32_t RESOLVER_STOP = 2;

// What the resolver needs of one station.
struct StationSnapshot {
    bool takesPart = false; // ENABLE set and ADDRESS not empty
    char address[sizeof StationRecord::ADDRESS] = {};
    uint32_t port[PORTS_PER_STATION] = {};
};
using StationsSnapshot = std::array<StationSnapshot, STATION_COUNT>;

// Copies the stations out of g_Settings (user-interface thread).
StationsSnapshot TakeStationsSnapshot();

// Resolves an address text and port; the contract of ResolveIPv4.
using LookupFunction = std::function<int(const char *text, uint32_t port, Ipv4SocketAddress *out)>;

class Resolver {
public:
    static constexpr std::chrono::milliseconds PASS_INTERVAL{500};
    // The longest a shutdown waits for the thread to end.
    static constexpr std::chrono::milliseconds STOP_WAIT{5000};
    // What a window rebuild waits: long enough for a thread that is not
    // inside a lookup to end, never as long as a lookup that hangs.
    static constexpr std::chrono::milliseconds RETIRE_WAIT{50};

    // Starts the thread at below-normal priority. It takes over the link
    // table: any earlier resolver stops serving it, and every resolved link
    // goes back to idle so that it is resolved again from these stations.
    Resolver(LookupFunction lookup, const StationsSnapshot &stations);
    // Stops the thread as Stop(STOP_WAIT) does unless that happened already.
    ~Resolver();
    Resolver(const Resolver &) = delete;
    Resolver &operator=(const Resolver &) = delete;

    // Skips every link until Resume.
    void Pause();
    // Takes a new snapshot; resolved links and lookups under way from the
    // old one are discarded, so every link is resolved again; runs again.
    void Resume(const StationsSnapshot &stations);
    // Stops the thread; from the moment this is called nothing more is
    // stored in the link table. Waits at most wait for the thread to end
    // (it may be inside a host lookup that cannot be interrupted) and lets
    // it finish on its own if it does not. True when the thread ended.
    // While a thread let go this way is still inside its lookup, no
    // resolver starts another lookup: at most one such thread at a time.
    bool Stop(std::chrono::milliseconds wait);

    int32_t Control() const;
    // Resolver threads still running, those let go by Stop included.
    static int LiveThreads();

private:
    struct Shared;
    static void Run(std::stop_token stop, std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> m_shared;
    std::future<void> m_ended;
    std::jthread m_thread;
};
