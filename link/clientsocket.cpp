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
    Close();
    state.store(LINK_IDLE, std::memory_order_release);
    if (wasUp)
        NotifyLinkEvent(*this, LinkEvent::Lost, errorCode);
}
