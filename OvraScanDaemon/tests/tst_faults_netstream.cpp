// Network scanners whose data stream breaks in the middle of a block: the daemon
// program against the network scanner emulator on 127.0.0.201-202 (port 80
// needs root; the test skips otherwise). One scanner closes the data
// connection mid-block, the other announces a block it never delivers and
// keeps the connection open, so only the daemon's receive time-outs end the
// wait. Either way the last record carries result 9, the data process ends,
// the pages begun stay until the client removes them, and the daemon serves
// the next client. A page that grows past the page file limit (cut to 50000
// bytes here) ends the scan the same way, and its file is removed.
#include "ovraemu/netscanner.h"
#include "scanfaults.h"
#include "scanpaths.h"
#include "testcheck.h"

#include <chrono>
#include <csignal>
#include <functional>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

const uint16_t c_port = 27147;
// ovra_tcp_recv_with_retry: four receive calls of up to 5 s each on the data connection.
const int c_iStreamTimeOutMs = 4 * 5000;
const char* const c_szPageLimit = "50000";

ovraemu::NetScanJob twoPages(ovraemu::DataFaultKind fault, int page, size_t delivered)
{
    ovraemu::NetScanJob job;
    job.pages = 2;
    job.pageBytes = 30000;
    job.blockSize = 8000;
    job.fault.kind = fault;
    job.fault.page = page;
    job.fault.block = 1;
    job.fault.deliveredBytes = delivered;
    return job;
}

bool startScanner(ovraemu::NetScanner& scanner, const ovraemu::NetScanJob& job)
{
    scanner.SetJob(job);
    scanner.SetFeeder(ovraemu::FeederState::Loaded);
    std::string error;
    if (scanner.Start(&error))
        return true;
    fprintf(stderr, "emulator not started: %s\n", error.c_str());
    return false;
}

// The scan that hits the fault: its records end with result 9, nothing follows,
// its data process is gone. Returns the start reply.
TCPScanStartRes brokenScan(int fd, const std::string& ip, int expectedPages, int timeoutMs)
{
    TCPScanStartRes start;
    if (!CHECK(startNetScan(fd, ip, start)) || !CHECK_EQ(start.result, 0))
        return start;
    bool ended = false;
    std::vector<TCPRecordRes> records = recordsToTheEnd<TCPRecordRes>(fd, timeoutMs, ended);
    if (!CHECK(ended))
        return start;
    CHECK_EQ(records.back().result, 9);
    CHECK_EQ(records.back().bufferLen, 0);
    CHECK_EQ(pagesBegun(records), expectedPages);
    CHECK(nothingArrives(fd, 500));
    const pid_t connection = connectionOfScan(start.fileName);
    CHECK(connection > 1 && childrenGone(connection, 5000));
    CHECK_EQ(pageFilesOf(start.fileName).size(), static_cast<size_t>(expectedPages));
    return start;
}

// A whole scan of the scanner's job: every page file holds its page.
void wholeScan(ovraemu::NetScanner& scanner, const std::string& ip)
{
    scanner.SetJob(twoPages(ovraemu::DataFaultKind::None, 0, 0));
    int fd = connectLoopback(c_port);
    TCPScanStartRes start;
    if (!CHECK(startNetScan(fd, ip, start)) || !CHECK_EQ(start.result, 0))
        return;
    bool ended = false;
    std::vector<TCPRecordRes> records = recordsToTheEnd<TCPRecordRes>(fd, 20000, ended);
    CHECK(ended && records.back().result == 5);
    const std::vector<ovraemu::ScanJobRecord> jobs = scanner.Jobs();
    if (!CHECK(!jobs.empty() && jobs.back().pages.size() == 2))
        return;
    for (int page = 0; page < 2; ++page) {
        const std::vector<uint8_t>& image = jobs.back().pages[static_cast<size_t>(page)];
        CHECK(readFile(pageFileName(start.fileName, page)) == bytesOf(image));
    }
    CHECK(scanner.WaitForJobEnd(jobs.size() - 1, 5s));
    CHECK(scanner.Jobs().back().outcome == ovraemu::JobOutcome::Completed);
    CHECK(deletePageFiles(fd, start.fileName));
    close(fd);
}

// A case against a scanner of this job on an address of its own, then a whole
// scan of the next client on the same scanner.
void faultCase(const std::string& ip, const ovraemu::NetScanJob& job,
               const std::function<void(ovraemu::NetScanner&, int)>& body)
{
    ovraemu::NetScanner scanner(ip);
    if (!CHECK(startScanner(scanner, job)))
        return;
    int fd = connectLoopback(c_port);
    body(scanner, fd);
    close(fd);
    wholeScan(scanner, ip);
}

