// The scanners the daemon reaches: the maker's USB devices, and the network scanners
// named by address, one line each.
#pragma once

#include "ovrascan/scanclient.h"
#include "ovrascan/usbdevices.h"

#include <string>
#include <vector>

namespace ovrascan {

struct ListOptions {
    uint16_t usbVendorId = kOvraUsbVendorId;
    std::vector<std::string> netAddresses;
    std::string sysfsRoot = kSysfsUsbDevices;
};

// One line per scanner: "usb:BUS:DEV  maker product  serial S" and
// "net:ADDRESS  colour, 75-1200 dpi, simplex, feeder loaded" (or why it is not reachable).
// False, with a reason, when the daemon does not answer.
bool ListDevices(ScanClient& client, const ListOptions& options, std::vector<std::string>& lines, std::string& error);

// "colour, 75-1200 dpi, simplex"
std::string DescribeCapabilities(const ScannerCapabilities& capabilities);
// "loaded", "empty", "jammed" or "unknown"
std::string FeederStateName(int state);

} // namespace ovrascan
