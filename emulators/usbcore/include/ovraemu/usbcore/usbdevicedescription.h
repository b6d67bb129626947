// What identifies an emulated USB device on the bus and how its single
// interface looks: the input of the descriptors and of the sysfs record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ovraemu {

struct UsbDeviceIdentity {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string manufacturer; // UTF-8
    std::string product;      // UTF-8
    std::string serial;       // UTF-8
    bool hasSerial = true;    // false: the device descriptor names no serial string
};

// A further alternate setting of interface 0, listed after setting 0: its
// class and its pair of bulk endpoints.
struct UsbAlternateSetting {
    uint8_t interfaceClass = 0xFF;
    uint8_t interfaceSubClass = 0;
    uint8_t interfaceProtocol = 0;
    uint8_t bulkOutEndpoint = 0x01;
    uint8_t bulkInEndpoint = 0x81;
};

// Interface 0 of configuration 1 with one bulk OUT and one bulk IN endpoint in
// its default setting, and any further alternate settings.
struct UsbInterfaceLayout {
    uint8_t interfaceClass = 0xFF;
    uint8_t interfaceSubClass = 0;
    uint8_t interfaceProtocol = 0;
    uint8_t bulkOutEndpoint = 0x01;
    uint8_t bulkInEndpoint = 0x81;
    // The kernel driver reported for interface 0 while one is bound.
    std::string kernelDriver = "usbfs-test";
    // Settings 1, 2, ... of interface 0; a program selects one with SET_INTERFACE.
    std::vector<UsbAlternateSetting> alternateSettings;
};

struct UsbDeviceDescription {
    UsbDeviceIdentity identity;
    UsbInterfaceLayout layout;
};

// The identity a device model's configuration names (IDs, strings, whether it has a serial).
template <typename Config>
UsbDeviceIdentity IdentityOf(const Config& config)
{
    UsbDeviceIdentity identity;
    identity.vendorId = config.vendorId;
    identity.productId = config.productId;
    identity.manufacturer = config.manufacturer;
    identity.product = config.product;
    identity.serial = config.serial;
    identity.hasSerial = config.hasSerial;
    return identity;
}

} // namespace ovraemu
