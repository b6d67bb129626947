// One TCP connection to the scan daemon: commands out (code and request record in one
// write), fixed-size replies in, with a time limit on every read.
#pragma once

#include "ovrascanprotocol.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace ovrascan {

// OVRA_SCAN_DAEMON_PORT when it holds a port number, else 7001.
uint16_t DaemonPort();

enum class ReadStatus {
    Ok,
    Closed,
    TimedOut,
    Failed
};

class DaemonConnection
{
public:
    // Takes ownership of a connected stream socket (or of -1: not connected).
    explicit DaemonConnection(int fd = -1);
    ~DaemonConnection();
    DaemonConnection(DaemonConnection&& other) noexcept;
    DaemonConnection& operator=(DaemonConnection&& other) noexcept;
    DaemonConnection(const DaemonConnection&) = delete;
    DaemonConnection& operator=(const DaemonConnection&) = delete;

    // Connects to 127.0.0.1:port; on failure the connection stays closed and *error
    // says why.
    static DaemonConnection ConnectLocal(uint16_t port, std::string* error);

    bool IsOpen() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }
    void Close();

    // Sends the 4-byte command code followed by the request record.
    bool SendCommand(scanCommandType command, const void* request, size_t size);
    // The same from a buffer on the stack: nothing allocated, so that a signal handler
    // may send a command while a read waits on the connection.
    template <typename Request>
    bool SendFromStack(scanCommandType command, const Request& request) const
    {
        char message[sizeof(int32_t) + sizeof(Request)];
        const int32_t code = command;
        std::memcpy(message, &code, sizeof code);
        std::memcpy(message + sizeof code, &request, sizeof request);
        return SendBytes(m_fd, message, sizeof message);
    }
    // Reads exactly `size` bytes.
    ReadStatus Read(void* out, size_t size, std::chrono::milliseconds timeout);

private:
    static bool SendBytes(int fd, const char* bytes, size_t size);

    int m_fd = -1;
};

const char* ReadStatusText(ReadStatus status);

} // namespace ovrascan
