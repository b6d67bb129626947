#include "stopwait.h"

#include <pthread.h>
#include <signal.h>

#include <cerrno>
#include <chrono>

namespace {

sigset_t StopSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

} // namespace

void BlockStopSignals()
{
    const sigset_t signals = StopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

void WaitForStop(double seconds)
{
    using namespace std::chrono;
    const sigset_t signals = StopSignals();
    if (seconds <= 0) {
        while (sigwaitinfo(&signals, nullptr) < 0 && errno == EINTR) {
        }
        return;
    }
    const auto deadline = steady_clock::now() + duration_cast<steady_clock::duration>(duration<double>(seconds));
    for (;;) {
        const auto left = duration_cast<nanoseconds>(deadline - steady_clock::now()).count();
        if (left <= 0)
            return;
        const timespec timeout = {time_t(left / 1000000000), long(left % 1000000000)};
        if (sigtimedwait(&signals, nullptr, &timeout) > 0)
            return;
    }
}
