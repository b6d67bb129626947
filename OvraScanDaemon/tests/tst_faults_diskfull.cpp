// The disk full while a page file is written: the scan directory of a
// temporary install root is a 112 KiB tmpfs mounted in this test's own mount
// namespace (root only; the test skips otherwise), and a network scan and a
// USB scan each deliver two pages of 60000 bytes. Page 0 fits, page 1 does
// not: the record that meets the full disk carries result 9 and is the last
// one, the data process ends, page 0 and the other files of the directory are
// intact, and once the client has aborted the scan the daemon serves the next
// client. A USB scan that met the full disk is ended on the scanner by the daemon. The daemon runs under the umockdev preload for the USB scanner
// emulator; the network scanner emulator needs root for port 80 as well.
#include "ovraemu/netscanner.h"
#include "ovraemu/usbcore/testbedpreload.h"
#include "ovraemu/usbscannerbed.h"
#include "scanfaults.h"
#include "scanpaths.h"
#include "testcheck.h"

#include <csignal>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

const uint16_t c_port = 27148;
const uint16_t c_vid = OVRA_USB_VENDOR_ID;
const uint16_t c_pid = 0x0132;
const size_t c_pageBytes = 60000;
const char* const c_szScannerIp = "127.0.0.203";
const char* const c_szNotes = "notes.txt";
const char* const c_szOtherScan = "ovrascandata_1_0_0.tmp";

// True when `text` is the first bytes of `whole`.
bool isPrefixOf(const std::string& text, const std::vector<uint8_t>& whole)
{
    return bytesOf(whole).compare(0, text.size(), text) == 0;
}

// A private mount namespace with a small tmpfs on the scan directory.
bool mountSmallScanDir(const std::string& root)
{
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        perror("private mount namespace");
        return false;
    }
    const std::string scanDir = root + "/scan";
    if (mount("tmpfs", scanDir.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=112k,mode=0755") != 0) {
        perror("tmpfs on the scan directory");
        return false;
    }
    return true;
}

void writeOtherFiles()
{
    writeFile(scanDirPath() + c_szNotes, "kept as it is");
    writeFile(scanDirPath() + c_szOtherScan, "a page of another scan");
}

void checkOtherFiles()
{
    CHECK_STR(readFile(scanDirPath() + c_szNotes), "kept as it is");
    CHECK_STR(readFile(scanDirPath() + c_szOtherScan), "a page of another scan");
    CHECK(fileExists(scanInfoLogPath()) && fileExists(scanErrLogPath()));
}

// What the records and files of a scan that met the full disk must show.
template <typename Record>
void checkFullDiskScan(int fd, const std::string& baseName, const std::vector<std::vector<uint8_t>>& pages)
{
    bool ended = false;
    std::vector<Record> records = recordsToTheEnd<Record>(fd, 20000, ended);
    if (!CHECK(ended))
        return;
    CHECK_EQ(records.back().result, 9);
    CHECK(nothingArrives(fd, 1000)); // that record was the last one
    CHECK_EQ(pagesBegun(records), 2);
    const pid_t connection = connectionOfScan(baseName);
    CHECK(connection > 1 && childrenGone(connection, 5000));
    CHECK_EQ(pageFilesOf(baseName).size(), 2u);
    CHECK(readFile(pageFileName(baseName, 0)) == bytesOf(pages[0]));
    const std::string cut = readFile(pageFileName(baseName, 1));
    CHECK(cut.size() < c_pageBytes && isPrefixOf(cut, pages[1]));
    checkOtherFiles();
}

ovraemu::NetScanJob netJob(int pages)
{
    ovraemu::NetScanJob job;
    job.pages = pages;
    job.pageBytes = c_pageBytes;
    job.blockSize = 8000;
    return job;
}

void networkScanMeetsTheFullDisk(ovraemu::NetScanner& scanner)
{
    scanner.SetJob(netJob(2));
    int fd = connectLoopback(c_port);
    TCPScanStartRes start;
    if (!CHECK(startNetScan(fd, c_szScannerIp, start)) || !CHECK_EQ(start.result, 0))
        return;
    const std::vector<ovraemu::ScanJobRecord> jobs = scanner.Jobs();
    if (!CHECK_EQ(jobs.size(), 1u))
        return;
    checkFullDiskScan<TCPRecordRes>(fd, start.fileName, jobs[0].pages);
    CHECK_EQ(abortNetScan(fd, c_szScannerIp, start), 0);
    CHECK(pageFilesOf(start.fileName).empty());
    close(fd);

    // The next client: a page that fits.
    scanner.SetJob(netJob(1));
    fd = connectLoopback(c_port);
    if (!CHECK(startNetScan(fd, c_szScannerIp, start)) || !CHECK_EQ(start.result, 0))
        return;
    bool ended = false;
    std::vector<TCPRecordRes> records = recordsToTheEnd<TCPRecordRes>(fd, 20000, ended);
    CHECK(ended && records.back().result == 5);
    CHECK(readFile(pageFileName(start.fileName, 0)) == bytesOf(scanner.Jobs().back().pages[0]));
    CHECK(deletePageFiles(fd, start.fileName));
    close(fd);
}

