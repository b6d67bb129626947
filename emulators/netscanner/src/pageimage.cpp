#include "ovraemu/netscanjob.h"

#include <algorithm>

namespace ovraemu {

namespace {

// Start of a JPEG file: SOI, then a JFIF APP0 segment (version 1.1, no density unit).
const std::vector<uint8_t> kJpegStart = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J',  'F',  'I',  'F',
                                         0x00, 0x01, 0x01, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00};
const std::vector<uint8_t> kJpegEnd = {0xFF, 0xD9};

uint8_t PatternByte(int page, size_t i) { return uint8_t(i * 131 + (i >> 8) * 7 + size_t(page) * 29 + 17); }

} // namespace

std::vector<uint8_t> PatternPageImage(int page, size_t bytes, ImageType type)
{
    std::vector<uint8_t> image(bytes);
    if (type == ImageType::Raw) {
        for (size_t i = 0; i < bytes; ++i)
            image[i] = PatternByte(page, i);
        return image;
    }
    // Entropy-coded bytes never hold 0xFF, so the pattern between the markers avoids it.
    for (size_t i = 0; i < bytes; ++i)
        image[i] = uint8_t(PatternByte(page, i) % 0xFF);
    std::copy_n(kJpegStart.begin(), std::min(bytes, kJpegStart.size()), image.begin());
    if (bytes >= kJpegStart.size() + kJpegEnd.size())
        std::copy(kJpegEnd.begin(), kJpegEnd.end(), image.end() - kJpegEnd.size());
    return image;
}

bool ChartPages(const NetScanJob& job) { return job.images.empty() && !job.pageBytes; }

std::vector<uint8_t> PageImage(const NetScanJob& job, int page, ImageType type)
{
    if (page >= 0 && size_t(page) < job.images.size())
        return job.images[size_t(page)];
    if (!job.pageBytes)
        return {};
    return PatternPageImage(page, *job.pageBytes, type);
}

int MultiPageCount(const NetScanJob& job)
{
    return job.images.empty() ? std::max(job.pages, 0) : int(job.images.size());
}

} // namespace ovraemu
