#include "printerlayout.h"

namespace ovraemu {

UsbDeviceDescription PrinterDescription(const UsbPrinterConfig& config)
{
    UsbDeviceDescription description;
    description.identity.vendorId = config.vendorId;
    description.identity.productId = config.productId;
    description.identity.manufacturer = config.manufacturer;
    description.identity.product = config.product;
    description.identity.serial = config.serial;
    description.identity.hasSerial = config.hasSerial;
    description.layout.interfaceClass = kPrinterInterfaceClass;
    description.layout.interfaceSubClass = 1;
    description.layout.interfaceProtocol = 2;
    description.layout.bulkOutEndpoint = config.bulkOutEndpoint;
    description.layout.bulkInEndpoint = config.bulkInEndpoint;
    description.layout.alternateSettings = config.alternateSettings;
    description.layout.kernelDriver = "usblp";
    return description;
}

}  // namespace ovraemu
