#include "dataprocess.h"

#include "netscanner.h"
#include "pagefile.h"
#include "scanlog.h"
#include "scanpaths.h"
#include "sockio.h"
#include "usbscanner.h"

#include <cstdlib>
#include <unistd.h>

namespace {

const int32_t c_iPageFileDenied = 11;
const ScanStatus c_noStatus = static_cast<ScanStatus>(-1);

bool sendRecord(int clientFd, const void* record, size_t size, const char* errLine)
{
    if (serverTcpSendWithRetry(clientFd, record, size, 0) == static_cast<long>(size))
        return true;
    OvraLogErr("%s", errLine);
    return false;
}

// Starts page file fileIndex; on failure reports it with the given record.
template <typename Record>
bool beginPage(int clientFd, const std::string& baseName, int& pageFd, int& fileIndex, Record failure,
               const char* errLine)
{
    closePageFile(pageFd);
    pageFd = createPageFile(baseName, fileIndex);
    if (pageFd < 0) {
        OvraLogErr("create page file err:%s", pageFileName(baseName, fileIndex).c_str());
        sendRecord(clientFd, &failure, sizeof(failure), errLine);
        return false;
    }
    ++fileIndex;
    return true;
}

} // namespace

void runUsbDataProcess(int clientFd, int devfd, const std::string& baseName)
{
    int pageFd = -1;
    unsigned char* buf = nullptr;
    uint16_t bufSize = 0;
    int fileIndex = 0;
    ScanStatus st = SCAN_STATUS_OPERATION_CONTINUOUS;
    int ret;
    bool bLastRecord = false;
    do {
        USBScanRecordRes res;
        res.fileIndex = fileIndex;
        uint16_t readLen = 0;
        // A record without a status (no payload, a device abort, a failed
        // read) keeps the status of the one before, but only a record that
        // carries the begin-of-page status starts a page.
        ScanStatus recordSt = c_noStatus;
        ret = ScanRecord(devfd, &recordSt, &buf, &bufSize, &readLen);
        if (recordSt != c_noStatus)
            st = recordSt;
        if (recordSt == SCAN_STATUS_BEGIN_OF_PAGE) {
            USBScanRecordRes failure = {SCAN_STATUS_OPERATION_CONTINUOUS, fileIndex, 0, c_iPageFileDenied};
            if (!beginPage(clientFd, baseName, pageFd, fileIndex, failure, "usb USBScanRecordRes err"))
                break;
        }
        res.st = st;
        res.dataSize = readLen;
        res.result = ret;
        if (ret == 0 && readLen > 0 && !writePageData(pageFd, buf, readLen)) {
            OvraLogErr("usb send scan data err");
            res.result = 9;
        }
        if (!sendRecord(clientFd, &res, sizeof(res), "usb send scan data len err"))
            break;
        bLastRecord = res.result != 0;   // a record with an error ends the scan, a failed page write too
    } while (!bLastRecord);
    closePageFile(pageFd);
    free(buf);
    OvraLogInfo("usb scan record process exit:%d pid:%d", ret, getpid());
}

void runTcpDataProcess(int clientFd, OvraSocket socket, const std::string& baseName)
{
    int pageFd = -1;
    unsigned char* buf = nullptr;
    int bufSize = 0;
    int fileIndex = 0;
    int recordCount = 0;
    int ret;
    bool bLastRecord = false;
    do {
        TCPRecordRes res;
        res.fileIndex = fileIndex;
        int readLen = 0;
        ret = ovra_tcp_ScanRecord(socket, &res.st, &buf, &bufSize, &readLen);
        res.bufferLen = readLen;
        res.result = ret;
        // The first record of a scan always opens page 0.
        if (recordCount++ == 0)
            res.st = SCAN_STATUS_BEGIN_OF_PAGE;
        if (res.st == SCAN_STATUS_BEGIN_OF_PAGE) {
            TCPRecordRes failure = {c_iPageFileDenied, 0, fileIndex, SCAN_STATUS_OPERATION_CONTINUOUS};
            if (!beginPage(clientFd, baseName, pageFd, fileIndex, failure, "usb TCPRecordRes err"))
                break;
        }
        if (res.result == 0 && readLen > 0 &&
            !writePageData(pageFd, buf, static_cast<size_t>(readLen))) {
            OvraLogErr("send scan data err");
            res.result = 9;
        }
        if (!sendRecord(clientFd, &res, sizeof(res), "send scan data len err"))
            break;
        bLastRecord = res.result != 0;
    } while (!bLastRecord);
    closePageFile(pageFd);
    free(buf);
    OvraLogInfo("tcp scan record process exit:%d pid:%d", ret, getpid());
}
