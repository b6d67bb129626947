#include "udpsocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ovraemu {

namespace {

constexpr size_t kMaxDatagram = 65535;

void SetError(std::string* error, const std::string& text)
{
    if (error)
        *error = text;
}

} // namespace

bool ParseLoopbackAddress(const std::string& text, in_addr* address, std::string* error)
{
    if (inet_pton(AF_INET, text.c_str(), address) != 1) {
        SetError(error, "'" + text + "' is not an IPv4 address");
        return false;
    }
    if ((ntohl(address->s_addr) >> 24) != 127) {
        SetError(error, "'" + text + "' is not a loopback address (127.0.0.0/8)");
        return false;
    }
    return true;
}

UdpSocket::~UdpSocket() { Close(); }

UdpSocket::UdpSocket(UdpSocket&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }

UdpSocket& UdpSocket::operator=(UdpSocket&& other) noexcept
{
    if (this != &other) {
        Close();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

UdpSocket UdpSocket::BindLoopback(const std::string& address, uint16_t port, std::string* error)
{
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    if (!ParseLoopbackAddress(address, &local.sin_addr, error))
        return UdpSocket();

    UdpSocket sock(socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!sock.IsOpen()) {
        SetError(error, std::string("cannot create a UDP socket: ") + std::strerror(errno));
        return UdpSocket();
    }
    const int on = 1;
    setsockopt(sock.m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (bind(sock.m_fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        SetError(error, "cannot bind " + address + ":" + std::to_string(port) + ": " + std::strerror(errno));
        return UdpSocket();
    }
    return sock;
}

bool UdpSocket::Receive(std::vector<uint8_t>* bytes, sockaddr_in* sender)
{
    bytes->resize(kMaxDatagram);
    socklen_t senderLength = sizeof *sender;
    const ssize_t n =
        recvfrom(m_fd, bytes->data(), bytes->size(), 0, reinterpret_cast<sockaddr*>(sender), &senderLength);
    if (n < 0) {
        bytes->clear();
        return false;
    }
    bytes->resize(size_t(n));
    return true;
}

bool UdpSocket::SendTo(const std::vector<uint8_t>& bytes, const sockaddr_in& peer)
{
    const ssize_t n =
        sendto(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
    return n == ssize_t(bytes.size());
}

void UdpSocket::Close()
{
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
}

} // namespace ovraemu
