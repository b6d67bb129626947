// End to end: the daemon program, run under the umockdev preload, against the
// USB scanner emulator: device search, reopen, response flags, a three-page
// scan into page files and an abort mid-scan.
#include "ovraemu/usbcore/testbedpreload.h"
#include "ovraemu/usbscannerbed.h"
#include "scanfaults.h"
#include "scanpaths.h"
#include "testcheck.h"

#include <csignal>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const uint16_t c_port = 27145;
const uint16_t c_vid = OVRA_USB_VENDOR_ID;
const int c_replyMs = 20000;
// One client connection for all cases: like the kernel, the emulator lets
// only the descriptor that first used a scanner's interface use it.
int g_fd = -1;
int g_first = -1; // handle of scanner E2E-1

std::vector<USBFindDevRes> findDevices(int fd, uint16_t pid, bool comparePid, int32_t& count)
{
    USBFindDevReq req = {c_vid, pid, static_cast<uint8_t>(comparePid), {0, 0, 0}};
    sendCommand(fd, USB_FIND_DEV, req);
    std::vector<USBFindDevRes> devices;
    count = -99;
    if (!CHECK(recvExact(fd, &count, sizeof(count))))
        return devices;
    for (int i = 0; i < count; ++i) {
        USBFindDevRes res;
        CHECK(recvExact(fd, &res, sizeof(res)));
        devices.push_back(res);
    }
    return devices;
}

void devicesStringsAndReopen()
{
    int fd = g_fd;
    int32_t count = 0;
    std::vector<USBFindDevRes> devs = findDevices(fd, 0, false, count);
    CHECK_EQ(count, 2);
    int second = -1;
    for (const USBFindDevRes& d : devs) {
        CHECK_EQ(d.vid, c_vid);
        if (std::string(d.SerialNumber) == "E2E-2") {
            CHECK_STR(d.Product, "?????? MFP");
            second = d.fd;
        } else {
            CHECK_STR(d.SerialNumber, "E2E-1");
            CHECK_STR(d.Manufacturer, "Ovra");
            g_first = d.fd;
        }
    }
    if (!CHECK(second >= 0 && g_first >= 0))
        return;
    USBReopenDevReq reopen;
    memset(&reopen, 0, sizeof(reopen));
    reopen.devfd = second;
    reopen.vid = c_vid;
    reopen.pid = 2;
    copyToWire(reopen.SerialNumber, "E2E-2");
    sendCommand(fd, USB_REOPEN_DEV, reopen);
    USBReopenDevRes res = {-1, -1};
    CHECK(recvExact(fd, &res, sizeof(res)));
    CHECK_EQ(res.ret, 0);
    CHECK_EQ(usbHandleCommand(fd, USB_OPEN_DEV, second), 9); // given up
    USBClearDevEpReq clear = {res.fd, 0x82};
    CHECK_EQ(usbIntCommand(fd, USB_CLEAR_DEV, &clear, sizeof(clear)), 0);
    CHECK_EQ(usbHandleCommand(fd, USB_SCAN_UNLOCK, res.fd), 9); // not locked: 0x83
}

void lockRefusalsAndFeeder(ovraemu::UsbScannerBed& bed, int id)
{
    int fd = g_fd;
    USBScanLockReq lock;
    memset(&lock, 0, sizeof(lock));
    lock.devfd = g_first;
    lock.info.bitDepth = 8;
    lock.info.xResolution = 1200;
    lock.info.yResolution = 1200;
    lock.info.feederEnabled = 1;
    bed.SetLockedElsewhere(id, true);
    CHECK_EQ(usbIntCommand(fd, USB_SCAN_LOCK, &lock, sizeof(lock)), 3);
    bed.SetLockedElsewhere(id, false);
    ovraemu::ScriptedResponse noMemory;
    noMemory.flag = ovraemu::flag::kNoMemory;
    bed.ScriptResponse(id, ovraemu::ScannerCommand::Lock, noMemory);
    CHECK_EQ(usbIntCommand(fd, USB_SCAN_LOCK, &lock, sizeof(lock)), 9);
    CHECK_EQ(usbIntCommand(fd, USB_SCAN_LOCK, &lock, sizeof(lock)), 0);
    CHECK(bed.LastLock(id).has_value());
    ovraemu::ScriptedResponse bad;
    bad.flag = ovraemu::flag::kBusyOrBadRequest;
    bed.ScriptResponse(id, ovraemu::ScannerCommand::Start, bad);
    const USBCommonReq req = {g_first};
    sendCommand(fd, USB_SCAN_START, req);
    USBScanStartRes start;
    CHECK(recvExact(fd, &start, sizeof(start)));
    CHECK_EQ(start.result, 9); // a refused start: no data process, no page file
    CHECK(nothingArrives(fd, 300));
    CHECK(!fileExists(pageFileName(start.fileName, 0)));
    bed.SetFeeder(id, ovraemu::AdfStatus::Loaded);
    sendCommand(fd, USB_SCAN_ADFSTATUS, req);
    USBScanAdfStatusRes adf = {};
    CHECK(recvExact(fd, &adf, sizeof(adf)));
    CHECK_EQ(adf.result, 0);
    CHECK_EQ(adf.st, ADF_STATUS_LOADED);
    CHECK_EQ(usbHandleCommand(fd, USB_SCAN_UNLOCK, g_first), 0);
}

