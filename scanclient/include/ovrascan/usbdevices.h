// USB devices as the kernel lists them in sysfs, to tie the daemon's device records
// (vendor, product, serial number) to the bus and device numbers a user sees.
#pragma once

#include "ovrascanprotocol.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ovrascan {

// The maker's USB vendor ID (the model table's).
constexpr uint16_t kOvraUsbVendorId = OVRA_USB_VENDOR_ID;

extern const char* const kSysfsUsbDevices; // "/sys/bus/usb/devices"

struct SysfsUsbDevice {
    int bus = 0;
    int device = 0;
    uint16_t vid = 0;
    uint16_t pid = 0;
    std::string serial;
};

// Every device (not interface) entry under root, in directory order.
std::vector<SysfsUsbDevice> ReadSysfsUsbDevices(const std::string& root = kSysfsUsbDevices);

std::optional<SysfsUsbDevice> FindByBusDevice(const std::vector<SysfsUsbDevice>& devices, int bus, int device);

// The daemon's record of the same device: equal vendor, product and serial number;
// the first one when several match. nullopt when none does.
std::optional<USBFindDevRes> MatchDaemonDevice(const std::vector<USBFindDevRes>& found, const SysfsUsbDevice& device);

// The sysfs entry of a device the daemon found, nullopt when there is none.
std::optional<SysfsUsbDevice> MatchSysfsDevice(const std::vector<SysfsUsbDevice>& devices, const USBFindDevRes& found);

} // namespace ovrascan
