// The test chart both emulated scanners send: every mode and encoding decodes to the
// requested page, its grey steps and colour patches are what they say, the same page
// gives the same bytes, and a large page is made without holding it.
#include "chartstream.h"

#include <QtTest>

#include <csetjmp>
#include <cstdio>
#include <fstream>
#include <jpeglib.h>

using namespace ovraemu;

namespace {

struct Image {
    unsigned width = 0;
    unsigned height = 0;
    int components = 0;
    std::vector<uint8_t> pixels; // width * components bytes per line

    const uint8_t* At(unsigned x, unsigned y) const { return &pixels[(size_t(y) * width + x) * size_t(components)]; }
};

struct JpegError {
    jpeg_error_mgr base;
    jmp_buf jump;
};

void OnJpegError(j_common_ptr info) { longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1); }

bool DecodeJpeg(const std::vector<uint8_t>& bytes, Image& image)
{
    jpeg_decompress_struct info{};
    JpegError error{};
    info.err = jpeg_std_error(&error.base);
    error.base.error_exit = OnJpegError;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    image.width = info.output_width;
    image.height = info.output_height;
    image.components = info.output_components;
    image.pixels.resize(size_t(image.width) * image.height * size_t(image.components));
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.pixels.data() + size_t(info.output_scanline) * image.width * size_t(image.components);
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

// A raw page as pixels: lineart bits become 0 (black) or 255, like a viewer shows them.
Image RawImage(const ChartPage& page, const std::vector<uint8_t>& bytes)
{
    Image image;
    image.width = page.width;
    image.height = page.height;
    image.components = page.mode == ChartMode::Colour ? 3 : 1;
    if (page.mode != ChartMode::Lineart) {
        image.pixels = bytes;
        return image;
    }
    const size_t perLine = page.BytesPerLine();
    for (unsigned y = 0; y < page.height; ++y)
        for (unsigned x = 0; x < page.width; ++x)
            image.pixels.push_back((bytes[y * perLine + x / 8] & (0x80 >> (x % 8))) ? 0 : 255);
    return image;
}

std::vector<uint8_t> WholePage(const ChartPage& page, ChartEncoding encoding, size_t blockBytes)
{
    ChartStream stream(page, encoding);
    std::vector<uint8_t> bytes;
    while (!stream.AtEnd()) {
        const std::vector<uint8_t> block = stream.Read(blockBytes);
        if (block.empty() || block.size() > blockBytes)
            return {}; // a short block before the end, or a long one
        bytes.insert(bytes.end(), block.begin(), block.end());
    }
    return bytes;
}

unsigned Grey(const uint8_t* pixel, int components)
{
    return components == 1 ? pixel[0] : (299u * pixel[0] + 587u * pixel[1] + 114u * pixel[2]) / 1000u;
}

// The centre of box `index` of `count` side by side.
std::pair<unsigned, unsigned> Centre(const ChartBox& box, int index, int count)
{
    const unsigned each = (box.right - box.left) / unsigned(count);
    return {box.left + unsigned(index) * each + each / 2, (box.top + box.bottom) / 2};
}

long PeakKiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

} // namespace

