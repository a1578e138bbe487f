#include "connectionmanager.h"

#include "configmodel.h"
#include "socketerrors.h"

namespace {

int32_t g_LinkState = LINKS_NONE;
// The manager whose resolver serves the table; a manager that was superseded
// (a window replaced by the next) must not close the links of its successor.
const ConnectionManager *g_ActiveManager = nullptr;
LinkObserver g_LinkObserver;

// Points every configured link at its station's address text and gives it
// its port, from the same snapshot the resolver works on.
void SetUpLinks(const StationsSnapshot &stations)
{
    ClientSocket *table = LinkTable();
    for (int s = 0; s < STATION_COUNT; ++s)
        for (int i = 0; i < PORTS_PER_STATION; ++i) {
            if (!stations[s].takesPart || stations[s].port[i] == 0)
                continue;
            ClientSocket &link = table[s * PORTS_PER_STATION + i];
            link.address = g_Settings.PC[s].ADDRESS;
            link.port = stations[s].port[i];
        }
}

// State 2: a socket whose connect failed was closed, so a new one comes
// first; then the connect starts.
void ConnectCreated(ClientSocket &link)
{
    if (link.IsConnecting() || link.IsConnected())
        return; // completed at once; its connect notification is on the way
    if (!link.IsOpen()) {
        if (const int rc = link.CreateLinkSocket(); rc != 0) {
            link.error.store(rc, std::memory_order_relaxed);
            return;
        }
    }
    const int rc = link.StartConnect();
    if (rc == WSAEWOULDBLOCK) {
        link.state.store(LINK_CONNECTING, std::memory_order_release);
    } else if (rc != 0) {
        link.error.store(rc, std::memory_order_relaxed);
        link.Close();
    }
}

} // namespace

ClientSocket *LinkTable()
{
    static ClientSocket table[LINK_COUNT];
    return table;
}

const ClientSocket &Link(int index)
{
    // An index outside the table reads as a link that was never configured.
    static const ClientSocket none;
    return index >= 0 && index < LINK_COUNT ? LinkTable()[index] : none;
}

bool IsConfiguredLink(int station, int portIndex)
{
    if (station < 0 || station >= STATION_COUNT || portIndex < 0 || portIndex >= PORTS_PER_STATION)
        return false;
    const StationRecord &pc = g_Settings.PC[station];
    return pc.ENABLE && pc.ADDRESS[0] != '\0' && pc.PORT[portIndex] != 0;
}

void ConnectStep()
{
    ClientSocket *table = LinkTable();
    const auto now = std::chrono::steady_clock::now();
    ForEachConfiguredLink([table, now](int, int, int index) {
        ClientSocket &link = table[index];
        switch (link.State()) {
        case LINK_CONNECTING:
            if (!link.ConnectOverdue(now))
                break;
            // Left alone, the system would retry the handshake only
            // after ever longer pauses; a fresh socket tries at once.
            link.Close();
            link.error.store(WSAETIMEDOUT, std::memory_order_relaxed);
            link.state.store(LINK_CREATED, std::memory_order_release);
            ConnectCreated(link);
            break;
        case LINK_RESOLVED:
            if (const int rc = link.CreateLinkSocket(); rc != 0) {
                link.error.store(rc, std::memory_order_relaxed);
                break;
            }
            link.error.store(0, std::memory_order_relaxed);
            link.state.store(LINK_CREATED, std::memory_order_release);
            ConnectCreated(link);
            break;
        case LINK_CREATED:
            ConnectCreated(link);
            break;
        default: // idle: waiting for the resolver; connected: nothing to do
            break;
        }
    });
}

StationDelivery SendToStation(int station, const CommandRecord &record)
{
    StationDelivery result;
    if (station < 0 || station >= STATION_COUNT)
        return result;
    result.meant = true;
    ClientSocket *table = LinkTable();
    for (int i = 0; i < PORTS_PER_STATION; ++i) {
        ClientSocket &link = table[station * PORTS_PER_STATION + i];
        LinkDelivery &out = result.link[i];
        out.port = link.Port();
        if (link.State() != LINK_CONNECTED) {
            if (IsConfiguredLink(station, i))
                out.outcome = LinkOutcome::NotConnected;
            continue;
        }
        if (link.Send(&record, sizeof record) == SOCKET_ERROR) {
            out.error = link.LastError();
            out.outcome = out.error == WSAEWOULDBLOCK ? LinkOutcome::Dropped : LinkOutcome::Failed;
        } else {
            // Reached only once the station's machine acknowledges it.
            out.outcome = link.BacklogBytes() == 0 ? LinkOutcome::InFlight : LinkOutcome::Queued;
            out.connection = link.ConnectionSerial();
            out.end = link.BytesAccepted();
            link.NoteHandedOver(out.end);
        }
    }
    return result;
}

