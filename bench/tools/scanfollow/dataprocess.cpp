#include "dataprocess.h"

#include "procfacts.h"

namespace ovrabench {

std::set<pid_t> Grandchildren(pid_t listener)
{
    std::set<pid_t> found;
    for (pid_t connection : ChildProcesses(listener)) {
        for (pid_t child : ChildProcesses(connection))
            found.insert(child);
    }
    return found;
}

pid_t NewGrandchild(pid_t listener, const std::set<pid_t>& before)
{
    for (pid_t pid : Grandchildren(listener)) {
        if (!before.count(pid))
            return pid;
    }
    return -1;
}

} // namespace ovrabench
