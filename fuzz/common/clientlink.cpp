#include "clientlink.h"

#include "fuzzenv.h"

#include <future>
#include <sys/socket.h>
#include <unistd.h>

namespace ovrafuzz {

ClientLink::ClientLink(const uint8_t* request, size_t size)
{
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        Fail("socketpair");
    m_daemonFd = ends[0];
    m_clientFd = ends[1];
    size_t done = 0;
    while (done < size) {
        ssize_t n = send(m_clientFd, request + done, size - done, MSG_NOSIGNAL);
        if (n <= 0)
            Fail("request does not fit the socket buffer");
        done += static_cast<size_t>(n);
    }
    shutdown(m_clientFd, SHUT_WR);
    // The constructor returns once the reader runs: a starting thread may still open
    // descriptors of its own (the sanitizer runtime does), which would race with the
    // descriptor numbers of the code under test.
    std::promise<void> running;
    std::future<void> started = running.get_future();
    m_reader = std::thread([fd = m_clientFd, running = std::move(running)]() mutable {
        running.set_value();
        char sink[4096];
        while (recv(fd, sink, sizeof(sink), 0) > 0) {
        }
    });
    started.wait();
}

ClientLink::~ClientLink() { Finish(); }

int ClientLink::ReleaseDaemonFd()
{
    int fd = m_daemonFd;
    m_daemonFd = -1;
    return fd;
}

void ClientLink::Finish()
{
    if (m_daemonFd >= 0)
        close(m_daemonFd);
    m_daemonFd = -1;
    if (m_reader.joinable())
        m_reader.join();
    if (m_clientFd >= 0)
        close(m_clientFd);
    m_clientFd = -1;
}

} // namespace ovrafuzz
