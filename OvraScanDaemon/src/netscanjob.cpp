// Posting a scan job to a network scanner and opening its data stream.
#include "netscanner.h"
#include "scanlog.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const int c_iAnswerRecvCalls = 10;
const int c_iDataConnectAttempts = 11;
const useconds_t c_uDataConnectPauseUs = 500 * 1000;

std::string loginName()
{
    char name[256] = {};
    if (getlogin_r(name, sizeof(name)) != 0)
        return std::string();
    name[sizeof(name) - 1] = '\0';
    return name;
}

// Reads the answer until it holds "RESULT=" (at most 10 receive calls).
bool receiveJobAnswer(int fd, char* answer, size_t size)
{
    size_t done = 0;
    answer[0] = '\0';
    for (int call = 0; call < c_iAnswerRecvCalls && done < size - 1; ++call) {
        ssize_t got = recv(fd, answer + done, size - 1 - done, 0);
        if (got > 0) {
            done += static_cast<size_t>(got);
            answer[done] = '\0';
            OvraLogErr("%s", answer);
        } else if (got < 0) {
            usleep(1);
        }
        if (strstr(answer, "RESULT="))
            return true;
    }
    return strstr(answer, "RESULT=") != nullptr;
}

int connectDataPort(OvraSocket* socketFd)
{
    for (int attempt = 0; attempt < c_iDataConnectAttempts; ++attempt) {
        socketFd->tcpFromScanner = ovra_init_tcp(socketFd->szScannerIP, OVRA_NET_DATA_PORT);
        if (socketFd->tcpFromScanner >= 0)
            return socketFd->tcpFromScanner;
        usleep(c_uDataConnectPauseUs);
    }
    return -1;
}

// The job header and its data, which the daemon does not evaluate.
int receiveJobHeader(int dataFd)
{
    char header[OVRA_NET_JOB_HEADER_SIZE];
    char* p = header;
    if (ovra_tcp_recv_with_retry(dataFd, &p, sizeof(header)) != 0) {
        OvraLogErr("recv record scan data err");
        return OVRA_STATUS_IO_ERROR;
    }
    long n = parseLengthField(header + OVRA_NET_JOB_LENGTH_OFFSET, OVRA_NET_LENGTH_DIGITS);
    if (n < 0) {
        OvraLogErr("recv record header data error");
        return OVRA_STATUS_IO_ERROR;
    }
    if (n == 0)
        return OVRA_STATUS_GOOD;
    char* data = static_cast<char*>(malloc(static_cast<size_t>(n)));
    if (!data) {
        OvraLogErr("realloc record headerBuffer error");
        return OVRA_STATUS_IO_ERROR;
    }
    int ret = ovra_tcp_recv_with_retry(dataFd, &data, static_cast<int>(n));
    free(data);
    if (ret != 0) {
        OvraLogErr("recv record header data error");
        return OVRA_STATUS_IO_ERROR;
    }
    return OVRA_STATUS_GOOD;
}

} // namespace

int ovra_http_ScanStart(OvraSocket* socketFd, const SettingInfo* pSettingInfo)
{
    OvraLogInfo("** %s", __func__);
    if (!socketFd || !pSettingInfo)
        return OVRA_STATUS_INVAL;
    socketFd->szScannerIP[sizeof(socketFd->szScannerIP) - 1] = '\0';
    LSP_POST_CMD form[eNumPostCmd];
    buildScanJobForm(form, *pSettingInfo, loginName());
    std::string request = buildPostRequest("/netscan/post", c_szJobPostAddress, buildScanJobBody(form));
    ovra_close_tcp(socketFd->tcpFromScanner);
    socketFd->tcpFromScanner = -1;
    OvraLogInfo("%s", request.c_str());

    int httpFd = ovra_init_tcp(socketFd->szScannerIP, OVRA_NET_HTTP_PORT);
    if (httpFd < 0) {
        OvraLogErr("ovra_init_tcp 80 ERR");
        return OVRA_STATUS_IO_ERROR;
    }
    if (!ovra_tcp_send_all(httpFd, request.data(), request.size())) {
        int err = errno;
        ovra_close_tcp(httpFd);
        OvraLogErr("send ovra_http_ScanStart msg error: %s(errno: %d)", strerror(err), err);
        return OVRA_STATUS_IO_ERROR;
    }
    char answer[OVRA_NET_ANSWER_MAX];
    if (!receiveJobAnswer(httpFd, answer, sizeof(answer))) {
        ovra_close_tcp(httpFd);
        OvraLogErr("recv ovra_http_ScanStart error");
        return OVRA_STATUS_DEVICE_BUSY;
    }
    int status = ovra_http_ScanStartResult(answer);
    if (status != OVRA_STATUS_GOOD) {
        OvraLogErr("parse ovra_http_ScanStartResult error");
        ovra_close_tcp(httpFd);
        return status;
    }
    if (connectDataPort(socketFd) < 0) {
        OvraLogErr("ovra_init_tcp 2080 error");
        ovra_close_tcp(httpFd);
        return OVRA_STATUS_IO_ERROR;
    }
    status = receiveJobHeader(socketFd->tcpFromScanner);
    if (status != OVRA_STATUS_GOOD) {
        ovra_close_tcp(socketFd->tcpFromScanner);
        socketFd->tcpFromScanner = -1;
    }
    ovra_close_tcp(httpFd);
    return status;
}
