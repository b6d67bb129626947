// Sending and receiving on the client connection.
#pragma once

#include <cstddef>
#include <cstdint>

// Sends all n bytes of buf on fd: the first call and up to 10 retries for the
// bytes not yet sent. Returns n when everything was sent, -1 otherwise.
long serverTcpSendWithRetry(int fd, const void* buf, size_t n, int flags);

// Waits for and receives exactly the 4 bytes of a command code. False on end
// of stream, an error, or SIGQUIT.
bool recvCommandCode(int fd, int32_t& command);

// One receive call for a request record; returns what that call returned.
long recvRequestOnce(int fd, void* record, size_t size);
