// Sending and receiving on the client connection.
#pragma once

#include <cstddef>
#include <cstdint>

// Sends all n bytes of buf on fd: the first call and up to 10 retries for the
// bytes not yet sent. Returns n when everything was sent, -1 otherwise (also
// when SIGQUIT arrives or the client reads nothing for the idle time-out).
long serverTcpSendWithRetry(int fd, const void* buf, size_t n, int flags);

// Receives exactly the 4 bytes of a command code whose first bytes are there.
// False on end of stream, an error, SIGQUIT, or the idle time-out.
bool recvCommandCode(int fd, int32_t& command);

// Waits until the client sends (-1 on SIGQUIT or the idle time-out), then one
// receive call for a request record; returns what that call returned.
long recvRequestOnce(int fd, void* record, size_t size);
