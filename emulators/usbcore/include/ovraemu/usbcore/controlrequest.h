// One control request as a device sees it: the setup packet.
#pragma once

#include <cstdint>

namespace ovraemu {

struct ControlRequest {
    uint8_t requestType = 0;
    uint8_t request = 0;
    uint16_t value = 0;
    uint16_t index = 0;
    uint16_t length = 0;

    bool operator==(const ControlRequest& other) const
    {
        return requestType == other.requestType && request == other.request && value == other.value
               && index == other.index && length == other.length;
    }
};

} // namespace ovraemu
