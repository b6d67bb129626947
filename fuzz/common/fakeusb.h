// A USB scanner behind the scan daemon's usbfs hook that plays a script of chunks:
// every bulk-in transfer and every control transfer takes the next chunk (a length
// byte, then that many bytes, of which the transfer keeps what fits); the length byte
// 0xFF makes the transfer fail. Bulk-out transfers are taken whole, endpoint requests
// and resets succeed. Once the script is used up the device is gone: every transfer
// fails. The script lives in process memory, so a forked data process plays on from
// where its connection process was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ovrafuzz {

constexpr uint8_t c_byFailedTransfer = 0xFF;
constexpr size_t c_uMaxChunk = 0xFE;

// Installs the hook (once) and starts the script from its first chunk.
void PlayUsbScript(const uint8_t* data, size_t size);

// Script building (seeds, canned devices): one chunk of the given bytes (cut to
// c_uMaxChunk; the scanner's answers come from scannerreplies.h), a failing transfer.
std::string UsbChunk(const std::string& bytes);
std::string UsbChunk(const std::vector<uint8_t>& bytes);
std::string UsbFailedTransfer();

} // namespace ovrafuzz
