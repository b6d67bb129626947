#include "controlsocket.h"

#include "ovrasendall.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace ovraemu {
namespace {

sockaddr_un SocketAddress(const std::string& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path))
        throw std::runtime_error("control socket path too long: " + path);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

bool WriteAll(int fd, const std::string& text) { return OvraSendAll(fd, text.data(), text.size()); }

} // namespace

ControlServer::ControlServer(const std::string& path) : path_(path)
{
    const sockaddr_un address = SocketAddress(path);
    listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0)
        throw std::runtime_error("cannot create control socket: " + std::string(std::strerror(errno)));
    ::unlink(path.c_str());
    if (::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0
        || ::listen(listener_, 8) != 0) {
        const std::string reason = std::strerror(errno);
        ::close(listener_);
        throw std::runtime_error("cannot listen on " + path + ": " + reason);
    }
}

ControlServer::~ControlServer()
{
    for (const Connection& connection : connections_)
        ::close(connection.fd);
    ::close(listener_);
    ::unlink(path_.c_str());
}

void ControlServer::ServeFor(int timeoutMs, const Handler& handler)
{
    std::vector<pollfd> fds{{listener_, POLLIN, 0}};
    for (const Connection& connection : connections_)
        fds.push_back({connection.fd, POLLIN, 0});
    if (::poll(fds.data(), fds.size(), timeoutMs) <= 0)
        return;
    // Connections are read before new ones are accepted, so indexes stay valid.
    for (size_t i = fds.size() - 1; i > 0; --i) {
        if (fds[i].revents == 0)
            continue;
        Connection& connection = connections_[i - 1];
        if (!ReadFrom(connection, handler)) {
            ::close(connection.fd);
            connections_.erase(connections_.begin() + static_cast<long>(i - 1));
        }
    }
    if (fds[0].revents & POLLIN)
        Accept();
}

void ControlServer::Accept()
{
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0)
        connections_.push_back({fd, {}});
}

// Returns false when the peer has gone.
bool ControlServer::ReadFrom(Connection& connection, const Handler& handler)
{
    char buffer[4096];
    const ssize_t n = ::recv(connection.fd, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR)
        return true;
    if (n <= 0)
        return false;
    connection.pending.append(buffer, static_cast<size_t>(n));
    for (size_t end; (end = connection.pending.find('\n')) != std::string::npos;) {
        std::string line = connection.pending.substr(0, end);
        connection.pending.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!WriteAll(connection.fd, handler(line) + "\n"))
            return false;
    }
    return true;
}

std::optional<std::string> SendControlCommand(const std::string& socketPath, const std::string& command, int timeoutMs)
{
    const sockaddr_un address = SocketAddress(socketPath);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return std::nullopt;
    std::optional<std::string> reply;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0
        && WriteAll(fd, command + "\n")) {
        std::string received;
        pollfd pfd{fd, POLLIN, 0};
        while (received.find('\n') == std::string::npos && ::poll(&pfd, 1, timeoutMs) > 0) {
            char buffer[65536];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            received.append(buffer, static_cast<size_t>(n));
        }
        const size_t end = received.find('\n');
        if (end != std::string::npos)
            reply = received.substr(0, end);
    }
    ::close(fd);
    return reply;
}

} // namespace ovraemu
