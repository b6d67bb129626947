// Page files as SANE frames: raw lines as the scanner sends them, or a JPEG image,
// decoded line by line from the page bytes as they arrive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ovrasane {

struct Frame {
    int depth = 8;    // 1 or 8
    int channels = 1; // 1 (grey, lineart) or 3 (RGB)
    int pixelsPerLine = 0;
    int lines = 0;
    int bytesPerLine = 0;
    std::vector<uint8_t> data; // lines * bytesPerLine bytes (whole-page decoding only)
};

// Bytes of one line of a raw page: 1 bit, 8 bit or 24 bit per pixel, lines padded to
// whole bytes.
int RawBytesPerLine(int bitDepth, int pixelsPerLine);

// The bytes of one page in the order the scanner sent them.
class PageBytes
{
public:
    virtual ~PageBytes() = default;
    // Up to `max` further bytes (waiting for them while the page is scanned): their
    // count, 0 at the end of the page, -1 when the page cannot be read further.
    virtual long Next(uint8_t* out, size_t max) = 0;
};

// A page held in memory.
class MemoryPageBytes : public PageBytes
{
public:
    explicit MemoryPageBytes(const std::vector<uint8_t>& bytes) : m_bytes(bytes) {}
    long Next(uint8_t* out, size_t max) override;

private:
    const std::vector<uint8_t>& m_bytes;
    size_t m_offset = 0;
};

// The first bytes of a page, already taken to tell its format, then the rest.
class PrefixedPageBytes : public PageBytes
{
public:
    PrefixedPageBytes(std::vector<uint8_t> prefix, PageBytes& rest) : m_prefix(std::move(prefix)), m_rest(rest) {}
    long Next(uint8_t* out, size_t max) override;

private:
    std::vector<uint8_t> m_prefix;
    size_t m_offset = 0;
    PageBytes& m_rest;
};

// The lines of one frame, made from page bytes with at most a line or two held here.
class LineSource
{
public:
    virtual ~LineSource() = default;
    // Reads what the frame's geometry needs (a JPEG header); false with a reason.
    virtual bool Begin(std::string& error) = 0;
    // Geometry once Begin succeeded; `data` stays empty.
    const Frame& Geometry() const { return m_geometry; }
    // Up to `max` bytes of the frame: their count, 0 at its end, -1 on failure.
    virtual long Read(uint8_t* out, size_t max, std::string& error) = 0;

protected:
    Frame m_geometry;
};

// Raw lines of a known geometry. A page shorter than `lines` is completed with white;
// bytes past the last line are dropped.
std::unique_ptr<LineSource> MakeRawLines(PageBytes& bytes, int bitDepth, int pixelsPerLine, int lines);
// A JPEG page (grey or colour) decoded with libjpeg one line at a time.
std::unique_ptr<LineSource> MakeJpegLines(PageBytes& bytes);

// A raw page of that depth and width: as many lines as the bytes fill; a last partial
// line is completed with white.
bool DecodeRaw(const std::vector<uint8_t>& bytes, int bitDepth, int pixelsPerLine, Frame& frame, std::string& error);

// A JPEG page (grey or colour) decoded with libjpeg.
bool DecodeJpeg(const std::vector<uint8_t>& bytes, Frame& frame, std::string& error);

bool LooksLikeJpeg(const std::vector<uint8_t>& bytes);

} // namespace ovrasane
