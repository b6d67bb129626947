// A USB scanner unplugged in the middle of a scan: the daemon program, run
// under the umockdev preload, against the USB scanner emulator. The client
// gets a record with result 9 as the last one, the data process ends, the
// pages begun stay until the client removes them, and the daemon serves the
// next client (a scanner plugged in again scans whole pages). Records and page
// files agree for every order of scanner records, and the first record may come
// after the warm-up the scanner reported (the daemon's record wait is cut to 2 s
// and its idle time-out to 3 s here, so that the waits are short).
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
// The scanner plugged in: a new one once the first has been unplugged.
int g_id = -1;

ovraemu::ScanJob threePages()
{
    ovraemu::PageGeometry geometry;
    geometry.width = 200;
    geometry.height = 150; // 30000 bytes a page
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
    const auto [fd, devfd, start] = startUsbScanClient(c_port, c_vid, c_pid);
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
    CHECK_EQ(abortUsbScan(fd, devfd, start), 9);
    CHECK(pageFilesOf(baseName).empty());
    CHECK_EQ(usbHandleCommand(fd, USB_CLOSE_DEV, devfd), 0);
    close(fd);
}

// The next client finds no scanner until one is plugged in again, then scans.
void nextClientScans(ovraemu::UsbScannerBed& bed)
{
    const int probe = connectLoopback(c_port);
    CHECK_EQ(firstUsbDevice(probe, c_vid, c_pid), -1);
    close(probe);
    const int again = g_id = bed.AddScanner(c_vid, c_pid, c_szSerial);
    const ovraemu::ScanJob job = threePages();
    bed.SetJob(again, job);
    const auto [fd, devfd, start] = startUsbScanClient(c_port, c_vid, c_pid);
    if (!CHECK(devfd >= 0))
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
    CHECK_EQ(usbHandleCommand(fd, USB_SCAN_UNLOCK, devfd), 0);
    close(fd);
}

using ovraemu::JobStep;
using Status = ovraemu::ScanStatus;

JobStep mark(Status status) { return JobStep::Record(status); }
JobStep data(char fill, size_t size = 1000)
{
    return JobStep::Record(Status::Continuous, std::vector<uint8_t>(size, uint8_t(fill)));
}
// A record header without payload: it carries no status of its own.
JobStep bare() { return JobStep::AnnouncedRecord(uint8_t(Status::Continuous), 0); }

struct stSequenceCase {
    const char* name;
    std::vector<JobStep> steps;     // after begin of scan, before end of data
    std::vector<std::string> pages; // the page files they must give
};

// Every begin-of-page record names the page file just made, and the bytes the
// records announce for a page (its begin record's, then those of the records
// after it, which name fileIndex - 1) are the bytes of its file.
void checkRecordsMatchFiles(const std::vector<USBScanRecordRes>& records, const std::string& baseName,
                            const std::vector<std::string>& pages)
{
    std::vector<int64_t> announced(pages.size() + 1, 0);
    int begun = 0;
    for (const USBScanRecordRes& record : records) {
        const bool begins = record.st == SCAN_STATUS_BEGIN_OF_PAGE;
        if (begins)
            CHECK_EQ(record.fileIndex, begun++);
        const int page = begins ? record.fileIndex : record.fileIndex - 1;
        if (record.dataSize > 0 && CHECK(page >= 0 && page < int(announced.size())))
            announced[size_t(page)] += record.dataSize;
    }
    CHECK_EQ(begun, int(pages.size()));
    CHECK_EQ(pageFilesOf(baseName).size(), pages.size());
    for (size_t page = 0; page < pages.size(); ++page) {
        CHECK(readFile(pageFileName(baseName, int(page))) == pages[page]);
        CHECK_EQ(announced[page], int64_t(pages[page].size()));
    }
}

