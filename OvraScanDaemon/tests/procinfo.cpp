#include "procinfo.h"

#include "testsupport.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <unistd.h>
#include <string>

namespace {

std::string procPath(pid_t pid, const char* entry) { return "/proc/" + std::to_string(pid) + "/" + entry; }

// Parent id and state from /proc/<pid>/stat; the command name in parentheses
// may hold spaces, so the fields are read after its closing parenthesis.
bool readStat(pid_t pid, pid_t& parent, char& state)
{
    std::string stat = readFile(procPath(pid, "stat"));
    size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 4 > stat.size())
        return false;
    state = stat[close + 2];
    parent = static_cast<pid_t>(atoi(stat.c_str() + close + 4));
    return true;
}

struct stProcEntry {
    pid_t pid;
    pid_t parent;
};

std::vector<stProcEntry> processTable()
{
    std::vector<stProcEntry> table;
    for (const std::string& name : listDir("/proc")) {
        pid_t pid = static_cast<pid_t>(atoi(name.c_str()));
        pid_t parent = 0;
        char state = 0;
        if (pid > 0 && readStat(pid, parent, state))
            table.push_back({pid, parent});
    }
    return table;
}

std::vector<pid_t> childrenIn(const std::vector<stProcEntry>& table, pid_t pid)
{
    std::vector<pid_t> children;
    for (const stProcEntry& entry : table) {
        if (entry.parent == pid)
            children.push_back(entry.pid);
    }
    return children;
}

} // namespace

std::vector<pid_t> childPids(pid_t pid) { return childrenIn(processTable(), pid); }

std::vector<pid_t> descendantPids(pid_t pid)
{
    std::vector<stProcEntry> table = processTable();
    std::vector<pid_t> found = childrenIn(table, pid);
    for (size_t i = 0; i < found.size(); ++i) {
        std::vector<pid_t> below = childrenIn(table, found[i]);
        found.insert(found.end(), below.begin(), below.end());
    }
    return found;
}

char processState(pid_t pid)
{
    pid_t parent = 0;
    char state = 0;
    return readStat(pid, parent, state) ? state : '\0';
}

std::vector<pid_t> zombieDescendants(pid_t pid)
{
    std::vector<pid_t> zombies;
    for (pid_t candidate : descendantPids(pid)) {
        if (processState(candidate) == 'Z')
            zombies.push_back(candidate);
    }
    return zombies;
}

int openDescriptorCount(pid_t pid)
{
    DIR* dir = opendir(procPath(pid, "fd").c_str());
    if (!dir)
        return -1;
    int count = 0;
    while (struct dirent* entry = readdir(dir))
        count += entry->d_name[0] != '.' ? 1 : 0;
    closedir(dir);
    return count;
}

bool hasOpen(pid_t pid, const std::string& path)
{
    char wanted[PATH_MAX];
    if (!realpath(path.c_str(), wanted))
        return false;
    DIR* dir = opendir(procPath(pid, "fd").c_str());
    if (!dir)
        return false;
    bool found = false;
    while (struct dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        char target[PATH_MAX];
        const ssize_t n = readlink((procPath(pid, "fd") + "/" + entry->d_name).c_str(), target, sizeof(target) - 1);
        if (n > 0) {
            target[n] = '\0';
            found = found || std::string(target) == wanted;
        }
    }
    closedir(dir);
    return found;
}

long residentKiB(pid_t pid)
{
    std::string status = readFile(procPath(pid, "status"));
    size_t at = status.find("\nVmRSS:");
    return at == std::string::npos ? -1 : atol(status.c_str() + at + 7);
}
