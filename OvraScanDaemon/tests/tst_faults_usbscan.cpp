// A USB scanner unplugged in the middle of a scan: the daemon program, run
// under the umockdev preload, against the USB scanner emulator. The client
// gets a record with result 9 as the last one, the data process ends, the
// pages begun stay until the client removes them, and the daemon serves the
// next client (a scanner plugged in again scans whole pages).
#include "ovraemu/usbcore/testbedpreload.h"
#include "ovraemu/usbscannerbed.h"
#include "scanfaults.h"
#include "scanpaths.h"
#include "testcheck.h"

#include <csignal>
#include <cstring>
#include <unistd.h>

namespace {

const uint16_t c_port = 27146;
const uint16_t c_vid = OVRA_USB_VENDOR_ID;
const uint16_t c_pid = 0x0131;
const char* const c_szSerial = "UNPLUG-1";

ovraemu::ScanJob threePages()
{
    ovraemu::PageGeometry geometry;
    geometry.width = 200;
    geometry.height = 150;   // 30000 bytes a page
    ovraemu::JobShape shape;
    shape.recordBytes = 6000;
    shape.chunk = 3000;
    return ovraemu::MakePatternJob(3, geometry, shape);
}

// The scanner leaves the bus after the first two image records of page 1:
// page 0 whole and 12000 bytes of page 1 have been read by then.
void unplugMidScan(ovraemu::UsbScannerBed& bed, int id)
{
    ovraemu::ScanJob job = threePages();
    // Steps: 0 begin of scan, 1-7 page 0 (begin, five records, end), 8 begin of page 1.
    job.steps.insert(job.steps.begin() + 11, ovraemu::JobStep::Unplug());
    bed.SetJob(id, job);
    const stUsbScanClient client = startUsbScanClient(c_port, c_vid, c_pid);
    const int fd = client.fd;
    const int devfd = client.devfd;
    const USBScanStartRes& start = client.start;
    if (!CHECK(devfd >= 0))
        return;
    bool ended = false;
    std::vector<USBScanRecordRes> records = recordsToTheEnd<USBScanRecordRes>(fd, 20000, ended);
    CHECK(ended);
    CHECK(bed.IsUnplugged(id));
    if (!CHECK(!records.empty()))
        return;
    CHECK_EQ(records.back().result, 9);
    CHECK_EQ(records.back().dataSize, 0);
    CHECK_EQ(pagesBegun(records), 2);
    CHECK(nothingArrives(fd, 500));
    const std::string baseName = start.fileName;
    const pid_t connection = connectionOfScan(baseName);
    CHECK(connection > 1 && childrenGone(connection, 5000));

    // The pages begun stay for the client: page 0 whole, page 1 as far as it came.
    std::vector<std::string> pages = pageFilesOf(baseName);
    CHECK_EQ(pages.size(), 2u);
    CHECK(readFile(pageFileName(baseName, 0)) == bytesOf(job.pages[0]));
    CHECK(readFile(pageFileName(baseName, 1)) == bytesOf(job.pages[1], 12000));

    // The abort cannot reach the scanner any more (9), but removes the pages.
    USBScanAbortReq abort;
    memset(&abort, 0, sizeof(abort));
    abort.devfd = devfd;
    memcpy(abort.fileName, start.fileName, sizeof(abort.fileName));
    CHECK_EQ(usbIntCommand(fd, USB_SCAN_ABORT, &abort, sizeof(abort)), 9);
    CHECK(pageFilesOf(baseName).empty());
    const USBCommonReq closeReq = {devfd};
    CHECK_EQ(usbIntCommand(fd, USB_CLOSE_DEV, &closeReq, sizeof(closeReq)), 0);
    close(fd);
}

// The next client finds no scanner until one is plugged in again, then scans.
void nextClientScans(ovraemu::UsbScannerBed& bed)
{
    const int probe = connectLoopback(c_port);
    CHECK_EQ(firstUsbDevice(probe, c_vid, c_pid), -1);
    close(probe);
    const int again = bed.AddScanner(c_vid, c_pid, c_szSerial);
    const ovraemu::ScanJob job = threePages();
    bed.SetJob(again, job);
    const stUsbScanClient client = startUsbScanClient(c_port, c_vid, c_pid);
    const int fd = client.fd;
    const USBScanStartRes& start = client.start;
    if (!CHECK(client.devfd >= 0))
        return;
    bool ended = false;
    std::vector<USBScanRecordRes> records = recordsToTheEnd<USBScanRecordRes>(fd, 20000, ended);
    CHECK(ended && records.back().result == 5);
    CHECK_EQ(pagesBegun(records), 3);
    for (int page = 0; page < 3; ++page) {
        const std::vector<uint8_t>& image = job.pages[static_cast<size_t>(page)];
        CHECK(readFile(pageFileName(start.fileName, page)) == bytesOf(image));
    }
    CHECK(deletePageFiles(fd, start.fileName));
    const USBCommonReq unlock = {client.devfd};
    CHECK_EQ(usbIntCommand(fd, USB_SCAN_UNLOCK, &unlock, sizeof(unlock)), 0);
    close(fd);
}

} // namespace

int main()
{
    signal(SIGPIPE, SIG_IGN);
    const std::string root = makeInstallRoot("faultusb");
    ovraemu::UsbScannerBed bed;   // points UMOCKDEV_DIR of the daemon at its testbed
    const int id = bed.AddScanner(c_vid, c_pid, c_szSerial);
    // The daemon's connection and data processes share one open device node.
    setenv("LD_PRELOAD", ovraemu::ForkSafePreload().c_str(), 1);
    const pid_t daemon = startFaultDaemon(c_port);
    int ret = daemon < 0 ? 1 : testcheck::run({
        {"unplugMidScan", [&] { unplugMidScan(bed, id); }},
        {"nextClientScans", [&] { nextClientScans(bed); }},
    });
    stopFaultDaemon(daemon);
    removeTree(root);
    return ret;
}
