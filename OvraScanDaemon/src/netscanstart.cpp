// TCP_SCAN_START: the network transport of the scan-start sequence (scanstart.h).
#include "commands.h"
#include "dataprocess.h"
#include "netscanner.h"
#include "scanlog.h"
#include "scanpaths.h"
#include "scanstart.h"
#include "sockio.h"

#include <cstring>

namespace {

struct stNetStartJob {
    TCPScanStartReq req;
    TCPScanStartRes res;
};

bool receiveNetStart(stConnectionState& st, void* job)
{
    TCPScanStartReq& req = jobOf<stNetStartJob>(job).req;
    long got = recvRequestOnce(st.clientFd, &req, sizeof(req));
    if (got == static_cast<long>(sizeof(req)))
        return true;
    OvraLogErr("recv ScanStartReq err len:%ld", got);
    return false;
}

int* netDataConnection(void* job) { return &jobOf<stNetStartJob>(job).req.socket.tcpFromScanner; }

// Posts the job to the scanner and opens its data stream.
int32_t startNetScan(void* job)
{
    TCPScanStartReq& req = jobOf<stNetStartJob>(job).req;
    return ovra_http_ScanStart(&req.socket, &req.info);
}

stWireRecord netStartReply(void* job, int32_t result, const std::string& baseName)
{
    stNetStartJob& net = jobOf<stNetStartJob>(job);
    memset(&net.res, 0, sizeof(net.res));
    net.res.result = result;
    net.res.socketDataFd = net.req.socket.tcpFromScanner;
    copyToWire(net.res.fileName, baseName);
    return {&net.res, sizeof(net.res)};
}

void runNetScanData(const stConnectionState& st, const void* job, const std::string& baseName)
{
    runTcpDataProcess(st.clientFd, jobOf<stNetStartJob>(job).req.socket, baseName);
}

const stScanTransport c_netTransport = {
    "tcp",
    receiveNetStart,
    nullptr, // no usbfs handle: the scanner is named by its address
    netDataConnection,
    startNetScan,
    netStartReply,
    runNetScanData,
};

} // namespace

void cmdTcpScanStart(stConnectionState& st)
{
    stNetStartJob job;
    runScanStart(st, c_netTransport, &job);
}
