// The print service's side of a USB session with a printer named by its CUPS port
// ("Ovra/P2200DN?serial=ABC"): the model's IDs looked up from the port, the serial a
// prefix whatever its letter case, interface 0 claimed for the class requests (status,
// cancel) on the control endpoint. The session itself is the library's
// UsbPrinterSession; released when it goes out of scope.
//
// The codes below are the service's: ServiceUsbCode (serviceusb.cpp) is the one place
// where the library's results become them. They show in the service's log
// ("connect <queue> fail, ret = -5") and decide its rule for going Offline (-5 only).
#pragma once

#include "usbprintersession.h"

#include <QString>

enum enUsbSessionResult {
    en_Usb_OK = 0,
    en_Usb_NoModel = -1, // the port names no model of the table
    en_Usb_InitFailed = -2,
    en_Usb_ListFailed = -3,
    en_Usb_WalkFailed = -4, // a descriptor could not be read, or the walk ended on a failed call
    en_Usb_NoDevice = -5,
    en_Usb_ClaimFailed = -6,
    en_Usb_Exception = -99, // an exception ended the request
};

// The service's code for a result of the library.
int ServiceUsbCode(UsbResult result);

// Finds, opens and claims the printer of the port; 0 or a negative enUsbSessionResult.
int OpenServiceSession(UsbPrinterSession& session, const QString& strPort);
