// End to end: the daemon program against the network scanner emulator on
// 127.0.0.131-139 (port 80 needs root; the cases skip with a message otherwise).
#include "ovraemu/netscanner.h"
#include "scanfaults.h"
#include "scanpaths.h"
#include "testcheck.h"

#include <chrono>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

const uint16_t c_port = 27144;
bool g_skipped = false;

bool startEmulator(ovraemu::NetScanner& scanner)
{
    std::string error;
    if (scanner.Start(&error))
        return true;
    fprintf(stderr, "emulator not started: %s\n", error.c_str());
    g_skipped = true;
    return false;
}

SettingInfo settings(uint8_t depth, CompressionType comp, bool feeder, uint8_t isClient)
{
    SettingInfo info = {};
    info.bitDepth = depth;
    info.compType = comp;
    info.width = 2550;
    info.height = 3300;
    info.xStart = 1;
    info.yStart = 2;
    info.xResolution = 300;
    info.yResolution = 300;
    info.feederEnabled = feeder;
    info.isClient = isClient;
    info.BrightnessParam = 50;
    info.ContrastParam = 51;
    return info;
}

struct stScanResult {
    TCPScanStartRes start = {};
    std::vector<TCPRecordRes> records;
};

stScanResult scan(int fd, const std::string& ip, const SettingInfo& info)
{
    stScanResult result;
    TCPScanStartReq req = netScanRequest(ip);
    req.info = info;
    sendCommand(fd, TCP_SCAN_START, req);
    if (!CHECK(recvExact(fd, &result.start, sizeof(result.start), 20000)) || result.start.result != 0)
        return result;
    bool ended = false;
    result.records = recordsToTheEnd<TCPRecordRes>(fd, 20000, ended);
    CHECK(ended);
    return result;
}

std::string fieldOf(const ovraemu::ScanJobRecord& job, const char* key)
{
    auto value = ovraemu::FormValue(job.form, key);
    return value ? *value : std::string("<missing>");
}

void threePageFeederScan()
{
    ovraemu::NetScanner scanner("127.0.0.131");
    ovraemu::NetScanJob job;
    job.pages = 3;
    job.pageBytes = 30000;
    job.blockSize = 7000;
    job.sizeFields = ovraemu::SizeFieldStyle::SpacePadded;
    scanner.SetJob(job);
    if (!startEmulator(scanner))
        return;
    int fd = connectLoopback(c_port);
    stScanResult result = scan(fd, "127.0.0.131", settings(24, COMPRESSION_JPEG, true, 1));
    CHECK_EQ(result.start.result, 0);
    CHECK(!result.records.empty() && result.records.back().result == 5);
    CHECK(scanner.WaitForJobEnd(0, 5s));
    std::vector<ovraemu::ScanJobRecord> jobs = scanner.Jobs();
    CHECK_EQ(jobs.size(), 1u);
    if (jobs.size() != 1)
        return;
    CHECK_EQ(jobs[0].pages.size(), 3u);
    int pagesStarted = 0;
    for (const TCPRecordRes& r : result.records) {
        CHECK_EQ(r.fileIndex, pagesStarted);
        pagesStarted += r.st == SCAN_STATUS_BEGIN_OF_PAGE ? 1 : 0;
    }
    CHECK_EQ(pagesStarted, 3);
    for (size_t p = 0; p < jobs[0].pages.size(); ++p) {
        const std::vector<uint8_t>& image = jobs[0].pages[p];
        CHECK(readFile(pageFileName(result.start.fileName, static_cast<int>(p)))
              == std::string(image.begin(), image.end()));
    }
    close(fd);
}

void jobPostFieldsPerKindOfJob()
{
    ovraemu::NetScanner scanner("127.0.0.132");
    ovraemu::NetScanJob job;
    job.pages = 1;
    job.pageBytes = 2000;
    scanner.SetJob(job);
    if (!startEmulator(scanner))
        return;
    int fd = connectLoopback(c_port);
    const SettingInfo kinds[] = {
        settings(24, COMPRESSION_NONE, false, 0), // flatbed
        settings(8, COMPRESSION_NONE, true, 0),   // single-page feeder
        settings(24, COMPRESSION_NONE, true, 1),  // multi-page feeder
        settings(1, COMPRESSION_NONE, false, 0),  // black and white
        settings(24, COMPRESSION_JPEG, false, 0), // JPEG
    };
    for (const SettingInfo& info : kinds)
        scan(fd, "127.0.0.132", info);
    close(fd);
    std::vector<ovraemu::ScanJobRecord> jobs = scanner.Jobs();
    CHECK_EQ(jobs.size(), 5u);
    if (jobs.size() != 5)
        return;
    for (const ovraemu::ScanJobRecord& j : jobs) {
        CHECK_EQ(j.form.size(), 25u);
        CHECK_STR(fieldOf(j, "SCANTYPE"), "2");
        CHECK_STR(fieldOf(j, "TCPPORT"), "2080");
        CHECK_STR(fieldOf(j, "IPADDRESS"), "127.000.000.001");
        CHECK_STR(fieldOf(j, "CUSTOM_WIDTH"), "2550");
        CHECK_STR(fieldOf(j, "OFFSETY"), "2");
        CHECK_STR(fieldOf(j, "ADVCONTRAST"), "51");
        CHECK_STR(fieldOf(j, "DARKNESS"), "50");
    }
    CHECK_STR(fieldOf(jobs[0], "SCANSOURCE"), "7");
    CHECK_STR(fieldOf(jobs[0], "SINGLEPAGE"), "");
    CHECK_STR(fieldOf(jobs[1], "SCANSOURCE"), "0");
    CHECK_STR(fieldOf(jobs[1], "SINGLEPAGE"), "TRUE");
    CHECK_STR(fieldOf(jobs[1], "DEPTH"), "8");
    CHECK_STR(fieldOf(jobs[2], "SCANSOURCE"), "0");
    CHECK_STR(fieldOf(jobs[2], "SINGLEPAGE"), "");
    CHECK_STR(fieldOf(jobs[3], "DEPTH"), "other");
    CHECK_STR(fieldOf(jobs[3], "TYPE"), "RAW");
    CHECK_STR(fieldOf(jobs[3], "JPEGQUALITY"), "");
    CHECK_STR(fieldOf(jobs[4], "TYPE"), "JPEG");
    CHECK_STR(fieldOf(jobs[4], "JPEGQUALITY"), "70");
}

