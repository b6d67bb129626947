// USB_SCAN_START: the USB transport of the scan-start sequence (scanstart.h).
#include "commands.h"
#include "dataprocess.h"
#include "scanpaths.h"
#include "scanstart.h"
#include "usbscanner.h"

#include <cstring>

namespace {

struct stUsbStartJob {
    USBCommonReq req;
    USBScanStartRes res;
};

bool receiveUsbStart(stConnectionState& st, void* job)
{
    USBCommonReq& req = jobOf<stUsbStartJob>(job).req;
    return receiveRequest(st, &req, sizeof(req), "recv ScanStartReq err");
}

int usbDeviceHandle(const void* job) { return jobOf<stUsbStartJob>(job).req.devfd; }

int32_t startUsbScan(void* job) { return ScanStart(jobOf<stUsbStartJob>(job).req.devfd); }

stWireRecord usbStartReply(void* job, int32_t result, const std::string& baseName)
{
    USBScanStartRes& res = jobOf<stUsbStartJob>(job).res;
    memset(&res, 0, sizeof(res));
    res.result = result;
    copyToWire(res.fileName, baseName);
    return {&res, sizeof(res)};
}

// The first record may come as late as the warm-up of the handle's last power-on.
void runUsbScanData(const stConnectionState& st, const void* job, const std::string& baseName)
{
    const int devfd = jobOf<stUsbStartJob>(job).req.devfd;
    const auto warmUp = st.warmUpSeconds.find(devfd);
    runUsbDataProcess(st.clientFd, devfd, baseName, warmUp == st.warmUpSeconds.end() ? 0 : warmUp->second);
}

const stScanTransport c_usbTransport = {
    "usb",        receiveUsbStart, usbDeviceHandle,
    nullptr, // no data connection: the records come on the usbfs handle
    startUsbScan, usbStartReply,   runUsbScanData,
};

} // namespace

void cmdUsbScanStart(stConnectionState& st)
{
    stUsbStartJob job;
    runScanStart(st, c_usbTransport, &job);
}
