#include "scanfaults.h"

#include "scanpaths.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

const int c_iReplyTimeoutMs = 20000;

// A process that has not ended (a zombie has) whose parent is `parent`, from
// /proc/<pid>/stat ("pid (name) state ppid ...").
bool isLiveChildOf(const std::string& pid, pid_t parent)
{
    const std::string stat = readFile("/proc/" + pid + "/stat");
    const size_t nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos || nameEnd + 4 >= stat.size())
        return false;
    return stat[nameEnd + 2] != 'Z' && atoi(stat.c_str() + nameEnd + 4) == parent;
}

bool hasChild(pid_t parent)
{
    for (const std::string& entry : listDir("/proc")) {
        if (!entry.empty() && entry.find_first_not_of("0123456789") == std::string::npos
            && isLiveChildOf(entry, parent))
            return true;
    }
    return false;
}

} // namespace

bool runsAsRoot(const char* why)
{
    if (geteuid() == 0)
        return true;
    printf("SKIPPED: %s needs root\n", why);
    return false;
}

pid_t startFaultDaemon(uint16_t port)
{
    pid_t pid = startDaemonProgram(OVRA_SCAN_DAEMON_PATH, port);
    if (pid > 0 && daemonStillRunning(pid))
        return pid;
    fprintf(stderr, "FAIL: the daemon did not start (port %u busy?)\n", port);
    return -1;
}

void stopFaultDaemon(pid_t pid)
{
    if (!signalProcess(pid, SIGQUIT))
        return;
    int status = 0;
    waitpid(pid, &status, 0);
}

std::string bytesOf(const std::vector<uint8_t>& bytes, size_t count)
{
    return std::string(bytes.begin(), bytes.begin() + static_cast<long>(std::min(count, bytes.size())));
}

SettingInfo greyScan()
{
    SettingInfo info = {};
    info.bitDepth = 8;
    info.compType = COMPRESSION_NONE;
    info.width = 2550;
    info.height = 3300;
    info.xResolution = 300;
    info.yResolution = 300;
    return info;
}

TCPScanStartReq netScanRequest(const std::string& scannerIp)
{
    TCPScanStartReq request;
    memset(&request, 0, sizeof(request));
    request.socket.tcpFromScanner = -1;
    copyToWire(request.socket.szScannerIP, scannerIp);
    request.info = greyScan();
    request.info.feederEnabled = 1; // every page of the scanner's job
    request.info.isClient = 1;
    return request;
}

bool startNetScan(int fd, const std::string& scannerIp, TCPScanStartRes& start)
{
    start = {};
    return sendCommand(fd, TCP_SCAN_START, netScanRequest(scannerIp))
           && recvExact(fd, &start, sizeof(start), c_iReplyTimeoutMs);
}

int32_t abortNetScan(int fd, const std::string& scannerIp, const TCPScanStartRes& start)
{
    TCPScanAbortReq request;
    memset(&request, 0, sizeof(request));
    request.socket.tcpFromScanner = start.socketDataFd;
    copyToWire(request.socket.szScannerIP, scannerIp);
    memcpy(request.fileName, start.fileName, sizeof(request.fileName));
    int32_t result = -99;
    if (sendCommand(fd, TCP_SCAN_ABORT, request))
        recvExact(fd, &result, sizeof(result), c_iReplyTimeoutMs);
    return result;
}

int32_t usbIntCommand(int fd, int32_t command, const void* request, size_t size)
{
    std::vector<char> bytes(sizeof(command) + size);
    memcpy(bytes.data(), &command, sizeof(command));
    memcpy(bytes.data() + sizeof(command), request, size);
    int32_t result = -99;
    if (sendBytes(fd, bytes.data(), bytes.size()))
        recvExact(fd, &result, sizeof(result), c_iReplyTimeoutMs);
    return result;
}

int32_t usbHandleCommand(int fd, int32_t command, int devfd)
{
    const USBCommonReq request = {devfd};
    return usbIntCommand(fd, command, &request, sizeof(request));
}

int32_t abortUsbScan(int fd, int devfd, const USBScanStartRes& start)
{
    USBScanAbortReq request;
    memset(&request, 0, sizeof(request));
    request.devfd = devfd;
    memcpy(request.fileName, start.fileName, sizeof(request.fileName));
    return usbIntCommand(fd, USB_SCAN_ABORT, &request, sizeof(request));
}

int firstUsbDevice(int fd, uint16_t vid, uint16_t pid)
{
    const USBFindDevReq request = {vid, pid, 1, {0, 0, 0}};
    int32_t count = 0;
    if (!sendCommand(fd, USB_FIND_DEV, request) || !recvExact(fd, &count, sizeof(count), c_iReplyTimeoutMs))
        return -1;
    int first = -1;
    for (int32_t i = 0; i < count; ++i) {
        USBFindDevRes device;
        if (!recvExact(fd, &device, sizeof(device), c_iReplyTimeoutMs))
            return -1;
        if (i == 0)
            first = device.fd;
    }
    return first;
}

bool lockAndStartUsbScan(int fd, int devfd, USBScanStartRes& start)
{
    USBScanLockReq lock;
    memset(&lock, 0, sizeof(lock));
    lock.devfd = devfd;
    lock.info = greyScan();
    if (usbIntCommand(fd, USB_SCAN_LOCK, &lock, sizeof(lock)) != 0)
        return false;
    const USBCommonReq request = {devfd};
    start = {};
    return sendCommand(fd, USB_SCAN_START, request) && recvExact(fd, &start, sizeof(start), c_iReplyTimeoutMs);
}

stUsbScanClient startUsbScanClient(uint16_t port, uint16_t vid, uint16_t pid)
{
    stUsbScanClient client;
    client.fd = connectLoopback(port);
    const int devfd = firstUsbDevice(client.fd, vid, pid);
    if (devfd >= 0 && lockAndStartUsbScan(client.fd, devfd, client.start) && client.start.result == 0)
        client.devfd = devfd;
    return client;
}

std::vector<std::string> pageFilesOf(const std::string& baseName)
{
    std::vector<std::string> pages;
    for (const std::string& name : scanDirFiles()) {
        const std::string path = scanDirPath() + name;
        if (isPageFileOf(path, baseName))
            pages.push_back(path);
    }
    return pages;
}

std::vector<std::string> scanDirFiles()
{
    std::vector<std::string> names = listDir(scanDirNoSlash());
    std::sort(names.begin(), names.end());
    return names;
}

bool deletePageFiles(int fd, const std::string& baseName)
{
    for (const std::string& path : pageFilesOf(baseName)) {
        CmdDeleteFileReq request;
        memset(&request, 0, sizeof(request));
        copyToWire(request.fileName, path);
        sendCommand(fd, CMD_DELETE_FILE, request);
    }
    return waitUntil([&baseName] { return pageFilesOf(baseName).empty(); }, 5000);
}

pid_t connectionOfScan(const std::string& baseName)
{
    const char* prefix = "ovrascandata_";
    const size_t at = baseName.rfind(prefix);
    return at == std::string::npos ? -1 : static_cast<pid_t>(atoi(baseName.c_str() + at + strlen(prefix)));
}

bool childrenGone(pid_t parent, int timeoutMs)
{
    return waitUntil([parent] { return !hasChild(parent); }, timeoutMs);
}

bool processGone(pid_t pid, int timeoutMs)
{
    return waitUntil([pid] { return !fileExists("/proc/" + std::to_string(pid)); }, timeoutMs);
}
