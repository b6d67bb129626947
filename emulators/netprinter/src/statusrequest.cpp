#include "statusrequest.h"

namespace ovraemu {

const std::vector<uint8_t>& StatusRequestBytes()
{
    static const std::vector<uint8_t> request = {0xA5, 0x00, 0x0C, 0x50, 0xE0, 0x74, 0x08, 0x03,
                                                 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    return request;
}

bool IsStatusRequest(const std::vector<uint8_t>& datagram) { return datagram == StatusRequestBytes(); }

} // namespace ovraemu
