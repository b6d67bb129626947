// Command line of ovra-bench-scanfollow.
#pragma once

#include "ovrascan/scansettings.h"

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace ovrabench {

struct FollowOptions {
    bool usb = false;
    std::string address;       // network scanner
    uint16_t vid = 0, pid = 0; // USB scanner
    ovrascan::ScanSettings settings;
    uint16_t port = 0;   // 0: the daemon's default
    pid_t listener = -1; // the daemon's listener: its data process is sampled
    int intervalMs = 20;
    int timeoutSeconds = 60;
    std::string samplesFile; // CSV of the memory samples
};

extern const char* const kFollowUsage;

bool ParseFollowOptions(const std::vector<std::string>& args, FollowOptions& options, std::string& error);

} // namespace ovrabench