void recordSequencesMatchPageFiles(ovraemu::UsbScannerBed& bed)
{
    const int id = g_id;
    const std::string a(1000, 'a'), b(1000, 'b');
    const std::vector<stSequenceCase> cases = {
        {"bare record after begin of page",
         {mark(Status::BeginOfPage), bare(), data('a'), mark(Status::EndOfPage)},
         {a}},
        {"bare records on two pages",
         {mark(Status::BeginOfPage), bare(), data('a'), mark(Status::EndOfPage), mark(Status::BeginOfPage), bare(),
          bare(), data('b'), mark(Status::EndOfPage)},
         {a, b}},
        {"data before any begin of page", {data('a', 500), data('a', 500), mark(Status::EndOfPage)}, {a}},
        {"bare record between pages",
         {mark(Status::BeginOfPage), data('a'), mark(Status::EndOfPage), bare(), mark(Status::BeginOfPage), data('b')},
         {a, b}},
        {"empty page", {mark(Status::BeginOfPage), mark(Status::BeginOfPage), data('b')}, {"", b}},
    };
    for (const stSequenceCase& row : cases) {
        fprintf(stderr, "  case: %s\n", row.name);
        ovraemu::ScanJob job;
        job.steps.push_back(mark(Status::BeginOfScan));
        job.steps.insert(job.steps.end(), row.steps.begin(), row.steps.end());
        job.steps.push_back(mark(Status::EndOfData));
        bed.SetJob(id, job);
        const stUsbScanClient client = startUsbScanClient(c_port, c_vid, c_pid);
        if (!CHECK(client.devfd >= 0))
            return;
        bool ended = false;
        const std::vector<USBScanRecordRes> records = recordsToTheEnd<USBScanRecordRes>(client.fd, 20000, ended);
        CHECK(ended && records.back().result == OVRA_STATUS_EOF);
        checkRecordsMatchFiles(records, client.start.fileName, row.pages);
        CHECK(deletePageFiles(client.fd, client.start.fileName));
        CHECK_EQ(usbHandleCommand(client.fd, USB_SCAN_UNLOCK, client.devfd), OVRA_STATUS_GOOD);
        close(client.fd);
    }
}

// A scanner that was asleep sends its first record after the warm-up it reported
// on power-on. The client waits meanwhile without a command: a connection whose
// scan runs is never idle.
void firstRecordAfterTheWarmUp(ovraemu::UsbScannerBed& bed)
{
    const int id = g_id;
    struct stWarmUpCase {
        const char* name;
        uint8_t warmUpSeconds;
        int32_t result; // of the last record
    };
    for (const stWarmUpCase& row : {stWarmUpCase{"warm-up reported", 4, OVRA_STATUS_EOF},
                                    stWarmUpCase{"no warm-up reported", 0, OVRA_STATUS_DEVICE_BUSY}}) {
        fprintf(stderr, "  case: %s\n", row.name);
        bed.SetAsleep(id, true, row.warmUpSeconds);
        ovraemu::ScanJob job = threePages();
        job.steps.front().delayMs = 3500; // past the record wait and the idle time-out
        bed.SetJob(id, job);
        const int fd = connectLoopback(c_port);
        const int devfd = firstUsbDevice(fd, c_vid, c_pid);
        CHECK_EQ(usbHandleCommand(fd, USB_SCAN_POWERON, devfd), OVRA_STATUS_GOOD);
        USBScanStartRes start = {};
        if (!CHECK(lockAndStartUsbScan(fd, devfd, start)) || !CHECK_EQ(start.result, OVRA_STATUS_GOOD))
            return;
        bool ended = false;
        const std::vector<USBScanRecordRes> records = recordsToTheEnd<USBScanRecordRes>(fd, 20000, ended);
        CHECK(ended && records.back().result == row.result);
        CHECK_EQ(abortUsbScan(fd, devfd, start), OVRA_STATUS_GOOD);
        CHECK_EQ(usbHandleCommand(fd, USB_SCAN_UNLOCK, devfd), OVRA_STATUS_GOOD);
        close(fd);
    }
}

} // namespace

int main()
{
    signal(SIGPIPE, SIG_IGN);
    const TestInstallRoot root("faultusb", {"scan"});
    ovraemu::UsbScannerBed bed; // points UMOCKDEV_DIR of the daemon at its testbed
    const int id = bed.AddScanner(c_vid, c_pid, c_szSerial);
    // The daemon's connection and data processes share one open device node.
    setenv("LD_PRELOAD", ovraemu::ForkSafePreload().c_str(), 1);
    setenv("OVRA_SCAN_DAEMON_RECORD_WAIT_SECONDS", "2", 1);
    setenv("OVRA_SCAN_DAEMON_IDLE_SECONDS", "3", 1);
    const pid_t daemon = startFaultDaemon(c_port);
    int ret = daemon < 0 ? 1
                         : testcheck::run({
                             {"unplugMidScan", [&] { unplugMidScan(bed, id); }},
                             {"nextClientScans", [&] { nextClientScans(bed); }},
                             {"recordSequencesMatchPageFiles", [&] { recordSequencesMatchPageFiles(bed); }},
                             {"firstRecordAfterTheWarmUp", [&] { firstRecordAfterTheWarmUp(bed); }},
                         });
    stopFaultDaemon(daemon);
    return ret;
}
