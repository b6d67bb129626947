#include "dataprocess.h"

#include "daemonconfig.h"
#include "daemonprocess.h"
#include "netscanner.h"
#include "pagefile.h"
#include "scanlog.h"
#include "scanpaths.h"
#include "sockio.h"
#include "usbscanner.h"

#include <cstdlib>
#include <unistd.h>

namespace {

const ScanStatus c_noStatus = static_cast<ScanStatus>(-1);

bool sendRecord(int clientFd, const void* record, size_t size, const char* errLine)
{
    if (serverTcpSendWithRetry(clientFd, record, size, 0) == static_cast<long>(size))
        return true;
    OvraLogErr("%s", errLine);
    return false;
}

// The page file being written: its number, descriptor and size so far.
struct stPage {
    std::string baseName;
    int fileIndex = 0; // pages begun
    int fd = -1;
    int64_t bytes = 0;
};

// Starts the next page file; on failure reports it with the given record.
template <typename Record>
bool beginPage(int clientFd, stPage& page, Record failure, const char* errLine)
{
    closePageFile(page.fd);
    page.fd = createPageFile(page.baseName, page.fileIndex);
    page.bytes = 0;
    if (page.fd < 0) {
        OvraLogErr("create page file err:%s", pageFileName(page.baseName, page.fileIndex).c_str());
        sendRecord(clientFd, &failure, sizeof(failure), errLine);
        return false;
    }
    ++page.fileIndex;
    return true;
}

// Appends image bytes to the open page. A page that would grow past the page
// file limit is removed: a scanner cannot fill the disk through the daemon.
int32_t appendToPage(stPage& page, const unsigned char* data, size_t size)
{
    if (page.bytes + static_cast<int64_t>(size) > daemonPageFileLimit()) {
        const std::string path = pageFileName(page.baseName, page.fileIndex - 1);
        OvraLogErr("page file over %lld bytes, removed:%s", static_cast<long long>(daemonPageFileLimit()),
                   path.c_str());
        closePageFile(page.fd);
        unlink(path.c_str());
        return OVRA_STATUS_IO_ERROR;
    }
    if (!writePageData(page.fd, data, size))
        return OVRA_STATUS_IO_ERROR;
    page.bytes += static_cast<int64_t>(size);
    return OVRA_STATUS_GOOD;
}

// The status a USB record goes out with, and whether it begins a page. A record
// without a status (no payload, a device abort, a failed read) keeps the status
// of the one before, but only a record that carries the begin-of-page status
// begins a page, once; image data while no page is open begins one too, so that
// records and page files agree for every order of scanner records.
ScanStatus usbRecordStatus(ScanStatus carried, ScanStatus recordSt, bool pageOpen, uint16_t readLen, bool& beginsPage)
{
    ScanStatus st = recordSt != c_noStatus ? recordSt : carried;
    if (recordSt == c_noStatus && st == SCAN_STATUS_BEGIN_OF_PAGE)
        st = SCAN_STATUS_OPERATION_CONTINUOUS;
    if (!pageOpen && readLen > 0)
        st = SCAN_STATUS_BEGIN_OF_PAGE;
    beginsPage = st == SCAN_STATUS_BEGIN_OF_PAGE && (recordSt == SCAN_STATUS_BEGIN_OF_PAGE || readLen > 0);
    return st;
}

// Ends a USB scan that the daemon gives up (a page it cannot write) on the
// scanner too, so that the next command does not read the rest of its image.
void endUsbScanOnScanner(int devfd) { OvraLogErr("usb scan ended on the scanner: %d", ScanAbort(devfd)); }

// A scan that ends on an error, rather than at the end of its data or on a cancel,
// is reported on standard error too: the journal under systemd.
void reportScanEnd(const char* kind, int32_t result)
{
    if (result == OVRA_STATUS_GOOD || result == OVRA_STATUS_EOF || result == OVRA_STATUS_CANCELLED)
        return;
    OvraJournalLine("%s scan ended with error %d (pid %d)", kind, result, getpid());
}

} // namespace

