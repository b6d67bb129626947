// The connection process over a socket pair, with fake USB scanners and fake
// network scanners (127.0.0.106-110): every command's request and reply, short
// requests, undefined commands, handles this connection did not open, scans
// into page files, abort and delete.
#include "connection.h"
#include "fakenetscanner.h"
#include "fakeusb.h"
#include "procinfo.h"
#include "scanlog.h"
#include "scanpaths.h"
#include "testcheck.h"
#include "ovrascan/scanclient.h"
#include "testsupport.h"
#include "usbfind.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

using ovrascan::NetScannerSocket;

namespace {

std::string g_root;
bool g_netSkipped = false;
const uint16_t c_vid = OVRA_USB_VENDOR_ID;

// A connection process serving one end of a socket pair.
struct stConnection {
    int fd = -1;
    pid_t pid = -1;
    stConnection()
    {
        int pair[2];
        socketpair(AF_UNIX, SOCK_STREAM, 0, pair);
        pid = fork();
        if (pid == 0) {
            close(pair[1]);
            runConnectionProcess(pair[0]);
            _exit(0);
        }
        close(pair[0]);
        fd = pair[1];
    }
    ~stConnection()
    {
        close(fd);
        int status = 0;
        waitpid(pid, &status, 0);
    }
};

template <typename T>
T recvRecord(int fd, bool* ok = nullptr)
{
    T record;
    memset(&record, 0xEE, sizeof(record));
    bool got = recvExact(fd, &record, sizeof(record));
    if (ok)
        *ok = got;
    else
        CHECK(got);
    return record;
}

std::vector<USBFindDevRes> findDevices(int fd, int32_t vid, int32_t pid, bool comparePid, int32_t& count)
{
    USBFindDevReq req = {vid, pid, static_cast<uint8_t>(comparePid), {0, 0, 0}};
    sendCommand(fd, USB_FIND_DEV, req);
    count = recvRecord<int32_t>(fd);
    std::vector<USBFindDevRes> devices;
    for (int i = 0; i < count; ++i)
        devices.push_back(recvRecord<USBFindDevRes>(fd));
    return devices;
}

// The devices a search finds; none, and a failed check, when it finds other than `expected`.
std::vector<USBFindDevRes> findExactly(int fd, int32_t vid, int32_t pid, bool comparePid, int32_t expected)
{
    int32_t count = -5;
    std::vector<USBFindDevRes> devices = findDevices(fd, vid, pid, comparePid, count);
    return CHECK_EQ(count, expected) ? devices : std::vector<USBFindDevRes>();
}

USBReopenDevRes reopenDevice(int fd, int32_t handle, int32_t vid, const char* serial)
{
    USBReopenDevReq req;
    memset(&req, 0, sizeof(req));
    req.devfd = handle;
    req.vid = vid;
    req.pid = 1;
    strcpy(req.SerialNumber, serial);
    sendCommand(fd, USB_REOPEN_DEV, req);
    return recvRecord<USBReopenDevRes>(fd);
}

USBScanStartRes startUsbScan(int fd, int32_t handle)
{
    USBCommonReq req = {handle};
    sendCommand(fd, USB_SCAN_START, req);
    return recvRecord<USBScanStartRes>(fd);
}

int32_t intReply(int fd, int32_t command, int32_t devfd)
{
    USBCommonReq req = {devfd};
    sendCommand(fd, command, req);
    return recvRecord<int32_t>(fd);
}

void undefinedAndShortCommands()
{
    FakeUsbBed bed;
    bed.useAsUsbPath();
    bed.addDevice("001", "002", fakeScanner(c_vid, 1, u"SER1"));
    stConnection c;
    int32_t undefinedCodes[] = {20, 99, -1};
    for (int32_t code : undefinedCodes)
        sendBytes(c.fd, &code, 4);
    CHECK(nothingArrives(c.fd, 200));
    findExactly(c.fd, c_vid, 1, true, 1); // still served after undefined commands

    // A short request gets no reply; what follows is read as the next command.
    int32_t code = USB_FIND_DEV;
    sendBytes(c.fd, &code, 4);
    sendBytes(c.fd, "\x5A\x2E\0\0\1", 5);
    CHECK(nothingArrives(c.fd, 300));
    CHECK_EQ(intReply(c.fd, USB_OPEN_DEV, 77), 9);

    // A short reopen request is answered with 9.
    code = USB_REOPEN_DEV;
    sendBytes(c.fd, &code, 4);
    sendBytes(c.fd, "abc", 3);
    USBReopenDevRes reopen = recvRecord<USBReopenDevRes>(c.fd);
    CHECK_EQ(reopen.ret, 9);
    CHECK_EQ(intReply(c.fd, USB_CLOSE_DEV, 77), 9);
    CHECK(logContains(scanErrLogPath(), "[OvraScanSDK] undefined scanCommandType 99\n"));
    CHECK(logContains(scanErrLogPath(), "[OvraScanSDK] undefined scanCommandType -1\n"));
    CHECK(logContains(scanErrLogPath(), "[OvraScanSDK] recv FindDevReq err\n"));
    CHECK(logContains(scanErrLogPath(), "[OvraScanSDK] recv USBReopenDevReq err\n"));
}

void findOpenCloseDevices()
{
    {
        ovra_set_usb_paths({g_root + "/no-usb"});
        stConnection c;
        int32_t count = 0;
        findDevices(c.fd, c_vid, 1, true, count);
        CHECK_EQ(count, -1);
        CHECK(nothingArrives(c.fd, 200));
    }
    FakeUsbBed bed;
    bed.useAsUsbPath();
    bed.addDevice("001", "004", fakeScanner(c_vid, 1, u"SER1"));
    bed.addDevice("002", "009", fakeScanner(c_vid, 2, u"SER2", u"Сканер"));
    stConnection c;
    std::vector<USBFindDevRes> devs = findExactly(c.fd, c_vid, 0, false, 2);
    if (devs.empty())
        return;
    const USBFindDevRes& second = devs[0].pid == 2 ? devs[0] : devs[1];
    const USBFindDevRes& first = devs[0].pid == 2 ? devs[1] : devs[0];
    CHECK_EQ(first.vid, c_vid);
    CHECK_STR(first.Manufacturer, "Ovra");
    CHECK_STR(first.SerialNumber, "SER1");
    CHECK_STR(second.Product, "??????");
    CHECK_EQ(intReply(c.fd, USB_OPEN_DEV, first.fd), 0);
    CHECK_EQ(intReply(c.fd, USB_CLOSE_DEV, first.fd), 0);
    CHECK_EQ(intReply(c.fd, USB_CLOSE_DEV, first.fd), 9); // already given up
    CHECK_EQ(intReply(c.fd, USB_OPEN_DEV, first.fd), 9);
    USBClearDevEpReq clear = {second.fd, 0x82};
    sendCommand(c.fd, USB_CLEAR_DEV, clear);
    CHECK_EQ(recvRecord<int32_t>(c.fd), 0);
    USBResetDevEpReq reset = {second.fd, 0x02};
    sendCommand(c.fd, USB_RESET_DEVEP, reset);
    CHECK_EQ(recvRecord<int32_t>(c.fd), 0);
}

void scannerCommandsThroughTheConnection()
{
    FakeUsbBed bed;
    bed.useAsUsbPath();
    stFakeUsbDevice& dev = bed.addDevice("001", "001", fakeScanner(c_vid, 1, u"SER1"));
    dev.answers[0x5304] = ScanResponse(0x04, 0x80, {}, ADF_STATUS_PAPER_JAM);
    dev.answers[0x5305] = ScanResponse(0x05, 0x88);
    dev.answers[0x5303] = ScanResponse(0x03, 0x80, {3, 4, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 5, 0});
    stConnection c;
    std::vector<USBFindDevRes> devs = findExactly(c.fd, c_vid, 1, true, 1);
    if (devs.empty())
        return;
    int h = devs[0].fd;
    USBScanLockReq lock;
    memset(&lock, 0, sizeof(lock));
    lock.devfd = h;
    lock.info.bitDepth = 24;
    sendCommand(c.fd, USB_SCAN_LOCK, lock);
    CHECK_EQ(recvRecord<int32_t>(c.fd), 3); // locked by someone else
    CHECK_EQ(intReply(c.fd, USB_SCAN_UNLOCK, h), 0);
    CHECK_EQ(intReply(c.fd, USB_SCAN_POWERON, h), 0);
    CHECK_EQ(intReply(c.fd, USB_SCAN_GETSIZES, h), 0);
    USBCommonReq req = {h};
    sendCommand(c.fd, USB_SCAN_ADFSTATUS, req);
    USBScanAdfStatusRes adf = recvRecord<USBScanAdfStatusRes>(c.fd);
    CHECK_EQ(adf.result, 0);
    CHECK_EQ(adf.st, ADF_STATUS_PAPER_JAM);
    sendCommand(c.fd, USB_SCAN_DEVPROPERTIES, req);
    USBScanDevicePropertiesRes props = recvRecord<USBScanDevicePropertiesRes>(c.fd);
    CHECK_EQ(props.result, 0);
    CHECK_EQ(props.st.majorVersion, 3);
    CHECK_EQ(props.st.supportProcessing, 1u);
    CHECK_EQ(props.st.sources, 5);
}

// A command that names a handle: how its request is sent for a handle and how the
// result is read from its reply.
struct stHandleCommand {
    scanCommandType command;
    void (*send)(int fd, int32_t command, int32_t handle);
    int32_t (*result)(int fd);
};

// The request with every field zero but the handle.
template <typename Req>
void sendForHandle(int fd, int32_t command, int32_t handle)
{
    Req req;
    memset(&req, 0, sizeof(req));
    req.devfd = handle;
    sendCommand(fd, command, req);
}

void sendForEndpoint(int fd, int32_t command, int32_t handle)
{
    USBClearDevEpReq req = {handle, OVRA_SCAN_EP_IN};
    sendCommand(fd, command, req);
}

void sendNetAbort(int fd, int32_t command, int32_t handle)
{
    TCPScanAbortReq req;
    memset(&req, 0, sizeof(req));
    req.socket = NetScannerSocket("127.0.0.106", handle);
    sendCommand(fd, command, req);
}

int32_t plainResult(int fd) { return recvRecord<int32_t>(fd); }

// A refused start still names a well-formed scan.
int32_t startResult(int fd)
{
    USBScanStartRes start = recvRecord<USBScanStartRes>(fd);
    CHECK(isScanBaseName(start.fileName));
    return start.result;
}

const stHandleCommand c_handleCommands[] = {
    {USB_OPEN_DEV, sendForHandle<USBCommonReq>, plainResult},
    {USB_CLOSE_DEV, sendForHandle<USBCommonReq>, plainResult},
    {USB_SCAN_UNLOCK, sendForHandle<USBCommonReq>, plainResult},
    {USB_SCAN_POWERON, sendForHandle<USBCommonReq>, plainResult},
    {USB_SCAN_GETSIZES, sendForHandle<USBCommonReq>, plainResult},
    {USB_CLEAR_DEV, sendForEndpoint, plainResult},
    {USB_RESET_DEVEP, sendForEndpoint, plainResult},
    {USB_SCAN_LOCK, sendForHandle<USBScanLockReq>, plainResult},
    {USB_SCAN_ADFSTATUS, sendForHandle<USBCommonReq>,
     [](int fd) { return recvRecord<USBScanAdfStatusRes>(fd).result; }},
    {USB_SCAN_DEVPROPERTIES, sendForHandle<USBCommonReq>,
     [](int fd) { return recvRecord<USBScanDevicePropertiesRes>(fd).result; }},
    {USB_SCAN_START, sendForHandle<USBCommonReq>, startResult},
    {USB_REOPEN_DEV, sendForHandle<USBReopenDevReq>, [](int fd) { return recvRecord<USBReopenDevRes>(fd).ret; }},
    {TCP_SCAN_ABORT, sendNetAbort, plainResult},
};

void handlesOfOthersAreRefused()
{
    FakeUsbBed bed;
    bed.useAsUsbPath();
    stConnection c;
    // Descriptors that exist in the connection process but were not opened
    // as devices by it: standard descriptors, the client socket, the logs.
    for (int32_t h : {0, 1, 2, 3, 4, 5, 6, -1, 1000}) {
        for (const stHandleCommand& row : c_handleCommands) {
            row.send(c.fd, row.command, h);
            if (!CHECK_EQ(row.result(c.fd), OVRA_STATUS_IO_ERROR))
                fprintf(stderr, "  command %d, handle %d\n", row.command, h);
        }
    }
    // The connection is still served, the logs still written.
    CHECK_EQ(intReply(c.fd, USB_OPEN_DEV, 3), OVRA_STATUS_IO_ERROR);
    CHECK(logContains(scanInfoLogPath(), "[OvraScanSDK] USB_OPEN_DEV result 9\n"));
    CHECK(!logContains(scanInfoLogPath(), "kill -9")); // no scan ran: nothing to kill
}

void reopenBySerialNumber()
{
    FakeUsbBed bed;
    bed.useAsUsbPath();
    bed.addDevice("001", "003", fakeScanner(c_vid, 1, u"AAA"));
    bed.addDevice("001", "004", fakeScanner(c_vid, 1, u"BBB"));
    stConnection c;
    std::vector<USBFindDevRes> devs = findExactly(c.fd, c_vid, 1, true, 2);
    if (devs.empty())
        return;
    int oldHandle = devs[0].fd;
    CHECK_EQ(reopenDevice(c.fd, oldHandle, c_vid, "NOPE").ret, 9);
    CHECK_EQ(intReply(c.fd, USB_OPEN_DEV, oldHandle), 0); // still open

    USBReopenDevRes res = reopenDevice(c.fd, oldHandle, c_vid, "BBB");
    CHECK_EQ(res.ret, 0);
    CHECK(res.fd > 2);
    CHECK_EQ(intReply(c.fd, USB_OPEN_DEV, oldHandle), 9); // given up
    CHECK_EQ(intReply(c.fd, USB_OPEN_DEV, res.fd), 0);
    CHECK_EQ(intReply(c.fd, USB_SCAN_UNLOCK, res.fd), 0);
}

// A request naming another vendor finds nothing, and the daemon (root) opens none of
// that vendor's devices: an abort on an open device resets it.
void otherVendorsAreNeverOpened()
{
    FakeUsbBed bed;
    bed.useAsUsbPath();
    bed.addDevice("001", "003", fakeScanner(c_vid, 1, u"OURS"));
    stFakeUsbDevice foreign = fakeScanner(c_vid, 1, u"DISK");
    foreign.vid = 0x2E5A;
    bed.addDevice("001", "004", foreign);
    const std::string foreignNode = bed.root() + "/001/004";
    stConnection c;
    const struct {
        int32_t vid;
        bool comparePid;
    } rows[] = {{0x2E5A, true}, {0x2E5A, false}, {0, false}};
    for (const auto& row : rows)
        findExactly(c.fd, row.vid, 1, row.comparePid, 0);
    std::vector<USBFindDevRes> devs = findExactly(c.fd, c_vid, 0, false, 1);
    if (devs.empty())
        return;
    CHECK_STR(devs[0].SerialNumber, "OURS");
    CHECK_EQ(reopenDevice(c.fd, devs[0].fd, 0x2E5A, "DISK").ret, 9);
    CHECK_EQ(intReply(c.fd, USB_OPEN_DEV, devs[0].fd), 0); // its own device kept
    CHECK(!hasOpen(c.pid, foreignNode));
    CHECK(hasOpen(c.pid, bed.root() + "/001/003"));
}

void pushUsbPages(stFakeUsbDevice& dev, int seed, int pages)
{
    pushStatusRecord(dev.scanStream, SCAN_STATUS_BEGIN_OF_SCAN);
    for (int p = 0; p < pages; ++p) {
        pushStatusRecord(dev.scanStream, SCAN_STATUS_BEGIN_OF_PAGE);
        Bytes image = pageImage(seed, p, 2500 + 100 * p);
        pushImageRecord(dev.scanStream, Bytes(image.begin(), image.begin() + 1000));
        pushImageRecord(dev.scanStream, Bytes(image.begin() + 1000, image.end()));
        dev.scanStream.push_back(ScanResponse(0x02, 0x80)); // a record without payload
        pushStatusRecord(dev.scanStream, SCAN_STATUS_END_OF_PAGE);
    }
    pushStatusRecord(dev.scanStream, SCAN_STATUS_END_OF_DATA);
}

int openOnlyDevice(int fd)
{
    std::vector<USBFindDevRes> devs = findExactly(fd, c_vid, 1, true, 1);
    return devs.empty() ? -1 : devs[0].fd;
}

void usbThreePageScan()
{
    FakeUsbBed bed;
    bed.useAsUsbPath();
    stFakeUsbDevice& dev = bed.addDevice("001", "001", fakeScanner(c_vid, 1, u"SER1"));
    pushUsbPages(dev, 7, 3);
    stConnection c;
    int h = openOnlyDevice(c.fd);
    USBScanStartRes start = startUsbScan(c.fd, h);
    CHECK_EQ(start.result, 0);
    CHECK_STR(start.fileName, scanBaseName(c.pid, 0));
    bool ended = false;
    std::vector<USBScanRecordRes> records = recordsToTheEnd<USBScanRecordRes>(c.fd, 5000, ended);
    // begin of scan, then per page: begin, 2 images, no payload, end; end of data.
    CHECK_EQ(records.size(), 2u + 3u * 5u);
    if (records.size() != 17)
        return;
    CHECK_EQ(records[0].st, SCAN_STATUS_BEGIN_OF_SCAN);
    CHECK_EQ(records[0].fileIndex, 0);
    for (int p = 0; p < 3; ++p) {
        const USBScanRecordRes* r = &records[1 + 5 * p];
        CHECK_EQ(r[0].st, SCAN_STATUS_BEGIN_OF_PAGE);
        CHECK_EQ(r[0].fileIndex, p); // the record that opens page p
        CHECK_EQ(r[1].st, SCAN_STATUS_OPERATION_CONTINUOUS);
        CHECK_EQ(r[1].fileIndex, p + 1); // the records after it
        CHECK_EQ(r[1].dataSize, 1000);
        CHECK_EQ(r[2].dataSize, 1500 + 100 * p);
        CHECK_EQ(r[3].st, SCAN_STATUS_OPERATION_CONTINUOUS); // unchanged by a record without payload
        CHECK_EQ(r[3].dataSize, 0);
        CHECK_EQ(r[4].st, SCAN_STATUS_END_OF_PAGE);
        CHECK_EQ(r[4].fileIndex, p + 1);
        for (int k = 0; k < 5; ++k)
            CHECK_EQ(r[k].result, 0);
    }
    CHECK_EQ(records[16].st, SCAN_STATUS_END_OF_DATA);
    CHECK_EQ(records[16].result, 5);
    CHECK_EQ(records[16].fileIndex, 3);
    for (int p = 0; p < 3; ++p) {
        Bytes image = pageImage(7, p, 2500 + 100 * p);
        CHECK(readFile(pageFileName(start.fileName, p)) == std::string(image.begin(), image.end()));
    }
    CHECK(!fileExists(pageFileName(start.fileName, 3)));
    // The client has the pages removed one by one.
    for (int p = 0; p < 3; ++p) {
        CmdDeleteFileReq del;
        copyToWire(del.fileName, pageFileName(start.fileName, p));
        sendCommand(c.fd, CMD_DELETE_FILE, del);
    }
    CHECK(nothingArrives(c.fd, 200));
    for (int p = 0; p < 3; ++p)
        CHECK(!fileExists(pageFileName(start.fileName, p)));

    // The next scan of this connection takes the next number.
    CHECK_STR(startUsbScan(c.fd, h).fileName, scanBaseName(c.pid, 1));
}

void usbAbortMidScan()
{
    FakeUsbBed bed;
    bed.useAsUsbPath();
    stFakeUsbDevice& dev = bed.addDevice("001", "001", fakeScanner(c_vid, 1, u"SER1"));
    pushStatusRecord(dev.scanStream, SCAN_STATUS_BEGIN_OF_PAGE);
    pushImageRecord(dev.scanStream, Bytes(800, 0x11));
    dev.blockWhenEmpty = true;
    stConnection c;
    int h = openOnlyDevice(c.fd);
    USBScanStartRes start = startUsbScan(c.fd, h);
    CHECK_EQ(start.result, 0);
    USBScanRecordRes first = recvRecord<USBScanRecordRes>(c.fd);
    USBScanRecordRes image = recvRecord<USBScanRecordRes>(c.fd);
    CHECK_EQ(first.st, SCAN_STATUS_BEGIN_OF_PAGE);
    CHECK_EQ(image.dataSize, 800);
    std::string page0 = pageFileName(start.fileName, 0);
    CHECK(fileExists(page0));
    // Files of other scans and the logs stay.
    std::string otherScan = pageFileName(scanBaseName(c.pid, 10), 0);
    std::string otherConn = pageFileName(scanBaseName(c.pid + 1, 0), 0);
    writeFile(otherScan, "x");
    writeFile(otherConn, "x");

    USBScanAbortReq abort;
    memset(&abort, 0, sizeof(abort));
    abort.devfd = h;
    copyToWire(abort.fileName, start.fileName);
    sendCommand(c.fd, USB_SCAN_ABORT, abort);
    CHECK_EQ(recvRecord<int32_t>(c.fd), 0);
    CHECK(!fileExists(page0));
    CHECK(fileExists(otherScan));
    CHECK(fileExists(otherConn));
    CHECK(fileExists(scanInfoLogPath()));
    pid_t dataPid = lastKilledPid();
    CHECK(dataPid > 0);
    CHECK(dataPid > 0 && !signalProcess(dataPid, 0)); // ended and collected
    CHECK(nothingArrives(c.fd, 200));

    // A second abort has no data process left to kill.
    sendCommand(c.fd, USB_SCAN_ABORT, abort);
    CHECK_EQ(recvRecord<int32_t>(c.fd), 0);
    CHECK_EQ(lastKilledPid(), dataPid);
    // An empty name removes nothing.
    memset(abort.fileName, 0, sizeof(abort.fileName));
    sendCommand(c.fd, USB_SCAN_ABORT, abort);
    CHECK_EQ(recvRecord<int32_t>(c.fd), 0);
    CHECK(logContains(scanInfoLogPath(), "[OvraScanSDK] subStr isEmpty\n"));
    unlink(otherScan.c_str());
    unlink(otherConn.c_str());
}

void scanEndsWhenAPageFileCannotBeCreated()
{
    FakeUsbBed bed;
    bed.useAsUsbPath();
    stFakeUsbDevice& dev = bed.addDevice("001", "001", fakeScanner(c_vid, 1, u"SER1"));
    pushUsbPages(dev, 1, 2);
    stConnection c;
    int h = openOnlyDevice(c.fd);
    std::string scan = g_root + "/scan";
    std::string moved = g_root + "/scan.away";
    CHECK_EQ(rename(scan.c_str(), moved.c_str()), 0);
    USBScanStartRes start = startUsbScan(c.fd, h);
    CHECK_EQ(start.result, 0);
    bool ended = false;
    std::vector<USBScanRecordRes> records = recordsToTheEnd<USBScanRecordRes>(c.fd, 5000, ended);
    CHECK_EQ(records.size(), 2u);
    if (records.size() == 2) {
        CHECK_EQ(records[1].st, SCAN_STATUS_OPERATION_CONTINUOUS);
        CHECK_EQ(records[1].fileIndex, 0);
        CHECK_EQ(records[1].dataSize, 0);
        CHECK_EQ(records[1].result, 11);
    }
    CHECK(nothingArrives(c.fd, 300));
    rename(moved.c_str(), scan.c_str());
}

void deleteFileOutsideTheScanDirectory()
{
    stConnection c;
    std::string outside = g_root + "/keep.tmp";
    writeFile(outside, "keep");
    for (std::string name : {outside, scanInfoLogPath(), scanDirPath() + "../keep.tmp",
                             scanDirPath() + "ovrascandata_1_1_1.tmp/../../keep.tmp", std::string(300, 'a')}) {
        CmdDeleteFileReq del;
        copyToWire(del.fileName, name);
        sendCommand(c.fd, CMD_DELETE_FILE, del);
    }
    // A name filling all 256 bytes without a terminator.
    CmdDeleteFileReq full;
    memset(full.fileName, 'b', sizeof(full.fileName));
    sendCommand(c.fd, CMD_DELETE_FILE, full);
    CmdDeleteFileReq missing;
    copyToWire(missing.fileName, pageFileName(scanBaseName(1, 1), 1));
    sendCommand(c.fd, CMD_DELETE_FILE, missing);
    CHECK(nothingArrives(c.fd, 300));
    // A name cannot forge a line in the world-readable log.
    CmdDeleteFileReq forged;
    copyToWire(forged.fileName, "x\n[OvraScanSDK] forged\\");
    sendCommand(c.fd, CMD_DELETE_FILE, forged);
    CHECK(nothingArrives(c.fd, 300));
    CHECK(fileExists(outside));
    CHECK(fileExists(scanInfoLogPath()));
    CHECK(logContains(scanErrLogPath(), "not a page file, not deleted:x\\x0a[OvraScanSDK] forged\\x5c\n"));
    CHECK(!logContains(scanErrLogPath(), "\n[OvraScanSDK] forged"));
    CHECK_EQ(intReply(c.fd, USB_OPEN_DEV, 3), 9); // the connection goes on
}

void networkScanThreePages()
{
    for (bool firstBlockIsData : {false, true}) {
        stNetScanConfig config;
        config.seed = firstBlockIsData ? 12 : 11;
        config.firstBlockIsData = firstBlockIsData;
        config.pageSize = 2500;
        FakeNetScanner scanner("127.0.0.106", config);
        if (!scanner.start()) {
            g_netSkipped = true;
            return;
        }
        stConnection c;
        TCPScanStartReq req;
        memset(&req, 0, sizeof(req));
        req.socket = NetScannerSocket("127.0.0.106", 1); // not a data connection of this process: left alone
        req.info.bitDepth = 24;
        sendCommand(c.fd, TCP_SCAN_START, req);
        TCPScanStartRes start = recvRecord<TCPScanStartRes>(c.fd);
        CHECK_EQ(start.result, 0);
        CHECK(start.socketDataFd > 2);
        CHECK_STR(start.fileName, scanBaseName(c.pid, 0));
        bool ended = false;
        std::vector<TCPRecordRes> records = recordsToTheEnd<TCPRecordRes>(c.fd, 5000, ended);
        CHECK(records.size() > 4);
        if (records.size() < 4)
            continue;
        CHECK_EQ(records[0].st, SCAN_STATUS_BEGIN_OF_PAGE); // always, even for image data
        CHECK_EQ(records[0].bufferLen, firstBlockIsData ? 1024 : 0);
        CHECK_EQ(records.back().result, 5);
        CHECK_EQ(records.back().st, SCAN_STATUS_END_OF_DATA);
        int pagesStarted = 0;
        for (const TCPRecordRes& r : records) {
            CHECK_EQ(r.fileIndex, pagesStarted); // a page's first record too names the pages before it
            pagesStarted += r.st == SCAN_STATUS_BEGIN_OF_PAGE ? 1 : 0;
        }
        CHECK_EQ(pagesStarted, 3);
        for (int p = 0; p < 3; ++p) {
            std::vector<unsigned char> image = scanner.page(p);
            CHECK(readFile(pageFileName(start.fileName, p)) == std::string(image.begin(), image.end()));
        }
        // A scan start naming this connection's data connection gives it up.
        req.socket.tcpFromScanner = start.socketDataFd;
        sendCommand(c.fd, TCP_SCAN_START, req);
        TCPScanStartRes again = recvRecord<TCPScanStartRes>(c.fd);
        CHECK_EQ(again.result, 0);
        CHECK_STR(again.fileName, scanBaseName(c.pid, 1));
        recordsToTheEnd<TCPRecordRes>(c.fd, 5000, ended);
        scanner.stop();
    }
}

void networkAbortMidScan()
{
    stNetScanConfig config;
    config.holdMidScan = true;
    FakeNetScanner scanner("127.0.0.107", config);
    if (!scanner.start()) {
        g_netSkipped = true;
        return;
    }
    stConnection c;
    TCPScanStartReq req;
    memset(&req, 0, sizeof(req));
    req.socket = NetScannerSocket("127.0.0.107", -1);
    sendCommand(c.fd, TCP_SCAN_START, req);
    TCPScanStartRes start = recvRecord<TCPScanStartRes>(c.fd);
    CHECK_EQ(start.result, 0);
    TCPRecordRes page = recvRecord<TCPRecordRes>(c.fd);
    TCPRecordRes block = recvRecord<TCPRecordRes>(c.fd);
    CHECK_EQ(page.st, SCAN_STATUS_BEGIN_OF_PAGE);
    CHECK_EQ(block.bufferLen, 1024);
    CHECK(fileExists(pageFileName(start.fileName, 0)));
    TCPScanAbortReq abort;
    memset(&abort, 0, sizeof(abort));
    abort.socket = NetScannerSocket("127.0.0.107", start.socketDataFd);
    copyToWire(abort.fileName, start.fileName);
    sendCommand(c.fd, TCP_SCAN_ABORT, abort);
    CHECK_EQ(recvRecord<int32_t>(c.fd, nullptr), 0);
    CHECK(!fileExists(pageFileName(start.fileName, 0)));
    pid_t dataPid = lastKilledPid();
    CHECK(dataPid > 0 && !signalProcess(dataPid, 0));
    CHECK(nothingArrives(c.fd, 200));
    // The data connection was given up: naming it again closes nothing, but the abort
    // still reaches the scanner, from this connection or from one that never owned it
    // (whose own descriptor of that number stays open: its reply arrives).
    sendCommand(c.fd, TCP_SCAN_ABORT, abort);
    CHECK_EQ(recvRecord<int32_t>(c.fd, nullptr), 0);
    {
        stConnection other;
        sendCommand(other.fd, TCP_SCAN_ABORT, abort);
        CHECK_EQ(recvRecord<int32_t>(other.fd, nullptr), 0);
    }
    scanner.stop();
    int abortsPosted = 0;
    for (const std::string& request : scanner.httpRequests())
        abortsPosted += request.find("SCANTYPE=4") != std::string::npos ? 1 : 0;
    CHECK_EQ(abortsPosted, 3);
}

void networkQueries()
{
    stNetScanConfig config;
    config.oslReply = std::string(300, 'q');
    config.oslParts = 3;
    // The connection process must not inherit the scanner's listening
    // sockets: it checks below what happens once the scanner is gone.
    stConnection c;
    FakeNetScanner scanner("127.0.0.108", config);
    if (!scanner.start()) {
        g_netSkipped = true;
        return;
    }
    TCPOSLReq osl = {NetScannerSocket("127.0.0.108", -1), OSL_CMD_FAMILYTYPE};
    sendCommand(c.fd, TCP_SEND_OSL, osl);
    TCPOSLRes oslRes = recvRecord<TCPOSLRes>(c.fd);
    CHECK_EQ(oslRes.result, 0);
    CHECK_EQ(oslRes.bufferLen, 300);
    std::string text(300, '\0');
    CHECK(recvExact(c.fd, &text[0], 300));
    CHECK_STR(text, config.oslReply);
    TCPCommonReq common = {NetScannerSocket("127.0.0.108", -1)};
    sendCommand(c.fd, TCP_SCAN_ADFST, common);
    TCPADFStatusRes adf = recvRecord<TCPADFStatusRes>(c.fd);
    CHECK_EQ(adf.result, 0);
    CHECK_EQ(adf.st, ADF_STATUS_LOADED);
    sendCommand(c.fd, TCP_SCAN_DEVPROPERTIES, common);
    TCPDevPropertiesRes props = recvRecord<TCPDevPropertiesRes>(c.fd);
    CHECK_EQ(props.result, 0);
    CHECK_EQ(props.devPro.maxres, 1200u);
    CHECK_EQ(props.devPro.duplex, 1);
    scanner.stop();
    // Without a scanner: failures with empty replies.
    sendCommand(c.fd, TCP_SEND_OSL, osl);
    oslRes = recvRecord<TCPOSLRes>(c.fd);
    CHECK_EQ(oslRes.result, 9);
    CHECK_EQ(oslRes.bufferLen, 0);
    sendCommand(c.fd, TCP_SCAN_ADFST, common);
    adf = recvRecord<TCPADFStatusRes>(c.fd);
    CHECK_EQ(adf.result, 9);
    CHECK_EQ(adf.st, 0);
    // An address filling all 16 bytes without a terminator.
    memset(common.socket.szScannerIP, '1', sizeof(common.socket.szScannerIP));
    sendCommand(c.fd, TCP_SCAN_DEVPROPERTIES, common);
    CHECK_EQ(recvRecord<TCPDevPropertiesRes>(c.fd).result, 9);
}

} // namespace

int main()
{
    signal(SIGPIPE, SIG_IGN);
    const TestInstallRoot root("conn", {"scan"});
    g_root = root.Path();
    OvraInitDbg();
    int ret = testcheck::run({
        TEST_CASE(undefinedAndShortCommands),
        TEST_CASE(findOpenCloseDevices),
        TEST_CASE(scannerCommandsThroughTheConnection),
        TEST_CASE(handlesOfOthersAreRefused),
        TEST_CASE(reopenBySerialNumber),
        TEST_CASE(otherVendorsAreNeverOpened),
        TEST_CASE(usbThreePageScan),
        TEST_CASE(usbAbortMidScan),
        TEST_CASE(scanEndsWhenAPageFileCannotBeCreated),
        TEST_CASE(deleteFileOutsideTheScanDirectory),
        TEST_CASE(networkScanThreePages),
        TEST_CASE(networkAbortMidScan),
        TEST_CASE(networkQueries),
    });
    if (g_netSkipped)
        printf("SKIPPED: network scanner cases need root (binding port 80)\n");
    OvraCloseDbg();
    return ret;
}
