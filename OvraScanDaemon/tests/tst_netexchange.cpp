// The network scanner exchanges against a fake scanner on 127.0.0.101-105:
// attribute requests, job post and data stream, abort, capabilities, feeder.
#include "fakenetscanner.h"
#include "netscanner.h"
#include "scanlog.h"
#include "scanpaths.h"
#include "testcheck.h"
#include "ovrascan/scanclient.h"
#include "testsupport.h"

#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

using ovrascan::NetScannerSocket;

namespace {

void attributeReplyInParts()
{
    stNetScanConfig config;
    config.oslReply = std::string(300, 'r');
    config.oslReply[0] = '<';
    config.oslParts = 3;
    FakeNetScanner scanner("127.0.0.101", config);
    CHECK(scanner.start());
    char* text = nullptr;
    int length = 0;
    CHECK_EQ(ovra_send_osl(NetScannerSocket("127.0.0.101"), &text, OSL_CMD_GETLIST, &length), 0);
    CHECK_EQ(length, 300);
    CHECK(text && std::string(text, 300) == config.oslReply);
    free(text);
    scanner.stop();
    CHECK_EQ(scanner.oslRequests().size(), 1u);
    CHECK(scanner.oslRequests()[0].find("<arg name=\"attribName\">getList</arg>") != std::string::npos);
}

void attributeReplyTooLongOrShort()
{
    stNetScanConfig config;
    config.oslReply = std::string(9000, 'x');
    FakeNetScanner big("127.0.0.102", config);
    CHECK(big.start());
    char* text = nullptr;
    int length = 0;
    CHECK_EQ(ovra_send_osl(NetScannerSocket("127.0.0.102"), &text, OSL_CMD_SUMMARY, &length), 9);
    CHECK(text == nullptr);
    big.stop();

    config.oslReply = "short";
    config.oslAnnounced = 50;
    FakeNetScanner liar("127.0.0.102", config);
    CHECK(liar.start());
    CHECK_EQ(ovra_send_osl(NetScannerSocket("127.0.0.102"), &text, OSL_CMD_SUMMARY, &length), 9);
    CHECK(text == nullptr);
    CHECK_EQ(ovra_send_osl(NetScannerSocket("127.0.0.102"), &text, static_cast<OSL_CMD_TYPE>(7), &length), 4);
    liar.stop();
    // Nobody listening.
    CHECK_EQ(ovra_send_osl(NetScannerSocket("127.0.0.102"), &text, OSL_CMD_SUMMARY, &length), 9);
}

// Reads the whole stream; returns the pages as received.
std::vector<std::string> readStream(OvraSocket sock, std::vector<int>& statuses, int& last)
{
    std::vector<std::string> pages;
    unsigned char* buf = nullptr;
    int bufSize = 0;
    for (int i = 0; i < 100; ++i) {
        ScanStatus st;
        int n = 0;
        last = ovra_tcp_ScanRecord(sock, &st, &buf, &bufSize, &n);
        statuses.push_back(st);
        if (last != 0)
            break;
        if (st == SCAN_STATUS_BEGIN_OF_PAGE)
            pages.emplace_back();
        else if (!pages.empty())
            pages.back().append(reinterpret_cast<char*>(buf), static_cast<size_t>(n));
    }
    free(buf);
    return pages;
}

void jobPostAndDataStream(bool& skipped)
{
    stNetScanConfig config;
    config.seed = 5;
    FakeNetScanner scanner("127.0.0.103", config);
    if (!scanner.start()) {
        skipped = true;
        return;
    }
    OvraSocket sock = NetScannerSocket("127.0.0.103", -1);
    SettingInfo info = {};
    info.bitDepth = 8;
    info.xResolution = 300;
    CHECK_EQ(ovra_http_ScanStart(&sock, &info), 0);
    CHECK(sock.tcpFromScanner > 2);
    std::vector<int> statuses;
    int last = 0;
    std::vector<std::string> pages = readStream(sock, statuses, last);
    CHECK_EQ(last, 5);
    CHECK_EQ(statuses.back(), SCAN_STATUS_END_OF_DATA);
    CHECK_EQ(pages.size(), 3u);
    for (size_t p = 0; p < pages.size(); ++p) {
        std::vector<unsigned char> expected = scanner.page(static_cast<int>(p));
        CHECK(pages[p] == std::string(expected.begin(), expected.end()));
    }
    scanner.stop();
    std::vector<std::string> http = scanner.httpRequests();
    CHECK_EQ(http.size(), 1u);
    CHECK(!http.empty() && http[0].find("POST /netscan/post HTTP/1.1\r\n") == 0);
    CHECK(!http.empty() && http[0].find("\r\nHost: 127.000.000.001\r\n\r\nSCANTYPE=2&") != std::string::npos);
    CHECK(!http.empty() && http[0].find("DEPTH=8&") != std::string::npos);
}

void jobPostRefused(bool& skipped)
{
    stNetScanConfig config;
    config.jobAnswer = "HTTP/1.1 200 OK\r\n\r\nRESULT=91\r\n";
    FakeNetScanner busy("127.0.0.104", config);
    if (!busy.start()) {
        skipped = true;
        return;
    }
    OvraSocket sock = NetScannerSocket("127.0.0.104", -1);
    SettingInfo info = {};
    CHECK_EQ(ovra_http_ScanStart(&sock, &info), 3);
    CHECK_EQ(busy.dataConnections(), 0);
    busy.stop();

    config.jobAnswer = "HTTP/1.1 200 OK\r\n\r\nNOTHING=1\r\n";
    FakeNetScanner silent("127.0.0.104", config);
    CHECK(silent.start());
    CHECK_EQ(ovra_http_ScanStart(&sock, &info), 3);
    CHECK(logContains(scanErrLogPath(), "[OvraScanSDK] recv ovra_http_ScanStart error\n"));
    silent.stop();
}

void abortCapabilitiesFeeder(bool& skipped)
{
    FakeNetScanner scanner("127.0.0.105", stNetScanConfig{});
    if (!scanner.start()) {
        skipped = true;
        return;
    }
    CHECK_EQ(ovra_http_ScanAbort(NetScannerSocket("127.0.0.105", -1)), 0);
    ScannerCapabilities cap = {};
    CHECK_EQ(ovra_http_DeviceProperties(NetScannerSocket("127.0.0.105"), &cap), 0);
    CHECK_EQ(cap.maxres, 1200u);
    CHECK_EQ(cap.color, 1);
    CHECK_EQ(cap.maxHeight, 4200u);
    ADFStatus adf = ADF_STATUS_UNKNOWN;
    CHECK_EQ(ovra_http_adfstatus(NetScannerSocket("127.0.0.105"), &adf), 0);
    CHECK_EQ(adf, ADF_STATUS_LOADED);
    scanner.stop();
    std::vector<std::string> http = scanner.httpRequests();
    CHECK_EQ(http.size(), 3u);
    if (http.size() == 3) {
        CHECK(http[0].find("Content-Length: 10\r\n") != std::string::npos);
        CHECK(http[0].find("\r\n\r\nSCANTYPE=4") != std::string::npos);
        CHECK(http[1].find("GET /netscan/capabilites HTTP/1.1\r\n") == 0);
        CHECK(http[2].find("POST /cgi-bin/dynamic/printer/netscan/adfStatus.html HTTP/1.1\r\n") == 0);
        CHECK(http[2].find("\r\n\r\nGETADFSTATUS") != std::string::npos);
    }
    // No scanner: 9, the feeder status untouched.
    adf = ADF_STATUS_EMPTY;
    CHECK_EQ(ovra_http_adfstatus(NetScannerSocket("127.0.0.105"), &adf), 9);
    CHECK_EQ(adf, ADF_STATUS_EMPTY);
    CHECK_EQ(ovra_http_DeviceProperties(NetScannerSocket("127.0.0.105"), &cap), 9);
    // An address that is not one.
    CHECK_EQ(ovra_http_ScanAbort(NetScannerSocket("not-an-ip")), 9);
}

void streamBlocksFromASocketPair()
{
    int pair[2];
    socketpair(AF_UNIX, SOCK_STREAM, 0, pair);
    std::string stream = std::string(newFileFlag) + "PAGE  " + "     4" + "     \n" + "hdr!" + blockHeader(100, false)
                         + std::string(100, 'a') + blockHeader(100, true) + std::string(100, 'b')
                         + "DATA  -00010     \n";
    sendBytes(pair[1], stream.data(), stream.size());
    OvraSocket sock = NetScannerSocket("127.0.0.1", pair[0]);
    unsigned char* buf = nullptr;
    int bufSize = 0;
    int n = -1;
    ScanStatus st;
    CHECK_EQ(ovra_tcp_ScanRecord(sock, &st, &buf, &bufSize, &n), 0);
    CHECK_EQ(st, SCAN_STATUS_BEGIN_OF_PAGE);
    CHECK_EQ(n, -1); // untouched for a page start
    CHECK_EQ(ovra_tcp_ScanRecord(sock, &st, &buf, &bufSize, &n), 0);
    CHECK_EQ(st, SCAN_STATUS_OPERATION_CONTINUOUS);
    CHECK_EQ(n, 100);
    CHECK_EQ(buf[99], 'a');
    CHECK_EQ(ovra_tcp_ScanRecord(sock, &st, &buf, &bufSize, &n), 0);
    CHECK_EQ(n, 100);
    CHECK_EQ(buf[0], 'b');
    // A negative length is refused; the connection is closed.
    CHECK_EQ(ovra_tcp_ScanRecord(sock, &st, &buf, &bufSize, &n), 9);
    free(buf);
    close(pair[1]);

    socketpair(AF_UNIX, SOCK_STREAM, 0, pair);
    sendBytes(pair[1], jobDoneFlag, strlen(jobDoneFlag));
    sock.tcpFromScanner = pair[0];
    buf = nullptr;
    bufSize = 0;
    CHECK_EQ(ovra_tcp_ScanRecord(sock, &st, &buf, &bufSize, &n), 5);
    CHECK_EQ(st, SCAN_STATUS_END_OF_DATA);
    close(pair[1]);
}

} // namespace

int main()
{
    const TestInstallRoot root("netx", {"scan"});
    OvraInitDbg();
    bool skipped = false;
    int ret = testcheck::run({
        TEST_CASE(attributeReplyInParts),
        TEST_CASE(attributeReplyTooLongOrShort),
        {"jobPostAndDataStream", [&] { jobPostAndDataStream(skipped); }},
        {"jobPostRefused", [&] { jobPostRefused(skipped); }},
        {"abortCapabilitiesFeeder", [&] { abortCapabilitiesFeeder(skipped); }},
        TEST_CASE(streamBlocksFromASocketPair),
    });
    if (skipped)
        printf("SKIPPED: the HTTP port 80 tests need root (binding port 80)\n");
    OvraCloseDbg();
    return ret;
}
