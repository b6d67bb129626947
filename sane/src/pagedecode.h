// Page files as SANE frames: raw lines as the scanner sends them, or a JPEG image.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ovrasane {

struct Frame {
    int depth = 8;           // 1 or 8
    int channels = 1;        // 1 (grey, lineart) or 3 (RGB)
    int pixelsPerLine = 0;
    int lines = 0;
    int bytesPerLine = 0;
    std::vector<uint8_t> data;  // lines * bytesPerLine bytes
};

// Bytes of one line of a raw page: 1 bit, 8 bit or 24 bit per pixel, lines padded to
// whole bytes.
int RawBytesPerLine(int bitDepth, int pixelsPerLine);

// A raw page of that depth and width: as many lines as the bytes fill; a last partial
// line is completed with white.
bool DecodeRaw(const std::vector<uint8_t>& bytes, int bitDepth, int pixelsPerLine, Frame& frame,
               std::string& error);

// A JPEG page (grey or colour) decoded with libjpeg.
bool DecodeJpeg(const std::vector<uint8_t>& bytes, Frame& frame, std::string& error);

bool LooksLikeJpeg(const std::vector<uint8_t>& bytes);

} // namespace ovrasane
