#include "ovrascan/daemonconnection.h"

#include "ovrasendall.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace ovrascan {

uint16_t DaemonPort()
{
    const char* value = getenv("OVRA_SCAN_DAEMON_PORT");
    if (!value || !*value)
        return OVRA_SCAN_DAEMON_DEFAULT_PORT;
    char* end = nullptr;
    const long port = strtol(value, &end, 10);
    return *end == '\0' && port > 0 && port <= 65535 ? uint16_t(port) : OVRA_SCAN_DAEMON_DEFAULT_PORT;
}

DaemonConnection::DaemonConnection(int fd) : m_fd(fd) {}

DaemonConnection::~DaemonConnection() { Close(); }

DaemonConnection::DaemonConnection(DaemonConnection&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

DaemonConnection& DaemonConnection::operator=(DaemonConnection&& other) noexcept
{
    if (this != &other) {
        Close();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

DaemonConnection DaemonConnection::ConnectLocal(uint16_t port, std::string* error)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in daemon{};
    daemon.sin_family = AF_INET;
    daemon.sin_port = htons(port);
    daemon.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&daemon), sizeof daemon) == 0)
        return DaemonConnection(fd);
    if (error)
        *error = "cannot connect to the scan daemon on 127.0.0.1:" + std::to_string(port) + ": " + strerror(errno)
                 + " (is OvraScanDaemon running?)";
    if (fd >= 0)
        close(fd);
    return DaemonConnection();
}

void DaemonConnection::Close()
{
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
}

bool DaemonConnection::SendCommand(scanCommandType command, const void* request, size_t size)
{
    std::vector<char> message(sizeof(int32_t) + size);
    const int32_t code = command;
    memcpy(message.data(), &code, sizeof code);
    if (size > 0)
        memcpy(message.data() + sizeof code, request, size);
    return SendBytes(m_fd, message.data(), message.size());
}

bool DaemonConnection::SendBytes(int fd, const char* bytes, size_t size)
{
    return fd >= 0 && OvraSendAll(fd, bytes, size);
}

ReadStatus DaemonConnection::Read(void* out, size_t size, std::chrono::milliseconds timeout)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    char* bytes = static_cast<char*>(out);
    size_t got = 0;
    while (got < size) {
        if (m_fd < 0)
            return ReadStatus::Failed;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd ready = {m_fd, POLLIN, 0};
        const int n = poll(&ready, 1, left > 0 ? int(left) : 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return ReadStatus::Failed;
        if (n == 0)
            return ReadStatus::TimedOut;
        const ssize_t r = recv(m_fd, bytes + got, size - got, 0);
        if (r == 0)
            return ReadStatus::Closed;
        if (r < 0 && errno != EINTR)
            return ReadStatus::Failed;
        if (r > 0)
            got += size_t(r);
    }
    return ReadStatus::Ok;
}

const char* ReadStatusText(ReadStatus status)
{
    switch (status) {
    case ReadStatus::Ok: return "ok";
    case ReadStatus::Closed: return "the daemon closed the connection";
    case ReadStatus::TimedOut: return "no reply from the daemon in time";
    case ReadStatus::Failed: return "reading from the daemon failed";
    }
    return "?";
}

} // namespace ovrascan
