#include "fwupdatetask.h"

#include "ovralog.h"
#include "utillibusb.h"

namespace {

#define FW_LOG(...) WriteStringLog("OvraFWUpdate/UtilLibusb", __LINE__, "FWUpdateTask", __VA_ARGS__)

void LogErrorName(int code) { FW_LOG("*** error=%s \n", libusb_error_name(code)); }

// The device, handle and claim of the running transfer, undone by Finish.
struct stFWExchange {
    userDevice stDevice;
    libusb_device_handle* pHandle = nullptr;
    bool bClaimed = false;
};

int FindPrinter(stFWExchange& exchange, const QString& uri)
{
    libusb_device_descriptor descriptor{};
    const int rv = get_device_descriptor(&descriptor, &exchange.stDevice, uri);
    if (rv < 0) {
        FW_LOG("*** get_device_descriptor failed! \n");
        LogErrorName(rv);
        return en_FW_NoDevice;
    }
    const int rvEndpoint = get_device_endpoint(&descriptor, &exchange.stDevice);
    if (rvEndpoint < 0) {
        FW_LOG("*** get_device_endpoint failed! rv:%d \n", rvEndpoint);
        LogErrorName(rvEndpoint);
        return en_FW_NoEndpoint;
    }
    return en_FW_OK;
}

int OpenPrinter(stFWExchange& exchange)
{
    if (libusb_open(exchange.stDevice.pDevice, &exchange.pHandle) != 0 || !exchange.pHandle) {
        exchange.pHandle = nullptr;
        FW_LOG("*** Permission denied or Can not find the USB board (Maybe the USB driver has not been installed "
               "correctly), quit!\n");
        return en_FW_OpenFailed;
    }
    return en_FW_OK;
}

// Claims the interface, taking it from a kernel driver if need be; the driver is not
// given back afterwards.
int ClaimPrinter(stFWExchange& exchange)
{
    const int iInterface = exchange.stDevice.bInterfaceNumber;
    if (libusb_claim_interface(exchange.pHandle, iInterface) == 0) {
        exchange.bClaimed = true;
        return en_FW_OK;
    }
    const int rvDetach = libusb_detach_kernel_driver(exchange.pHandle, iInterface);
    if (rvDetach < 0) {
        FW_LOG("*** libusb_detach_kernel_driver failed! rv%d\n", rvDetach);
        LogErrorName(rvDetach);
        return en_FW_ClaimFailed;
    }
    const int rvClaim = libusb_claim_interface(exchange.pHandle, iInterface);
    if (rvClaim < 0) {
        FW_LOG("*** libusb_claim_interface failed! rv%d\n", rvClaim);
        LogErrorName(rvClaim);
        return en_FW_ClaimFailed;
    }
    exchange.bClaimed = true;
    return en_FW_OK;
}

// The whole image in one transfer, waiting as long as the printer takes.
int SendImage(stFWExchange& exchange, char* data, int length)
{
    int iSent = 0;
    int rv = LIBUSB_ERROR_INVALID_PARAM;
    const bool bValid = length >= 0 && (data || length == 0);
    if (bValid)
        rv = libusb_bulk_transfer(exchange.pHandle, exchange.stDevice.bOutEndpoint,
                                  reinterpret_cast<unsigned char*>(data), length, &iSent, c_uiFWTransferTimeout);
    if (rv < 0 || iSent < length) {
        FW_LOG("*** bulk_transfer failed! \n");
        if (bValid && rv < 0)
            LogErrorName(rv);
        return en_FW_TransferFailed;
    }
    FW_LOG("*** length = %d \n", length);
    return en_FW_OK;
}

void Finish(stFWExchange& exchange)
{
    if (exchange.stDevice.ppDeviceList) {
        libusb_free_device_list(exchange.stDevice.ppDeviceList, 1);
        exchange.stDevice.ppDeviceList = nullptr;
        exchange.stDevice.pDevice = nullptr;
    }
    if (exchange.pHandle) {
        if (exchange.bClaimed)
            libusb_release_interface(exchange.pHandle, exchange.stDevice.bInterfaceNumber);
        libusb_close(exchange.pHandle);
        exchange.pHandle = nullptr;
    }
    libusb_exit(nullptr);
    FW_LOG("*** success! \n");
}

} // namespace

int FWUpdateTask(int vid, int pid, QString uri, char* data, int length)
{
    stFWExchange exchange;
    exchange.stDevice.wVendorId = uint16_t(vid);
    exchange.stDevice.wProductId = uint16_t(pid);

    if (init_libusb() < 0) {
        FW_LOG("*** init_libusb failed! \n");
        return en_FW_InitFailed;
    }
    int iResult = FindPrinter(exchange, uri);
    if (iResult == en_FW_OK)
        iResult = OpenPrinter(exchange);
    if (iResult == en_FW_OK)
        iResult = ClaimPrinter(exchange);
    if (iResult == en_FW_OK)
        iResult = SendImage(exchange, data, length);
    Finish(exchange);
    return iResult;
}