void CloseAll()
{
    ClientSocket *table = LinkTable();
    for (int i = 0; i < LINK_COUNT; ++i) {
        if (table[i].State() > LINK_RESOLVED) {
            const bool wasUp = table[i].State() == LINK_CONNECTED;
            table[i].CloseLink();
            table[i].state.store(LINK_IDLE, std::memory_order_release);
            if (wasUp)
                NotifyLinkEvent(table[i], LinkEvent::Closed, 0);
        }
    }
}

void CloseStalledLinks()
{
    ClientSocket *table = LinkTable();
    const auto now = std::chrono::steady_clock::now();
    ForEachConfiguredLink([table, now](int, int, int index) {
        ClientSocket &link = table[index];
        if (link.State() != LINK_CONNECTED || !link.Stalled(now))
            return;
        // As a lost link: closed, looked up and connected afresh. What it
        // holds is dropped, so a given-up command never arrives late.
        link.CloseLink(true);
        link.state.store(LINK_IDLE, std::memory_order_release);
        NotifyLinkEvent(link, LinkEvent::Stalled, 0);
    });
}

int32_t LinkState()
{
    int total = 0;
    int up = 0;
    ForEachConfiguredLink([&](int, int, int index) {
        ++total;
        if (Link(index).State() == LINK_CONNECTED)
            ++up;
    });
    if (total == 0 || up == 0)
        return LINKS_NONE;
    return up >= total ? LINKS_FULL : LINKS_PARTIAL;
}

int32_t LastTickLinkState()
{
    return g_LinkState;
}

uint32_t ReachableStations()
{
    uint32_t reachable = 0;
    for (int i = 0; i < LINK_COUNT; ++i)
        if (Link(i).State() == LINK_CONNECTED)
            reachable |= 1u << (i / PORTS_PER_STATION);
    return reachable;
}

void SetLinkObserver(LinkObserver observer)
{
    g_LinkObserver = std::move(observer);
}

void NotifyLinkEvent(const ClientSocket &link, LinkEvent event, int error)
{
    const ClientSocket *table = LinkTable();
    if (g_LinkObserver && &link >= table && &link < table + LINK_COUNT)
        g_LinkObserver(int(&link - table), event, error);
}

ConnectionManager::ConnectionManager(LookupFunction lookup)
    : m_lookup(std::move(lookup))
{
}

ConnectionManager::~ConnectionManager()
{
    if (m_resolver)
        Shutdown();
}

void ConnectionManager::Start()
{
    if (m_resolver)
        return;
    m_shown = LINKS_NONE;
    const StationsSnapshot stations = TakeStationsSnapshot();
    SetUpLinks(stations);
    m_resolver = std::make_unique<Resolver>(m_lookup, stations);
    g_ActiveManager = this;
}

bool ConnectionManager::Shutdown(std::chrono::milliseconds wait)
{
    bool ended = true;
    if (m_resolver) {
        ended = m_resolver->Stop(wait);
        m_resolver.reset();
    }
    if (g_ActiveManager == this || !g_ActiveManager) {
        CloseAll();
        g_ActiveManager = nullptr;
    }
    return ended;
}

void ConnectionManager::ChangeSettings(const std::function<void()> &change)
{
    // No link may connect, nor a lookup land, from stations that are being
    // rewritten.
    if (m_resolver)
        m_resolver->Pause();
    CloseAll();
    m_settingsOpen = true;
    change();
    m_settingsOpen = false;
    const StationsSnapshot stations = TakeStationsSnapshot();
    SetUpLinks(stations);
    if (m_resolver)
        m_resolver->Resume(stations);
}

ConnectionManager::TickResult ConnectionManager::TimerTick()
{
    TickResult result;
    CloseStalledLinks();
    g_LinkState = LinkState();
    if (g_LinkState != m_shown) {
        m_shown = g_LinkState;
        result.shownStateChanged = true;
    }
    if (g_LinkState < LINKS_FULL) {
        ConnectStep();
        result.stepped = true;
    }
    return result;
}
