// End to end: the daemon program, run under the umockdev preload, against the
// USB scanner emulator: device search, reopen, response flags, a three-page
// scan into page files. (An abort while the data process reads is not run
// here: under the preload, two processes using one inherited device
// descriptor at the same time share one emulator connection.)
#include "ovraemu/usbcore/testbedpreload.h"
#include "ovraemu/usbscannerbed.h"
#include "scanpaths.h"
#include "testcheck.h"
#include "testsupport.h"

#include <csignal>
#include <poll.h>
#include <sys/socket.h>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

const uint16_t c_port = 27145;
const uint16_t c_vid = OVRA_USB_VENDOR_ID;
// One client connection for all cases: like the kernel, the emulator lets
// only the descriptor that first used a scanner's interface use it.
int g_fd = -1;
int g_first = -1; // handle of scanner E2E-1

pid_t startDaemon()
{
    setenv("OVRA_SCAN_DAEMON_PORT", std::to_string(c_port).c_str(), 1);
    setenv("OVRA_SCAN_DAEMON_FOREGROUND", "1", 1);
    // The daemon's connection and data processes share one open device node.
    setenv("LD_PRELOAD", ovraemu::ForkSafePreload().c_str(), 1);
    pid_t pid = -1;
    char* argv[] = {const_cast<char*>(OVRA_SCAN_DAEMON_PATH), nullptr};
    posix_spawn(&pid, OVRA_SCAN_DAEMON_PATH, nullptr, nullptr, argv, environ);
    return pid;
}

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

int32_t intReply(int fd, int32_t command, const void* req, size_t size)
{
    std::vector<char> bytes(4 + size);
    memcpy(bytes.data(), &command, 4);
    memcpy(bytes.data() + 4, req, size);
    sendBytes(fd, bytes.data(), bytes.size());
    int32_t result = -99;
    CHECK(recvExact(fd, &result, sizeof(result), 20000));
    return result;
}

int32_t simple(int fd, int32_t command, int devfd)
{
    USBCommonReq req = {devfd};
    return intReply(fd, command, &req, sizeof(req));
}

// The scanner accepts a scan start only while locked by this host.
int32_t lockScanner(int fd, int devfd)
{
    USBScanLockReq lock;
    memset(&lock, 0, sizeof(lock));
    lock.devfd = devfd;
    lock.info.bitDepth = 8;
    lock.info.xResolution = 300;
    lock.info.yResolution = 300;
    return intReply(fd, USB_SCAN_LOCK, &lock, sizeof(lock));
}

void devicesStringsAndReopen(ovraemu::UsbScannerBed& bed)
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
    std::vector<char> bytes(4 + sizeof(reopen));
    int32_t command = USB_REOPEN_DEV;
    memcpy(bytes.data(), &command, 4);
    memcpy(bytes.data() + 4, &reopen, sizeof(reopen));
    sendBytes(fd, bytes.data(), bytes.size());
    USBReopenDevRes res = {-1, -1};
    CHECK(recvExact(fd, &res, sizeof(res)));
    CHECK_EQ(res.ret, 0);
    CHECK_EQ(simple(fd, USB_OPEN_DEV, second), 9); // given up
    USBClearDevEpReq clear = {res.fd, 0x82};
    CHECK_EQ(intReply(fd, USB_CLEAR_DEV, &clear, sizeof(clear)), 0);
    CHECK_EQ(simple(fd, USB_SCAN_UNLOCK, res.fd), 9); // not locked: 0x83
    (void)bed;
}

