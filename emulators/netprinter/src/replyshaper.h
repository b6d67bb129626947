// Turns the reply a printer would send into what a faulty printer sends instead.
#pragma once

#include "ovraemu/netprinter.h"

#include <cstdint>
#include <random>
#include <vector>

namespace ovraemu {

// Normal: the reply unchanged. Silent: nothing. Short: the first 1..7 bytes.
// Garbage: 8..64 random bytes that no status decoder accepts (see MakeGarbage).
// An empty reply stays empty in every mode.
std::vector<uint8_t> ShapeReply(NetReplyMode mode, const std::vector<uint8_t>& reply, std::mt19937& random);

// Random bytes that cannot decode as a status reply: the first byte is never the
// frame start A5, and the vendor text length (bytes 12-13) is FF FF, longer than the
// datagram, whenever the datagram reaches that far.
std::vector<uint8_t> MakeGarbage(std::mt19937& random);

} // namespace ovraemu
