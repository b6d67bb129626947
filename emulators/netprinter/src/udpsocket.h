// A bound UDP socket on a loopback address, owned (closed on destruction).
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ovraemu {

// Parses a dotted IPv4 address and accepts it only inside 127.0.0.0/8.
bool ParseLoopbackAddress(const std::string& text, in_addr* address, std::string* error);

class UdpSocket
{
public:
    UdpSocket() = default;
    ~UdpSocket();
    UdpSocket(UdpSocket&& other) noexcept;
    UdpSocket& operator=(UdpSocket&& other) noexcept;
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // A non-blocking socket bound to address:port with SO_REUSEADDR.
    static UdpSocket BindLoopback(const std::string& address, uint16_t port, std::string* error);

    bool IsOpen() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }

    // Reads one pending datagram; false when none is waiting.
    bool Receive(std::vector<uint8_t>* bytes, sockaddr_in* sender);
    bool SendTo(const std::vector<uint8_t>& bytes, const sockaddr_in& peer);
    void Close();

private:
    explicit UdpSocket(int fd) : m_fd(fd) {}
    int m_fd = -1;
};

} // namespace ovraemu
