#include "scannerlayout.h"

namespace ovraemu {

UsbDeviceDescription ScannerDescription(const UsbScannerConfig& config)
{
    UsbDeviceDescription description;
    description.identity = IdentityOf(config);
    description.layout.interfaceClass = kVendorSpecificClass;
    description.layout.interfaceSubClass = kVendorSpecificClass;
    description.layout.interfaceProtocol = kVendorSpecificClass;
    description.layout.bulkOutEndpoint = kScannerBulkOut;
    description.layout.bulkInEndpoint = kScannerBulkIn;
    description.layout.kernelDriver = "ovra-scan";
    return description;
}

} // namespace ovraemu
