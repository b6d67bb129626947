// The printer side of the network-settings replies: records, the payload that holds
// them and its cutting into 64-byte blocks with 5-byte block headers. Plain C++, for
// the emulators and for tests that need hand-made (also malformed) replies.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ovraemu {

// Record tags of the network-settings group.
constexpr uint16_t kTagModeBlock1 = 0x4000; // mode; 0x4001..0x4007 the seven addresses
constexpr uint16_t kTagModeBlock0 = 0x4010; // the same in the other tag block
constexpr uint16_t kTagProbe = 0x6374;
constexpr uint16_t kTagClosing = 0x400F; // closing record of a write (0x401F in block 0)

constexpr size_t kReplyBlockSize = 64;
constexpr size_t kReplyBlockHeaderSize = 5;
constexpr size_t kPayloadLeadSize = 6;

// Mode and probe records: tag, 14 bytes not read by the tool, 2-byte length, value.
std::vector<uint8_t> LongRecord(uint16_t tag, const std::vector<uint8_t>& value);
// Address records: tag, 10 bytes not read by the tool, 2-byte length, value.
std::vector<uint8_t> ShortRecord(uint16_t tag, const std::vector<uint8_t>& value);

// Text as a record value, with a terminating zero when asked for.
std::vector<uint8_t> TextValue(const std::string& text, bool zeroTerminated = true);

// The record of a tag with its layout: long for mode and probe tags, short otherwise.
std::vector<uint8_t> SettingsRecord(uint16_t tag, const std::string& text, bool zeroTerminated = true);

// The 6 leading bytes (group, subcommand, status, record count) and the records.
std::vector<uint8_t> SettingsPayload(uint8_t subcommand, uint16_t recordCount,
                                     const std::vector<std::vector<uint8_t>>& records);

// Cuts a payload into blocks of at most 64 bytes, each starting with the header
// A5, 2-byte count of the bytes after it in the block, 50 E0.
std::vector<uint8_t> SplitIntoBlocks(const std::vector<uint8_t>& payload);

} // namespace ovraemu
