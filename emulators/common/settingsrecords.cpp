#include "settingsrecords.h"

#include "printerstatebuilder.h"

#include <algorithm>

namespace ovraemu {

namespace {

const size_t kLongRecordFiller = 14;
const size_t kShortRecordFiller = 10;
const uint8_t kSettingsGroup = 0xB2;

std::vector<uint8_t> Record(uint16_t tag, size_t filler, const std::vector<uint8_t>& value)
{
    std::vector<uint8_t> out;
    PutU16(out, tag);
    // Bytes the tool skips: a printer fills them with its own bookkeeping.
    for (size_t i = 0; i < filler; ++i)
        out.push_back(uint8_t(0x20 + i));
    PutU16(out, unsigned(value.size()));
    out.insert(out.end(), value.begin(), value.end());
    return out;
}

bool IsLongTag(uint16_t tag) { return tag == kTagModeBlock1 || tag == kTagModeBlock0 || tag == kTagProbe; }

} // namespace

std::vector<uint8_t> LongRecord(uint16_t tag, const std::vector<uint8_t>& value)
{
    return Record(tag, kLongRecordFiller, value);
}

std::vector<uint8_t> ShortRecord(uint16_t tag, const std::vector<uint8_t>& value)
{
    return Record(tag, kShortRecordFiller, value);
}

std::vector<uint8_t> TextValue(const std::string& text, bool zeroTerminated)
{
    std::vector<uint8_t> value(text.begin(), text.end());
    if (zeroTerminated)
        value.push_back(0);
    return value;
}

std::vector<uint8_t> SettingsRecord(uint16_t tag, const std::string& text, bool zeroTerminated)
{
    const std::vector<uint8_t> value = TextValue(text, zeroTerminated);
    return IsLongTag(tag) ? LongRecord(tag, value) : ShortRecord(tag, value);
}

std::vector<uint8_t> SettingsPayload(uint8_t subcommand, uint16_t recordCount,
                                     const std::vector<std::vector<uint8_t>>& records)
{
    std::vector<uint8_t> out;
    PutU8(out, kSettingsGroup);
    PutU8(out, subcommand);
    PutU16(out, 0); // status: done
    PutU16(out, recordCount);
    for (const std::vector<uint8_t>& record : records)
        out.insert(out.end(), record.begin(), record.end());
    return out;
}

std::vector<uint8_t> SplitIntoBlocks(const std::vector<uint8_t>& payload)
{
    const size_t perBlock = kReplyBlockSize - kReplyBlockHeaderSize;
    std::vector<uint8_t> out;
    size_t pos = 0;
    do {
        const size_t chunk = std::min(perBlock, payload.size() - pos);
        PutU8(out, 0xA5);
        PutU16(out, unsigned(chunk + 2));
        PutU8(out, 0x50);
        PutU8(out, 0xE0);
        out.insert(out.end(), payload.begin() + long(pos), payload.begin() + long(pos + chunk));
        pos += chunk;
    } while (pos < payload.size());
    return out;
}

} // namespace ovraemu
