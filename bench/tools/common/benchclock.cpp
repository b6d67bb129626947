#include "benchclock.h"

#include <time.h>

namespace ovrabench {

namespace {

double Seconds(clockid_t clock)
{
    timespec now = {};
    clock_gettime(clock, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

} // namespace

double WallMs() { return Seconds(CLOCK_REALTIME) * 1000.0; }

double MonoSeconds() { return Seconds(CLOCK_MONOTONIC); }

} // namespace ovrabench
