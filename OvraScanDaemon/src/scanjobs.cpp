// Scan start, abort and file deletion commands.
#include "commands.h"
#include "daemonprocess.h"
#include "dataprocess.h"
#include "deletefiles.h"
#include "netscanner.h"
#include "scanlog.h"
#include "scanpaths.h"
#include "sockio.h"
#include "usbscanner.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The status of a start whose data process cannot be made.
const int32_t c_iForkFailed = OVRA_STATUS_NO_MEM;

// The data process waits behind this gate until the connection process has
// sent the start reply, so the reply always comes before the first record.
struct stStartGate {
    int fds[2] = {-1, -1};
};

bool openGate(stStartGate& gate)
{
    return pipe2(gate.fds, O_CLOEXEC) == 0;
}

void releaseGate(stStartGate& gate)
{
    char go = 1;
    ssize_t ignored = write(gate.fds[1], &go, 1);
    (void)ignored;
    close(gate.fds[0]);
    close(gate.fds[1]);
}

void passGate(stStartGate& gate)
{
    close(gate.fds[1]);
    char go;
    ssize_t ignored = read(gate.fds[0], &go, 1);
    (void)ignored;
    close(gate.fds[0]);
}

// Forks the data process; returns its id in the parent, 0 in the child, -1
// on failure (logged).
pid_t forkDataProcess(stStartGate& gate)
{
    if (!openGate(gate)) {
        OvraLogErr("create data proc err");
        return -1;
    }
    pid_t pid = fork();
    if (pid < 0) {
        close(gate.fds[0]);
        close(gate.fds[1]);
        OvraLogErr("create data proc err");
        return -1;
    }
    if (pid == 0) {
        passGate(gate);
        unblockQuitSignal();
        OvraReopenDbg();
    }
    return pid;
}

void noteDataProcess(stConnectionState& st, pid_t pid)
{
    st.dataProcPid = pid;
    st.dataProcs.insert(pid);
}

std::string nextBaseName(stConnectionState& st)
{
    return scanBaseName(getpid(), st.filename_index++);
}

} // namespace

void cmdUsbScanStart(stConnectionState& st)
{
    USBCommonReq req;
    if (!receiveRequest(st, &req, sizeof(req), "recv ScanStartReq err"))
        return;
    USBScanStartRes res;
    memset(&res, 0, sizeof(res));
    res.result = ownsDevice(st, req.devfd) ? ScanStart(req.devfd) : c_iNotOwnHandle;
    std::string baseName = nextBaseName(st);
    copyToWire(res.fileName, baseName);
    pid_t pid = 0;
    stStartGate gate;
    if (res.result == OVRA_STATUS_GOOD) {
        pid = forkDataProcess(gate);
        if (pid == 0) {
            runUsbDataProcess(st.clientFd, req.devfd, baseName, st.warmUpSeconds[req.devfd]);
            _exit(0);
        }
        if (pid < 0)
            res.result = c_iForkFailed;
    }
    st.dataProcPid = 0;
    if (pid > 0)
        noteDataProcess(st, pid);
    if (sendReply(st, &res, sizeof(res), "send ScanStartReq result err"))
        OvraLogInfo("usb scanstart main process exit:%d pid:%d", res.result, getpid());
    if (pid > 0)
        releaseGate(gate);
}

void cmdTcpScanStart(stConnectionState& st)
{
    TCPScanStartReq req;
    long got = recvRequestOnce(st.clientFd, &req, sizeof(req));
    if (got != static_cast<long>(sizeof(req))) {
        OvraLogErr("recv ScanStartReq err len:%ld", got);
        return;
    }
    OvraSocket socket = req.socket;
    // Only a data connection of this connection process is given up.
    if (ownsDataConnection(st, socket.tcpFromScanner))
        st.dataConnFds.erase(socket.tcpFromScanner);
    else
        socket.tcpFromScanner = -1;
    TCPScanStartRes res;
    memset(&res, 0, sizeof(res));
    res.result = ovra_http_ScanStart(&socket, &req.info);
    if (res.result == OVRA_STATUS_GOOD && socket.tcpFromScanner >= 0)
        st.dataConnFds.insert(socket.tcpFromScanner);
    res.socketDataFd = socket.tcpFromScanner;
    std::string baseName = nextBaseName(st);
    copyToWire(res.fileName, baseName);
    pid_t pid = 0;
    stStartGate gate;
    if (res.result == OVRA_STATUS_GOOD) {
        pid = forkDataProcess(gate);
        if (pid == 0) {
            runTcpDataProcess(st.clientFd, socket, baseName);
            _exit(0);
        }
        if (pid < 0)
            res.result = c_iForkFailed;
    }
    st.dataProcPid = 0;
    if (pid > 0)
        noteDataProcess(st, pid);
    if (sendReply(st, &res, sizeof(res), "send ScanStartReq result err"))
        OvraLogInfo("tcp scanstart main process exit:%d pid:%d", res.result, getpid());
    if (pid > 0)
        releaseGate(gate);
}

void cmdUsbScanAbort(stConnectionState& st)
{
    USBScanAbortReq req;
    if (!receiveRequest(st, &req, sizeof(req), "recv ScanAbortReq err"))
        return;
    int32_t result = ownsDevice(st, req.devfd) ? ScanAbort(req.devfd) : c_iNotOwnHandle;
    killDataProcess(st);
    deleteFileList(scanDirNoSlash().c_str(), wireString(req.fileName).c_str());
    sendReply(st, &result, sizeof(result), "send ScanAbortReq result err");
}

void cmdTcpScanAbort(stConnectionState& st)
{
    TCPScanAbortReq req;
    if (!receiveRequest(st, &req, sizeof(req), "recv TCPScanAbortReq err"))
        return;
    // The data process goes first: once the scanner has the abort it closes
    // the data stream, and a data process still running would send the client
    // a record of that failure ahead of this command's reply.
    killDataProcess(st);
    // The abort goes to the scanner whoever asks; only a data connection of this
    // connection process is closed with it.
    OvraSocket socket = req.socket;
    if (ownsDataConnection(st, socket.tcpFromScanner))
        st.dataConnFds.erase(socket.tcpFromScanner);
    else
        socket.tcpFromScanner = -1;
    const int32_t result = ovra_http_ScanAbort(socket);
    deleteFileList(scanDirNoSlash().c_str(), wireString(req.fileName).c_str());
    sendReply(st, &result, sizeof(result), "send TCPScanAbortReq err");
}

void cmdDeleteFile(stConnectionState& st)
{
    CmdDeleteFileReq req;
    if (!receiveRequest(st, &req, sizeof(req), "recv CmdDeleteFileReq err"))
        return;
    deletePageFile(wireString(req.fileName).c_str());
}
