#pragma once

// One link: the connection to one configured port of one station, with the
// link's state machine word and its last error.
//
// Hand-over between the two threads: the resolver touches a link only while
// it is idle (state 0), writes its socket address and error, and publishes
// state 1 with a release store; the user-interface thread takes it from 1
// upwards and back to 0. Address and port are the user-interface thread's.

#include "asyncsocket.h"
#include "ipv4socketaddress.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>

constexpr int32_t LINK_IDLE = 0;
constexpr int32_t LINK_RESOLVED = 1;
constexpr int32_t LINK_CREATED = 2;
constexpr int32_t LINK_CONNECTING = 3;
constexpr int32_t LINK_CONNECTED = 4;

class ClientSocket : public AsyncSocket {
public:
    // Records that may wait for a station that reads slowly; beyond that,
    // further records for this link are dropped whole.
    static constexpr int SEND_BACKLOG_RECORDS = 32;
    // A station that vanishes without closing is given up after about this.
    static constexpr int KEEPALIVE_IDLE_S = 2;
    static constexpr int KEEPALIVE_INTERVAL_S = 1;
    static constexpr int KEEPALIVE_PROBES = 3;
    static constexpr int USER_TIMEOUT_MS = 5000;
    // A connect not completed within this is abandoned and started afresh.
    static constexpr std::chrono::milliseconds CONNECT_TIMEOUT{3000};
    // A record the station's machine has not acknowledged this long after it
    // was handed over (a station that vanished, or one whose receive buffer
    // is full) marks the link as not taking records: it is closed and
    // connected afresh. Far above a show network's round trip, well below
    // what an operator waits before wondering.
    static constexpr std::chrono::milliseconds STALL_BOUND{3000};

    ClientSocket();

    int32_t State() const { return state.load(std::memory_order_acquire); }
    int32_t Error() const { return error.load(std::memory_order_relaxed); }
    // The station's ADDRESS text in the configuration model ("" before the
    // link was first configured) and the configured port.
    const char *Address() const { return address ? address : ""; }
    uint32_t Port() const { return port; }
    const Ipv4SocketAddress &SocketAddress() const { return sockAddr; }

    // Creates the socket and sets it up for connect and close events and
    // dead-peer detection. 0 or the error code.
    int CreateLinkSocket();
    // Starts the connect to the socket address: 0 (completed at once),
    // WSAEWOULDBLOCK (under way) or the error; remembers when it started.
    int StartConnect();
    bool ConnectOverdue(std::chrono::steady_clock::time_point now) const;

    // Bytes of connection serial that the station's machine acknowledged:
    // live for the open connection, as they stood at the close for the last
    // few closed ones; nothing for an older one. Where the platform cannot
    // tell, what the system took counts as acknowledged.
    std::optional<uint64_t> AcknowledgedOf(uint64_t serial) const;
    // A record handed over: its connection's byte count once it is out, for
    // the stall watch.
    void NoteHandedOver(uint64_t end);
    // True while the oldest record not yet acknowledged was handed over
    // more than STALL_BOUND before now.
    bool Stalled(std::chrono::steady_clock::time_point now) const;
    // Closes the connection and keeps what was acknowledged on it; abort:
    // what was not acknowledged is dropped, never delivered late.
    void CloseLink(bool abort = false);

    std::atomic<int32_t> state{LINK_IDLE};
    std::atomic<int32_t> error{0};
    const char *address = nullptr;
    uint32_t port = 0;
    Ipv4SocketAddress sockAddr;

protected:
    void OnConnect(int errorCode) override;
    void OnClose(int errorCode) override;

private:
    uint64_t Acknowledged() const;

    std::chrono::steady_clock::time_point m_connectStarted;
    struct Closed {
        uint64_t serial = 0;
        uint64_t acknowledged = 0;
    };
    std::array<Closed, 4> m_closed{};
    size_t m_closedNext = 0;
    struct HandedOver {
        uint64_t end;
        std::chrono::steady_clock::time_point at;
    };
    // Records not known to be acknowledged yet, oldest first; bounded, the
    // newest merge into the last entry beyond that (which only makes them
    // look older).
    mutable std::deque<HandedOver> m_unacknowledged;
    static constexpr size_t kWatchEntries = 1024;
};
