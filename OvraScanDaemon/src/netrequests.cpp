// The one-shot HTTP requests: abort, capabilities, feeder status.
#include "netscanner.h"
#include "scanlog.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>

namespace {

std::string hostAddress()
{
    char address[16] = {};
    GetHostIPAddress(address, sizeof(address) - 1);
    return address;
}

// Connects to port 80, sends the request and reads one answer (the receive
// ends when the scanner closes the connection, or after the time-out).
// Returns the answer's length, or -1 after logging the failure.
long httpExchange(const char* ip, const std::string& request, char* answer, size_t size, bool logConnect)
{
    int fd = ovra_init_tcp(ip, OVRA_NET_HTTP_PORT);
    if (fd < 0) {
        if (logConnect) {
            int err = errno;
            OvraLogErr("connect error: %s(errno: %d)", strerror(err), err);
        }
        return -1;
    }
    if (!ovra_tcp_send_all(fd, request.data(), request.size())) {
        int err = errno;
        ovra_close_tcp(fd);
        OvraLogErr("send msg error: %s(errno: %d)", strerror(err), err);
        return -1;
    }
    ssize_t got = recv(fd, answer, size - 1, MSG_WAITALL);
    ovra_close_tcp(fd);
    if (got < 0) {
        answer[0] = '\0';
        return -2;
    }
    answer[got] = '\0';
    return static_cast<long>(got);
}

// The exchange of one request with the scanner at the socket's address: the answer's
// length, or -1 after logging the failure; a failed receive is logged as "recv error"
// by logRecvError.
long askScanner(OvraSocket& sock, const std::string& request, char (&answer)[OVRA_NET_ANSWER_MAX], bool logConnect,
                void (*logRecvError)(const char*, ...))
{
    sock.szScannerIP[sizeof(sock.szScannerIP) - 1] = '\0';
    long got = httpExchange(sock.szScannerIP, request, answer, sizeof(answer), logConnect);
    if (got == -2)
        logRecvError("recv error");
    return got < 0 ? -1 : got;
}

} // namespace

int ovra_http_ScanAbort(OvraSocket socketFd)
{
    std::string request = buildPostRequest("/netscan/post", hostAddress(), "SCANTYPE=4");
    ovra_close_tcp(socketFd.tcpFromScanner);
    char answer[OVRA_NET_ANSWER_MAX];
    if (askScanner(socketFd, request, answer, true, OvraLogErrNoEol) < 0)
        return OVRA_STATUS_IO_ERROR;
    OvraLogInfo("ovra_http_ScanAbort Received : %s ", answer);
    return OVRA_STATUS_GOOD;
}

int ovra_http_DeviceProperties(OvraSocket socketFd, ScannerCapabilities* m_ScanCap)
{
    std::string request = buildCapabilitiesRequest(hostAddress());
    char answer[OVRA_NET_ANSWER_MAX];
    if (askScanner(socketFd, request, answer, true, OvraLogErrNoEol) < 0)
        return OVRA_STATUS_IO_ERROR;
    ovra_ParseScanCapabilities(m_ScanCap, answer);
    return OVRA_STATUS_GOOD;
}

int ovra_http_adfstatus(OvraSocket ovra_sock, ADFStatus* adfStatus)
{
    std::string request =
        buildPostRequest("/cgi-bin/dynamic/printer/netscan/adfStatus.html", hostAddress(), "GETADFSTATUS");
    char answer[OVRA_NET_ANSWER_MAX];
    const long got = askScanner(ovra_sock, request, answer, false, OvraLogErr);
    if (got < 0)
        return OVRA_STATUS_IO_ERROR;
    OvraLogInfo("ovra_http_adfstatus Received : \n%s ", answer);
    switch (adfStatusFromAnswer(answer, static_cast<size_t>(got))) {
    case ADF_STATUS_LOADED:
        OvraLogInfo("ADF_STATUS_LOADED");
        *adfStatus = ADF_STATUS_LOADED;
        break;
    case ADF_STATUS_PAPER_JAM:
        OvraLogInfo("ADF_STATUS_PAPER_JAM");
        *adfStatus = ADF_STATUS_PAPER_JAM;
        break;
    case ADF_STATUS_EMPTY:
        OvraLogInfo("ADF_STATUS_EMPTY");
        *adfStatus = ADF_STATUS_EMPTY;
        break;
    default: OvraLogErr("ADF status is invalid or not supported"); break;
    }
    return OVRA_STATUS_GOOD;
}