void runUsbDataProcess(int clientFd, int devfd, const std::string& baseName, int warmUpSeconds)
{
    stPage page;
    page.baseName = baseName;
    unsigned char* buf = nullptr;
    uint16_t bufSize = 0;
    ScanStatus st = SCAN_STATUS_OPERATION_CONTINUOUS;
    int ret;
    bool bLastRecord = false;
    bool recordSeen = false;
    int32_t endResult = OVRA_STATUS_GOOD;
    // The first record may wait for the scanner's warm-up.
    int waitMs = (daemonRecordWaitSeconds() + warmUpSeconds) * 1000;
    do {
        USBScanRecordRes res;
        uint16_t readLen = 0;
        ScanStatus recordSt = c_noStatus;
        ret = ScanRecord(devfd, &recordSt, &buf, &bufSize, &readLen, waitMs);
        if (ret == OVRA_STATUS_GOOD && !recordSeen) {
            recordSeen = true;
            waitMs = daemonRecordWaitSeconds() * 1000;
        }
        bool beginsPage = false;
        st = usbRecordStatus(st, recordSt, page.fd >= 0, ret == OVRA_STATUS_GOOD ? readLen : 0, beginsPage);
        res.fileIndex = page.fileIndex;
        if (beginsPage) {
            USBScanRecordRes failure = {SCAN_STATUS_OPERATION_CONTINUOUS, page.fileIndex, 0, OVRA_STATUS_ACCESS_DENIED};
            endResult = failure.result;
            if (!beginPage(clientFd, page, failure, "usb USBScanRecordRes err"))
                break;
        }
        res.st = st;
        res.dataSize = readLen;
        res.result = ret;
        if (ret == OVRA_STATUS_GOOD && readLen > 0) {
            res.result = appendToPage(page, buf, readLen);
            if (res.result != OVRA_STATUS_GOOD) {
                OvraLogErr("usb send scan data err");
                endUsbScanOnScanner(devfd);
            }
        }
        endResult = OVRA_STATUS_IO_ERROR; // until the client has the record
        if (!sendRecord(clientFd, &res, sizeof(res), "usb send scan data len err"))
            break;
        endResult = res.result;
        bLastRecord = res.result != OVRA_STATUS_GOOD; // a record with an error ends the scan, a failed page write too
    } while (!bLastRecord && flag);
    reportScanEnd("usb", endResult);
    closePageFile(page.fd);
    free(buf);
    OvraLogInfo("usb scan record process exit:%d pid:%d", ret, getpid());
}

void runTcpDataProcess(int clientFd, OvraSocket socket, const std::string& baseName)
{
    stPage page;
    page.baseName = baseName;
    unsigned char* buf = nullptr;
    int bufSize = 0;
    int recordCount = 0;
    int ret;
    bool bLastRecord = false;
    int32_t endResult = OVRA_STATUS_GOOD;
    do {
        TCPRecordRes res;
        res.fileIndex = page.fileIndex;
        int readLen = 0;
        ret = ovra_tcp_ScanRecord(socket, &res.st, &buf, &bufSize, &readLen);
        res.bufferLen = readLen;
        res.result = ret;
        // The first record of a scan always opens page 0.
        if (recordCount++ == 0)
            res.st = SCAN_STATUS_BEGIN_OF_PAGE;
        if (res.st == SCAN_STATUS_BEGIN_OF_PAGE) {
            TCPRecordRes failure = {OVRA_STATUS_ACCESS_DENIED, 0, page.fileIndex, SCAN_STATUS_OPERATION_CONTINUOUS};
            endResult = failure.result;
            if (!beginPage(clientFd, page, failure, "usb TCPRecordRes err"))
                break;
        }
        if (res.result == OVRA_STATUS_GOOD && readLen > 0) {
            res.result = appendToPage(page, buf, static_cast<size_t>(readLen));
            if (res.result != OVRA_STATUS_GOOD)
                OvraLogErr("send scan data err");
        }
        endResult = OVRA_STATUS_IO_ERROR; // until the client has the record
        if (!sendRecord(clientFd, &res, sizeof(res), "send scan data len err"))
            break;
        endResult = res.result;
        bLastRecord = res.result != OVRA_STATUS_GOOD;
    } while (!bLastRecord && flag);
    reportScanEnd("network", endResult);
    closePageFile(page.fd);
    free(buf);
    OvraLogInfo("tcp scan record process exit:%d pid:%d", ret, getpid());
}
