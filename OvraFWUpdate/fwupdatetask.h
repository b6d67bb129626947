// Sends a firmware image to a USB printer of the family over the library's
// UsbPrinterSession: the printer found by its IDs and the serial in its device URI (a
// prefix, letter case counting, as in the settings tool), its printer-class interface
// with bulk OUT 0x01 claimed, then the whole image in one bulk OUT transfer without time
// limit. There is no reply.
//
// The codes below are the firmware helper's: FWUpdateCode (fwupdatetask.cpp) is the one
// place where the library's results become them.
#pragma once

#include "usbprintersession.h"

#include <QString>

enum enFWUpdateResult {
    en_FW_OK = 0,
    en_FW_InitFailed = -1,     // library initialisation
    en_FW_NoDevice = -2,       // device search
    en_FW_NoEndpoint = -3,     // interface and endpoint choice
    en_FW_OpenFailed = -4,     // opening the device
    en_FW_ClaimFailed = -5,    // claiming the interface (or detaching the kernel driver)
    en_FW_TransferFailed = -7, // bulk OUT failed or moved fewer bytes than the image holds
};

const unsigned int c_uiFWTransferTimeout = 0; // no time limit

// The firmware helper's code for a result of the library.
int FWUpdateCode(UsbResult result);

// One transfer of length bytes of data to the printer whose device URI (without
// scheme) is uri; returns an enFWUpdateResult.
int FWUpdateTask(int vid, int pid, QString uri, char* data, int length);
