#include "testchart.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace ovraemu {

const std::vector<ChartColour> kChartPatchColours = {{255, 0, 0},   {0, 255, 0},   {0, 0, 255}, {0, 255, 255},
                                                     {255, 0, 255}, {255, 255, 0}, {0, 0, 0},   {255, 255, 255}};

namespace {

constexpr double kMillimetresPerInch = 25.4;
constexpr double kA4WidthMm = 210;
constexpr double kA4HeightMm = 297;
constexpr unsigned kDefaultResolution = 300;

constexpr ChartColour kWhite = {255, 255, 255};
constexpr ChartColour kBlack = {0, 0, 0};

// The glyphs of the title, 5 x 7 pixels, row by row ('#' is ink).
constexpr unsigned kGlyphWidth = 5;
constexpr unsigned kGlyphHeight = 7;
constexpr unsigned kCellWidth = kGlyphWidth + 1;
constexpr unsigned kCellHeight = kGlyphHeight + 2;

struct Glyph {
    char c;
    const char* rows; // kGlyphHeight rows of kGlyphWidth characters
};

const Glyph kGlyphs[] = {
    {'A', ".###.#...##...#######...##...##...#"}, {'C', ".###.#...##....#....#....#...#.###."},
    {'D', "####.#...##...##...##...##...#####."}, {'E', "######....#....####.#....#....#####"},
    {'G', ".###.#...##....#.####...##...#.####"}, {'H', "#...##...##...#######...##...##...#"},
    {'I', ".###...#....#....#....#....#...###."}, {'L', "#....#....#....#....#....#....#####"},
    {'N', "#...###..##.#.##..###...##...##...#"}, {'O', ".###.#...##...##...##...##...#.###."},
    {'P', "####.#...##...#####.#....#....#...."}, {'R', "####.#...##...#####.#.#..#..#.#...#"},
    {'S', ".#####....#.....###.....#....#####."}, {'T', "#####..#....#....#....#....#....#.."},
    {'U', "#...##...##...##...##...##...#.###."}, {'V', "#...##...##...##...##...#.#.#...#.."},
    {'Y', "#...##...#.#.#...#....#....#....#.."}, {'0', ".###.#...##..###.#.###..##...#.###."},
    {'1', "..#...##....#....#....#....#...###."}, {'2', ".###.#...#....#...#...#...#...#####"},
    {'3', "#####...#...#.....#.....##...#.###."}, {'4', "...#...##..#.#.#..#.#####...#....#."},
    {'5', "######....####.....#....##...#.###."}, {'6', "..##..#...#....####.#...##...#.###."},
    {'7', "#####....#...#...#...#....#....#..."}, {'8', ".###.#...##...#.###.#...##...#.###."},
    {'9', ".###.#...##...#.####....#...#..##.."},
};

const char* GlyphRows(char c)
{
    for (const Glyph& glyph : kGlyphs)
        if (glyph.c == c)
            return glyph.rows;
    return nullptr; // a space, or a character without a glyph
}

unsigned SideOf(unsigned requested, double millimetres, unsigned resolution)
{
    const double side = requested > 0 ? requested : std::lround(millimetres / kMillimetresPerInch * resolution);
    return unsigned(std::clamp(side, 1.0, double(kChartLargestSide)));
}

const char* ModeName(ChartMode mode)
{
    switch (mode) {
    case ChartMode::Lineart: return "LINEART";
    case ChartMode::Grey: return "GREY";
    case ChartMode::Colour: return "COLOUR";
    }
    return "";
}

unsigned Luminance(const uint8_t* rgb) { return (299u * rgb[0] + 587u * rgb[1] + 114u * rgb[2] + 500u) / 1000u; }

unsigned Fraction(unsigned whole, unsigned percent) { return unsigned(uint64_t(whole) * percent / 100); }

// `count` equal boxes side by side from the left of the content to its right.
ChartBox Band(unsigned left, unsigned right, unsigned top, unsigned bottom, unsigned count)
{
    const unsigned each = right > left ? (right - left) / count : 0;
    return {left, top, left + each * count, bottom};
}

} // namespace

size_t ChartPage::BytesPerLine() const
{
    switch (mode) {
    case ChartMode::Lineart: return (size_t(width) + 7) / 8;
    case ChartMode::Grey: return width;
    case ChartMode::Colour: return size_t(width) * 3;
    }
    return width;
}

