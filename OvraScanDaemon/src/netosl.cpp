// Attribute requests on port 5000.
#include "netscanner.h"
#include "scanlog.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>

namespace {

const int c_iReplyRecvCalls = 10;

int oslRecvFailed(int fd)
{
    ovra_close_tcp(fd);
    OvraLogErrNoEol("recv ovra_send_osl error");
    return OVRA_STATUS_IO_ERROR;
}

// The 4-byte big-endian length in front of the reply text.
bool receiveReplyLength(int fd, uint32_t& length)
{
    unsigned char bytes[4];
    char* p = reinterpret_cast<char*>(bytes);
    if (ovra_tcp_recv_with_retry(fd, &p, sizeof(bytes)) != 0)
        return false;
    length = (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) | bytes[3];
    return true;
}

// Up to 10 receive calls appending the missing bytes; -1 on a failed call.
long receiveReplyText(int fd, char* text, size_t length)
{
    size_t done = 0;
    for (int call = 0; call < c_iReplyRecvCalls && done < length; ++call) {
        ssize_t got = recv(fd, text + done, length - done, 0);
        if (got < 0)
            return -1;
        done += static_cast<size_t>(got);
    }
    return static_cast<long>(done);
}

} // namespace

int ovra_send_osl(OvraSocket sockFd, char** outBuf, OSL_CMD_TYPE cmdType, int* bufLen)
{
    OvraLogInfo("** %s", __func__);
    std::string message = buildOslMessage(cmdType);
    if (message.empty()) {
        OvraLogErr("ovra_send_osl unknown type:%d", static_cast<int>(cmdType));
        return OVRA_STATUS_INVAL;
    }
    sockFd.szScannerIP[sizeof(sockFd.szScannerIP) - 1] = '\0';
    int fd = ovra_init_tcp(sockFd.szScannerIP, OVRA_NET_OSL_PORT);
    if (fd < 0)
        return OVRA_STATUS_IO_ERROR;
    if (!ovra_tcp_send_all(fd, message.data(), message.size())) {
        int err = errno;
        ovra_close_tcp(fd);
        OvraLogErr("send ovra_send_osl msg error: %s(errno: %d)", strerror(err), err);
        return OVRA_STATUS_IO_ERROR;
    }
    uint32_t length = 0;
    if (!receiveReplyLength(fd, length))
        return oslRecvFailed(fd);
    if (length > OVRA_NET_ANSWER_MAX) {
        ovra_close_tcp(fd);
        OvraLogErr("ovra_send_osl reply too long: %u", length);
        return OVRA_STATUS_IO_ERROR;
    }
    char text[OVRA_NET_ANSWER_MAX];
    long got = receiveReplyText(fd, text, length);
    if (got < 0)
        return oslRecvFailed(fd);
    ovra_close_tcp(fd);
    if (static_cast<uint32_t>(got) < length)
        return OVRA_STATUS_IO_ERROR;
    char* reply = static_cast<char*>(malloc(length ? length : 1));
    if (!reply)
        return OVRA_STATUS_NO_MEM;
    memcpy(reply, text, length);
    *outBuf = reply;
    *bufLen = static_cast<int>(length);
    return OVRA_STATUS_GOOD;
}
