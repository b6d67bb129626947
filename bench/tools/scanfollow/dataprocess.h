// Finding the daemon's data process of a scan: a grandchild of the listener (listener,
// connection process, data process) that did not exist before the scan started.
#pragma once

#include <set>
#include <sys/types.h>

namespace ovrabench {

std::set<pid_t> Grandchildren(pid_t listener);
// The first grandchild not in `before`, or -1.
pid_t NewGrandchild(pid_t listener, const std::set<pid_t>& before);

} // namespace ovrabench
