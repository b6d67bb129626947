// The printer side of the status exchange: builds the binary status response a printer
// of the family sends for a given state. Plain C++, shared by the emulators and tests.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace ovraemu {

struct SupplyItem {
    uint16_t tag;
    std::vector<uint8_t> value;
};

struct EmuPrinterState {
    std::string vendor = "Ovra";
    std::string product;
    std::string serial;
    uint8_t statusCode = 0x00; // 0x00 ready, 0x10 printing, ...
    std::string firmware = "1.0.0";
    std::string extraText;
    std::vector<uint16_t> errors;
    std::vector<uint16_t> warnings;
    std::vector<SupplyItem> supplies;

    // A 4-byte big-endian counter item (toner percent, page counters).
    EmuPrinterState& SetCounter(uint16_t tag, uint32_t value);
};

// The response as the printer sends it after the 7-byte frame header: over USB this is
// the whole reply of the status class request.
std::vector<uint8_t> BuildStatusBody(const EmuPrinterState& state);

// The UDP reply: a 7-byte frame header (A5, length, 50 E0 74 08 03) and the body.
std::vector<uint8_t> BuildUdpStatusReply(const EmuPrinterState& state);

// Byte helpers for hand-made responses.
void PutU8(std::vector<uint8_t>& out, unsigned value);
void PutU16(std::vector<uint8_t>& out, unsigned value);
void PutText16(std::vector<uint8_t>& out, const std::string& text);
void PutText8(std::vector<uint8_t>& out, const std::string& text);

} // namespace ovraemu
