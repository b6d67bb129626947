#include "childprocess.h"

#include <QFile>

#include <cerrno>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

namespace {

class SpawnSetup
{
public:
    SpawnSetup()
    {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
        // The tool starts as from a fresh shell: nothing blocked, a broken pipe ends it.
        sigset_t none, pipe;
        sigemptyset(&none);
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setsigdefault(&attributes, &pipe);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~SpawnSetup()
    {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
};

int ReapNow(pid_t pid, int options)
{
    int status = 0;
    pid_t done;
    do
        done = ::waitpid(pid, &status, options);
    while (done < 0 && errno == EINTR);
    if (done == 0)
        return -2; // still running
    if (done < 0)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int RemainingMs(const QDeadlineTimer& deadline)
{
    return static_cast<int>(qMin<qint64>(deadline.remainingTime(), 60 * 60 * 1000));
}

// Waits for the child to end, without collecting it. Returns false at the deadline.
bool AwaitEnd(pid_t pid, const QDeadlineTimer& deadline)
{
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidfd >= 0) {
        pollfd wait = {pidfd, POLLIN, 0};
        int ready;
        do
            ready = ::poll(&wait, 1, RemainingMs(deadline));
        while (ready < 0 && errno == EINTR);
        ::close(pidfd);
        return ready > 0;
    }
    // Kernels without process descriptors: look again every few milliseconds.
    for (int pauseMs = 1;; pauseMs = qMin(pauseMs * 2, 20)) {
        siginfo_t info = {};
        if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid == pid)
            return true;
        if (RemainingMs(deadline) == 0)
            return false;
        const timespec pause = {0, pauseMs * 1000000L};
        ::nanosleep(&pause, nullptr);
    }
}

} // namespace

pid_t StartChild(const QString& program, const QStringList& arguments, const stChildOutput& output)
{
    const int nullFd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (nullFd < 0)
        return -1;
    SpawnSetup setup;
    posix_spawn_file_actions_adddup2(&setup.actions, nullFd, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&setup.actions, output.iFd >= 0 ? output.iFd : nullFd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&setup.actions, nullFd, STDERR_FILENO);
    // Descriptors a library opened without close-on-exec (USB, sockets) stay here too.
    posix_spawn_file_actions_addclosefrom_np(&setup.actions, STDERR_FILENO + 1);

    const QByteArray name = QFile::encodeName(program);
    std::vector<QByteArray> words;
    words.reserve(arguments.size());
    for (const QString& argument : arguments)
        words.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(name.constData()));
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    pid_t pid = -1;
    const int error = posix_spawnp(&pid, name.constData(), &setup.actions, &setup.attributes, argv.data(), environ);
    ::close(nullFd);
    return error == 0 ? pid : -1;
}

int WaitChild(pid_t pid, QDeadlineTimer deadline)
{
    if (!AwaitEnd(pid, deadline)) {
        ::kill(pid, SIGKILL);
        ReapNow(pid, 0);
        return -1;
    }
    const int code = ReapNow(pid, 0);
    return code == -2 ? -1 : code;
}

bool ReadAllUntil(int fd, QDeadlineTimer deadline, QByteArray& data)
{
    char buffer[16384];
    for (;;) {
        pollfd wait = {fd, POLLIN, 0};
        const int ready = ::poll(&wait, 1, RemainingMs(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return true;
        data.append(buffer, static_cast<int>(got));
    }
}
