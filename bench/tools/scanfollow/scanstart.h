// Starting a scan through the daemon as a scan client does: for a network scanner the
// job start alone, for a USB scanner the device choice, open, lock, wake-up and start.
// What follows the start is the caller's: the records, then Finish.
#pragma once

#include "ovrascan/scanclient.h"
#include "ovrascan/scanrunner.h"
#include "ovrascan/scansettings.h"

#include <chrono>
#include <functional>
#include <string>

namespace ovrabench {

struct StartedScan {
    std::string error;            // empty when the scan runs
    std::string baseName;         // of its page files
    ovrascan::NextRecord next;    // the next record reply
    std::function<void()> finish; // unlock and close (USB); nothing for a network scan
};

StartedScan StartNetScan(ovrascan::ScanClient& client, const std::string& address,
                         const ovrascan::ScanSettings& settings, std::chrono::milliseconds recordTimeout);
StartedScan StartUsbScan(ovrascan::ScanClient& client, uint16_t vid, uint16_t pid,
                         const ovrascan::ScanSettings& settings, std::chrono::milliseconds recordTimeout);

} // namespace ovrabench
