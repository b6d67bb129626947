// What the daemon's fault tests share: the daemon program on a port of its
// own, the steps of a client through the scan client protocol, the records of
// a scan up to the one that ends it, and what a scan leaves behind.
#pragma once

#include "ovrascanprotocol.h"
#include "testsupport.h"

#include <string>
#include <sys/types.h>
#include <vector>

// Exit status of a test that cannot run here (CTest's SKIP_RETURN_CODE).
const int c_iSkipped = 77;

// True when the test runs as root; otherwise says why it skips.
bool runsAsRoot(const char* why);

// Runs the daemon program in the foreground on the port, with this process's
// environment; -1 (and a failure line) when it did not stay up.
pid_t startFaultDaemon(uint16_t port);
// SIGQUIT to the daemon, then waits for it.
void stopFaultDaemon(pid_t pid);

// The first `count` bytes (all by default) as a string, to compare with a file.
std::string bytesOf(const std::vector<uint8_t>& bytes, size_t count = std::string::npos);

// The scan settings of a grey flatbed scan at 300 dpi.
SettingInfo greyScan();

// Network scans: the start request for the scanner, its reply (false when none
// came), and the abort of the scan it started (its int result, -99 when none).
TCPScanStartReq netScanRequest(const std::string& scannerIp);
bool startNetScan(int fd, const std::string& scannerIp, TCPScanStartRes& start);
int32_t abortNetScan(int fd, const std::string& scannerIp, const TCPScanStartRes& start);

// USB scans: a command with an int reply (-99 when none came), the handle of
// the first device of the IDs (-1 when there is none), lock and start.
int32_t usbIntCommand(int fd, int32_t command, const void* request, size_t size);
// A command whose request names only the device handle (USBCommonReq).
int32_t usbHandleCommand(int fd, int32_t command, int devfd);
// The abort of the USB scan that start began (its int result, -99 when none).
int32_t abortUsbScan(int fd, int devfd, const USBScanStartRes& start);
int firstUsbDevice(int fd, uint16_t vid, uint16_t pid);
bool lockAndStartUsbScan(int fd, int devfd, USBScanStartRes& start);
// A new client connection that found the first scanner of the IDs, locked it
// and started a scan; devfd is -1 when a step failed (or the start reply
// carries an error).
struct stUsbScanClient {
    int fd = -1;
    int devfd = -1;
    USBScanStartRes start = {};
};
stUsbScanClient startUsbScanClient(uint16_t port, uint16_t vid, uint16_t pid);

// The page files of the scan with this base name that are in the scan
// directory, sorted; the files of the whole directory.
std::vector<std::string> pageFilesOf(const std::string& baseName);
std::vector<std::string> scanDirFiles();
// Asks the daemon to delete every page file of the scan (a command without a
// reply); true once they are gone.
bool deletePageFiles(int fd, const std::string& baseName);

// The connection process that named the scan (the pid in its base name).
pid_t connectionOfScan(const std::string& baseName);
// True once the process has no child left that runs (its data processes have
// ended; one not yet collected by its parent has ended too), waiting up to timeoutMs.
bool childrenGone(pid_t parent, int timeoutMs);
// True once the process is gone, waiting up to timeoutMs.
bool processGone(pid_t pid, int timeoutMs);
