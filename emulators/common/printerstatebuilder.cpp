#include "printerstatebuilder.h"

namespace ovraemu {

EmuPrinterState& EmuPrinterState::SetCounter(uint16_t tag, uint32_t value)
{
    std::vector<uint8_t> bytes = {uint8_t(value >> 24), uint8_t(value >> 16), uint8_t(value >> 8), uint8_t(value)};
    for (SupplyItem& item : supplies) {
        if (item.tag == tag) {
            item.value = bytes;
            return *this;
        }
    }
    supplies.push_back({tag, bytes});
    return *this;
}

void PutU8(std::vector<uint8_t>& out, unsigned value) { out.push_back(uint8_t(value)); }

void PutU16(std::vector<uint8_t>& out, unsigned value)
{
    out.push_back(uint8_t(value >> 8));
    out.push_back(uint8_t(value));
}

void PutText16(std::vector<uint8_t>& out, const std::string& text)
{
    PutU16(out, unsigned(text.size()));
    out.insert(out.end(), text.begin(), text.end());
}

void PutText8(std::vector<uint8_t>& out, const std::string& text)
{
    PutU8(out, unsigned(text.size()));
    out.insert(out.end(), text.begin(), text.end());
}

std::vector<uint8_t> BuildStatusBody(const EmuPrinterState& state)
{
    std::vector<uint8_t> out;
    PutU8(out, 0);  // reserved
    PutU16(out, 0); // reserved
    PutU16(out, 0); // reserved
    PutText16(out, state.vendor);
    PutText16(out, state.product);
    PutText16(out, state.serial);
    PutU16(out, 0); // reserved
    PutU8(out, state.statusCode);
    PutText8(out, state.firmware);
    PutText8(out, state.extraText);
    PutU8(out, unsigned(state.errors.size()));
    for (uint16_t code : state.errors)
        PutU16(out, code);
    PutU8(out, unsigned(state.warnings.size()));
    for (uint16_t code : state.warnings)
        PutU16(out, code);
    PutU8(out, 0);  // reserved
    PutU16(out, 0); // reserved
    PutU16(out, 0); // reserved
    PutU8(out, unsigned(state.supplies.size()));
    for (const SupplyItem& item : state.supplies) {
        PutU16(out, item.tag);
        PutU8(out, unsigned(item.value.size()));
        out.insert(out.end(), item.value.begin(), item.value.end());
    }
    return out;
}

std::vector<uint8_t> BuildUdpStatusReply(const EmuPrinterState& state)
{
    const std::vector<uint8_t> body = BuildStatusBody(state);
    std::vector<uint8_t> out = {0xA5};
    PutU16(out, unsigned(body.size() + 4));
    out.insert(out.end(), {0x50, 0xE0, 0x74, 0x08});
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

} // namespace ovraemu
