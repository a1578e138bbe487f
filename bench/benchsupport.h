#pragma once

// Helpers shared by the link benchmarks.

#include "connectionmanager.h"

#include <QByteArray>
#include <QList>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <future>
#include <initializer_list>
#include <mutex>

using BenchClock = std::chrono::steady_clock;

// Station s enabled at 127.0.0.1 with these ports (SOCKET text and PORT list).
void BenchStation(int s, std::initializer_list<uint16_t> ports);
void BenchStation(int s, const QList<uint16_t> &ports);
// Runs the event loop, with a timer tick every tickMs, until done() or the
// time runs out; true when done() came true.
template <typename Done>
bool RunUntil(ConnectionManager &manager, Done done, int timeoutMs, int tickMs = 50);
// Percentile p (0..100) of the values, which are sorted in place.
double Percentile(QList<double> &values, double p);
// A loopback port nobody listens on.
uint16_t RefusingBenchPort();
// A blocking loopback TCP socket with Nagle off, connected to port, or -1.
int PlainSocket(uint16_t port);
// A blocking socket of type (SOCK_STREAM, SOCK_DGRAM) connected to 127.0.0.1:port; -1 on failure.
int LoopbackSocket(int type, uint16_t port);

// Launch n names the program "s<station>\launch<n>", so a record that comes
// late, or belongs to another launch, does not match the one expected.
QByteArray LaunchProgramName(int station, int launch);
// The run record launch n puts on link (station link / 4).
QByteArray LaunchRecord(int link, int launch);

// What the receiving thread has seen, shared with the sending side.
struct ArrivalProgress {
    std::mutex mutex;
    std::condition_variable cv;
    int done = -1; // last round whose records all arrived or were given up on
    BenchClock::time_point lastArrival; // of that round's last record
    int64_t records = 0; // arrived in this phase
    int64_t bad = 0;     // of those, not whole
    std::function<void()> wake; // called after each round too, e.g. to wake an event loop
};

// The receiving thread: listens on `links` loopback ports, handed out through
// ports; per phase accepts one connection on each and takes `rounds` rounds of
// one LaunchRecord on each, read with blocking sockets. Waits for EndPhase
// between phases.
void ReceiveLaunchRounds(std::promise<QList<uint16_t>> ports, ArrivalProgress &progress, int links, int phases,
                         int rounds);
// Ends a phase on the sending side; the records of `expected` that did not
// arrive, and those not whole. The receiver goes on to the next phase.
struct PhaseCounts {
    int64_t lost = 0;
    int64_t bad = 0;
};
PhaseCounts EndPhase(ArrivalProgress &progress, int64_t expected);

#include <QCoreApplication>
#include <QElapsedTimer>

template <typename Done>
bool RunUntil(ConnectionManager &manager, Done done, int timeoutMs, int tickMs)
{
    QElapsedTimer total;
    total.start();
    QElapsedTimer sinceTick;
    sinceTick.start();
    while (!done()) {
        if (total.elapsed() > timeoutMs)
            return false;
        if (sinceTick.elapsed() >= tickMs) {
            manager.TimerTick();
            sinceTick.restart();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}
