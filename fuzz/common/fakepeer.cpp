#include "fakepeer.h"

#include "fuzzenv.h"

#include <cerrno>
#include <map>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

extern "C" int __real_connect(int fd, const struct sockaddr* addr, socklen_t len);
extern "C" int __wrap_connect(int fd, const struct sockaddr* addr, socklen_t len);

namespace ovrafuzz {

namespace {

std::map<uint16_t, std::string> g_answers;
std::vector<int> g_farEnds;

} // namespace

void SetPortAnswer(uint16_t port, std::string bytes) { g_answers[port] = std::move(bytes); }

void ClearPeers()
{
    g_answers.clear();
    for (int fd : g_farEnds)
        close(fd);
    g_farEnds.clear();
}

int ServedSocket(const std::string& bytes)
{
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        Fail("socketpair");
    // Answers are at most a few ten kilobytes: they fit the socket buffer.
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = send(ends[1], bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            Fail("answer does not fit the socket buffer");
        done += static_cast<size_t>(n);
    }
    shutdown(ends[1], SHUT_WR);
    g_farEnds.push_back(ends[1]);
    return ends[0];
}

} // namespace ovrafuzz

extern "C" int __wrap_connect(int fd, const struct sockaddr* addr, socklen_t len)
{
    if (!addr || addr->sa_family != AF_INET)
        return __real_connect(fd, addr, len);
    const uint16_t port = ntohs(reinterpret_cast<const struct sockaddr_in*>(addr)->sin_port);
    auto answer = ovrafuzz::g_answers.find(port);
    if (answer == ovrafuzz::g_answers.end()) {
        errno = ECONNREFUSED;
        return -1;
    }
    int nearEnd = ovrafuzz::ServedSocket(answer->second);
    // The caller's descriptor becomes the near end of the pair.
    if (dup2(nearEnd, fd) < 0)
        ovrafuzz::Fail("dup2");
    close(nearEnd);
    return 0;
}
