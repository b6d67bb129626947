// Clocks of the measurements: wall time to compare with time stamps that other
// programs write, monotonic time for durations.
#pragma once

namespace ovrabench {

// Milliseconds since the epoch (CLOCK_REALTIME).
double WallMs();
// Seconds on the monotonic clock.
double MonoSeconds();

} // namespace ovrabench
