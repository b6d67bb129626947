#include "pagedecode.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <jpeglib.h>

namespace ovrasane {

int RawBytesPerLine(int bitDepth, int pixelsPerLine)
{
    switch (bitDepth) {
    case 1: return (pixelsPerLine + 7) / 8;
    case 24: return pixelsPerLine * 3;
    default: return pixelsPerLine;
    }
}

long MemoryPageBytes::Next(uint8_t* out, size_t max)
{
    const size_t n = std::min(max, m_bytes.size() - m_offset);
    if (n > 0)
        std::memcpy(out, m_bytes.data() + m_offset, n);
    m_offset += n;
    return long(n);
}

long PrefixedPageBytes::Next(uint8_t* out, size_t max)
{
    if (m_offset < m_prefix.size()) {
        const size_t n = std::min(max, m_prefix.size() - m_offset);
        std::memcpy(out, m_prefix.data() + m_offset, n);
        m_offset += n;
        return long(n);
    }
    return m_rest.Next(out, max);
}

namespace {

class RawLines : public LineSource
{
public:
    RawLines(PageBytes& bytes, int bitDepth, int pixelsPerLine, int lines) : m_bytes(bytes)
    {
        m_geometry.depth = bitDepth == 1 ? 1 : 8;
        m_geometry.channels = bitDepth == 24 ? 3 : 1;
        m_geometry.pixelsPerLine = pixelsPerLine;
        m_geometry.bytesPerLine = RawBytesPerLine(bitDepth, pixelsPerLine);
        m_geometry.lines = lines;
        m_total = uint64_t(m_geometry.bytesPerLine) * uint64_t(std::max(lines, 0));
    }

    bool Begin(std::string& error) override
    {
        if (m_geometry.pixelsPerLine <= 0 || m_geometry.lines < 0) {
            error = "raw page of unknown geometry";
            return false;
        }
        return true;
    }

    long Read(uint8_t* out, size_t max, std::string& error) override
    {
        const size_t wanted = size_t(std::min<uint64_t>(max, m_total - m_delivered));
        if (wanted == 0)
            return 0;
        long n = 0;
        if (!m_pageEnded) {
            n = m_bytes.Next(out, wanted);
            if (n < 0) {
                error = "the page cannot be read";
                return -1;
            }
            m_pageEnded = n == 0;
        }
        if (m_pageEnded) {
            // White: 0 in lineart (1 is black), 255 in grey and colour.
            std::memset(out, m_geometry.depth == 1 ? 0x00 : 0xFF, wanted);
            n = long(wanted);
        }
        m_delivered += uint64_t(n);
        return n;
    }

private:
    PageBytes& m_bytes;
    uint64_t m_total = 0;
    uint64_t m_delivered = 0;
    bool m_pageEnded = false;
};

struct ErrorManager {
    jpeg_error_mgr base;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnJpegError(j_common_ptr info)
{
    ErrorManager* manager = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, manager->message);
    longjmp(manager->jump, 1);
}

void IgnoreJpegMessage(j_common_ptr, int) {}

constexpr size_t kJpegInputBuffer = 64 * 1024;

struct JpegSource {
    jpeg_source_mgr base;
    PageBytes* bytes;
    bool failed;
    uint8_t buffer[kJpegInputBuffer];
};

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

// Waits for the next bytes of the page; at its end (or when it cannot be read) an end
// of image marker, as libjpeg's own file source does.
boolean FillInput(j_decompress_ptr info)
{
    JpegSource* source = reinterpret_cast<JpegSource*>(info->src);
    long n = source->failed ? -1 : source->bytes->Next(source->buffer, sizeof source->buffer);
    if (n < 0)
        source->failed = true;
    if (n <= 0) {
        source->buffer[0] = 0xFF;
        source->buffer[1] = JPEG_EOI;
        n = 2;
    }
    source->base.next_input_byte = source->buffer;
    source->base.bytes_in_buffer = size_t(n);
    return TRUE;
}

void SkipInput(j_decompress_ptr info, long count)
{
    jpeg_source_mgr* source = info->src;
    while (count > long(source->bytes_in_buffer)) {
        count -= long(source->bytes_in_buffer);
        FillInput(info);
    }
    source->next_input_byte += count;
    source->bytes_in_buffer -= size_t(count);
}

class JpegLines : public LineSource
{
public:
    explicit JpegLines(PageBytes& bytes)
    {
        m_source.bytes = &bytes;
        m_source.failed = false;
        m_source.base.init_source = InitSource;
        m_source.base.fill_input_buffer = FillInput;
        m_source.base.skip_input_data = SkipInput;
        m_source.base.resync_to_restart = jpeg_resync_to_restart;
        m_source.base.term_source = TermSource;
        m_source.base.bytes_in_buffer = 0;
        m_source.base.next_input_byte = nullptr;
        m_info.err = jpeg_std_error(&m_errors.base);
        m_errors.base.error_exit = OnJpegError;
        m_errors.base.emit_message = IgnoreJpegMessage;
        jpeg_create_decompress(&m_info);
        m_info.src = &m_source.base;
    }

