// The scanner command protocol of Ovra multifunction printers on USB, as the
// emulated scanner speaks it: 8-byte command and response headers
// (little-endian), the command codes, the response flags, the record stream
// of a scan and the lock command's settings.
#pragma once

#include "ovrascanresponse.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ovraemu {

constexpr size_t kScanHeaderSize = 8;
constexpr uint8_t kCommandStart = 0x1B;
constexpr uint8_t kScanClass = 0x53;
constexpr uint8_t kPowerClass = 0x44;
constexpr uint8_t kRecordCode = 0x02;
// Bytes of a record header after the common header: status, flip, split and
// five 32-bit fields (width, height, x offset, y offset, spare), packed.
constexpr uint16_t kRecordFieldsSize = 23;
constexpr size_t kLockSettingsSize = 47;

// A command by class (high byte) and code (low byte).
enum class ScannerCommand : uint16_t {
    Start = 0x5301,
    Properties = 0x5303,
    AdfStatus = 0x5304,
    Lock = 0x5305,
    Unlock = 0x5306,
    GetScanSizes = 0x530A,
    Abort = 0x530F,
    PowerOn = 0x4404,
};

// Result flags of a response: the scanner protocol's own values.
namespace flag {
constexpr uint8_t kSuccess = OVRA_SCAN_RESPONSE_SUCCESS;
constexpr uint8_t kInvalidCommand = OVRA_SCAN_RESPONSE_INVALID_COMMAND;
constexpr uint8_t kFailed = OVRA_SCAN_RESPONSE_FAILED;
constexpr uint8_t kLockRequired = OVRA_SCAN_RESPONSE_LOCK_REQUIRED;
constexpr uint8_t kPoweredOff = OVRA_SCAN_RESPONSE_POWERED_OFF;
constexpr uint8_t kCatastrophic = OVRA_SCAN_RESPONSE_CATASTROPHIC;
constexpr uint8_t kCommunication = OVRA_SCAN_RESPONSE_COMMUNICATION;
constexpr uint8_t kBusyOrBadRequest = OVRA_SCAN_RESPONSE_REFUSED; // lock held elsewhere; bad scan request
constexpr uint8_t kNoMemory = OVRA_SCAN_RESPONSE_NO_MEMORY;
} // namespace flag

// The status byte of a record.
enum class ScanStatus : uint8_t {
    Continuous = 0, // image bytes follow
    EndOfData = 1,
    AbortedOutOfMemory = 2,
    AbortedByRequest = 3,
    AbortedByDevice = 4,
    PaperJam = 5,
    EndOfPage = 7,
    BeginOfScan = 8,
    BeginOfPage = 9,
};

enum class AdfStatus : uint8_t {
    Empty = 1,
    Loaded = 2,
    PaperJam = 3
};

// Where the lock command asks the scanner to take the paper from.
enum class ScanSource : uint8_t {
    Auto = 0,
    FlatbedSingle = 1,
    FlatbedMulti = 2,
    FeederMulti = 3,
    FeederSingle = 4
};

struct ScanHeader {
    uint8_t start = kCommandStart;
    uint8_t commandClass = 0;
    uint8_t code = 0;
    uint8_t subCode = 0;
    uint16_t dataSize = 0;
    uint8_t flags = 0;
    uint8_t reserved = 0;

    uint16_t Command() const { return static_cast<uint16_t>(commandClass << 8 | code); }
};

std::vector<uint8_t> EncodeHeader(const ScanHeader& header);
// No value for fewer than 8 bytes.
std::optional<ScanHeader> DecodeHeader(const std::vector<uint8_t>& bytes);

// One command as the scanner received it, with the bytes after its header.
struct ReceivedCommand {
    ScanHeader header;
    std::vector<uint8_t> payload;
    bool valid = true; // false: bytes that did not start with a command header

    bool Is(ScannerCommand command) const { return valid && header.Command() == static_cast<uint16_t>(command); }
};

// The settings of a lock command, field by field.
struct LockSettings {
    uint8_t depth = 0; // 1 black and white, 2 grey, 3 colour
    uint8_t compressionMode = 0;
    uint8_t compressionLevel = 0;
    uint8_t filter = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t xOffset = 0;
    uint32_t yOffset = 0;
    uint16_t xResolution = 0;
    uint16_t yResolution = 0;
    uint8_t scanSource = 0;
    uint8_t duplex = 0;
    uint8_t mirror = 0;
    uint8_t negative = 0;
    uint8_t backgroundRemoval = 0;
    uint8_t backgroundRemovalParam = 0;
    uint8_t brightness = 0;
    uint8_t contrast = 0;
    std::vector<uint8_t> raw; // all 47 bytes after the header

    bool FromFeeder() const;
};

// No value when the payload is shorter than the 47 bytes of the settings.
std::optional<LockSettings> DecodeLockSettings(const std::vector<uint8_t>& payload);
// "depth=2 compression=2/70 area=0,0,850x1100 dpi=300x300 source=1 ..."
std::string DescribeLockSettings(const LockSettings& settings);

// What the scanner reports to the device properties command (the 16 bytes
// after the header).
struct ScannerProperties {
    uint8_t majorVersion = 1;
    uint8_t minorVersion = 0;
    uint8_t customStrings = 0;
    uint8_t compression = 0x07;
    uint8_t boundary24 = 1;
    uint8_t boundary8 = 1;
    uint32_t supportProcessing = 0;
    uint16_t deviceCaps = 0x0003;
    uint8_t sources = 0x03;
};

std::vector<uint8_t> EncodeProperties(const ScannerProperties& properties);

// The header (and its 23 record fields) of a record; dataSize counts the
// record fields and the image bytes that follow in separate transfers.
std::vector<uint8_t> EncodeRecordHeader(uint8_t status, uint16_t dataSize, uint32_t width, uint32_t height);
// The header the scanner sends when it aborts a scan by itself.
std::vector<uint8_t> EncodeDeviceAbort();

} // namespace ovraemu
