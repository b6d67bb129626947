// The printer states a scenario or the command line names: "ready", "paper-out", ...
// A name either sets the printer's status code and code lists, or changes only how
// the printer answers ("silent", "short", "garbage").
#pragma once

#include "ovraemu/netprinter.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ovraemu {

struct NamedState {
    std::string name;
    NetReplyMode mode = NetReplyMode::Normal;
    // Printer states only (mode Normal); a reply mode keeps the printer's state.
    uint8_t statusCode = 0x00;
    std::vector<uint16_t> errors;
    std::vector<uint16_t> warnings;

    bool SetsPrinterState() const { return mode == NetReplyMode::Normal; }
};

const std::vector<NamedState>& NamedStates();
// nullptr for an unknown name.
const NamedState* FindNamedState(const std::string& name);
// "ready, init, ..." for messages.
std::string NamedStateList();

} // namespace ovraemu