void lockRefusalsAndFeeder(ovraemu::UsbScannerBed& bed, int id)
{
    int fd = g_fd;
    std::vector<USBFindDevRes> devs(1);
    devs[0].fd = g_first;
    USBScanLockReq lock;
    memset(&lock, 0, sizeof(lock));
    lock.devfd = devs[0].fd;
    lock.info.bitDepth = 8;
    lock.info.xResolution = 1200;
    lock.info.yResolution = 1200;
    lock.info.feederEnabled = 1;
    bed.SetLockedElsewhere(id, true);
    CHECK_EQ(intReply(fd, USB_SCAN_LOCK, &lock, sizeof(lock)), 3);
    bed.SetLockedElsewhere(id, false);
    ovraemu::ScriptedResponse noMemory;
    noMemory.flag = ovraemu::flag::kNoMemory;
    bed.ScriptResponse(id, ovraemu::ScannerCommand::Lock, noMemory);
    CHECK_EQ(intReply(fd, USB_SCAN_LOCK, &lock, sizeof(lock)), 9);
    CHECK_EQ(intReply(fd, USB_SCAN_LOCK, &lock, sizeof(lock)), 0);
    auto last = bed.LastLock(id);
    CHECK(last.has_value());
    ovraemu::ScriptedResponse bad;
    bad.flag = ovraemu::flag::kBusyOrBadRequest;
    bed.ScriptResponse(id, ovraemu::ScannerCommand::Start, bad);
    USBCommonReq req = {devs[0].fd};
    int32_t code = USB_SCAN_START;
    std::vector<char> bytes(8);
    memcpy(bytes.data(), &code, 4);
    memcpy(bytes.data() + 4, &req, 4);
    sendBytes(fd, bytes.data(), bytes.size());
    USBScanStartRes start;
    CHECK(recvExact(fd, &start, sizeof(start)));
    CHECK_EQ(start.result, 9); // a refused start: no data process, no page file
    CHECK(nothingArrives(fd, 300));
    CHECK(!fileExists(pageFileName(start.fileName, 0)));
    bed.SetFeeder(id, ovraemu::AdfStatus::Loaded);
    memcpy(bytes.data(), &(code = USB_SCAN_ADFSTATUS), 4);
    sendBytes(fd, bytes.data(), bytes.size());
    USBScanAdfStatusRes adf = {};
    CHECK(recvExact(fd, &adf, sizeof(adf)));
    CHECK_EQ(adf.result, 0);
    CHECK_EQ(adf.st, ADF_STATUS_LOADED);
    CHECK_EQ(simple(fd, USB_SCAN_UNLOCK, devs[0].fd), 0);
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
    int fd = g_fd;
    std::vector<USBFindDevRes> devs(1);
    devs[0].fd = g_first;
    CHECK_EQ(lockScanner(fd, g_first), 0);
    USBCommonReq req = {devs[0].fd};
    int32_t code = USB_SCAN_START;
    std::vector<char> bytes(8);
    memcpy(bytes.data(), &code, 4);
    memcpy(bytes.data() + 4, &req, 4);
    sendBytes(fd, bytes.data(), bytes.size());
    USBScanStartRes start;
    CHECK(recvExact(fd, &start, sizeof(start), 20000));
    CHECK_EQ(start.result, 0);
    int pagesStarted = 0;
    USBScanRecordRes record = {};
    do {
        if (!CHECK(recvExact(fd, &record, sizeof(record), 20000)))
            break;
        if (record.st == SCAN_STATUS_BEGIN_OF_PAGE && record.dataSize == 0 && record.result == 0
            && record.fileIndex == pagesStarted)
            ++pagesStarted;
        else
            CHECK_EQ(record.fileIndex, pagesStarted);
    } while (record.result == 0);
    CHECK_EQ(record.result, 5);
    CHECK_EQ(record.st, SCAN_STATUS_END_OF_DATA);
    CHECK_EQ(pagesStarted, 3);
    for (int p = 0; p < 3; ++p) {
        const std::vector<uint8_t>& image = job.pages[static_cast<size_t>(p)];
        CHECK(readFile(pageFileName(start.fileName, p)) == std::string(image.begin(), image.end()));
    }
    CHECK_EQ(simple(fd, USB_SCAN_UNLOCK, g_first), 0);
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
    CHECK_EQ(lockScanner(fd, g_first), 0);
    USBCommonReq req = {g_first};
    sendCommand(fd, USB_SCAN_START, req);
    USBScanStartRes start;
    if (!CHECK(recvExact(fd, &start, sizeof(start), 20000)) || !CHECK_EQ(start.result, 0))
        return;
    USBScanRecordRes record = {};
    for (int i = 0; i < 5; ++i)
        CHECK(recvExact(fd, &record, sizeof(record), 20000));
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
    const std::string log = scanInfoLogPath();
    CHECK(!fileExists(page0));
    CHECK(fileExists(other));
    std::string text = readFile(log);
    size_t at = text.rfind("[OvraScanSDK] kill -9 ");
    pid_t dataPid = at == std::string::npos ? -1 : atoi(text.c_str() + at + 22);
    CHECK(dataPid > 1 && !signalProcess(dataPid, 0));
    unlink(other.c_str());
    CHECK_EQ(simple(fd, USB_SCAN_UNLOCK, g_first), 0);
}

} // namespace

int main()
{
    signal(SIGPIPE, SIG_IGN);
    const TestInstallRoot root("e2eusb", {"scan"});
    ovraemu::UsbScannerBed bed; // points UMOCKDEV_DIR at its testbed for the daemon
    int first = bed.AddScanner(c_vid, 1, "E2E-1");
    bed.AddScanner(c_vid, 2, "E2E-2", "Ovra", "Сканер MFP");
    pid_t daemon = startDaemon();
    if (!daemonStillRunning(daemon)) {
        fprintf(stderr, "FAIL: the daemon did not start (port %u busy?)\n", c_port);
        return 1;
    }
    g_fd = connectLoopback(c_port);
    int ret = testcheck::run({
        {"devicesStringsAndReopen", [&] { devicesStringsAndReopen(bed); }},
        {"lockRefusalsAndFeeder", [&] { lockRefusalsAndFeeder(bed, first); }},
        {"threePageScan", [&] { threePageScan(bed, first); }},
        {"abortMidScan", [&] { abortMidScan(bed, first); }},
    });
    close(g_fd);
    signalProcess(daemon, SIGQUIT);
    int status = 0;
    waitpid(daemon, &status, 0);
    return ret;
}
