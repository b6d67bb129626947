// Client commands that ask a network scanner at once.
#include "commands.h"
#include "netscanner.h"
#include "scanlog.h"

#include <cstdlib>
#include <cstring>

namespace {

const char c_szRecvErr[] = "recv ScanDevicePropertiesReq err";
const char c_szSendErr[] = "send ScanDevicePropertiesRes err";

} // namespace

void cmdTcpSendOsl(stConnectionState& st)
{
    TCPOSLReq req;
    if (!receiveRequest(st, &req, sizeof(req), c_szRecvErr))
        return;
    char* text = nullptr;
    int length = 0;
    TCPOSLRes res;
    res.result = ovra_send_osl(req.socket, &text, req.type, &length);
    res.bufferLen = res.result == OVRA_STATUS_GOOD ? length : 0;
    bool sent = sendReply(st, &res, sizeof(res), c_szSendErr);
    if (sent && res.bufferLen > 0)
        sendReply(st, text, static_cast<size_t>(res.bufferLen), c_szSendErr);
    free(text);
}

void cmdTcpScanAdfStatus(stConnectionState& st)
{
    TCPCommonReq req;
    if (!receiveRequest(st, &req, sizeof(req), c_szRecvErr))
        return;
    TCPADFStatusRes res;
    memset(&res, 0, sizeof(res));
    res.result = ovra_http_adfstatus(req.socket, &res.st);
    sendReply(st, &res, sizeof(res), c_szSendErr);
}

void cmdTcpScanDevProperties(stConnectionState& st)
{
    TCPCommonReq req;
    if (!receiveRequest(st, &req, sizeof(req), c_szRecvErr))
        return;
    TCPDevPropertiesRes res;
    memset(&res, 0, sizeof(res));
    res.result = ovra_http_DeviceProperties(req.socket, &res.devPro);
    sendReply(st, &res, sizeof(res), c_szSendErr);
}
