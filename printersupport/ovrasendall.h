// Writing a whole buffer to a stream socket, shared by the scan client, the emulators'
// control channel and the network scanner emulator. Plain C++ and header only, so that
// the SANE backend's position-independent objects can use it as they are.
#pragma once

#include <sys/socket.h>

#include <cerrno>
#include <cstddef>

// Sends all `size` bytes; a signal in between is no failure, and a peer that has gone
// raises no SIGPIPE. False once the socket fails or is closed.
inline bool OvraSendAll(int fd, const void* data, size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    size_t sent = 0;
    while (sent < size) {
        const ssize_t n = send(fd, bytes + sent, size - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}
