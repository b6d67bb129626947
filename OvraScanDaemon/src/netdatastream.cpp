// One block of a network scanner's data stream.
#include "netscanner.h"
#include "scanlog.h"

#include <cstdlib>
#include <cstring>

namespace {

// The page header after a NEWFILE marker, dropped.
int skipPageHeader(int fd)
{
    char header[OVRA_NET_BLOCK_HEADER_SIZE];
    char* p = header;
    if (ovra_tcp_recv_with_retry(fd, &p, sizeof(header)) != 0) {
        OvraLogErr("recv record scan data err");
        return OVRA_STATUS_IO_ERROR;
    }
    long n = parseLengthField(header + OVRA_NET_BLOCK_LENGTH_OFFSET, OVRA_NET_LENGTH_DIGITS);
    if (n < 0) {
        OvraLogErr("recv record header data error");
        return OVRA_STATUS_IO_ERROR;
    }
    if (n == 0)
        return OVRA_STATUS_GOOD;
    char* scratch = static_cast<char*>(malloc(static_cast<size_t>(n)));
    if (!scratch) {
        OvraLogErr("realloc record headerBuffer error");
        return OVRA_STATUS_NO_MEM;
    }
    int ret = ovra_tcp_recv_with_retry(fd, &scratch, static_cast<int>(n));
    free(scratch);
    if (ret != 0) {
        OvraLogErr("recv record header data error");
        return OVRA_STATUS_IO_ERROR;
    }
    return OVRA_STATUS_GOOD;
}

int receiveImageBlock(int fd, const char* header, unsigned char** outbuf, int* bufSize, int* outLength)
{
    long n = parseLengthField(header + OVRA_NET_BLOCK_LENGTH_OFFSET, OVRA_NET_LENGTH_DIGITS);
    if (n < 0) {
        OvraLogErr("ovra_tcp_recv_with_retry recv err");
        return OVRA_STATUS_IO_ERROR;
    }
    if (*bufSize < n || !*outbuf) {
        unsigned char* grown = static_cast<unsigned char*>(realloc(*outbuf, static_cast<size_t>(n ? n : 1)));
        if (!grown) {
            OvraLogErr("realloc bufSize err");
            return OVRA_STATUS_NO_MEM;
        }
        *outbuf = grown;
        *bufSize = static_cast<int>(n);
    }
    char* p = reinterpret_cast<char*>(*outbuf);
    if (n > 0 && ovra_tcp_recv_with_retry(fd, &p, static_cast<int>(n)) != 0) {
        OvraLogErr("ovra_tcp_recv_with_retry recv err");
        return OVRA_STATUS_IO_ERROR;
    }
    *outLength = static_cast<int>(n);
    return OVRA_STATUS_GOOD;
}

} // namespace

int ovra_tcp_ScanRecord(OvraSocket sock, ScanStatus* scanStatus, unsigned char** outbuf, int* bufSize, int* outLength)
{
    OvraLogInfo("** %s", __func__);
    const int fd = sock.tcpFromScanner;
    *scanStatus = SCAN_STATUS_OPERATION_CONTINUOUS;
    char header[OVRA_NET_BLOCK_HEADER_SIZE];
    char* p = header;
    if (ovra_tcp_recv_with_retry(fd, &p, sizeof(header)) != 0) {
        OvraLogErr("ovra_tcp_recv_with_retry blockdata err");
        ovra_close_tcp(fd);
        return OVRA_STATUS_IO_ERROR;
    }
    int ret;
    if (memcmp(header, newFileFlag, OVRA_NET_BLOCK_HEADER_SIZE) == 0) {
        OvraLogInfo("newFileFlag");
        *scanStatus = SCAN_STATUS_BEGIN_OF_PAGE;
        ret = skipPageHeader(fd);
    } else if (memcmp(header, jobDoneFlag, OVRA_NET_BLOCK_HEADER_SIZE) == 0) {
        OvraLogInfo("jobDoneFlag");
        *scanStatus = SCAN_STATUS_END_OF_DATA;
        ovra_close_tcp(fd);
        return OVRA_STATUS_EOF;
    } else {
        ret = receiveImageBlock(fd, header, outbuf, bufSize, outLength);
    }
    if (ret != OVRA_STATUS_GOOD)
        ovra_close_tcp(fd);
    return ret;
}
