// What a local client of the daemon cannot do, and the files the daemon makes
// whatever umask it runs with: only page files are deleted, never through a
// link; descriptor numbers in a request never close
// the connection's own descriptors; logs and pages are 0644, the scan folder
// 0755 under umask 0 (the umask of the detached daemon). What bounds a client:
// the logs roll over, connections beyond the cap are closed at once, an idle
// connection is closed (the idle time-out is cut to 4 s here), and SIGQUIT ends a
// connection process even while its client stalls in the middle of a request.
#include "daemonconfig.h"
#include "pagefile.h"
#include "procinfo.h"
#include "scanlog.h"
#include "scanpaths.h"
#include "testcheck.h"
#include "testsupport.h"

#include <csignal>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const uint16_t c_port = 27161;
// Nothing listens there: a scan start fails at once with 9.
const char c_szNoScanner[] = "127.0.4.1";
const int32_t c_notOpened = 1000;
const int c_iTestIdleSeconds = 4;

const TestInstallRoot* g_root = nullptr;
pid_t g_daemon = -1;

int modeOf(const std::string& path)
{
    struct stat info;
    return lstat(path.c_str(), &info) == 0 ? static_cast<int>(info.st_mode & 07777) : -1;
}

template <typename Res, typename Req>
Res exchange(int fd, scanCommandType command, const Req& request)
{
    Res reply;
    memset(&reply, 0xEE, sizeof(reply));
    CHECK(sendCommand(fd, command, request) && recvExact(fd, &reply, sizeof(reply)));
    return reply;
}

// USB_OPEN_DEV on a handle nobody opened: 9 once every command sent before it
// has been handled.
bool stillServed(int fd)
{
    USBCommonReq req = {c_notOpened};
    return exchange<int32_t>(fd, USB_OPEN_DEV, req) == 9;
}

// A scan number of the connection (the start itself is refused: no device).
std::string reserveScan(int fd)
{
    USBCommonReq req = {c_notOpened};
    USBScanStartRes res = exchange<USBScanStartRes>(fd, USB_SCAN_START, req);
    CHECK_EQ(res.result, 9);
    return wireString(res.fileName);
}

void deletePage(int fd, const std::string& path)
{
    CmdDeleteFileReq req;
    copyToWire(req.fileName, path);
    CHECK(sendCommand(fd, CMD_DELETE_FILE, req));
}

void abortScan(int fd, const std::string& baseName)
{
    USBScanAbortReq req;
    memset(&req, 0, sizeof(req));
    req.devfd = c_notOpened;
    copyToWire(req.fileName, baseName);
    CHECK_EQ(exchange<int32_t>(fd, USB_SCAN_ABORT, req), 9);
}

void filesKeepTheirModesUnderAnOpenUmask()
{
    const TestInstallRoot root("secmodes");
    mode_t old = umask(0);
    CHECK(ensureScanDir());
    CHECK(OvraInitDbg());
    int page = createPageFile(scanBaseName(1, 0), 0);
    CHECK(page >= 0);
    closePageFile(page);
    umask(old);
    CHECK_EQ(modeOf(root.FilePath("scan")), 0755);
    CHECK_EQ(modeOf(scanInfoLogPath()), 0644);
    CHECK_EQ(modeOf(scanErrLogPath()), 0644);
    CHECK_EQ(modeOf(pageFileName(scanBaseName(1, 0), 0)), 0644);
    OvraCloseDbg();
    g_root->Use();
}

// Page names are the only files a client can have deleted, from any connection
// (a client may clean up after a connection it lost); a link at a page name is
// no page and stays, with its target.
void onlyPagesGoNeverThroughALink()
{
    int a = connectLoopback(c_port);
    int b = connectLoopback(c_port);
    std::string scanA = reserveScan(a);
    std::string outside = g_root->FilePath("precious");
    writeFile(outside, "keep");
    for (int page = 0; page < 2; ++page)
        writeFile(pageFileName(scanA, page), "page of A");
    CHECK_EQ(symlink(outside.c_str(), pageFileName(scanA, 2).c_str()), 0);

    deletePage(b, pageFileName(scanA, 0));
    deletePage(b, pageFileName(scanA, 2));
    deletePage(b, outside);
    CHECK(stillServed(b));
    CHECK(!fileExists(pageFileName(scanA, 0)));
    CHECK(fileExists(pageFileName(scanA, 2)));
    CHECK_STR(readFile(outside), "keep");

    abortScan(a, scanA);
    CHECK(!fileExists(pageFileName(scanA, 1)));
    CHECK(fileExists(pageFileName(scanA, 2)));
    CHECK_STR(readFile(outside), "keep");
    unlink(pageFileName(scanA, 2).c_str());
    close(a);
    close(b);
}

// A data connection named in TCP_SCAN_START is given up only when this
// connection opened it; the numbers of its client socket and logs are not.
void descriptorsNamedInRequestsStayOpen()
{
    int fd = connectLoopback(c_port);
    for (int32_t named = 0; named < 10; ++named) {
        TCPScanStartReq req;
        memset(&req, 0, sizeof(req));
        req.socket.tcpFromScanner = named;
        copyToWire(req.socket.szScannerIP, c_szNoScanner);
        TCPScanStartRes res = exchange<TCPScanStartRes>(fd, TCP_SCAN_START, req);
        CHECK_EQ(res.result, 9);
        if (!CHECK(stillServed(fd)))
            break;
    }
    std::string before = readFile(scanInfoLogPath());
    CHECK(stillServed(fd));
    CHECK(readFile(scanInfoLogPath()).size() > before.size()); // the logs are still written
    close(fd);
}

