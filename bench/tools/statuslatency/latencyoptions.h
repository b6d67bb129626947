// Command line of ovra-bench-statuslatency.
#pragma once

#include "changerun.h"

#include <string>
#include <vector>

namespace ovrabench {

struct LatencyOptions {
    std::string statusFolder;  // the install root's cfg/
    std::string trayLogFolder; // the install root's tool/
    std::string usbSocket;     // ovra-usbprinter-emu's control socket
    std::string usbPrinterId;
    std::string netAddress;
    ChangePlan usb;
    ChangePlan net;
    std::string csvFile;
};

extern const char* const kLatencyUsage;

bool ParseLatencyOptions(const std::vector<std::string>& args, LatencyOptions& options, std::string& error);

} // namespace ovrabench
