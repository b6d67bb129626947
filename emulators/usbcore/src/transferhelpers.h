// Small pieces shared by the URB and the synchronous transfer handling.
#pragma once

#include "clientmemory.h"
#include "ovraemu/usbcore/controlrequest.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace ovraemu {

constexpr size_t kSetupSize = 8;
constexpr uint8_t kDirectionIn = 0x80;
constexpr uint8_t kTypeMask = 0x60;
constexpr uint8_t kTypeVendor = 0x40;
constexpr uint8_t kRecipientMask = 0x1F;
constexpr uint8_t kRecipientInterface = 0x01;
// Every bulk endpoint of the emulated devices belongs to interface 0.
constexpr unsigned kBulkInterface = 0;

inline ControlRequest ParseSetup(const uint8_t* setup)
{
    ControlRequest request;
    request.requestType = setup[0];
    request.request = setup[1];
    request.value = static_cast<uint16_t>(setup[2] | setup[3] << 8);
    request.index = static_cast<uint16_t>(setup[4] | setup[5] << 8);
    request.length = static_cast<uint16_t>(setup[6] | setup[7] << 8);
    return request;
}

// The pointer value of an ioctl argument, as the client passed it.
inline unsigned long ArgumentValue(UMockdevIoctlData* arg)
{
    unsigned long value = 0;
    std::copy_n(arg->data, std::min<size_t>(sizeof value, static_cast<size_t>(arg->data_len)),
                reinterpret_cast<uint8_t*>(&value));
    return value;
}

// Copies a device-to-host reply into the client buffer; returns the count.
inline size_t CopyReply(const std::vector<uint8_t>& reply, uint8_t* destination, size_t capacity)
{
    const size_t count = std::min(reply.size(), capacity);
    std::copy_n(reply.begin(), count, destination);
    return count;
}

// The end of a usbfs time-out in milliseconds; 0 means no time-out.
inline std::optional<std::chrono::steady_clock::time_point> DeadlineAfter(unsigned timeoutMs)
{
    if (timeoutMs == 0)
        return std::nullopt;
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
}

} // namespace ovraemu
