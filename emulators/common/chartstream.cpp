#include "chartstream.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace ovraemu {

// Makes the next bytes of the page, a line at a time.
class ChartStream::Encoder
{
public:
    virtual ~Encoder() = default;
    // Appends the bytes of at least one more line to `out`; nothing once Done().
    virtual void Produce(std::vector<uint8_t>& out) = 0;
    virtual bool Done() const = 0;

    std::vector<uint8_t> pending;
    size_t taken = 0;
};

namespace {

class RawEncoder : public ChartStream::Encoder
{
public:
    explicit RawEncoder(const ChartPage& page) : m_chart(page) {}

    void Produce(std::vector<uint8_t>& out) override
    {
        if (Done())
            return;
        const size_t at = out.size();
        out.resize(at + m_chart.Page().BytesPerLine());
        m_chart.Line(m_next++, out.data() + at);
    }

    bool Done() const override { return m_next >= m_chart.Page().height; }

private:
    TestChart m_chart;
    unsigned m_next = 0;
};

constexpr size_t kJpegBufferBytes = 4096;

struct JpegError {
    jpeg_error_mgr base;
    jmp_buf jump;
};

void OnJpegError(j_common_ptr info) { longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1); }

void IgnoreJpegMessage(j_common_ptr, int) {}

// Compressed bytes go to the encoder's pending bytes as libjpeg fills its buffer.
struct JpegDestination {
    jpeg_destination_mgr base;
    std::vector<uint8_t>* out = nullptr;
    JOCTET buffer[kJpegBufferBytes];
};

JpegDestination* DestinationOf(j_compress_ptr info) { return reinterpret_cast<JpegDestination*>(info->dest); }

void InitDestination(j_compress_ptr info)
{
    JpegDestination* dest = DestinationOf(info);
    dest->base.next_output_byte = dest->buffer;
    dest->base.free_in_buffer = kJpegBufferBytes;
}

boolean EmptyDestination(j_compress_ptr info)
{
    JpegDestination* dest = DestinationOf(info);
    dest->out->insert(dest->out->end(), dest->buffer, dest->buffer + kJpegBufferBytes);
    InitDestination(info);
    return TRUE;
}

void TermDestination(j_compress_ptr info)
{
    JpegDestination* dest = DestinationOf(info);
    dest->out->insert(dest->out->end(), dest->buffer, dest->buffer + (kJpegBufferBytes - dest->base.free_in_buffer));
}

class JpegEncoder : public ChartStream::Encoder
{
public:
    JpegEncoder(const ChartPage& page, int quality)
        : m_chart(page), m_line(page.BytesPerLine()), m_row(size_t(page.width) * (Colour() ? 3 : 1))
    {
        m_info.err = jpeg_std_error(&m_error.base);
        m_error.base.error_exit = OnJpegError;
        m_error.base.emit_message = IgnoreJpegMessage;
        jpeg_create_compress(&m_info);
        m_destination.base.init_destination = InitDestination;
        m_destination.base.empty_output_buffer = EmptyDestination;
        m_destination.base.term_destination = TermDestination;
        m_destination.out = &pending;
        m_info.dest = &m_destination.base;
        if (setjmp(m_error.jump)) {
            m_done = true;
            return;
        }
        m_info.image_width = page.width;
        m_info.image_height = page.height;
        m_info.input_components = Colour() ? 3 : 1;
        m_info.in_color_space = Colour() ? JCS_RGB : JCS_GRAYSCALE;
        jpeg_set_defaults(&m_info);
        jpeg_set_quality(&m_info, quality, TRUE);
        m_info.density_unit = 1; // dots per inch
        m_info.X_density = m_info.Y_density = UINT16(std::min(page.resolution, 65535u));
        jpeg_start_compress(&m_info, TRUE);
    }

    ~JpegEncoder() override { jpeg_destroy_compress(&m_info); }

    void Produce(std::vector<uint8_t>&) override
    {
        if (m_done)
            return;
        if (setjmp(m_error.jump)) {
            m_done = true;
            return;
        }
        m_chart.Line(m_info.next_scanline, m_line.data());
        JSAMPROW row = Row();
        jpeg_write_scanlines(&m_info, &row, 1);
        if (m_info.next_scanline >= m_info.image_height) {
            jpeg_finish_compress(&m_info);
            m_done = true;
        }
    }

    bool Done() const override { return m_done; }

private:
    bool Colour() const { return m_chart.Page().mode == ChartMode::Colour; }

    // The line as libjpeg takes it: lineart bits become grey 0 (black) or 255.
    JSAMPROW Row()
    {
        if (m_chart.Page().mode != ChartMode::Lineart)
            return m_line.data();
        for (size_t x = 0; x < m_row.size(); ++x)
            m_row[x] = (m_line[x / 8] & (0x80 >> (x % 8))) ? 0 : 255;
        return m_row.data();
    }

    TestChart m_chart;
    std::vector<uint8_t> m_line;
    std::vector<uint8_t> m_row;
    jpeg_compress_struct m_info{};
    JpegError m_error{};
    JpegDestination m_destination{};
    bool m_done = false;
};

} // namespace

ChartStream::ChartStream(const ChartPage& page, ChartEncoding encoding, int jpegQuality)
{
    if (encoding == ChartEncoding::Jpeg)
        m_encoder = std::make_unique<JpegEncoder>(page, jpegQuality);
    else
        m_encoder = std::make_unique<RawEncoder>(page);
}

ChartStream::~ChartStream() = default;

std::vector<uint8_t> ChartStream::Read(size_t most)
{
    Encoder& e = *m_encoder;
    while (e.pending.size() - e.taken < most && !e.Done())
        e.Produce(e.pending);
    const size_t count = std::min(most, e.pending.size() - e.taken);
    const auto begin = e.pending.begin() + long(e.taken);
    std::vector<uint8_t> bytes(begin, begin + long(count));
    e.taken += count;
    if (e.taken == e.pending.size()) {
        e.pending.clear();
        e.taken = 0;
    } else if (e.taken >= kJpegBufferBytes) {
        e.pending.erase(e.pending.begin(), e.pending.begin() + long(e.taken));
        e.taken = 0;
    }
    return bytes;
}

bool ChartStream::AtEnd() const { return m_encoder->Done() && m_encoder->pending.size() == m_encoder->taken; }

} // namespace ovraemu