ovraemu::ScanJob usbJob(unsigned pages)
{
    ovraemu::PageGeometry geometry;
    geometry.width = 200;
    geometry.height = 300; // 60000 bytes a page
    ovraemu::JobShape shape;
    shape.recordBytes = 8000;
    return ovraemu::MakePatternJob(pages, geometry, shape);
}

void usbScanMeetsTheFullDisk(ovraemu::UsbScannerBed& bed, int id)
{
    const ovraemu::ScanJob job = usbJob(2);
    bed.SetJob(id, job);
    const auto [fd, devfd, start] = startUsbScanClient(c_port, c_vid, c_pid);
    if (!CHECK(devfd >= 0))
        return;
    checkFullDiskScan<USBScanRecordRes>(fd, start.fileName, job.pages);
    // The daemon ended the scan on the scanner itself: the unlock, with no abort
    // from the client, reads no image data left over.
    CHECK(!bed.Progress(id).running);
    CHECK(deletePageFiles(fd, start.fileName));
    CHECK_EQ(usbHandleCommand(fd, USB_SCAN_UNLOCK, devfd), 0);
    close(fd);
    // Its connection process lets go of the scanner as it ends.
    CHECK(processGone(connectionOfScan(start.fileName), 5000));

    // The next client: a page that fits.
    const ovraemu::ScanJob small = usbJob(1);
    bed.SetJob(id, small);
    const stUsbScanClient next = startUsbScanClient(c_port, c_vid, c_pid);
    if (!CHECK(next.devfd >= 0))
        return;
    bool ended = false;
    std::vector<USBScanRecordRes> records = recordsToTheEnd<USBScanRecordRes>(next.fd, 20000, ended);
    CHECK(ended && records.back().result == 5);
    CHECK(readFile(pageFileName(next.start.fileName, 0)) == bytesOf(small.pages[0]));
    CHECK(deletePageFiles(next.fd, next.start.fileName));
    CHECK_EQ(usbHandleCommand(next.fd, USB_SCAN_UNLOCK, next.devfd), 0);
    close(next.fd);
}

int runWithDaemon(const std::string& root)
{
    if (!mountSmallScanDir(root))
        return 1;
    writeOtherFiles();
    ovraemu::UsbScannerBed bed; // points UMOCKDEV_DIR of the daemon at its testbed
    const int id = bed.AddScanner(c_vid, c_pid, "DISKFULL-1");
    ovraemu::NetScanner scanner(c_szScannerIp);
    scanner.SetFeeder(ovraemu::FeederState::Loaded);
    std::string error;
    if (!scanner.Start(&error)) {
        fprintf(stderr, "FAIL: network scanner emulator: %s\n", error.c_str());
        return 1;
    }
    // The daemon's connection and data processes share one open device node.
    setenv("LD_PRELOAD", ovraemu::ForkSafePreload().c_str(), 1);
    const pid_t daemon = startFaultDaemon(c_port);
    if (daemon < 0)
        return 1;
    int ret = testcheck::run({
        {"networkScanMeetsTheFullDisk", [&] { networkScanMeetsTheFullDisk(scanner); }},
        {"usbScanMeetsTheFullDisk", [&] { usbScanMeetsTheFullDisk(bed, id); }},
    });
    stopFaultDaemon(daemon);
    return ret;
}

} // namespace

int main()
{
    signal(SIGPIPE, SIG_IGN);
    if (!runsAsRoot("a tmpfs for the scan directory (and port 80 of the scanner emulator)"))
        return c_iSkipped;
    const TestInstallRoot root("faultdisk", {"scan"});
    // The mount namespace is made before any thread exists, so the whole process moves.
    const int ret = runWithDaemon(root.Path());
    umount2(root.FilePath("scan").c_str(), MNT_DETACH);
    return ret;
}
