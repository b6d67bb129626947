#include "replyshaper.h"

#include <algorithm>

namespace ovraemu {

namespace {

constexpr size_t kShortestShort = 1;
constexpr size_t kLongestShort = 7;
constexpr size_t kShortestGarbage = 8;
constexpr size_t kLongestGarbage = 64;
constexpr size_t kVendorLengthOffset = 12;

size_t RandomLength(std::mt19937& random, size_t shortest, size_t longest)
{
    return std::uniform_int_distribution<size_t>(shortest, longest)(random);
}

std::vector<uint8_t> Truncated(const std::vector<uint8_t>& reply, std::mt19937& random)
{
    const size_t length = std::min(reply.size(), RandomLength(random, kShortestShort, kLongestShort));
    return std::vector<uint8_t>(reply.begin(), reply.begin() + long(length));
}

} // namespace

std::vector<uint8_t> MakeGarbage(std::mt19937& random)
{
    std::vector<uint8_t> bytes(RandomLength(random, kShortestGarbage, kLongestGarbage));
    std::uniform_int_distribution<int> byteValue(0, 255);
    for (uint8_t& byte : bytes)
        byte = uint8_t(byteValue(random));
    if (bytes[0] == 0xA5)
        bytes[0] = 0x5A;
    if (bytes.size() > kVendorLengthOffset + 1) {
        bytes[kVendorLengthOffset] = 0xFF;
        bytes[kVendorLengthOffset + 1] = 0xFF;
    }
    return bytes;
}

std::vector<uint8_t> ShapeReply(NetReplyMode mode, const std::vector<uint8_t>& reply, std::mt19937& random)
{
    if (reply.empty())
        return {};
    switch (mode) {
    case NetReplyMode::Normal: return reply;
    case NetReplyMode::Silent: return {};
    case NetReplyMode::Short: return Truncated(reply, random);
    case NetReplyMode::Garbage: return MakeGarbage(random);
    }
    return {};
}

} // namespace ovraemu
