#include "clientsocket.h"

#include "commandrecord.h"
#include "connectionmanager.h"

ClientSocket::ClientSocket()
{
    SetSendBacklog(SEND_BACKLOG_RECORDS * int(sizeof(CommandRecord)));
}

int ClientSocket::CreateLinkSocket()
{
    int rc = Create();
    if (rc == 0)
        rc = AsyncSelect(FD_CONNECT | FD_CLOSE);
    if (rc != 0) {
        Close();
        return rc;
    }
    // Best effort: a platform without these options still links, it only
    // notices a vanished station later.
    SetKeepAlive(KEEPALIVE_IDLE_S, KEEPALIVE_INTERVAL_S, KEEPALIVE_PROBES);
    SetUserTimeout(USER_TIMEOUT_MS);
    return 0;
}

int ClientSocket::StartConnect()
{
    m_connectStarted = std::chrono::steady_clock::now();
    return Connect(sockAddr);
}

bool ClientSocket::ConnectOverdue(std::chrono::steady_clock::time_point now) const
{
    return now - m_connectStarted >= CONNECT_TIMEOUT;
}

uint64_t ClientSocket::Acknowledged() const
{
    const int64_t waiting = UnacknowledgedBytes();
    if (waiting < 0)
        return BytesWritten();
    return BytesWritten() > uint64_t(waiting) ? BytesWritten() - uint64_t(waiting) : 0;
}

std::optional<uint64_t> ClientSocket::AcknowledgedOf(uint64_t serial) const
{
    if (serial == ConnectionSerial() && IsOpen())
        return Acknowledged();
    for (const Closed &c : m_closed)
        if (c.serial == serial && serial != 0)
            return c.acknowledged;
    return std::nullopt;
}

void ClientSocket::NoteHandedOver(uint64_t end)
{
    const auto now = std::chrono::steady_clock::now();
    if (m_unacknowledged.size() >= kWatchEntries)
        m_unacknowledged.back().end = end;
    else
        m_unacknowledged.push_back({end, now});
}

bool ClientSocket::Stalled(std::chrono::steady_clock::time_point now) const
{
    if (m_unacknowledged.empty() || !IsConnected())
        return false;
    const uint64_t acknowledged = Acknowledged();
    while (!m_unacknowledged.empty() && m_unacknowledged.front().end <= acknowledged)
        m_unacknowledged.pop_front();
    return !m_unacknowledged.empty() && now - m_unacknowledged.front().at > STALL_BOUND;
}

void ClientSocket::CloseLink(bool abort)
{
    if (IsOpen()) {
        m_closed[m_closedNext] = {ConnectionSerial(), Acknowledged()};
        m_closedNext = (m_closedNext + 1) % m_closed.size();
    }
    m_unacknowledged.clear();
    if (abort)
        Abort();
    else
        Close();
}

void ClientSocket::OnConnect(int errorCode)
{
    if (errorCode != 0) {
        // A socket whose connect failed is not reliably reusable, so the
        // next attempt gets a new one; the link still shows state 2.
        Close();
        error.store(errorCode, std::memory_order_relaxed);
        state.store(LINK_CREATED, std::memory_order_release);
        return;
    }
    error.store(0, std::memory_order_relaxed);
    state.store(LINK_CONNECTED, std::memory_order_release);
    NotifyLinkEvent(*this, LinkEvent::Connected, 0);
}

void ClientSocket::OnClose(int errorCode)
{
    const bool wasUp = State() == LINK_CONNECTED;
    CloseLink();
    state.store(LINK_IDLE, std::memory_order_release);
    if (wasUp)
        NotifyLinkEvent(*this, LinkEvent::Lost, errorCode);
}
