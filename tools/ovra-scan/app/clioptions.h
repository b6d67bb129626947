// Command line of ovra-scan.
#pragma once

#include "ovrascan/deviceaddress.h"
#include "ovrascan/scansettings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ClientOptions {
    bool help = false;
    bool version = false;
    bool list = false;
    bool quiet = false;
    std::vector<std::string> netAddresses; // --net, for --list
    std::optional<ovrascan::DeviceAddress> device;
    std::string outputFolder;
    ovrascan::ScanSettings settings;
    int timeoutSeconds = 120;
    std::optional<uint16_t> port;
    std::optional<uint16_t> vendorId;
};

extern const char* const kClientUsage;

// False with a reason for an unknown option, a bad value, or a command line that is
// neither a listing nor a complete scan.
bool ParseClientOptions(const std::vector<std::string>& args, ClientOptions& options, std::string& error);
