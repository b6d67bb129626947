// Command line of ovra-scanner-emu.
#pragma once

#include "ovraemu/netscanner.h"

#include <map>
#include <string>
#include <vector>

struct ScannerEmuOptions {
    std::string address;
    ovraemu::NetScanJob job;
    std::vector<std::string> imageFiles;
    ovraemu::FeederState feeder = ovraemu::FeederState::Loaded;
    int postResult = ovraemu::kPostResultSuccess;
    std::map<ovraemu::HttpRoute, int> httpStatus;
    size_t attributeBytes = 0;
    int attributeParts = 1;
    double durationSeconds = 0; // 0: until SIGINT or SIGTERM
    bool help = false;
    bool version = false;
};

extern const char* const kScannerEmuUsage;

// Fills `options` from the arguments (without the program name). False with a reason
// in `error` for an unknown option, a missing or bad value, or a missing --address.
bool ParseScannerEmuOptions(const std::vector<std::string>& args, ScannerEmuOptions& options, std::string& error);
