// How a user names a scanner: "usb:BUS:DEV" (the bus and device numbers of lsusb) or
// "net:ADDRESS" (the printer's IPv4 address).
#pragma once

#include <optional>
#include <string>

namespace ovrascan {

struct DeviceAddress {
    enum class Kind {
        Usb,
        Net
    };
    Kind kind = Kind::Net;
    int bus = 0;
    int device = 0;
    std::string address; // Net: dotted IPv4

    std::string ToString() const;
};

// nullopt with a reason in `error` for anything else.
std::optional<DeviceAddress> ParseDeviceAddress(const std::string& text, std::string& error);

} // namespace ovrascan