// The data connection closes 100 bytes into block 1 of page 1: page 0 whole,
// block 0 of page 1 written, the broken block not. The client deletes the pages.
void connectionClosedMidBlock()
{
    const std::string ip = "127.0.0.201";
    faultCase(ip, twoPages(ovraemu::DataFaultKind::CloseMidBlock, 1, 100), [&ip](ovraemu::NetScanner& scanner, int fd) {
        const TCPScanStartRes start = brokenScan(fd, ip, 2, 20000);
        const std::vector<ovraemu::ScanJobRecord> jobs = scanner.Jobs();
        if (CHECK_EQ(jobs.size(), 1u)) {
            CHECK(readFile(pageFileName(start.fileName, 0)) == bytesOf(jobs[0].pages[0]));
            CHECK(readFile(pageFileName(start.fileName, 1)) == bytesOf(jobs[0].pages[1], 8000));
            CHECK(jobs[0].outcome == ovraemu::JobOutcome::Faulted);
        }
        CHECK(deletePageFiles(fd, start.fileName));
    });
}

// A block header announcing 8000 bytes, then nothing while the scanner holds
// the connection open: the receive time-outs end the scan within their sum.
// The client aborts it, which removes page 0 and frees the scanner.
void announcedBlockNeverDelivered()
{
    const std::string ip = "127.0.0.202";
    faultCase(ip, twoPages(ovraemu::DataFaultKind::ShortBlock, 0, 0), [&ip](ovraemu::NetScanner& scanner, int fd) {
        const auto began = std::chrono::steady_clock::now();
        const TCPScanStartRes start = brokenScan(fd, ip, 1, c_iStreamTimeOutMs + 10000);
        const auto waited =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began);
        CHECK(waited.count() >= c_iStreamTimeOutMs - 1000);
        CHECK(waited.count() < c_iStreamTimeOutMs + 10000);
        const std::vector<ovraemu::ScanJobRecord> jobs = scanner.Jobs();
        if (CHECK_EQ(jobs.size(), 1u))
            CHECK(readFile(pageFileName(start.fileName, 0)) == bytesOf(jobs[0].pages[0], 8000));
        CHECK_EQ(abortNetScan(fd, ip, start), 0);
        CHECK(pageFilesOf(start.fileName).empty());
        CHECK(scanner.WaitForJobEnd(0, 5s));
        CHECK(scanner.Jobs().front().outcome == ovraemu::JobOutcome::Aborted);
    });
}

// A page of 60000 bytes against a limit of 50000: the record of the block that
// would pass it ends the scan with 9, and the page file is gone.
void pageOverTheLimitIsRemoved()
{
    const std::string ip = "127.0.0.205";
    ovraemu::NetScanJob job = twoPages(ovraemu::DataFaultKind::None, 0, 0);
    job.pageBytes = 60000;
    faultCase(ip, job, [&ip](ovraemu::NetScanner&, int fd) {
        TCPScanStartRes start;
        if (!CHECK(startNetScan(fd, ip, start)) || !CHECK_EQ(start.result, 0))
            return;
        bool ended = false;
        const std::vector<TCPRecordRes> records = recordsToTheEnd<TCPRecordRes>(fd, 20000, ended);
        CHECK(ended && records.back().result == OVRA_STATUS_IO_ERROR);
        CHECK_EQ(pagesBegun(records), 1);
        CHECK(childrenGone(connectionOfScan(start.fileName), 5000));
        CHECK(pageFilesOf(start.fileName).empty());
        CHECK(logContains(scanErrLogPath(), std::string("page file over ") + c_szPageLimit + " bytes, removed:"));
        CHECK_EQ(abortNetScan(fd, ip, start), 0);
    });
}

} // namespace

int main()
{
    signal(SIGPIPE, SIG_IGN);
    if (!runsAsRoot("the network scanner emulator (port 80)"))
        return c_iSkipped;
    const TestInstallRoot root("faultnet", {"scan"});
    setenv("OVRA_SCAN_DAEMON_PAGE_LIMIT", c_szPageLimit, 1);
    const pid_t daemon = startFaultDaemon(c_port);
    int ret = daemon < 0 ? 1
                         : testcheck::run({
                             TEST_CASE(connectionClosedMidBlock),
                             TEST_CASE(announcedBlockNeverDelivered),
                             TEST_CASE(pageOverTheLimitIsRemoved),
                         });
    stopFaultDaemon(daemon);
    return ret;
}
