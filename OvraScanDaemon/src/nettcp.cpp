// Connections to a network scanner.
#include "netscanner.h"
#include "scanlog.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const int c_iTimeoutSeconds = 5;
const int c_iRecvAttempts = 4;

int failSocket(int fd, const char* format)
{
    int err = errno;
    OvraLogErr(format, strerror(err), err);
    if (fd >= 0)
        close(fd);
    return -1;
}

} // namespace

int ovra_init_tcp(const char* ipAddr, uint16_t port)
{
    OvraLogInfo("** %s", __func__);
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return failSocket(-1, "create socket error: %s(errno: %d)");
    struct timeval timeout = {c_iTimeoutSeconds, 0};
    if (setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout)) < 0)
        return failSocket(fd, "setsockopt SO_SNDTIMEO error: %s(errno: %d)");
    if (setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout)) < 0)
        return failSocket(fd, "setsockopt SO_RCVTIMEO error: %s(errno: %d)");
    struct sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (!ipAddr || inet_pton(AF_INET, ipAddr, &address.sin_addr) != 1) {
        errno = EINVAL;
        return failSocket(fd, "connect error: %s(errno: %d)");
    }
    if (connect(fd, reinterpret_cast<struct sockaddr*>(&address), sizeof(address)) < 0)
        return failSocket(fd, "connect error: %s(errno: %d)");
    return fd;
}

void ovra_close_tcp(int sockfd)
{
    OvraLogInfo("** %s", __func__);
    if (sockfd >= 0)
        close(sockfd);
}

int ovra_tcp_recv_with_retry(int sockfd, char** buf, int length)
{
    OvraLogInfo("** %s", __func__);
    if (!buf || !*buf || length < 0)
        return -1;
    int done = 0;
    for (int attempt = 0; attempt < c_iRecvAttempts && done < length; ++attempt) {
        ssize_t got = recv(sockfd, *buf + done, static_cast<size_t>(length - done), MSG_WAITALL);
        if (got > 0)
            done += static_cast<int>(got);
    }
    return done == length ? 0 : -1;
}

bool ovra_tcp_send_all(int sockfd, const void* data, size_t n)
{
    const char* bytes = static_cast<const char*>(data);
    size_t sent = 0;
    while (sent < n) {
        ssize_t got = send(sockfd, bytes + sent, n - sent, MSG_NOSIGNAL);
        if (got <= 0)
            return false;
        sent += static_cast<size_t>(got);
    }
    return true;
}

int GetHostIPAddress(char* szHostIpAddress, uint16_t wBufSize)
{
    OvraLogInfo("** %s", __func__);
    struct ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        OvraLogErr("getifaddrs fail");
        return -1;
    }
    const unsigned required = IFF_UP | IFF_RUNNING | IFF_MULTICAST | IFF_BROADCAST;
    int ret = -1;
    for (struct ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &reinterpret_cast<struct sockaddr_in*>(entry->ifa_addr)->sin_addr, text, sizeof(text));
        if (strcmp(text, "127.0.0.1") == 0 || (entry->ifa_flags & required) != required)
            continue;
        size_t len = strlen(text);
        if (len > wBufSize) {
            OvraLogErr("szHostIpAddress size over");
        } else {
            memcpy(szHostIpAddress, text, len);
            ret = 0;
        }
        break;
    }
    freeifaddrs(list);
    return ret;
}
