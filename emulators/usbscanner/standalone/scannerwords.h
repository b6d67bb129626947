// The words of the scanner emulator's command line and control commands.
#pragma once

#include "ovraemu/usbscannerbed.h"

#include <optional>
#include <string>
#include <vector>

namespace ovraemu {

// "VID:PID[:SERIAL[:MANUFACTURER[:PRODUCT]]]", IDs in hexadecimal; no serial
// means the scanner has no serial number string.
std::optional<UsbScannerConfig> ParseScannerArgument(const std::string& text);
// start, properties, adf, lock, unlock, sizes, abort, poweron, or the class
// and code in hexadecimal ("5301").
std::optional<ScannerCommand> ParseCommandName(const std::string& name);
// empty, loaded, jam
std::optional<AdfStatus> ParseFeeder(const std::string& name);
// none, refuse-open, fail-claim, kernel-driver
std::optional<UsbFault> ParseFault(const std::string& name);
// "0" or "1"
std::optional<bool> ParseSwitch(const std::string& text);
// "times=N datasize=N reserved=N payload=HEX silent stray=record|abort ..."
// after the flag of a respond command; the error text in `error`.
std::optional<ScriptedResponse> ParseResponseWords(uint8_t flag, const std::vector<std::string>& words, int& times,
                                                   std::string& error);
// "1B5305:47:80": start, class and code, dataSize, flags.
std::string FormatCommand(const ReceivedCommand& command);

} // namespace ovraemu
