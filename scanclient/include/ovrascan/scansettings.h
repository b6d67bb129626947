// Scan settings as a user gives them, and the SettingInfo record the daemon takes.
#pragma once

#include "ovrascanprotocol.h"

#include <optional>
#include <string>

namespace ovrascan {

enum class ScanSource {
    Flatbed,
    FeederSinglePage,
    FeederMultiPage
};
enum class ColorMode {
    Color,
    Gray,
    BlackAndWhite
};
enum class ImageFormat {
    Jpeg,
    Raw
};

// The scan area in millimetres from the top left corner of the glass.
struct ScanArea {
    double x = 0;
    double y = 0;
    double width = 215.9;  // 8.5 in
    double height = 297.0; // A4
};

struct ScanSettings {
    ScanSource source = ScanSource::Flatbed;
    ColorMode mode = ColorMode::Color;
    int resolution = 300; // dots per inch, both directions
    ScanArea area;
    // Unset: JPEG for colour and grey, raw for black and white (which has no JPEG).
    std::optional<ImageFormat> format;
    int brightness = 50;
    int contrast = 50;
    int backgroundRemoval = 0; // 0 off, else its level
};

// The format the scan delivers.
ImageFormat EffectiveFormat(const ScanSettings& settings);
// Empty when the daemon and the scanners accept the settings, else why not.
std::string CheckSettings(const ScanSettings& settings);

// Millimetres as dots at a resolution, rounded.
uint32_t MillimetresToDots(double millimetres, int resolution);

// The record for USB_SCAN_LOCK and TCP_SCAN_START: bit depth 24/8/1, JPEG or no
// compression, the area in dots at the resolution, feeder and multi-page flags.
SettingInfo ToSettingInfo(const ScanSettings& settings);

// The file name extension of a page in that format ("jpg" or "raw").
const char* PageExtension(ImageFormat format);

} // namespace ovrascan
