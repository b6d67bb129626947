// Scan abort and file deletion commands.
#include "commands.h"
#include "deletefiles.h"
#include "netscanner.h"
#include "scanpaths.h"
#include "usbscanner.h"

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
    releaseDataConnection(st, socket.tcpFromScanner);
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
