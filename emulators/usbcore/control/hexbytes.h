// Bytes as hexadecimal text ("0A1B..."), as the control commands carry them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ovraemu {

std::string ToHex(const std::vector<uint8_t>& bytes);
// Accepts upper and lower case; no value for odd lengths or other characters.
std::optional<std::vector<uint8_t>> ParseHex(const std::string& text);
// A number in hexadecimal ("3a53" or "0x3a53") no larger than `max`.
std::optional<unsigned> ParseHexNumber(const std::string& text, unsigned max);

} // namespace ovraemu
