// The command line of ovra-printer-emu.
#pragma once

#include <string>

struct EmuOptions {
    std::string address;
    std::string scenarioPath;
    std::string stateName = "ready";
    std::string product = "Ovra P2200DN";
    std::string serial;    // empty: derived from the address
    std::string usbSocket; // play the states on a USB printer of ovra-usbprinter-emu instead
    std::string usbId = "2";
    bool loop = false;
    bool help = false;
    bool version = false;
};

// False, with a reason in *error, for an unknown option, a missing value or a
// missing --address.
bool ParseEmuOptions(int argc, char** argv, EmuOptions* options, std::string* error);
std::string EmuUsage();
