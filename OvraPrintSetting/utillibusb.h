// The settings tool's USB channel: one request/reply exchange with a USB-connected
// printer over the library's UsbPrinterSession. The printer is found by vendor ID,
// product ID and the serial in its device URI (a prefix, letter case counting), its
// printer-class interface with bulk endpoints both ways (OUT 0x01) is claimed, the
// request goes out in one bulk OUT transfer and the reply comes back in one bulk IN
// transfer. Nothing is kept between exchanges.
//
// The codes below are the settings tool's: SettingUsbCode (utillibusb.cpp) is the one
// place where the library's results become them.
#pragma once

#include "usbprintersession.h"

#include <QString>

enum enUsbResult {
    en_Usb_OK = 0,
    en_Usb_InitFailed = -1,  // library initialisation
    en_Usb_NoDevice = -2,    // device search
    en_Usb_NoEndpoint = -3,  // interface and endpoint choice
    en_Usb_OpenFailed = -4,  // opening the device
    en_Usb_ClaimFailed = -5, // claiming the interface (or detaching the kernel driver)
    en_Usb_WriteFailed = -6, // bulk OUT failed or wrote fewer bytes than the request holds
    en_Usb_ReadFailed = -7,  // bulk IN failed, time-out included
};

const unsigned int c_uiUsbTransferTimeout = 3000; // ms, each of the two transfers

// The settings tool's code for a result of the library.
int SettingUsbCode(UsbResult result);

// One exchange; returns an enUsbResult. *replyLength gets the count the bulk IN
// transfer reported (0 when it was never made).
int USBSendRecvData(int vid, int pid, QString uri, unsigned char* request, int requestLength, unsigned char* reply,
                    int replyCapacity, int* replyLength);
