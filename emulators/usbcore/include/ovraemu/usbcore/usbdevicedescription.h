// What identifies an emulated USB device on the bus and how its single
// interface looks: the input of the descriptors and of the sysfs record.
#pragma once

#include <cstdint>
#include <string>

namespace ovraemu {

struct UsbDeviceIdentity {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string manufacturer;  // UTF-8
    std::string product;       // UTF-8
    std::string serial;        // UTF-8
    bool hasSerial = true;     // false: the device descriptor names no serial string
};

// Interface 0 of configuration 1 with one bulk OUT and one bulk IN endpoint.
struct UsbInterfaceLayout {
    uint8_t interfaceClass = 0xFF;
    uint8_t interfaceSubClass = 0;
    uint8_t interfaceProtocol = 0;
    uint8_t bulkOutEndpoint = 0x01;
    uint8_t bulkInEndpoint = 0x81;
    // The kernel driver reported for interface 0 while one is bound.
    std::string kernelDriver = "usbfs-test";
};

struct UsbDeviceDescription {
    UsbDeviceIdentity identity;
    UsbInterfaceLayout layout;
};

}  // namespace ovraemu
