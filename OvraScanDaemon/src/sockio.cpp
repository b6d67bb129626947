#include "sockio.h"

#include "daemonprocess.h"

#include <sys/socket.h>

namespace {

const int c_iSendCalls = 11;

} // namespace

long serverTcpSendWithRetry(int fd, const void* buf, size_t n, int flags)
{
    const char* bytes = static_cast<const char*>(buf);
    size_t sent = 0;
    for (int call = 0; call < c_iSendCalls && sent < n; ++call) {
        ssize_t got = send(fd, bytes + sent, n - sent, flags);
        if (got > 0)
            sent += static_cast<size_t>(got);
    }
    return sent == n ? static_cast<long>(n) : -1;
}

bool recvCommandCode(int fd, int32_t& command)
{
    if (!waitReadable(fd))
        return false;
    ssize_t got = recv(fd, &command, sizeof(command), MSG_WAITALL);
    return got == static_cast<ssize_t>(sizeof(command));
}

long recvRequestOnce(int fd, void* record, size_t size)
{
    return static_cast<long>(recv(fd, record, size, 0));
}
