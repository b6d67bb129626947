// Puts an emulated printer into a named state ("busy", "scanning", ...): a USB printer
// of ovra-usbprinter-emu through its control socket, a network printer served here by
// the emulator library.
#pragma once

#include "ovraemu/netprinter.h"

#include <memory>
#include <string>

namespace ovrabench {

class PrinterDriver
{
public:
    virtual ~PrinterDriver() = default;
    // False when the emulator did not take the state.
    virtual bool Enter(const std::string& stateName) = 0;
    // Status requests the printer has answered so far; -1 when unknown.
    virtual long Polls() const = 0;
    virtual const char* Kind() const = 0;
};

// `printerId` is the emulator's printer id (its USB device number).
std::unique_ptr<PrinterDriver> MakeUsbDriver(const std::string& controlSocket, const std::string& printerId);
// Serves the printer on the address (UDP 9300); nullptr with *error when it cannot.
std::unique_ptr<PrinterDriver> MakeNetDriver(const std::string& address, std::string* error);

// The status value (enCurrentStatus) the suite shows for a named state, or -1.
int ShownStatus(const std::string& stateName);

} // namespace ovrabench
