#include "children.h"

#include "fuzzenv.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sanitizer/common_interface_defs.h>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

extern "C" pid_t __real_fork();
extern "C" pid_t __wrap_fork();

namespace ovrafuzz {

namespace {

int g_deathPipe[2] = {-1, -1};
std::set<pid_t> g_children; // forked since the last EndChildren

void ReportDeath()
{
    char died = 1;
    ssize_t ignored = write(g_deathPipe[1], &died, 1);
    (void)ignored;
}

// True while pid is a child that has not ended (and has not been collected).
bool Running(pid_t pid) { return waitpid(pid, nullptr, WNOHANG) == 0; }

} // namespace

void WatchChildren()
{
    if (g_deathPipe[0] < 0 && pipe2(g_deathPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        Fail("pipe2");
}

void EndChildren(int graceMs)
{
    std::set<pid_t> running;
    running.swap(g_children);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
    for (;;) {
        for (auto it = running.begin(); it != running.end();)
            it = Running(*it) ? std::next(it) : running.erase(it);
        if (running.empty() || std::chrono::steady_clock::now() >= deadline)
            break;
        usleep(200);
    }
    for (pid_t pid : running) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

bool ChildDiedOfSanitizer()
{
    char byte;
    bool died = false;
    while (read(g_deathPipe[0], &byte, 1) == 1)
        died = true;
    return died;
}

} // namespace ovrafuzz

extern "C" pid_t __wrap_fork()
{
    const pid_t pid = __real_fork();
    if (pid == 0)
        __sanitizer_set_death_callback(ovrafuzz::ReportDeath);
    else if (pid > 0)
        ovrafuzz::g_children.insert(pid);
    return pid;
}
