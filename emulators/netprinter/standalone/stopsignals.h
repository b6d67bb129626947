// SIGINT and SIGTERM as a stop request the main thread waits for. Construct before any
// other thread starts: the signals are blocked and only ever taken by the waits below.
#pragma once

#include <signal.h>

#include <chrono>

class StopSignals
{
public:
    StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // True once the deadline has passed, false as soon as a stop signal arrives.
    bool WaitUntil(std::chrono::steady_clock::time_point deadline);
    // Returns when a stop signal arrives.
    void WaitForStop();

private:
    sigset_t m_signals;
};
