// The host side of the UDP exchange, for tests: sends datagrams to a printer's port and
// waits a bounded time for the answer.
#pragma once

#include "bytestostring.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ovratest {

const std::vector<uint8_t> kStatusRequest = {0xA5, 0x00, 0x0C, 0x50, 0xE0, 0x74, 0x08, 0x03,
                                             0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
constexpr int kReplyTimeoutMs = 300;

inline sockaddr_in PrinterEndpoint(const std::string& address)
{
    sockaddr_in endpoint{};
    endpoint.sin_family = AF_INET;
    endpoint.sin_port = htons(9300);
    inet_pton(AF_INET, address.c_str(), &endpoint.sin_addr);
    return endpoint;
}

// A socket bound to address:9300 without SO_REUSEADDR: while it is open nobody else can
// bind there. -1 when the bind fails.
inline int BindExclusive(const std::string& address)
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const sockaddr_in local = PrinterEndpoint(address);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0)
        return fd;
    close(fd);
    return -1;
}

class UdpTestClient
{
public:
    UdpTestClient() : m_fd(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}
    ~UdpTestClient() { close(m_fd); }
    UdpTestClient(const UdpTestClient&) = delete;
    UdpTestClient& operator=(const UdpTestClient&) = delete;

    bool Send(const std::string& address, const std::vector<uint8_t>& bytes)
    {
        const sockaddr_in peer = PrinterEndpoint(address);
        return sendto(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&peer), sizeof peer)
               == ssize_t(bytes.size());
    }
    // The next datagram, or nothing within the timeout.
    std::optional<std::vector<uint8_t>> Receive(int timeoutMs = kReplyTimeoutMs)
    {
        pollfd fd = {m_fd, POLLIN, 0};
        std::vector<uint8_t> bytes(65535);
        const ssize_t n = poll(&fd, 1, timeoutMs) > 0 ? recv(m_fd, bytes.data(), bytes.size(), 0) : -1;
        if (n < 0)
            return std::nullopt;
        bytes.resize(size_t(n));
        return bytes;
    }
    std::optional<std::vector<uint8_t>> Ask(const std::string& address, const std::vector<uint8_t>& bytes,
                                            int timeoutMs = kReplyTimeoutMs)
    {
        return Send(address, bytes) ? Receive(timeoutMs) : std::nullopt;
    }

private:
    int m_fd;
};

} // namespace ovratest
