#include "serviceusb.h"

#include "modelinfo.h"

// The service's codes for the library's results. The service claims interface 0 and
// makes no bulk transfer: the last five results do not come up for it.
int ServiceUsbCode(UsbResult result)
{
    switch (result) {
    case UsbResult::Ok: return en_Usb_OK;
    case UsbResult::InitFailed: return en_Usb_InitFailed;
    case UsbResult::ListFailed: return en_Usb_ListFailed;
    case UsbResult::DescriptorFailed: return en_Usb_WalkFailed;
    case UsbResult::NoDevice: return en_Usb_NoDevice;
    case UsbResult::ProbeFailed: return en_Usb_WalkFailed;
    case UsbResult::ClaimFailed: return en_Usb_ClaimFailed;
    case UsbResult::ConfigFailed: return en_Usb_WalkFailed; // a descriptor could not be read
    case UsbResult::NoInterface: return en_Usb_NoDevice;    // not the printer looked for
    case UsbResult::OpenFailed: return en_Usb_WalkFailed;   // a failed open on the way
    case UsbResult::WriteFailed: return en_Usb_Exception;
    case UsbResult::ReadFailed: return en_Usb_Exception;
    }
    return en_Usb_Exception;
}

int OpenServiceSession(UsbPrinterSession& session, const QString& strPort)
{
    const stModelInfo* pModel = FindModelByDeviceURI(strPort);
    if (!pModel)
        return en_Usb_NoModel;
    return ServiceUsbCode(session.Open(uint16_t(pModel->iVendorId), uint16_t(pModel->iProductId), SerialOfPort(strPort),
                                       UsbSerialRule::StartsWithIgnoringCase, UsbInterface::Interface0));
}
