#include "socketio.h"

#include "ovrasendall.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

namespace ovraemu {

using Clock = std::chrono::steady_clock;

static int MillisecondsLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

static IoResult WaitUntilReadable(int fd, int stopFd, Clock::time_point deadline)
{
    for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
        const int n = poll(fds, 2, MillisecondsLeft(deadline));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return IoResult::Failed;
        if (fds[1].revents & POLLIN)
            return IoResult::Stopped;
        if (n == 0)
            return IoResult::TimedOut;
        return IoResult::Ok; // readable, closed or failed: the read tells which
    }
}

IoResult WaitReadable(int fd, int stopFd, std::chrono::milliseconds timeout)
{
    return WaitUntilReadable(fd, stopFd, Clock::now() + timeout);
}

bool PauseUnlessStopped(int stopFd, std::chrono::milliseconds pause)
{
    const auto deadline = Clock::now() + pause;
    for (;;) {
        pollfd stop = {stopFd, POLLIN, 0};
        const int n = poll(&stop, 1, MillisecondsLeft(deadline));
        if (n > 0)
            return false;
        if (n == 0 || errno != EINTR)
            return true;
    }
}

static IoResult ReadOnce(int fd, std::string& out, size_t max)
{
    char buffer[16384];
    const size_t want = max < sizeof buffer ? max : sizeof buffer;
    ssize_t n;
    do {
        n = recv(fd, buffer, want, 0);
    } while (n < 0 && errno == EINTR);
    if (n == 0)
        return IoResult::Closed;
    if (n < 0)
        return IoResult::Failed;
    out.append(buffer, size_t(n));
    return IoResult::Ok;
}

IoResult ReadSome(int fd, int stopFd, std::string& out, size_t max, std::chrono::milliseconds timeout)
{
    const IoResult ready = WaitReadable(fd, stopFd, timeout);
    return ready == IoResult::Ok ? ReadOnce(fd, out, max) : ready;
}

IoResult ReadExactly(int fd, int stopFd, std::string& out, size_t count, std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    const size_t target = out.size() + count;
    while (out.size() < target) {
        const IoResult ready = WaitUntilReadable(fd, stopFd, deadline);
        if (ready != IoResult::Ok)
            return ready;
        const IoResult read = ReadOnce(fd, out, target - out.size());
        if (read != IoResult::Ok)
            return read;
    }
    return IoResult::Ok;
}

bool SendAll(int fd, const void* data, size_t size) { return OvraSendAll(fd, data, size); }

bool SendAll(int fd, const std::string& data) { return SendAll(fd, data.data(), data.size()); }

} // namespace ovraemu
