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

// Set by the SIGCHLD handler of a connection process.
volatile sig_atomic_t g_childEnded = 0;

void noteChildEnd(int sig)
{
    (void)sig;
    g_childEnded = 1;
}

void blockSignal(int sig, int how)
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    sigprocmask(how, &set, nullptr);
}

// SIGQUIT and SIGCHLD get through during the wait only. A child that ended
// counts when childEndsCount is set; timeoutMs < 0 waits without a limit.
enWaitResult waitForEvent(int fd, short events, bool childEndsCount, int timeoutMs)
{
    sigset_t during;
    sigprocmask(SIG_SETMASK, nullptr, &during);
    sigdelset(&during, SIGQUIT);
    sigdelset(&during, SIGCHLD);
    struct pollfd entry = {fd, events, 0};
    struct timespec limit = {timeoutMs / 1000, (timeoutMs % 1000) * 1000000L};
    for (;;) {
        if (!flag)
            return en_Wait_Stop;
        if (childEndsCount && g_childEnded) {
            g_childEnded = 0;
            return en_Wait_ChildEnded;
        }
        int n = ppoll(&entry, 1, timeoutMs < 0 ? nullptr : &limit, &during);
        if (n > 0)
            return en_Wait_Readable;
        if (n == 0)
            return en_Wait_TimedOut;
        if (errno == EINTR)
            continue; // flag and g_childEnded decide
        return en_Wait_Stop;
    }
}

void forkOrExit()
{
    pid_t pid = fork();
    if (pid < 0) {
        OvraJournalLine("cannot detach: fork failed");
        exit(EXIT_FAILURE);
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
    forkOrExit();
    if (setsid() < 0) {
        OvraJournalLine("cannot detach: setsid failed");
        exit(EXIT_FAILURE);
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

void blockQuitSignal() { blockSignal(SIGQUIT, SIG_BLOCK); }

void unblockQuitSignal() { blockSignal(SIGQUIT, SIG_UNBLOCK); }

bool waitReadable(int fd) { return waitForEvent(fd, POLLIN, false, -1) == en_Wait_Readable; }

enWaitResult waitReady(int fd, bool forWriting, int timeoutMs)
{
    return waitForEvent(fd, forWriting ? POLLOUT : POLLIN, false, timeoutMs);
}

bool watchChildEnds()
{
    blockSignal(SIGCHLD, SIG_BLOCK);
    struct sigaction action = {};
    action.sa_handler = noteChildEnd;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_NOCLDSTOP;
    return sigaction(SIGCHLD, &action, nullptr) == 0;
}

enWaitResult waitReadableOrChildEnd(int fd, int timeoutMs) { return waitForEvent(fd, POLLIN, true, timeoutMs); }