    ~JpegLines() override { jpeg_destroy_decompress(&m_info); }

    bool Begin(std::string& error) override
    {
        if (setjmp(m_errors.jump)) {
            error = std::string("JPEG page cannot be decoded: ") + m_errors.message;
            return false;
        }
        if (jpeg_read_header(&m_info, TRUE) != JPEG_HEADER_OK || m_source.failed) {
            error = "the JPEG page ended before its header";
            return false;
        }
        m_info.out_color_space = m_info.num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
        jpeg_start_decompress(&m_info);
        m_geometry.depth = 8;
        m_geometry.channels = int(m_info.output_components);
        m_geometry.pixelsPerLine = int(m_info.output_width);
        m_geometry.lines = int(m_info.output_height);
        m_geometry.bytesPerLine = m_geometry.pixelsPerLine * m_geometry.channels;
        m_line.resize(size_t(m_geometry.bytesPerLine));
        m_lineOffset = m_line.size();
        return true;
    }

    long Read(uint8_t* out, size_t max, std::string& error) override
    {
        if (setjmp(m_errors.jump)) {
            error = std::string("JPEG page cannot be decoded: ") + m_errors.message;
            return -1;
        }
        size_t n = 0;
        while (n < max) {
            if (m_lineOffset == m_line.size()) {
                if (m_info.output_scanline >= m_info.output_height)
                    break;
                JSAMPROW row = m_line.data();
                jpeg_read_scanlines(&m_info, &row, 1);
                m_lineOffset = 0;
            }
            const size_t part = std::min(max - n, m_line.size() - m_lineOffset);
            std::memcpy(out + n, m_line.data() + m_lineOffset, part);
            m_lineOffset += part;
            n += part;
        }
        if (m_source.failed) {
            error = "the JPEG page cannot be read";
            return -1;
        }
        return long(n);
    }

private:
    jpeg_decompress_struct m_info{};
    ErrorManager m_errors{};
    JpegSource m_source{};
    std::vector<uint8_t> m_line;
    size_t m_lineOffset = 0;
};

// Every byte of a frame, for whole-page decoding.
bool ReadWhole(LineSource& lines, Frame& frame, std::string& error)
{
    if (!lines.Begin(error))
        return false;
    Frame result = lines.Geometry();
    result.data.resize(size_t(result.bytesPerLine) * size_t(result.lines));
    size_t filled = 0;
    while (filled < result.data.size()) {
        const long n = lines.Read(result.data.data() + filled, result.data.size() - filled, error);
        if (n < 0)
            return false;
        if (n == 0)
            break;
        filled += size_t(n);
    }
    frame = std::move(result);
    return true;
}

} // namespace

std::unique_ptr<LineSource> MakeRawLines(PageBytes& bytes, int bitDepth, int pixelsPerLine, int lines)
{
    return std::make_unique<RawLines>(bytes, bitDepth, pixelsPerLine, lines);
}

std::unique_ptr<LineSource> MakeJpegLines(PageBytes& bytes) { return std::make_unique<JpegLines>(bytes); }

bool DecodeRaw(const std::vector<uint8_t>& bytes, int bitDepth, int pixelsPerLine, Frame& frame, std::string& error)
{
    if (pixelsPerLine <= 0 || (bitDepth != 1 && bitDepth != 8 && bitDepth != 24)) {
        error = "raw page of unknown geometry";
        return false;
    }
    const size_t perLine = size_t(RawBytesPerLine(bitDepth, pixelsPerLine));
    MemoryPageBytes page(bytes);
    RawLines lines(page, bitDepth, pixelsPerLine, int((bytes.size() + perLine - 1) / perLine));
    return ReadWhole(lines, frame, error);
}

bool LooksLikeJpeg(const std::vector<uint8_t>& bytes)
{
    return bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

bool DecodeJpeg(const std::vector<uint8_t>& bytes, Frame& frame, std::string& error)
{
    if (bytes.empty()) {
        error = "empty JPEG page";
        return false;
    }
    MemoryPageBytes page(bytes);
    JpegLines lines(page);
    return ReadWhole(lines, frame, error);
}

} // namespace ovrasane
