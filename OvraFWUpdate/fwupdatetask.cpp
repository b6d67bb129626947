#include "fwupdatetask.h"

#include "ovralog.h"
#include "usbchannellog.h"

namespace {

// The lines of the transfer, as the firmware helper has always written them.
const UsbChannelLog c_log{"OvraFWUpdate/UtilLibusb", "FWUpdateTask"};

} // namespace

// The firmware helper's codes for the library's results: what the attempts, the
// window's messages (updateattempts.cpp) and the tests see.
int FWUpdateCode(UsbResult result)
{
    switch (result) {
    case UsbResult::Ok: return en_FW_OK;
    case UsbResult::InitFailed: return en_FW_InitFailed;
    case UsbResult::ListFailed: return en_FW_NoDevice;
    case UsbResult::DescriptorFailed: return en_FW_NoDevice;
    case UsbResult::NoDevice: return en_FW_NoDevice;
    case UsbResult::ProbeFailed: return en_FW_NoDevice;
    case UsbResult::ConfigFailed: return en_FW_NoEndpoint;
    case UsbResult::NoInterface: return en_FW_NoEndpoint;
    case UsbResult::OpenFailed: return en_FW_OpenFailed;
    case UsbResult::ClaimFailed: return en_FW_ClaimFailed;
    case UsbResult::WriteFailed: return en_FW_TransferFailed;
    case UsbResult::ReadFailed: return en_FW_TransferFailed; // the helper reads nothing
    }
    return en_FW_NoDevice;
}

int FWUpdateTask(int vid, int pid, QString uri, char* data, int length)
{
    UsbPrinterSession session;
    UsbResult result = session.Open(uint16_t(vid), uint16_t(pid), SerialOfPort(uri), UsbSerialRule::StartsWith,
                                    UsbInterface::PrinterBulk);
    if (result == UsbResult::InitFailed) {
        c_log.InitFailed();
        return FWUpdateCode(result);
    }
    if (result != UsbResult::Ok) {
        c_log.OpenFailed(result, session);
    } else {
        // The whole image in one transfer, waiting as long as the printer takes.
        result = session.BulkOut(reinterpret_cast<const unsigned char*>(data), length, c_uiFWTransferTimeout);
        if (result != UsbResult::Ok)
            c_log.TransferFailed(session);
        else
            WriteStringLog(c_log.szSource, __LINE__, c_log.szFunction, "*** length = %d \n", length);
    }
    c_log.Finished();
    return FWUpdateCode(result);
}
