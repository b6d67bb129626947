// Sends a firmware image to a USB printer of the family: the printer channel's device
// search and endpoint choice, then the whole image in one bulk OUT transfer without
// time limit. There is no reply. Like every USB exchange of the suite, it initialises
// libusb and releases it again, so two must not overlap in one process.
#pragma once

#include <QString>

enum enFWUpdateResult {
    en_FW_OK = 0,
    en_FW_InitFailed = -1,       // library initialisation
    en_FW_NoDevice = -2,         // device search
    en_FW_NoEndpoint = -3,       // interface and endpoint choice
    en_FW_OpenFailed = -4,       // opening the device
    en_FW_ClaimFailed = -5,      // claiming the interface (or detaching the kernel driver)
    en_FW_TransferFailed = -7,   // bulk OUT failed or moved fewer bytes than the image holds
};

const unsigned int c_uiFWTransferTimeout = 0;   // no time limit

// One transfer of length bytes of data to the printer whose device URI (without
// scheme) is uri; returns an enFWUpdateResult.
int FWUpdateTask(int vid, int pid, QString uri, char* data, int length);
