#include "ovraemu/scanjob.h"

#include <algorithm>
#include <stdexcept>

namespace ovraemu {
namespace {

constexpr size_t kMaxRecordImage = 0xFFFF - kRecordFieldsSize;
// The lock's compression mode that asks for JPEG images, and its depths.
constexpr uint8_t kCompressionJpeg = 2;
constexpr uint8_t kDepthLineart = 1;
constexpr uint8_t kDepthColour = 3;

void CheckShape(const JobShape& shape)
{
    if (shape.recordBytes == 0 || shape.recordBytes > kMaxRecordImage)
        throw std::invalid_argument("image bytes per record must be 1 to " + std::to_string(kMaxRecordImage));
}

JobStep Marker(ScanStatus status, int delayMs)
{
    JobStep step = JobStep::Record(status);
    step.delayMs = delayMs;
    return step;
}

void AppendPage(ScanJob& job, const std::vector<uint8_t>& page, const JobShape& shape)
{
    job.steps.push_back(Marker(ScanStatus::BeginOfPage, shape.delayMs));
    for (size_t offset = 0; offset < page.size(); offset += shape.recordBytes) {
        const size_t count = std::min(shape.recordBytes, page.size() - offset);
        JobStep record = JobStep::Record(ScanStatus::Continuous,
                                         std::vector<uint8_t>(page.begin() + static_cast<long>(offset),
                                                              page.begin() + static_cast<long>(offset + count)));
        record.chunk = shape.chunk;
        record.delayMs = shape.delayMs;
        job.steps.push_back(std::move(record));
    }
    job.steps.push_back(Marker(ScanStatus::EndOfPage, shape.delayMs));
}

} // namespace

JobStep JobStep::Record(ScanStatus status, std::vector<uint8_t> image)
{
    JobStep step;
    step.status = static_cast<uint8_t>(status);
    step.image = std::move(image);
    return step;
}

JobStep JobStep::Chart(size_t recordBytes)
{
    JobStep step;
    step.kind = Kind::Chart;
    step.recordBytes = recordBytes;
    return step;
}

JobStep JobStep::Unplug()
{
    JobStep step;
    step.kind = Kind::Unplug;
    return step;
}

JobStep JobStep::DeviceAbort()
{
    JobStep step;
    step.kind = Kind::DeviceAbort;
    return step;
}

JobStep JobStep::Raw(std::vector<uint8_t> bytes)
{
    JobStep step;
    step.kind = Kind::Raw;
    step.image = std::move(bytes);
    return step;
}

JobStep JobStep::AnnouncedRecord(uint8_t status, uint16_t dataSize)
{
    JobStep step;
    step.status = status;
    step.dataSize = dataSize;
    return step;
}

std::string JobStep::Describe() const
{
    switch (kind) {
    case Kind::Unplug: return "unplug";
    case Kind::DeviceAbort: return "device-abort";
    case Kind::Raw: return "raw:" + std::to_string(image.size());
    case Kind::Chart: return "chart";
    case Kind::Record: break;
    }
    std::string text = std::to_string(status);
    if (!image.empty())
        text += ":" + std::to_string(image.size());
    if (dataSize)
        text += "/size=" + std::to_string(*dataSize);
    return text;
}

std::vector<uint8_t> PatternPage(unsigned page, const PageGeometry& geometry)
{
    const size_t lineBytes = geometry.BytesPerLine();
    std::vector<uint8_t> bytes(geometry.PageBytes());
    for (size_t i = 0; i < bytes.size(); ++i) {
        const size_t line = i / lineBytes;
        const size_t column = i % lineBytes;
        bytes[i] = static_cast<uint8_t>(column * 7 + line * 13 + page * 101 + (column * line) / 17);
    }
    return bytes;
}

ScanJob MakeScanJob(std::vector<std::vector<uint8_t>> pages, const JobShape& shape)
{
    CheckShape(shape);
    ScanJob job;
    job.steps.push_back(Marker(ScanStatus::BeginOfScan, shape.delayMs));
    for (const std::vector<uint8_t>& page : pages)
        AppendPage(job, page, shape);
    job.steps.push_back(Marker(ScanStatus::EndOfData, shape.delayMs));
    job.pages = std::move(pages);
    return job;
}

ScanJob MakePatternJob(unsigned pageCount, const PageGeometry& geometry, const JobShape& shape)
{
    std::vector<std::vector<uint8_t>> pages;
    for (unsigned page = 0; page < pageCount; ++page)
        pages.push_back(PatternPage(page, geometry));
    ScanJob job = MakeScanJob(std::move(pages), shape);
    job.width = geometry.width;
    job.height = geometry.height;
    return job;
}

ScanJob MakeChartJob(unsigned pageCount, const JobShape& shape)
{
    CheckShape(shape);
    ScanJob job;
    job.steps.push_back(Marker(ScanStatus::BeginOfScan, shape.delayMs));
    for (unsigned page = 0; page < pageCount; ++page) {
        job.steps.push_back(Marker(ScanStatus::BeginOfPage, shape.delayMs));
        JobStep chart = JobStep::Chart(shape.recordBytes);
        chart.chunk = shape.chunk;
        chart.delayMs = shape.delayMs;
        job.steps.push_back(chart);
        job.steps.push_back(Marker(ScanStatus::EndOfPage, shape.delayMs));
    }
    job.steps.push_back(Marker(ScanStatus::EndOfData, shape.delayMs));
    job.chartPages = pageCount;
    return job;
}

ChartPage ChartPageOfLock(const std::optional<LockSettings>& lock, int number)
{
    if (!lock)
        return ChartPageOf(0, 0, 0, ChartMode::Grey, number);
    const ChartMode mode = lock->depth == kDepthLineart  ? ChartMode::Lineart
                           : lock->depth == kDepthColour ? ChartMode::Colour
                                                         : ChartMode::Grey;
    return ChartPageOf(lock->width, lock->height, lock->xResolution, mode, number);
}

ChartEncoding ChartEncodingOfLock(const std::optional<LockSettings>& lock)
{
    const bool jpeg = lock && lock->compressionMode == kCompressionJpeg && lock->depth != kDepthLineart;
    return jpeg ? ChartEncoding::Jpeg : ChartEncoding::Raw;
}

} // namespace ovraemu
