#include "sockio.h"

#include "daemonconfig.h"
#include "daemonprocess.h"

#include <sys/socket.h>

namespace {

const int c_iSendCalls = 11;

// Every wait on the client ends on SIGQUIT, and after the idle time-out: a client
// that stops in the middle of a request, or stops reading, holds no process.
bool clientReady(int fd, bool forWriting)
{
    return waitReady(fd, forWriting, daemonIdleSeconds() * 1000) == en_Wait_Readable;
}

} // namespace

long serverTcpSendWithRetry(int fd, const void* buf, size_t n, int flags)
{
    const char* bytes = static_cast<const char*>(buf);
    size_t sent = 0;
    for (int call = 0; call < c_iSendCalls && sent < n && clientReady(fd, true); ++call) {
        ssize_t got = send(fd, bytes + sent, n - sent, flags | MSG_DONTWAIT);
        if (got > 0)
            sent += static_cast<size_t>(got);
    }
    return sent == n ? static_cast<long>(n) : -1;
}

bool recvCommandCode(int fd, int32_t& command)
{
    char* bytes = reinterpret_cast<char*>(&command);
    size_t got = 0;
    while (got < sizeof(command) && clientReady(fd, false)) {
        const ssize_t part = recv(fd, bytes + got, sizeof(command) - got, MSG_DONTWAIT);
        if (part <= 0)
            return false;
        got += static_cast<size_t>(part);
    }
    return got == sizeof(command);
}

long recvRequestOnce(int fd, void* record, size_t size)
{
    if (!clientReady(fd, false))
        return -1;
    return static_cast<long>(recv(fd, record, size, 0));
}
