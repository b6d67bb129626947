// The scan client's side of a daemon connection: a socket pair whose client end
// first sends the request bytes and then reads and drops whatever the daemon answers
// (on a thread of its own, so that replies never fill the connection and block the
// daemon side), until every copy of the daemon end is closed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <thread>

namespace ovrafuzz {

class ClientLink
{
public:
    // The request bytes are in the daemon end before it is handed out, followed by
    // the end of the stream.
    ClientLink(const uint8_t* request, size_t size);
    ClientLink() : ClientLink(nullptr, 0) {}
    ~ClientLink();
    ClientLink(const ClientLink&) = delete;
    ClientLink& operator=(const ClientLink&) = delete;

    int DaemonFd() const { return m_daemonFd; }
    // Hands the daemon end over to code that closes it itself.
    int ReleaseDaemonFd();
    // Closes the daemon end (if still held) and waits for the reader.
    void Finish();

private:
    int m_daemonFd = -1;
    int m_clientFd = -1;
    std::thread m_reader;
};

} // namespace ovrafuzz
