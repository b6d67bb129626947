#include "daemonprocess.h"

#include "scanlog.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

volatile sig_atomic_t flag = 1;

namespace {

void forkOrExit()
{
    pid_t pid = fork();
    if (pid < 0) {
        printf("fork error");
        fflush(stdout);
        exit(1);
    }
    if (pid > 0)
        exit(0);
}

// Descriptors 0, 1 and 2 point to /dev/null, so that no later socket, device
// or log file takes their numbers and receives stray output.
void detachStandardDescriptors()
{
    for (int fd = 0; fd <= 2; ++fd)
        close(fd);
    int null = open("/dev/null", O_RDWR);
    if (null == 0) {
        dup2(0, 1);
        dup2(0, 2);
    }
}

} // namespace

void create_daemon()
{
    signal(SIGTTOU, SIG_IGN);
    signal(SIGTTIN, SIG_IGN);
    fflush(stdout);
    forkOrExit();
    if (setsid() < 0) {
        printf("setsid error");
        fflush(stdout);
        exit(1);
    }
    forkOrExit();
    if (chdir("/") != 0) {
        // The working directory is not used; staying where we are is harmless.
    }
    detachStandardDescriptors();
    umask(0);
    signal(SIGCHLD, SIG_IGN);
}

void handler(int sig)
{
    int savedErrno = errno;
    OvraLogSignal(sig);
    flag = 0;
    errno = savedErrno;
}

bool installQuitHandler()
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    return sigaction(SIGQUIT, &action, nullptr) == 0;
}

void blockQuitSignal()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGQUIT);
    sigprocmask(SIG_BLOCK, &set, nullptr);
}

void unblockQuitSignal()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGQUIT);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

bool waitReadable(int fd)
{
    sigset_t during;
    sigprocmask(SIG_SETMASK, nullptr, &during);
    sigdelset(&during, SIGQUIT);
    struct pollfd entry = {fd, POLLIN, 0};
    for (;;) {
        if (!flag)
            return false;
        int n = ppoll(&entry, 1, nullptr, &during);
        if (n > 0)
            return true;
        if (n < 0 && errno == EINTR)
            continue;   // flag decides
        return false;
    }
}
