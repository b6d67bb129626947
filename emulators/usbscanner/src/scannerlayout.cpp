#include "scannerlayout.h"

namespace ovraemu {

UsbDeviceDescription ScannerDescription(const UsbScannerConfig& config)
{
    UsbDeviceDescription description;
    description.identity.vendorId = config.vendorId;
    description.identity.productId = config.productId;
    description.identity.manufacturer = config.manufacturer;
    description.identity.product = config.product;
    description.identity.serial = config.serial;
    description.identity.hasSerial = config.hasSerial;
    description.layout.interfaceClass = kVendorSpecificClass;
    description.layout.interfaceSubClass = kVendorSpecificClass;
    description.layout.interfaceProtocol = kVendorSpecificClass;
    description.layout.bulkOutEndpoint = kScannerBulkOut;
    description.layout.bulkInEndpoint = kScannerBulkIn;
    description.layout.kernelDriver = "ovra-scan";
    return description;
}

}  // namespace ovraemu
