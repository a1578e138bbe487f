#pragma once

// Helpers shared by the link benchmarks.

#include "connectionmanager.h"

#include <QList>

#include <chrono>
#include <cstdint>
#include <initializer_list>

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
