// What a local client of the daemon cannot do, and the files the daemon makes
// whatever umask it runs with: only page files are deleted, never through a
// link; descriptor numbers in a request never close
// the connection's own descriptors; logs and pages are 0644, the scan folder
// 0755 under umask 0 (the umask of the detached daemon).
#include "pagefile.h"
#include "scanlog.h"
#include "scanpaths.h"
#include "testcheck.h"
#include "testsupport.h"

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const uint16_t c_port = 27161;
// Nothing listens there: a scan start fails at once with 9.
const char c_szNoScanner[] = "127.0.4.1";
const int32_t c_notOpened = 1000;

std::string g_root;

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
    std::string root = makeInstallRoot("secmodes", false);
    mode_t old = umask(0);
    CHECK(ensureScanDir());
    CHECK(OvraInitDbg());
    int page = createPageFile(scanBaseName(1, 0), 0);
    CHECK(page >= 0);
    closePageFile(page);
    umask(old);
    CHECK_EQ(modeOf(root + "/scan"), 0755);
    CHECK_EQ(modeOf(scanInfoLogPath()), 0644);
    CHECK_EQ(modeOf(scanErrLogPath()), 0644);
    CHECK_EQ(modeOf(pageFileName(scanBaseName(1, 0), 0)), 0644);
    OvraCloseDbg();
    removeTree(root);
    setenv("OVRA_INSTALL_ROOT", g_root.c_str(), 1);
}

// Page names are the only files a client can have deleted, from any connection
// (a client may clean up after a connection it lost); a link at a page name is
// no page and stays, with its target.
void onlyPagesGoNeverThroughALink()
{
    int a = connectLoopback(c_port);
    int b = connectLoopback(c_port);
    std::string scanA = reserveScan(a);
    std::string outside = g_root + "/precious";
    writeFile(outside, "keep");
    for (int page = 0; page < 2; ++page)
        writeFile(pageFileName(scanA, page), "page of A");
    symlink(outside.c_str(), pageFileName(scanA, 2).c_str());

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
    CHECK(readFile(scanInfoLogPath()).size() > before.size());   // the logs are still written
    close(fd);
}

} // namespace

int main()
{
    signal(SIGPIPE, SIG_IGN);
    g_root = makeInstallRoot("security");
    int daemon = startServingDaemon(OVRA_SCAN_DAEMON_PATH, c_port);
    if (daemon < 0) {
        removeTree(g_root);
        return 1;
    }
    int ret = testcheck::run({
        TEST_CASE(filesKeepTheirModesUnderAnOpenUmask),
        TEST_CASE(onlyPagesGoNeverThroughALink),
        TEST_CASE(descriptorsNamedInRequestsStayOpen),
    });
    signalProcess(daemon, SIGQUIT);
    waitForExit(daemon, 5000);
    removeTree(g_root);
    return ret;
}
