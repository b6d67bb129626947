// Client commands that act at once on a USB device or its scanner.
#include "commands.h"
#include "scanlog.h"
#include "scanpaths.h"
#include "usbfind.h"
#include "usbscanner.h"

#include <cstring>
#include <vector>

namespace {

// Receives a USBCommonReq and runs op on its handle; replies with the result.
void simpleScannerCommand(stConnectionState& st, const char* recvErr, const char* sendErr, const char* infoName,
                          int (*op)(int))
{
    USBCommonReq req;
    if (!receiveRequest(st, &req, sizeof(req), recvErr))
        return;
    int32_t result = ownsDevice(st, req.devfd) ? op(req.devfd) : c_iNotOwnHandle;
    if (infoName)
        OvraLogInfo("%s result %d", infoName, result);
    sendReply(st, &result, sizeof(result), sendErr);
}

// The devices of the client's request. Only the maker's devices are ever opened: the
// daemon runs as root, and an abort on an open device resets it, so a request naming
// another vendor finds nothing.
int findDevices(std::vector<OVRA_USB_DEV>& list, int32_t vid, int32_t pid, bool compareWithPID)
{
    list.clear();
    if ((vid & 0xFFFF) != OVRA_USB_VENDOR_ID) {
        OvraLogInfo("vendor %04x is not served", static_cast<unsigned>(vid & 0xFFFF));
        return 0;
    }
    list.assign(OVRA_USB_DEV_MAX, OVRA_USB_DEV{});
    return ovra_find_device(static_cast<uint16_t>(vid & 0xFFFF), static_cast<uint16_t>(pid & 0xFFFF), list.data(),
                            compareWithPID, OVRA_USB_DEV_MAX);
}

} // namespace

void cmdUsbFindDev(stConnectionState& st)
{
    USBFindDevReq req;
    if (!receiveRequest(st, &req, sizeof(req), "recv FindDevReq err"))
        return;
    std::vector<OVRA_USB_DEV> list;
    int32_t count = findDevices(list, req.vid, req.pid, req.compareWithPID != 0);
    for (int i = 0; i < count; ++i)
        st.deviceFds.insert(list[i].fd);
    if (!sendReply(st, &count, sizeof(count), "send dev count err"))
        return;
    for (int i = 0; i < count; ++i) {
        USBFindDevRes res = converToDevRes(list[i].fd, list[i].dev_des);
        if (!sendReply(st, &res, sizeof(res), "send FindDevRes err"))
            return;
    }
}

void cmdUsbOpenDev(stConnectionState& st)
{
    USBCommonReq req;
    if (!receiveRequest(st, &req, sizeof(req), "recv OpenDevReq err"))
        return;
    int32_t result = ownsDevice(st, req.devfd) ? ovra_init(req.devfd) : c_iNotOwnHandle;
    OvraLogInfo("USB_OPEN_DEV result %d", result);
    sendReply(st, &result, sizeof(result), nullptr);
}

void cmdUsbCloseDev(stConnectionState& st)
{
    USBCommonReq req;
    if (!receiveRequest(st, &req, sizeof(req), "recv CloseDevReq err"))
        return;
    int32_t result = c_iNotOwnHandle;
    if (ownsDevice(st, req.devfd)) {
        ovra_close_device(req.devfd);
        st.deviceFds.erase(req.devfd);
        st.warmUpSeconds.erase(req.devfd);
        result = OVRA_STATUS_GOOD;
    }
    OvraLogInfo("USB_CLOSE_DEV result %d", result);
    sendReply(st, &result, sizeof(result), "send CloseDevReq result err");
}

void cmdUsbClearDev(stConnectionState& st)
{
    USBClearDevEpReq req;
    if (!receiveRequest(st, &req, sizeof(req), "recv ClearDevEpReq err"))
        return;
    int32_t result = ownsDevice(st, req.devfd) ? ovra_clear_halt(req.devfd, req.ep) : c_iNotOwnHandle;
    OvraLogInfo("USB_CLEAR_DEV result %d", result);
    sendReply(st, &result, sizeof(result), "send ClearDevEpReq result err");
}

