#include "utillibusb.h"

#include "ovralog.h"
#include "usbchannellog.h"

namespace {

// The lines of the exchange, as the settings tool has always written them.
const UsbChannelLog c_log{"OvraPrintSetting/UtilLibusb", "USBSendRecvData"};

} // namespace

// The settings tool's codes for the library's results: what the pages' messages
// (channelresult.cpp) and the tests see.
int SettingUsbCode(UsbResult result)
{
    switch (result) {
    case UsbResult::Ok: return en_Usb_OK;
    case UsbResult::InitFailed: return en_Usb_InitFailed;
    case UsbResult::ListFailed: return en_Usb_NoDevice;
    case UsbResult::DescriptorFailed: return en_Usb_NoDevice;
    case UsbResult::NoDevice: return en_Usb_NoDevice;
    case UsbResult::ProbeFailed: return en_Usb_NoDevice;
    case UsbResult::ConfigFailed: return en_Usb_NoEndpoint;
    case UsbResult::NoInterface: return en_Usb_NoEndpoint;
    case UsbResult::OpenFailed: return en_Usb_OpenFailed;
    case UsbResult::ClaimFailed: return en_Usb_ClaimFailed;
    case UsbResult::WriteFailed: return en_Usb_WriteFailed;
    case UsbResult::ReadFailed: return en_Usb_ReadFailed;
    }
    return en_Usb_NoDevice;
}

int USBSendRecvData(int vid, int pid, QString uri, unsigned char* request, int requestLength, unsigned char* reply,
                    int replyCapacity, int* replyLength)
{
    int iReplyLength = 0;
    int* pReplyLength = replyLength ? replyLength : &iReplyLength;
    *pReplyLength = 0;

    UsbPrinterSession session;
    UsbResult result = session.Open(uint16_t(vid), uint16_t(pid), SerialOfPort(uri), UsbSerialRule::StartsWith,
                                    UsbInterface::PrinterBulk);
    if (result == UsbResult::InitFailed) {
        c_log.InitFailed();
        return SettingUsbCode(result);
    }
    if (result != UsbResult::Ok) {
        c_log.OpenFailed(result, session);
    } else {
        result = session.BulkOut(request, requestLength, c_uiUsbTransferTimeout);
        if (result == UsbResult::Ok)
            result = session.BulkIn(reply, replyCapacity, c_uiUsbTransferTimeout, pReplyLength);
        if (result != UsbResult::Ok)
            c_log.TransferFailed(session);
        else
            WriteStringLog(c_log.szSource, __LINE__, c_log.szFunction, "*** iRecvSize = %d \n", *pReplyLength);
    }
    c_log.Finished();
    return SettingUsbCode(result);
}