// True when the daemon closes the connection within waitMs.
bool closedByDaemon(int fd, int waitMs)
{
    struct pollfd entry = {fd, POLLIN, 0};
    char byte;
    return poll(&entry, 1, waitMs) == 1 && recv(fd, &byte, 1, MSG_PEEK) == 0;
}

// The daemon's connection processes of earlier cases have ended.
bool noConnectionLeft()
{
    return waitUntil([] { return childPids(g_daemon).empty(); }, 10000);
}

size_t countOf(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// Every line of a log is whole and the daemon's.
bool wholeLines(const std::string& log)
{
    size_t start = 0;
    for (size_t end = log.find('\n'); end != std::string::npos; start = end + 1, end = log.find('\n', start))
        if (log.compare(start, 14, "[OvraScanSDK] ") != 0)
            return false;
    return start == log.size();
}

// Two clients make the daemon log about 2.8 MiB: each log and the one it rolled
// into stay near 1 MiB, with whole lines.
void logsRollOver()
{
    const std::vector<int32_t> codes(30000, 42);
    std::vector<int> fds;
    for (int client = 0; client < 2; ++client) {
        fds.push_back(connectLoopback(c_port));
        CHECK(sendBytes(fds.back(), codes.data(), codes.size() * sizeof(int32_t)));
    }
    for (int fd : fds) {
        CHECK(stillServed(fd));
        close(fd);
    }
    const size_t limit = 1048576 + 256;
    for (const std::string& log : {scanInfoLogPath(), scanErrLogPath()}) {
        const std::string current = readFile(log), rolled = readFile(log + ".1");
        CHECK(current.size() <= limit && rolled.size() <= limit);
        CHECK(rolled.size() > limit / 2);
        CHECK(wholeLines(current) && wholeLines(rolled));
    }
}

// The cap of connection processes, reached: more connections are closed at once and
// the cap is logged once; a connection that ends makes room again.
void connectionsBeyondTheCapAreClosed()
{
    CHECK(noConnectionLeft());
    std::vector<int> held;
    for (int i = 0; i < c_iMaxConnections; ++i) {
        held.push_back(connectLoopback(c_port));
        if (!CHECK(stillServed(held.back())))
            break;
    }
    for (int extra = 0; extra < 3; ++extra) {
        const int fd = connectLoopback(c_port);
        CHECK(closedByDaemon(fd, 2000));
        close(fd);
    }
    CHECK_EQ(countOf(readFile(scanErrLogPath()), "connection limit " + std::to_string(c_iMaxConnections) + " reached"),
             1u);
    close(held.front());
    CHECK(waitUntil(
        [] {
            const int fd = connectLoopback(c_port);
            const bool served = !closedByDaemon(fd, 100) && stillServed(fd);
            close(fd);
            return served;
        },
        3000));
    for (size_t i = 1; i < held.size(); ++i)
        close(held[i]);
}

// A connection that sends nothing is closed after the idle time-out, not before.
void idleConnectionIsClosed()
{
    CHECK(noConnectionLeft());
    const int fd = connectLoopback(c_port);
    CHECK(stillServed(fd));
    CHECK(!closedByDaemon(fd, (c_iTestIdleSeconds - 2) * 1000));
    CHECK(stillServed(fd));
    CHECK(closedByDaemon(fd, (c_iTestIdleSeconds + 3) * 1000));
    CHECK(logContains(scanInfoLogPath(), "idle for " + std::to_string(c_iTestIdleSeconds) + " s"));
    close(fd);
}

// A client stops in the middle of a command: SIGQUIT, as a stop of the service sends
// it to every process of the daemon, ends the connection process within a second.
void stalledClientEndsOnQuit()
{
    const int32_t code = TCP_SCAN_START;
    for (size_t sent : {sizeof(code), sizeof(code) / 2}) {
        CHECK(noConnectionLeft());
        const int fd = connectLoopback(c_port);
        CHECK(stillServed(fd));
        const std::vector<pid_t> conns = childPids(g_daemon);
        if (!CHECK_EQ(conns.size(), 1u))
            return;
        CHECK(sendBytes(fd, &code, sent)); // the rest never follows
        usleep(200000);
        signalProcess(conns[0], SIGQUIT);
        CHECK(waitUntil([&] { return processState(conns[0]) == '\0' || processState(conns[0]) == 'Z'; }, 1000));
        CHECK(closedByDaemon(fd, 1000));
        close(fd);
    }
}

} // namespace

int main()
{
    signal(SIGPIPE, SIG_IGN);
    const TestInstallRoot root("security", {"scan"});
    g_root = &root;
    setenv("OVRA_SCAN_DAEMON_IDLE_SECONDS", std::to_string(c_iTestIdleSeconds).c_str(), 1);
    int daemon = g_daemon = startServingDaemon(OVRA_SCAN_DAEMON_PATH, c_port);
    if (daemon < 0)
        return 1;
    int ret = testcheck::run({
        TEST_CASE(filesKeepTheirModesUnderAnOpenUmask),
        TEST_CASE(onlyPagesGoNeverThroughALink),
        TEST_CASE(descriptorsNamedInRequestsStayOpen),
        TEST_CASE(logsRollOver),
        TEST_CASE(connectionsBeyondTheCapAreClosed),
        TEST_CASE(idleConnectionIsClosed),
        TEST_CASE(stalledClientEndsOnQuit),
    });
    signalProcess(daemon, SIGQUIT);
    waitForExit(daemon, 5000);
    return ret;
}