ChartPage ChartPageOf(unsigned width, unsigned height, unsigned resolution, ChartMode mode, int number)
{
    ChartPage page;
    page.resolution = resolution > 0 ? resolution : kDefaultResolution;
    page.width = SideOf(width, kA4WidthMm, page.resolution);
    page.height = SideOf(height, kA4HeightMm, page.resolution);
    page.mode = mode;
    page.number = number;
    return page;
}

ChartLayout ChartLayoutOf(const ChartPage& page)
{
    const unsigned left = Fraction(page.width, 8);
    const unsigned right = page.width - left;
    ChartLayout layout;
    layout.margin = std::max(1u, std::min(page.width, page.height) / 30);
    layout.border = std::min(std::max(2u, page.resolution / 75), layout.margin);
    layout.greySteps = Band(left, right, Fraction(page.height, 24), Fraction(page.height, 36), kChartGreySteps);
    layout.patches =
        Band(left, right, Fraction(page.height, 42), Fraction(page.height, 54), unsigned(kChartPatchColours.size()));
    layout.wedge = {left, Fraction(page.height, 60), right, Fraction(page.height, 92)};
    return layout;
}

TestChart::TestChart(const ChartPage& page) : m_page(page), m_layout(ChartLayoutOf(page)), m_rgb(size_t(page.width) * 3)
{
    m_title = "OVRA TEST CHART  PAGE " + std::to_string(page.number);
    m_subtitle = std::to_string(page.resolution) + " DPI  " + ModeName(page.mode);
    m_textLeft = m_layout.greySteps.left;
    const unsigned textWidth = page.width > 2 * m_textLeft ? page.width - 2 * m_textLeft : 0;
    if (textWidth < m_title.size() * kCellWidth)
        m_title = "PAGE " + std::to_string(page.number); // a small page shows the number at least
    const unsigned byWidth = textWidth / (unsigned(m_title.size()) * kCellWidth);
    const unsigned byHeight = Fraction(page.height, 14) / (2 * kCellHeight);
    m_textScale = std::max(1u, std::min({page.resolution / 30, byWidth, byHeight}));
    m_titleTop = Fraction(page.height, 6);
    m_subtitleTop = m_titleTop + kCellHeight * m_textScale;
}

void TestChart::Line(unsigned y, uint8_t* line)
{
    DrawRgb(y);
    Convert(line);
}

void TestChart::Fill(unsigned from, unsigned to, ChartColour colour)
{
    to = std::min(to, m_page.width);
    for (unsigned x = from; x < to; ++x) {
        uint8_t* pixel = &m_rgb[size_t(x) * 3];
        pixel[0] = colour.r;
        pixel[1] = colour.g;
        pixel[2] = colour.b;
    }
}

void TestChart::DrawRgb(unsigned y)
{
    std::fill(m_rgb.begin(), m_rgb.end(), uint8_t(255));
    const unsigned w = m_page.width;
    const unsigned h = m_page.height;
    // The border: a frame `border` thick, `margin` in from the edges.
    const unsigned outer = m_layout.margin;
    const unsigned inner = m_layout.margin + m_layout.border;
    if (y >= outer && y + outer < h && w > 2 * outer) {
        if (y < inner || y + inner >= h) {
            Fill(outer, w - outer, kBlack);
        } else {
            Fill(outer, inner, kBlack);
            Fill(w - inner, w - outer, kBlack);
        }
    }
    DrawText(y, m_titleTop, m_title);
    DrawText(y, m_subtitleTop, m_subtitle);
    const ChartBox& steps = m_layout.greySteps;
    if (y >= steps.top && y < steps.bottom) {
        const unsigned each = (steps.right - steps.left) / kChartGreySteps;
        for (int i = 0; i < kChartGreySteps; ++i) {
            const uint8_t grey = uint8_t(255 * i / (kChartGreySteps - 1));
            Fill(steps.left + unsigned(i) * each, steps.left + unsigned(i + 1) * each, {grey, grey, grey});
        }
    }
    const ChartBox& patches = m_layout.patches;
    if (y >= patches.top && y < patches.bottom) {
        const unsigned each = (patches.right - patches.left) / unsigned(kChartPatchColours.size());
        for (size_t i = 0; i < kChartPatchColours.size(); ++i)
            Fill(patches.left + unsigned(i) * each, patches.left + unsigned(i + 1) * each, kChartPatchColours[i]);
    }
    DrawFrame(y, steps);
    DrawFrame(y, patches);
    DrawWedge(y);
}

