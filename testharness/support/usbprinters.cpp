#include "usbprinters.h"

#include "modelinfo.h"

ovraemu::UsbPrinterConfig UsbPrinterOfModel(const QString& displayName, const std::string& serial, bool hasSerial)
{
    const stModelInfo* pModel = FindModelByDisplayName(displayName);
    ovraemu::UsbPrinterConfig config;
    config.vendorId = pModel ? uint16_t(pModel->iVendorId) : 0;
    config.productId = pModel ? uint16_t(pModel->iProductId) : 0;
    config.serial = serial;
    config.hasSerial = hasSerial;
    return config;
}
