#include "ovraemu/scannerprotocol.h"

#include "littleendian.h"

#include <sstream>

namespace ovraemu {
namespace {

// Offsets inside the 47 bytes of lock settings (after the 8-byte header).
namespace lock {
constexpr size_t kDepth = 0;
constexpr size_t kCompressionMode = 1;
constexpr size_t kCompressionLevel = 2;
constexpr size_t kFilter = 3;
constexpr size_t kWidth = 4;
constexpr size_t kHeight = 8;
constexpr size_t kXOffset = 12;
constexpr size_t kYOffset = 16;
constexpr size_t kXResolution = 20;
constexpr size_t kYResolution = 22;
constexpr size_t kScanSource = 24;
constexpr size_t kDuplex = 25;
constexpr size_t kMirror = 26;
constexpr size_t kNegative = 27;
constexpr size_t kBackgroundRemoval = 33;
constexpr size_t kBackgroundRemovalParam = 34;
constexpr size_t kBrightness = 37;
constexpr size_t kContrast = 38;
} // namespace lock

} // namespace

std::vector<uint8_t> EncodeHeader(const ScanHeader& header)
{
    std::vector<uint8_t> out{header.start, header.commandClass, header.code, header.subCode};
    AppendLe16(out, header.dataSize);
    out.push_back(header.flags);
    out.push_back(header.reserved);
    return out;
}

std::optional<ScanHeader> DecodeHeader(const std::vector<uint8_t>& bytes)
{
    if (bytes.size() < kScanHeaderSize)
        return std::nullopt;
    ScanHeader header;
    header.start = bytes[0];
    header.commandClass = bytes[1];
    header.code = bytes[2];
    header.subCode = bytes[3];
    header.dataSize = ReadLe16(bytes, 4);
    header.flags = bytes[6];
    header.reserved = bytes[7];
    return header;
}

bool LockSettings::FromFeeder() const
{
    return scanSource == static_cast<uint8_t>(ScanSource::FeederMulti)
           || scanSource == static_cast<uint8_t>(ScanSource::FeederSingle);
}

std::optional<LockSettings> DecodeLockSettings(const std::vector<uint8_t>& payload)
{
    if (payload.size() < kLockSettingsSize)
        return std::nullopt;
    LockSettings s;
    s.raw.assign(payload.begin(), payload.begin() + kLockSettingsSize);
    s.depth = payload[lock::kDepth];
    s.compressionMode = payload[lock::kCompressionMode];
    s.compressionLevel = payload[lock::kCompressionLevel];
    s.filter = payload[lock::kFilter];
    s.width = ReadLe32(payload, lock::kWidth);
    s.height = ReadLe32(payload, lock::kHeight);
    s.xOffset = ReadLe32(payload, lock::kXOffset);
    s.yOffset = ReadLe32(payload, lock::kYOffset);
    s.xResolution = ReadLe16(payload, lock::kXResolution);
    s.yResolution = ReadLe16(payload, lock::kYResolution);
    s.scanSource = payload[lock::kScanSource];
    s.duplex = payload[lock::kDuplex];
    s.mirror = payload[lock::kMirror];
    s.negative = payload[lock::kNegative];
    s.backgroundRemoval = payload[lock::kBackgroundRemoval];
    s.backgroundRemovalParam = payload[lock::kBackgroundRemovalParam];
    s.brightness = payload[lock::kBrightness];
    s.contrast = payload[lock::kContrast];
    return s;
}

std::string DescribeLockSettings(const LockSettings& s)
{
    std::ostringstream out;
    out << "depth=" << unsigned(s.depth) << " compression=" << unsigned(s.compressionMode) << "/"
        << unsigned(s.compressionLevel) << " filter=" << unsigned(s.filter) << " area=" << s.xOffset << "," << s.yOffset
        << "," << s.width << "x" << s.height << " dpi=" << s.xResolution << "x" << s.yResolution
        << " source=" << unsigned(s.scanSource) << " duplex=" << unsigned(s.duplex)
        << " background=" << unsigned(s.backgroundRemoval) << "/" << unsigned(s.backgroundRemovalParam)
        << " brightness=" << unsigned(s.brightness) << " contrast=" << unsigned(s.contrast);
    return out.str();
}

std::vector<uint8_t> EncodeProperties(const ScannerProperties& p)
{
    std::vector<uint8_t> out{
        p.majorVersion, p.minorVersion, p.customStrings, p.compression, p.boundary24, p.boundary8, 0, 0};
    AppendLe32(out, p.supportProcessing);
    AppendLe16(out, p.deviceCaps);
    out.push_back(p.sources);
    out.push_back(0);
    return out;
}

std::vector<uint8_t> EncodeRecordHeader(uint8_t status, uint16_t dataSize, uint32_t width, uint32_t height)
{
    ScanHeader header;
    header.commandClass = kScanClass;
    header.code = kRecordCode;
    header.dataSize = dataSize;
    header.flags = flag::kSuccess;
    std::vector<uint8_t> out = EncodeHeader(header);
    out.insert(out.end(), {status, 0, 0}); // status, flip, split
    AppendLe32(out, width);
    AppendLe32(out, height);
    AppendLe32(out, 0); // x offset
    AppendLe32(out, 0); // y offset
    AppendLe32(out, 0); // spare
    return out;
}

std::vector<uint8_t> EncodeDeviceAbort()
{
    ScanHeader header;
    header.commandClass = kScanClass;
    header.code = static_cast<uint8_t>(static_cast<uint16_t>(ScannerCommand::Abort) & 0xFF);
    header.flags = flag::kSuccess;
    return EncodeHeader(header);
}

} // namespace ovraemu
