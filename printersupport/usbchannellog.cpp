#include "usbchannellog.h"

#include "ovralog.h"

#include <libusb-1.0/libusb.h>

namespace {

// The step names of the lines written on the way.
const char* const c_szInit = "init_libusb";
const char* const c_szSearch = "get_device_descriptor";
const char* const c_szEndpoints = "get_device_endpoint";

// What the search and the endpoint choice returned before they were steps of the session.
const int c_iStepUnreadable = -1; // a device or configuration descriptor could not be read
const int c_iStepNothing = -2;    // no device, or no setting that qualifies

} // namespace

#define CHANNEL_LOG(function, ...) WriteStringLog(szSource, __LINE__, function, __VA_ARGS__)

void UsbChannelLog::InitFailed() const
{
    CHANNEL_LOG(c_szInit, "*** initial USB lib failed! \n");
    CHANNEL_LOG(szFunction, "*** init_libusb failed! \n");
}

void UsbChannelLog::OpenFailed(UsbResult result, const UsbPrinterSession& session) const
{
    switch (result) {
    case UsbResult::ListFailed:
        CHANNEL_LOG(szFunction, "*** get_device_descriptor failed! \n");
        CHANNEL_LOG(szFunction, "*** error=%s \n", libusb_error_name(session.LibusbError()));
        break;
    case UsbResult::DescriptorFailed:
        CHANNEL_LOG(c_szSearch, "*** libusb_get_device_descriptor failed! i:%d \n", session.FailedDevicePosition());
        CHANNEL_LOG(szFunction, "*** get_device_descriptor failed! \n");
        CHANNEL_LOG(szFunction, "*** error=%s \n", libusb_error_name(c_iStepUnreadable));
        break;
    case UsbResult::NoDevice:
    case UsbResult::ProbeFailed:
        CHANNEL_LOG(szFunction, "*** get_device_descriptor failed! \n");
        CHANNEL_LOG(szFunction, "*** error=%s \n", libusb_error_name(c_iStepNothing));
        break;
    case UsbResult::ConfigFailed:
        CHANNEL_LOG(c_szEndpoints, "*** libusb_get_config_descriptor failed! \n");
        CHANNEL_LOG(szFunction, "*** get_device_endpoint failed! rv:%d \n", c_iStepUnreadable);
        CHANNEL_LOG(szFunction, "*** error=%s \n", libusb_error_name(c_iStepUnreadable));
        break;
    case UsbResult::NoInterface:
        CHANNEL_LOG(szFunction, "*** get_device_endpoint failed! rv:%d \n", c_iStepNothing);
        CHANNEL_LOG(szFunction, "*** error=%s \n", libusb_error_name(c_iStepNothing));
        break;
    case UsbResult::OpenFailed:
        CHANNEL_LOG(szFunction, "*** Permission denied or Can not find the USB board (Maybe the USB driver has "
                                "not been installed correctly), quit!\n");
        break;
    case UsbResult::ClaimFailed:
        if (session.DetachError() < 0) {
            CHANNEL_LOG(szFunction, "*** libusb_detach_kernel_driver failed! rv%d\n", session.DetachError());
            CHANNEL_LOG(szFunction, "*** error=%s \n", libusb_error_name(session.DetachError()));
        } else {
            CHANNEL_LOG(szFunction, "*** libusb_claim_interface failed! rv%d\n", session.LibusbError());
            CHANNEL_LOG(szFunction, "*** error=%s \n", libusb_error_name(session.LibusbError()));
        }
        break;
    case UsbResult::Ok:
    case UsbResult::InitFailed:
    case UsbResult::WriteFailed:
    case UsbResult::ReadFailed: break;
    }
}

void UsbChannelLog::TransferFailed(const UsbPrinterSession& session) const
{
    CHANNEL_LOG(szFunction, "*** bulk_transfer failed! \n");
    if (session.LibusbError() < 0)
        CHANNEL_LOG(szFunction, "*** error=%s \n", libusb_error_name(session.LibusbError()));
}

void UsbChannelLog::Finished() const { CHANNEL_LOG(szFunction, "*** success! \n"); }
