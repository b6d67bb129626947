#include "channelresult.h"

#include "udpchannel.h"
#include "utillibusb.h"

namespace {

const char* const c_szPing = "Failed_Printer_Ping";
const char* const c_szConnection = "Failed_Printer_Connection";
const char* const c_szInit = "Failed_Device_Interface_Init";
const char* const c_szUnknown = "Error_Unknow";

QString UsbFailureMessage(int iResult)
{
    switch (iResult) {
    case en_Usb_WriteFailed:
    case en_Usb_ReadFailed: return c_szPing;
    case en_Usb_ClaimFailed:
    case en_Usb_OpenFailed:
    case en_Usb_NoEndpoint:
    case en_Usb_NoDevice: return c_szConnection;
    case en_Usb_InitFailed: return c_szInit;
    default: return c_szUnknown;
    }
}

} // namespace

QString MaintenanceResultMessage(bool bUsb, int iResult)
{
    if (!bUsb)
        return iResult == en_Udp_OK ? QString() : QString(c_szConnection);
    if (iResult == en_Usb_OK || iResult == en_Usb_ReadFailed)
        return QString();
    return UsbFailureMessage(iResult);
}

QString NetResultMessage(int iResult) { return iResult == en_Usb_OK ? QString() : UsbFailureMessage(iResult); }
