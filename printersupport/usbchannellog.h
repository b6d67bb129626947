// The log lines of the USB channel that the settings tool (a request and its reply) and
// the firmware helper (an image) have written since they shared one channel file: the
// same messages in both, under the program's channel name ("OvraPrintSetting/UtilLibusb",
// "OvraFWUpdate/UtilLibusb") and the function the program's transfer is known by
// ("USBSendRecvData", "FWUpdateTask"). The device search, the endpoint choice and the
// library's start keep the names they have always had in these lines
// ("get_device_descriptor", "get_device_endpoint", "init_libusb").
#pragma once

#include "usbprintersession.h"

struct UsbChannelLog {
    const char* szSource;   // the channel name that stands for the source file
    const char* szFunction; // the program's transfer

    // libusb could not be started: the session's Open gave InitFailed.
    void InitFailed() const;
    // Open gave another result than Ok or InitFailed.
    void OpenFailed(UsbResult result, const UsbPrinterSession& session) const;
    // A bulk transfer gave WriteFailed or ReadFailed; the error name follows when libusb
    // reported one.
    void TransferFailed(const UsbPrinterSession& session) const;
    // The end of every transfer that got past the library's start, failed or not.
    void Finished() const;
};