void cmdUsbResetDevEp(stConnectionState& st)
{
    USBResetDevEpReq req;
    if (!receiveRequest(st, &req, sizeof(req), "recv ResetDevEpReq err"))
        return;
    int32_t result = ownsDevice(st, req.devfd) ? ovra_resetep(req.devfd, req.ep) : c_iNotOwnHandle;
    OvraLogInfo("USB_RESET_DEVEP result %d", result);
    sendReply(st, &result, sizeof(result), "send ResetDevEpReq result err");
}

void cmdUsbReopenDev(stConnectionState& st)
{
    USBReopenDevReq req;
    // Refused until a device with the serial number is found.
    USBReopenDevRes res = {OVRA_STATUS_IO_ERROR, -1};
    if (!receiveRequest(st, &req, sizeof(req), "recv USBReopenDevReq err")) {
        sendReply(st, &res, sizeof(res), nullptr);
        return;
    }
    if (ownsDevice(st, req.devfd)) {
        std::string serial = wireString(req.SerialNumber);
        std::vector<OVRA_USB_DEV> list;
        int count = findDevices(list, req.vid, req.pid, true);
        for (int i = 0; i < count; ++i) {
            bool chosen = false;
            if (res.ret == OVRA_STATUS_IO_ERROR) {
                USBFindDevRes found = converToDevRes(list[i].fd, list[i].dev_des);
                chosen = serial == wireString(found.SerialNumber);
            }
            if (!chosen) {
                // Devices not chosen are not handed to the client: give them up.
                ovra_close_device(list[i].fd);
                continue;
            }
            res.fd = list[i].fd;
            st.deviceFds.insert(res.fd);
            ovra_close_device(req.devfd);
            st.deviceFds.erase(req.devfd);
            st.warmUpSeconds.erase(req.devfd);
            res.ret = ovra_init(res.fd);
        }
    }
    sendReply(st, &res, sizeof(res), nullptr);
}

void cmdUsbScanLock(stConnectionState& st)
{
    USBScanLockReq req;
    if (!receiveRequest(st, &req, sizeof(req), "recv ScanLockReq err"))
        return;
    int32_t result = ownsDevice(st, req.devfd) ? ScanLock(req.devfd, &req.info) : c_iNotOwnHandle;
    OvraLogInfo("USB_SCAN_LOCK result %d", result);
    sendReply(st, &result, sizeof(result), "send ScanLockReq result err");
}

void cmdUsbScanUnlock(stConnectionState& st)
{
    simpleScannerCommand(st, "recv ScanUnlockReq err", "send ScanUnlockReq result err", nullptr, ScanUnlock);
}

// The warm-up the scanner reports is kept for the scan started next on the handle.
void cmdUsbScanPowerOn(stConnectionState& st)
{
    USBCommonReq req;
    if (!receiveRequest(st, &req, sizeof(req), "recv ScanPowerOnReq err"))
        return;
    int warmUp = 0;
    const int32_t result = ownsDevice(st, req.devfd) ? ScanPowerOn(req.devfd, &warmUp) : c_iNotOwnHandle;
    if (result == OVRA_STATUS_GOOD)
        st.warmUpSeconds[req.devfd] = warmUp;
    sendReply(st, &result, sizeof(result), "send ScanPowerOnReq result err");
}

void cmdUsbScanGetSizes(stConnectionState& st)
{
    simpleScannerCommand(st, "recv ScanGetSizesReq err", "send ScanGetSizesReq result err", nullptr, ScanGetScanSizes);
}

void cmdUsbScanAdfStatus(stConnectionState& st)
{
    USBCommonReq req;
    if (!receiveRequest(st, &req, sizeof(req), "recv ScanAdfStatusReq err"))
        return;
    USBScanAdfStatusRes res;
    memset(&res, 0, sizeof(res));
    res.result = ownsDevice(st, req.devfd) ? ScanADFStatus(req.devfd, &res.st) : c_iNotOwnHandle;
    sendReply(st, &res, sizeof(res), "send ScanAdfStatusRes err");
}

void cmdUsbScanDevProperties(stConnectionState& st)
{
    USBCommonReq req;
    if (!receiveRequest(st, &req, sizeof(req), "recv ScanDevicePropertiesReq err"))
        return;
    USBScanDevicePropertiesRes res;
    memset(&res, 0, sizeof(res));
    res.result = ownsDevice(st, req.devfd) ? ScanDeviceProperties(req.devfd, &res.st) : c_iNotOwnHandle;
    sendReply(st, &res, sizeof(res), "send ScanDevicePropertiesRes err");
}
