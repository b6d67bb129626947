// The status request a host sends to a network printer of the family.
#pragma once

#include <cstdint>
#include <vector>

namespace ovraemu {

// A5, length 00 0C, 50 E0 74 08 03, seven zero bytes.
const std::vector<uint8_t>& StatusRequestBytes();

// True only for a datagram equal to the status request.
bool IsStatusRequest(const std::vector<uint8_t>& datagram);

} // namespace ovraemu
