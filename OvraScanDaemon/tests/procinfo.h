// What /proc tells about the daemon's processes: their tree, their states,
// their open descriptors and their resident memory.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// The processes whose parent is `pid`.
std::vector<pid_t> childPids(pid_t pid);
// Children, grandchildren and so on of `pid` (not `pid` itself).
std::vector<pid_t> descendantPids(pid_t pid);
// The state letter of /proc/<pid>/stat ('R', 'S', 'Z', ...), or '\0' when the
// process is gone.
char processState(pid_t pid);
// The descendants of `pid` that are zombies.
std::vector<pid_t> zombieDescendants(pid_t pid);
// Open descriptors of the process, -1 when it cannot be read.
int openDescriptorCount(pid_t pid);
// Whether one of the process's descriptors is the file at path.
bool hasOpen(pid_t pid, const std::string& path);
// VmRSS of the process in KiB, -1 when it cannot be read.
long residentKiB(pid_t pid);
