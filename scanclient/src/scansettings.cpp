#include "ovrascan/scansettings.h"

#include <cmath>

namespace ovrascan {

namespace {

constexpr double kMillimetresPerInch = 25.4;
constexpr int kLowestResolution = 50;
constexpr int kHighestResolution = 1200;

uint8_t BitDepth(ColorMode mode)
{
    switch (mode) {
    case ColorMode::Color: return 24;
    case ColorMode::Gray: return 8;
    case ColorMode::BlackAndWhite: return 1;
    }
    return 24;
}

bool InByteRange(int value) { return value >= 0 && value <= 255; }

} // namespace

ImageFormat EffectiveFormat(const ScanSettings& settings)
{
    if (settings.format)
        return *settings.format;
    return settings.mode == ColorMode::BlackAndWhite ? ImageFormat::Raw : ImageFormat::Jpeg;
}

std::string CheckSettings(const ScanSettings& s)
{
    if (s.resolution < kLowestResolution || s.resolution > kHighestResolution)
        return "the resolution must lie between " + std::to_string(kLowestResolution) + " and "
               + std::to_string(kHighestResolution) + " dpi";
    if (s.mode == ColorMode::BlackAndWhite && EffectiveFormat(s) == ImageFormat::Jpeg)
        return "black-and-white scans have no JPEG format: use raw";
    if (s.area.x < 0 || s.area.y < 0 || s.area.width <= 0 || s.area.height <= 0)
        return "the scan area needs a non-negative origin and a positive width and height";
    if (!InByteRange(s.brightness) || !InByteRange(s.contrast) || !InByteRange(s.backgroundRemoval))
        return "brightness, contrast and background removal lie between 0 and 255";
    return std::string();
}

uint32_t MillimetresToDots(double millimetres, int resolution)
{
    return uint32_t(std::lround(millimetres / kMillimetresPerInch * resolution));
}

SettingInfo ToSettingInfo(const ScanSettings& s)
{
    SettingInfo info{};
    info.bitDepth = BitDepth(s.mode);
    info.compType = EffectiveFormat(s) == ImageFormat::Jpeg ? COMPRESSION_JPEG : COMPRESSION_NONE;
    info.xStart = MillimetresToDots(s.area.x, s.resolution);
    info.yStart = MillimetresToDots(s.area.y, s.resolution);
    info.width = MillimetresToDots(s.area.width, s.resolution);
    info.height = MillimetresToDots(s.area.height, s.resolution);
    info.xResolution = uint16_t(s.resolution);
    info.yResolution = uint16_t(s.resolution);
    info.feederEnabled = s.source == ScanSource::Flatbed ? 0 : 1;
    info.isClient = s.source == ScanSource::FeederMultiPage ? 1 : 0;
    info.backgroundRemoval = s.backgroundRemoval > 0 ? 1 : 0;
    info.backgroundRemovalParam = uint8_t(s.backgroundRemoval);
    info.BrightnessParam = uint8_t(s.brightness);
    info.ContrastParam = uint8_t(s.contrast);
    return info;
}

const char* PageExtension(ImageFormat format) { return format == ImageFormat::Jpeg ? "jpg" : "raw"; }

} // namespace ovrascan
