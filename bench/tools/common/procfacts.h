// What /proc tells about one process: its children and the memory lines of its status.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace ovrabench {

// The children of every thread of the process (the kernel's per-task children lists).
std::vector<pid_t> ChildProcesses(pid_t pid);
// A "kB" line of /proc/<pid>/status ("VmRSS", "VmHWM") in KiB; -1 when it cannot be read.
long StatusKiB(pid_t pid, const std::string& field);

} // namespace ovrabench