// A thin black frame just outside the box, so that a white step or patch shows.
void TestChart::DrawFrame(unsigned y, const ChartBox& box)
{
    const unsigned line = std::max(1u, m_page.resolution / 150);
    if (box.left < line || box.top < line || box.right <= box.left)
        return;
    if (y + line < box.top || y >= box.bottom + line)
        return;
    if (y < box.top || y >= box.bottom) {
        Fill(box.left - line, box.right + line, kBlack);
        return;
    }
    Fill(box.left - line, box.left, kBlack);
    Fill(box.right, box.right + line, kBlack);
}

void TestChart::DrawText(unsigned y, unsigned top, const std::string& text)
{
    if (y < top || y >= top + kGlyphHeight * m_textScale)
        return;
    const unsigned row = (y - top) / m_textScale;
    for (size_t i = 0; i < text.size(); ++i) {
        const char* rows = GlyphRows(text[i]);
        if (!rows)
            continue;
        for (unsigned column = 0; column < kGlyphWidth; ++column) {
            if (rows[row * kGlyphWidth + column] != '#')
                continue;
            const unsigned x = m_textLeft + (unsigned(i) * kCellWidth + column) * m_textScale;
            Fill(x, x + m_textScale, kBlack);
        }
    }
}

// The wedge: on the left a fan of lines converging downwards until the scan no longer
// resolves them, on the right rows of bars of 0.5 to 6 line pairs per millimetre.
void TestChart::DrawWedge(unsigned y)
{
    const ChartBox& box = m_layout.wedge;
    if (y < box.top || y >= box.bottom || box.right <= box.left)
        return;
    const double along = double(y - box.top) / double(box.bottom - box.top);
    const unsigned middle = box.left + (box.right - box.left) / 2;
    const unsigned lineWidth = std::max(1u, m_page.resolution / 200);
    constexpr int kFanLines = 24;
    const double centre = (box.left + middle) / 2.0;
    const double topSpacing = (middle - box.left) * 0.9 / kFanLines;
    const double spacing = topSpacing * (1.0 - 0.95 * along);
    for (int i = 0; i < kFanLines; ++i) {
        const double x = centre + (i - (kFanLines - 1) / 2.0) * spacing;
        const unsigned from = unsigned(std::max(0.0, std::floor(x)));
        Fill(from, from + lineWidth, kBlack);
    }
    static const double kLinePairsPerMm[] = {0.5, 1, 2, 3, 4, 6};
    constexpr int kRows = int(sizeof kLinePairsPerMm / sizeof kLinePairsPerMm[0]);
    const unsigned rowHeight = std::max(1u, (box.bottom - box.top) / kRows);
    const int row = int((y - box.top) / rowHeight);
    if (row >= kRows || (y - box.top) % rowHeight >= rowHeight * 3 / 4)
        return; // the gap between two rows, or below the last
    const double period = m_page.resolution / kMillimetresPerInch / kLinePairsPerMm[row];
    const unsigned barsLeft = middle + (box.right - middle) / 10;
    for (unsigned x = barsLeft; x < box.right; ++x)
        if (std::fmod(x - barsLeft, period) < period / 2)
            Fill(x, x + 1, kBlack);
}

void TestChart::Convert(uint8_t* line) const
{
    const unsigned w = m_page.width;
    switch (m_page.mode) {
    case ChartMode::Colour: std::memcpy(line, m_rgb.data(), m_rgb.size()); return;
    case ChartMode::Grey:
        for (unsigned x = 0; x < w; ++x)
            line[x] = uint8_t(Luminance(&m_rgb[size_t(x) * 3]));
        return;
    case ChartMode::Lineart:
        std::memset(line, 0, m_page.BytesPerLine());
        for (unsigned x = 0; x < w; ++x)
            if (Luminance(&m_rgb[size_t(x) * 3]) < 128)
                line[x / 8] |= uint8_t(0x80 >> (x % 8));
        return;
    }
}

} // namespace ovraemu
