#include "resolver.h"

#include "clientsocket.h"
#include "connectionmanager.h"
#include "threadpriority.h"

#include <condition_variable>
#include <cstring>
#include <mutex>

namespace {

// Decides which resolver may store into the link table. Every resolver
// thread holds it, so a thread that outlives its owner (stuck in a lookup
// when the program ends) still finds it and stores nothing.
struct TableGate {
    std::mutex mutex;
    uint64_t serving = 0; // id of the one resolver that may store, 0 = none
    uint64_t lastId = 0;
    // Threads let go by Stop while inside a lookup. While one lives, no other
    // resolver starts a lookup, so a name service that hangs holds at most
    // one thread however often the window is rebuilt.
    int abandoned = 0;
    std::condition_variable_any abandonedEnded;
};

std::atomic<int> g_LiveThreads{0};

std::shared_ptr<TableGate> Gate()
{
    static const std::shared_ptr<TableGate> gate = std::make_shared<TableGate>();
    return gate;
}

// Resolved links go back to idle so that they are resolved again from the
// current stations. Called with the gate locked, on the user-interface
// thread, the only one that moves links out of state 1.
void ReturnResolvedLinks()
{
    ClientSocket *table = LinkTable();
    for (int i = 0; i < LINK_COUNT; ++i) {
        int32_t expected = LINK_RESOLVED;
        table[i].state.compare_exchange_strong(expected, LINK_IDLE, std::memory_order_acq_rel);
    }
}

// Waits until no abandoned thread is inside a lookup; false when stopped first.
bool WaitForAbandonedLookup(TableGate &gate, std::stop_token stop)
{
    std::unique_lock lock(gate.mutex);
    return gate.abandonedEnded.wait(lock, stop, [&gate] { return gate.abandoned == 0; });
}

} // namespace

struct Resolver::Shared {
    std::shared_ptr<TableGate> gate;
    uint64_t id = 0;
    LookupFunction lookup;
    std::atomic<int32_t> control{RESOLVER_RUN};
    std::promise<void> ended;
    std::condition_variable_any wakeup;
    // Guarded by gate->mutex.
    StationsSnapshot stations;
    uint64_t generation = 0;
    bool wake = false;
    bool finished = false;  // Run has left its loop
    bool abandoned = false; // Stop let the thread go before it finished
};

StationsSnapshot TakeStationsSnapshot()
{
    StationsSnapshot snap;
    for (int s = 0; s < STATION_COUNT; ++s) {
        const StationRecord &pc = g_Settings.PC[s];
        CopyText(snap[s].address, pc.ADDRESS, sizeof pc.ADDRESS);
        snap[s].takesPart = pc.ENABLE && snap[s].address[0] != '\0';
        std::memcpy(snap[s].port, pc.PORT, sizeof snap[s].port);
    }
    return snap;
}

Resolver::Resolver(LookupFunction lookup, const StationsSnapshot &stations)
    : m_shared(std::make_shared<Shared>())
{
    m_shared->gate = Gate();
    m_shared->lookup = std::move(lookup);
    m_ended = m_shared->ended.get_future();
    {
        std::lock_guard lock(m_shared->gate->mutex);
        m_shared->id = ++m_shared->gate->lastId;
        m_shared->gate->serving = m_shared->id;
        m_shared->stations = stations;
        m_shared->generation = 1;
        ReturnResolvedLinks();
    }
    g_LiveThreads.fetch_add(1);
    m_thread = std::jthread(&Resolver::Run, m_shared);
}

Resolver::~Resolver()
{
    if (m_thread.joinable())
        Stop(STOP_WAIT);
}

void Resolver::Pause()
{
    m_shared->control.store(RESOLVER_PAUSE);
}

void Resolver::Resume(const StationsSnapshot &stations)
{
    {
        std::lock_guard lock(m_shared->gate->mutex);
        if (m_shared->gate->serving != m_shared->id)
            return; // retired: the table belongs to another resolver now
        m_shared->stations = stations;
        ++m_shared->generation;
        ReturnResolvedLinks();
        m_shared->wake = true;
        m_shared->control.store(RESOLVER_RUN);
    }
    m_shared->wakeup.notify_all();
}

bool Resolver::Stop(std::chrono::milliseconds wait)
{
    if (!m_thread.joinable())
        return true;
    m_shared->control.store(RESOLVER_STOP);
    {
        std::lock_guard lock(m_shared->gate->mutex);
        if (m_shared->gate->serving == m_shared->id)
            m_shared->gate->serving = 0;
    }
    m_thread.request_stop();
    bool ended = m_ended.wait_for(wait) == std::future_status::ready;
    if (!ended) {
        std::lock_guard lock(m_shared->gate->mutex);
        ended = m_shared->finished;
        if (!ended) {
            m_shared->abandoned = true;
            ++m_shared->gate->abandoned;
        }
    }
    if (ended) {
        m_thread.join();
        return true;
    }
    // Still inside a lookup: it stores nothing when it returns and then
    // ends; the thread keeps its own reference to everything it uses.
    m_thread.detach();
    return false;
}

int32_t Resolver::Control() const
{
    return m_shared->control.load();
}

int Resolver::LiveThreads()
{
    return g_LiveThreads.load();
}

void Resolver::Run(std::stop_token stop, std::shared_ptr<Shared> shared)
{
    LowerCurrentThreadPriority();
    ClientSocket *table = LinkTable();
    TableGate &gate = *shared->gate;
    for (;;) {
        StationsSnapshot stations;
        uint64_t generation = 0;
        {
            std::lock_guard lock(gate.mutex);
            if (stop.stop_requested() || gate.serving != shared->id)
                break;
            stations = shared->stations;
            generation = shared->generation;
        }
        bool stopped = false;
        for (int s = 0; s < STATION_COUNT && !stopped; ++s) {
            if (!stations[s].takesPart)
                continue;
            for (int i = 0; i < PORTS_PER_STATION; ++i) {
                const int32_t control = shared->control.load();
                if (control == RESOLVER_STOP || stop.stop_requested()) {
                    stopped = true;
                    break;
                }
                if (control == RESOLVER_PAUSE || stations[s].port[i] == 0)
                    continue;
                ClientSocket &link = table[s * PORTS_PER_STATION + i];
                if (link.State() != LINK_IDLE)
                    continue;
                if (!WaitForAbandonedLookup(gate, stop)) {
                    stopped = true;
                    break;
                }
                Ipv4SocketAddress resolved;
                const int rc = shared->lookup(stations[s].address, stations[s].port[i], &resolved);
                std::lock_guard lock(gate.mutex);
                // The answer is stale if this resolver was stopped or
                // retired, the stations changed, or the link moved on.
                if (stop.stop_requested() || gate.serving != shared->id || shared->generation != generation
                    || link.State() != LINK_IDLE)
                    continue;
                if (rc != 0) {
                    link.error.store(rc, std::memory_order_relaxed);
                } else {
                    link.sockAddr = resolved;
                    link.error.store(0, std::memory_order_relaxed);
                    link.state.store(LINK_RESOLVED, std::memory_order_release);
                }
            }
        }
        if (stopped)
            break;
        std::unique_lock lock(gate.mutex);
        shared->wakeup.wait_for(lock, stop, PASS_INTERVAL, [&] { return shared->wake; });
        shared->wake = false;
    }
    {
        std::lock_guard lock(gate.mutex);
        shared->finished = true;
        if (shared->abandoned) {
            --gate.abandoned;
            gate.abandonedEnded.notify_all();
        }
    }
    g_LiveThreads.fetch_sub(1);
    shared->ended.set_value();
}
