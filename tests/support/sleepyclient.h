#pragma once

// A TCP client of 127.0.0.1 that never reads, with a small receive window
// set before it connects, so that what is sent to it soon waits at the sender.

#include <QByteArray>

#include <cstdint>

class SleepyClient {
public:
    SleepyClient(uint16_t port, int receiveWindow);
    ~SleepyClient();
    SleepyClient(const SleepyClient &) = delete;
    SleepyClient &operator=(const SleepyClient &) = delete;

    bool Connected() const { return m_connected; }
    bool Send(const QByteArray &bytes);

private:
    intptr_t m_socket = -1;
    bool m_connected = false;
};
