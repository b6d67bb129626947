#include "procfacts.h"

#include "folderlist.h"

#include <fstream>

namespace ovrabench {

namespace {

std::string ProcDir(pid_t pid) { return "/proc/" + std::to_string(pid); }

} // namespace

std::vector<pid_t> ChildProcesses(pid_t pid)
{
    std::vector<pid_t> children;
    for (const std::string& task : FolderEntries(ProcDir(pid) + "/task")) {
        std::ifstream list(ProcDir(pid) + "/task/" + task + "/children");
        pid_t child = 0;
        while (list >> child)
            children.push_back(child);
    }
    return children;
}

long StatusKiB(pid_t pid, const std::string& field)
{
    std::ifstream status(ProcDir(pid) + "/status");
    const std::string prefix = field + ":";
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, prefix.size(), prefix) == 0)
            return std::stol(line.substr(prefix.size()));
    }
    return -1;
}

} // namespace ovrabench