void abortMidScan()
{
    ovraemu::NetScanner scanner("127.0.0.133");
    ovraemu::NetScanJob job;
    job.pages = 3;
    job.pageBytes = 20000;
    job.blockSize = 4000;
    job.fault.kind = ovraemu::DataFaultKind::ShortBlock;
    job.fault.page = 1;
    job.fault.block = 1;
    job.fault.deliveredBytes = 100;
    scanner.SetJob(job);
    if (!startEmulator(scanner))
        return;
    int fd = connectLoopback(c_port);
    TCPScanStartReq req = netScanRequest("127.0.0.133");
    req.info = settings(24, COMPRESSION_JPEG, true, 1);
    sendCommand(fd, TCP_SCAN_START, req);
    TCPScanStartRes start = {};
    CHECK(recvExact(fd, &start, sizeof(start), 20000));
    CHECK_EQ(start.result, 0);
    // Page 0 whole and the start of page 1 arrive, then the scanner stalls.
    int pages = 0;
    TCPRecordRes record = {};
    while (pages < 2 && recvExact(fd, &record, sizeof(record), 10000))
        pages += record.st == SCAN_STATUS_BEGIN_OF_PAGE ? 1 : 0;
    CHECK_EQ(pages, 2);
    std::string otherScan = pageFileName(scanBaseName(1, 0), 0);
    writeFile(otherScan, "another scan");
    TCPScanAbortReq abort;
    memset(&abort, 0, sizeof(abort));
    abort.socket = req.socket;
    abort.socket.tcpFromScanner = start.socketDataFd;
    memcpy(abort.fileName, start.fileName, sizeof(abort.fileName));
    sendCommand(fd, TCP_SCAN_ABORT, abort);
    // Records still in flight may come before the abort's result.
    int32_t reply[4] = {};
    bool gotResult = false;
    for (int i = 0; i < 50 && !gotResult; ++i) {
        if (!recvExact(fd, reply, sizeof(int32_t), 10000))
            break;
        gotResult = reply[0] == 0 && nothingArrives(fd, 300);
        if (!gotResult)
            recvExact(fd, reply + 1, 3 * sizeof(int32_t), 1000); // the rest of a record
    }
    CHECK(gotResult);
    CHECK(!fileExists(pageFileName(start.fileName, 0)));
    CHECK(!fileExists(pageFileName(start.fileName, 1)));
    CHECK(fileExists(otherScan));
    CHECK(scanner.WaitForJobEnd(0, 5s));
    std::vector<ovraemu::ScanJobRecord> jobs = scanner.Jobs();
    CHECK(!jobs.empty()
          && (jobs[0].outcome == ovraemu::JobOutcome::Aborted || jobs[0].outcome == ovraemu::JobOutcome::Disconnected));
    unlink(otherScan.c_str());
    close(fd);
}

void attributeReplyInParts()
{
    ovraemu::NetScanner scanner("127.0.0.134");
    scanner.SetAttributeReplyBytes(300);
    scanner.SetAttributeReplyParts(3);
    if (!startEmulator(scanner))
        return;
    int fd = connectLoopback(c_port);
    TCPOSLReq req;
    memset(&req, 0, sizeof(req));
    copyToWire(req.socket.szScannerIP, "127.0.0.134");
    req.type = OSL_CMD_SUMMARY;
    sendCommand(fd, TCP_SEND_OSL, req);
    TCPOSLRes res = {};
    CHECK(recvExact(fd, &res, sizeof(res), 10000));
    CHECK_EQ(res.result, 0);
    CHECK(res.bufferLen >= 300);
    std::string text(static_cast<size_t>(res.bufferLen > 0 ? res.bufferLen : 0), '\0');
    CHECK(recvExact(fd, &text[0], text.size(), 10000));
    std::vector<ovraemu::AttributeRequestRecord> requests = scanner.AttributeRequests();
    CHECK_EQ(requests.size(), 1u);
    if (!requests.empty()) {
        CHECK_EQ(requests[0].requestId, 10003);
        CHECK_STR(requests[0].objName, "mfp.scanner");
        CHECK_EQ(requests[0].answerBytes, text.size());
    }
    close(fd);
}

} // namespace

int main()
{
    signal(SIGPIPE, SIG_IGN);
    const TestInstallRoot root("e2enet", {"scan"});
    pid_t daemon = startFaultDaemon(c_port);
    if (daemon < 0)
        return 1;
    int ret = testcheck::run({
        TEST_CASE(threePageFeederScan),
        TEST_CASE(jobPostFieldsPerKindOfJob),
        TEST_CASE(abortMidScan),
        TEST_CASE(attributeReplyInParts),
    });
    stopFaultDaemon(daemon);
    if (g_skipped)
        printf("SKIPPED: the network scanner emulator needs root to bind port 80\n");
    return ret;
}
