// Blocking socket input and output that gives up when the scanner stops or a time
// limit passes.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace ovraemu {

enum class IoResult {
    Ok,
    Closed,
    TimedOut,
    Stopped,
    Failed
};

// Waits until fd is readable. Stopped when stopFd turns readable first.
IoResult WaitReadable(int fd, int stopFd, std::chrono::milliseconds timeout);

// Sleeps for `pause`; false when stopFd turns readable first.
bool PauseUnlessStopped(int stopFd, std::chrono::milliseconds pause);

// Reads what is there (at most `max` bytes) once fd is readable; appends to `out`.
IoResult ReadSome(int fd, int stopFd, std::string& out, size_t max, std::chrono::milliseconds timeout);

// Reads exactly `count` bytes, appended to `out`.
IoResult ReadExactly(int fd, int stopFd, std::string& out, size_t count, std::chrono::milliseconds timeout);

// Sends every byte (never raises SIGPIPE). False when the peer is gone or the socket
// was shut down.
bool SendAll(int fd, const void* data, size_t size);
bool SendAll(int fd, const std::string& data);

} // namespace ovraemu
