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

#include <atomic>
#include <chrono>
#include <cstdint>

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

    std::atomic<int32_t> state{LINK_IDLE};
    std::atomic<int32_t> error{0};
    const char *address = nullptr;
    uint32_t port = 0;
    Ipv4SocketAddress sockAddr;

protected:
    void OnConnect(int errorCode) override;
    void OnClose(int errorCode) override;

private:
    std::chrono::steady_clock::time_point m_connectStarted;
};
