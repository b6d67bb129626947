// The processes the code under test forks (the scan daemon's data processes). The targets
// link it with -Wl,--wrap=fork, so its fork() lands in __wrap_fork, which notes every
// child; a child that dies of a sanitizer report says so through a pipe, since the
// daemon's own reaping does not look at exit statuses. Other children of the fuzz process
// (a sanitizer's symbolizer) are not touched.
#pragma once

namespace ovrafuzz {

// Once per process, before the first fork: opens the pipe of the sanitizer deaths.
void WatchChildren();

// Waits up to graceMs for the children forked since the last call to end, kills those
// still running, and collects them all (those the code under test has not collected).
void EndChildren(int graceMs);

// A child reported a sanitizer death since the last call (its report is on stderr).
bool ChildDiedOfSanitizer();

} // namespace ovrafuzz