class TestChartPages : public QObject
{
    Q_OBJECT

private slots:
    void pageDecodesWithItsStepsAndPatches_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("jpeg");
        QTest::addColumn<unsigned>("resolution");
        QTest::addColumn<unsigned>("width"); // 0: A4
        QTest::addColumn<unsigned>("height");
        QTest::newRow("grey JPEG, A4 at 75 dpi") << int(ChartMode::Grey) << true << 75u << 0u << 0u;
        QTest::newRow("colour JPEG, A4 at 100 dpi") << int(ChartMode::Colour) << true << 100u << 0u << 0u;
        QTest::newRow("colour JPEG, odd area at 150 dpi") << int(ChartMode::Colour) << true << 150u << 501u << 333u;
        QTest::newRow("grey raw, area at 200 dpi") << int(ChartMode::Grey) << false << 200u << 640u << 480u;
        QTest::newRow("colour raw, A4 at 50 dpi") << int(ChartMode::Colour) << false << 50u << 0u << 0u;
        QTest::newRow("lineart raw, odd width at 300 dpi") << int(ChartMode::Lineart) << false << 300u << 1001u << 700u;
        QTest::newRow("lineart raw, A4 at 75 dpi") << int(ChartMode::Lineart) << false << 75u << 0u << 0u;
    }

    void pageDecodesWithItsStepsAndPatches()
    {
        QFETCH(int, mode);
        QFETCH(bool, jpeg);
        QFETCH(unsigned, resolution);
        QFETCH(unsigned, width);
        QFETCH(unsigned, height);
        const ChartPage page = ChartPageOf(width, height, resolution, ChartMode(mode), 2);
        if (width == 0) { // A4: 210 x 297 mm
            QCOMPARE(page.width, unsigned(std::lround(210 / 25.4 * resolution)));
            QCOMPARE(page.height, unsigned(std::lround(297 / 25.4 * resolution)));
        }

        const std::vector<uint8_t> bytes = WholePage(page, jpeg ? ChartEncoding::Jpeg : ChartEncoding::Raw, 3000);

        Image image;
        if (jpeg) {
            QVERIFY(DecodeJpeg(bytes, image));
        } else {
            // Exactly the lines the clients count: ceil(width / 8), width or 3 * width bytes.
            const size_t perLine = page.mode == ChartMode::Lineart ? (page.width + 7) / 8
                                   : page.mode == ChartMode::Grey  ? page.width
                                                                   : 3 * size_t(page.width);
            QCOMPARE(bytes.size(), perLine * page.height);
            image = RawImage(page, bytes);
        }
        QCOMPARE(image.width, page.width);
        QCOMPARE(image.height, page.height);
        QCOMPARE(image.components, page.mode == ChartMode::Colour ? 3 : 1);

        const ChartLayout layout = ChartLayoutOf(page);
        unsigned last = 0;
        for (int step = 0; step < kChartGreySteps; ++step) {
            const auto [x, y] = Centre(layout.greySteps, step, kChartGreySteps);
            const unsigned grey = Grey(image.At(x, y), image.components);
            if (page.mode == ChartMode::Lineart) {
                QCOMPARE(grey, 255 * step / (kChartGreySteps - 1) < 128 ? 0u : 255u); // dark steps black
            } else {
                QVERIFY2(step == 0 || grey > last,
                         qPrintable(QString("step %1: %2 after %3").arg(step).arg(grey).arg(last)));
                QVERIFY(std::abs(int(grey) - 255 * step / (kChartGreySteps - 1)) <= 12);
            }
            last = grey;
        }
        for (size_t i = 0; i < kChartPatchColours.size(); ++i) {
            const auto [x, y] = Centre(layout.patches, int(i), int(kChartPatchColours.size()));
            const ChartColour want = kChartPatchColours[i];
            const uint8_t* got = image.At(x, y);
            if (page.mode == ChartMode::Colour) {
                QVERIFY2(std::abs(got[0] - want.r) <= 40 && std::abs(got[1] - want.g) <= 40
                             && std::abs(got[2] - want.b) <= 40,
                         qPrintable(QString("patch %1: %2,%3,%4").arg(i).arg(got[0]).arg(got[1]).arg(got[2])));
            } else if (page.mode == ChartMode::Grey) {
                const uint8_t rgb[3] = {want.r, want.g, want.b};
                QVERIFY(std::abs(int(got[0]) - int(Grey(rgb, 3))) <= 12);
            }
        }
        // The border frames the page: dark on the left side, white outside it.
        const unsigned frame = layout.margin + layout.border / 2;
        QVERIFY(Grey(image.At(frame, page.height / 2), image.components) < 100);
        QVERIFY(Grey(image.At(layout.margin / 2, page.height / 2), image.components) > 200);
    }

    void samePageSameBytesOtherPageOtherBytes()
    {
        const ChartPage first = ChartPageOf(300, 200, 100, ChartMode::Colour, 1);
        ChartPage second = first;
        second.number = 2;
        const std::vector<uint8_t> bytes = WholePage(first, ChartEncoding::Jpeg, 512);
        QVERIFY(!bytes.empty());
        QVERIFY(bytes == WholePage(first, ChartEncoding::Jpeg, 4096)); // block size does not matter
        QVERIFY(bytes != WholePage(second, ChartEncoding::Jpeg, 512)); // the title shows the page number
    }

    // A4 grey at 600 dpi is 35 MB of lines and 1.5 MB of JPEG; made and compressed block
    // by block, the process's peak memory grows by far less than either.
    void largePageIsNeverHeldWhole()
    {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("AddressSanitizer's quarantine keeps the freed blocks resident");
#endif
        WholePage(ChartPageOf(64, 64, 75, ChartMode::Grey, 1), ChartEncoding::Jpeg, 4096); // code paged in
        {
            std::ofstream reset("/proc/self/clear_refs");
            reset << "5"; // the peak resident size starts again from the current one
        }
        const long before = PeakKiB();
        if (before < 0)
            QSKIP("no /proc/self/status");
        const ChartPage page = ChartPageOf(0, 0, 600, ChartMode::Grey, 1);
        QVERIFY(page.RawBytes() > 30u * 1024 * 1024);
        ChartStream stream(page, ChartEncoding::Jpeg);
        size_t total = 0;
        while (!stream.AtEnd())
            total += stream.Read(65536).size();
        QVERIFY(total > 1024 * 1024);
        const long growthKiB = PeakKiB() - before;
        QVERIFY2(growthKiB < long(total / 1024 / 4), qPrintable(QString("peak grew by %1 KiB").arg(growthKiB)));
    }
};

QTEST_APPLESS_MAIN(TestChartPages)
#include "tst_testchart.moc"
