#include "printerlayout.h"

namespace ovraemu {

UsbDeviceDescription PrinterDescription(const UsbPrinterConfig& config)
{
    UsbDeviceDescription description;
    description.identity = IdentityOf(config);
    description.layout.interfaceClass = kPrinterInterfaceClass;
    description.layout.interfaceSubClass = 1;
    description.layout.interfaceProtocol = 2;
    description.layout.bulkOutEndpoint = config.bulkOutEndpoint;
    description.layout.bulkInEndpoint = config.bulkInEndpoint;
    description.layout.alternateSettings = config.alternateSettings;
    description.layout.kernelDriver = "usblp";
    return description;
}

} // namespace ovraemu