void threePageScan(ovraemu::UsbScannerBed& bed, int id)
{
    ovraemu::PageGeometry geometry;
    geometry.width = 200;
    geometry.height = 150;
    ovraemu::JobShape shape;
    shape.recordBytes = 7000;
    shape.chunk = 3000;
    ovraemu::ScanJob job = ovraemu::MakePatternJob(3, geometry, shape);
    bed.SetJob(id, job);
    USBScanStartRes start;
    CHECK(lockAndStartUsbScan(g_fd, g_first, start));
    CHECK_EQ(start.result, 0);
    bool ended = false;
    const std::vector<USBScanRecordRes> records = recordsToTheEnd<USBScanRecordRes>(g_fd, c_replyMs, ended);
    int pagesStarted = 0;
    for (const USBScanRecordRes& record : records) {
        if (record.st == SCAN_STATUS_BEGIN_OF_PAGE && record.dataSize == 0 && record.result == 0
            && record.fileIndex == pagesStarted)
            ++pagesStarted;
        else
            CHECK_EQ(record.fileIndex, pagesStarted);
    }
    CHECK(ended && records.back().result == OVRA_STATUS_EOF && records.back().st == SCAN_STATUS_END_OF_DATA);
    CHECK_EQ(pagesStarted, 3);
    for (int p = 0; p < 3; ++p)
        CHECK(readFile(pageFileName(start.fileName, p)) == bytesOf(job.pages[static_cast<size_t>(p)]));
    CHECK_EQ(usbHandleCommand(g_fd, USB_SCAN_UNLOCK, g_first), 0);
}

// An abort while pages stream: the data process ends, this scan's page files go,
// a page file of another scan stays.
void abortMidScan(ovraemu::UsbScannerBed& bed, int id)
{
    ovraemu::PageGeometry geometry;
    geometry.width = 400;
    geometry.height = 400;
    ovraemu::JobShape shape;
    shape.recordBytes = 4000;
    shape.delayMs = 40; // about 2 s per page
    bed.SetJob(id, ovraemu::MakePatternJob(3, geometry, shape));
    int fd = g_fd;
    USBScanStartRes start;
    if (!CHECK(lockAndStartUsbScan(fd, g_first, start)) || !CHECK_EQ(start.result, 0))
        return;
    USBScanRecordRes record = {};
    for (int i = 0; i < 5; ++i)
        CHECK(recvExact(fd, &record, sizeof(record), c_replyMs));
    const std::string page0 = pageFileName(start.fileName, 0);
    CHECK(fileExists(page0));
    const std::string other = pageFileName(std::string(start.fileName) + "0", 0); // scan 10 of the same process
    writeFile(other, "x");

    USBScanAbortReq abort;
    memset(&abort, 0, sizeof(abort));
    abort.devfd = g_first;
    memcpy(abort.fileName, start.fileName, sizeof(abort.fileName));
    sendCommand(fd, USB_SCAN_ABORT, abort);
    // Record replies (16 bytes) already on the way come first; the data process is gone
    // before the abort's own 4-byte reply, so that reply ends the stream.
    std::string tail;
    char buf[4096];
    for (;;) {
        pollfd pfd = {fd, POLLIN, 0};
        if (poll(&pfd, 1, 1500) <= 0)
            break;
        ssize_t n = recv(fd, buf, sizeof(buf), 0);
        if (n <= 0)
            break;
        tail.append(buf, static_cast<size_t>(n));
    }
    CHECK_EQ(tail.size() % sizeof(USBScanRecordRes), size_t(4));
    int32_t result = -99;
    if (tail.size() >= 4)
        memcpy(&result, tail.data() + tail.size() - 4, 4);
    CHECK_EQ(result, 0);
    CHECK(!fileExists(page0));
    CHECK(fileExists(other));
    const pid_t dataPid = lastKilledPid();
    CHECK(dataPid > 1 && !signalProcess(dataPid, 0));
    unlink(other.c_str());
    CHECK_EQ(usbHandleCommand(fd, USB_SCAN_UNLOCK, g_first), 0);
}

} // namespace

int main()
{
    signal(SIGPIPE, SIG_IGN);
    const TestInstallRoot root("e2eusb", {"scan"});
    ovraemu::UsbScannerBed bed; // points UMOCKDEV_DIR at its testbed for the daemon
    int first = bed.AddScanner(c_vid, 1, "E2E-1");
    bed.AddScanner(c_vid, 2, "E2E-2", "Ovra", "Сканер MFP");
    // The daemon's connection and data processes share one open device node.
    setenv("LD_PRELOAD", ovraemu::ForkSafePreload().c_str(), 1);
    pid_t daemon = startFaultDaemon(c_port);
    if (daemon < 0)
        return 1;
    g_fd = connectLoopback(c_port);
    int ret = testcheck::run({
        TEST_CASE(devicesStringsAndReopen),
        {"lockRefusalsAndFeeder", [&] { lockRefusalsAndFeeder(bed, first); }},
        {"threePageScan", [&] { threePageScan(bed, first); }},
        {"abortMidScan", [&] { abortMidScan(bed, first); }},
    });
    close(g_fd);
    stopFaultDaemon(daemon);
    return ret;
}
