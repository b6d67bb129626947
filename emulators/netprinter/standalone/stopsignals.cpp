#include "stopsignals.h"

#include <pthread.h>

#include <cerrno>

StopSignals::StopSignals()
{
    sigemptyset(&m_signals);
    sigaddset(&m_signals, SIGINT);
    sigaddset(&m_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &m_signals, nullptr);
}

bool StopSignals::WaitUntil(std::chrono::steady_clock::time_point deadline)
{
    using namespace std::chrono;
    for (;;) {
        const auto left = deadline - steady_clock::now();
        if (left <= steady_clock::duration::zero())
            return true;
        const auto ns = duration_cast<nanoseconds>(left).count();
        const timespec timeout = {time_t(ns / 1000000000), long(ns % 1000000000)};
        if (sigtimedwait(&m_signals, nullptr, &timeout) > 0)
            return false;
        // EAGAIN: the time is up (checked above); EINTR: another signal, wait on.
    }
}

void StopSignals::WaitForStop()
{
    while (sigwaitinfo(&m_signals, nullptr) < 0 && errno == EINTR) {
    }
}
