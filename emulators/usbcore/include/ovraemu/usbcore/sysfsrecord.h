// Where an emulated device sits on the bus, and the umockdev device record
// (sysfs attributes, udev properties, device node) that makes programs find it.
#pragma once

#include "ovraemu/usbcore/usbdevicedescription.h"

#include <string>

namespace ovraemu {

struct UsbAddress {
    int bus = 1;
    int device = 2;

    std::string SysName() const; // "1-1": bus 1, port 1
    std::string SysPath() const; // "/sys/devices/..."
    std::string DevNode() const; // "/dev/bus/usb/001/002"
};

// The record in umockdev's text format (umockdev_testbed_add_from_string).
std::string SysfsRecord(const UsbAddress& address, const UsbDeviceDescription& description);

} // namespace ovraemu
