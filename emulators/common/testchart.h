// The test chart the emulated scanners send as their pages: a border, a title with the
// page number, a row of grey steps, colour patches and a resolution wedge, drawn at the
// requested size, resolution and mode. It is made one line at a time, so that no page is
// ever held whole; the same page always gives the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ovraemu {

// Lineart: 1 bit per pixel, packed most significant bit first, 1 black. Grey: 1 byte
// per pixel. Colour: 3 bytes per pixel, RGB.
enum class ChartMode {
    Lineart,
    Grey,
    Colour
};

struct ChartPage {
    unsigned width = 0;        // pixels per line
    unsigned height = 0;       // lines
    unsigned resolution = 300; // dots per inch
    ChartMode mode = ChartMode::Grey;
    int number = 1; // page number shown in the title, from 1

    size_t BytesPerLine() const;
    size_t RawBytes() const { return BytesPerLine() * height; }
};

// The largest side of a chart page in pixels (JPEG's own limit).
constexpr unsigned kChartLargestSide = 65500;

// A page of the requested size at that resolution; a side of 0 is the side of an A4
// sheet (210 x 297 mm) at the resolution. Sides are kept within 1 and
// kChartLargestSide, a resolution of 0 counts as 300 dpi.
ChartPage ChartPageOf(unsigned width, unsigned height, unsigned resolution, ChartMode mode, int number);

// The intended colours of the patches, left to right: red, green, blue, cyan, magenta,
// yellow, black, white.
struct ChartColour {
    uint8_t r, g, b;
};
extern const std::vector<ChartColour> kChartPatchColours;
// The grey steps, left to right from black to white.
constexpr int kChartGreySteps = 11;

// Where the grey steps, the patches and the wedge lie on a page, in pixels; for tests
// and for the drawing.
struct ChartBox {
    unsigned left = 0, top = 0, right = 0, bottom = 0; // right and bottom exclusive
};
struct ChartLayout {
    unsigned margin = 0; // from the page's edges to the border
    unsigned border = 0; // thickness of the border
    ChartBox greySteps;  // kChartGreySteps equal steps side by side
    ChartBox patches;    // one equal patch per colour of kChartPatchColours, side by side
    ChartBox wedge;
};
ChartLayout ChartLayoutOf(const ChartPage& page);

class TestChart
{
public:
    explicit TestChart(const ChartPage& page);

    const ChartPage& Page() const { return m_page; }
    // Fills `line` with the Page().BytesPerLine() bytes of line y (from 0).
    void Line(unsigned y, uint8_t* line);

private:
    void DrawRgb(unsigned y);
    void Fill(unsigned from, unsigned to, ChartColour colour);
    void DrawText(unsigned y, unsigned top, const std::string& text);
    void DrawFrame(unsigned y, const ChartBox& box);
    void DrawWedge(unsigned y);
    void Convert(uint8_t* line) const;

    ChartPage m_page;
    ChartLayout m_layout;
    unsigned m_textLeft = 0;
    unsigned m_textScale = 1;
    unsigned m_titleTop = 0;
    unsigned m_subtitleTop = 0;
    std::string m_title;
    std::string m_subtitle;
    std::vector<uint8_t> m_rgb; // one line, 3 bytes per pixel
};

} // namespace ovraemu
