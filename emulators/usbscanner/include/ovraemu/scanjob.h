// A scripted scan: what the emulated scanner sends on its bulk IN endpoint
// after a successful start command, step by step.
#pragma once

#include "ovraemu/scannerprotocol.h"
#include "chartstream.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ovraemu {

struct JobStep {
    enum class Kind {
        Record,      // a record header, then its image bytes in separate transfers
        DeviceAbort, // the header 1B 53 0F: the scanner gives up the scan
        Raw,         // the bytes of `image` as one transfer, nothing added
        Unplug,      // the scanner leaves the bus once everything before was read
        Chart,       // image records of one test chart page, drawn while they are sent
    };

    Kind kind = Kind::Record;
    uint8_t status = static_cast<uint8_t>(ScanStatus::Continuous);
    std::vector<uint8_t> image;
    // The header's dataSize; without a value 23 + the image size.
    std::optional<uint16_t> dataSize;
    // Image bytes per transfer; 0 sends them in one transfer.
    size_t chunk = 0;
    // Pause before the step is sent, in milliseconds (before each record of a chart).
    int delayMs = 0;
    // Image bytes per record of a chart.
    size_t recordBytes = 0;

    static JobStep Record(ScanStatus status, std::vector<uint8_t> image = {});
    static JobStep Unplug();
    static JobStep DeviceAbort();
    static JobStep Raw(std::vector<uint8_t> bytes);
    // A record whose header announces dataSize but carries no image bytes.
    static JobStep AnnouncedRecord(uint8_t status, uint16_t dataSize);
    static JobStep Chart(size_t recordBytes);

    // "9", "0:4096", "unplug", ... as the control commands list steps.
    std::string Describe() const;
};

struct ScanJob {
    std::vector<JobStep> steps;
    std::vector<std::vector<uint8_t>> pages; // the image bytes of every page, for comparisons
    unsigned chartPages = 0;                 // pages drawn as test charts (not in `pages`)
    uint32_t width = 0;                      // written into the record headers (a chart's own size)
    uint32_t height = 0;
};

enum class PixelMode {
    Gray,
    Color
};

struct PageGeometry {
    unsigned width = 64;
    unsigned height = 64;
    PixelMode mode = PixelMode::Gray;

    size_t BytesPerLine() const { return width * (mode == PixelMode::Color ? 3u : 1u); }
    size_t PageBytes() const { return BytesPerLine() * height; }
};

// The image bytes of page `page`: a deterministic pattern that differs from
// page to page and from line to line.
std::vector<uint8_t> PatternPage(unsigned page, const PageGeometry& geometry);

// How a job cuts its pages into records and transfers.
struct JobShape {
    size_t recordBytes = 32768; // image bytes per record (at most 65512)
    size_t chunk = 0;           // image bytes per transfer; 0: one transfer per record
    int delayMs = 0;            // pause before every step
};

// Begin of scan, then per page begin of page, image records, end of page,
// and end of data.
ScanJob MakeScanJob(std::vector<std::vector<uint8_t>> pages, const JobShape& shape = {});
ScanJob MakePatternJob(unsigned pageCount, const PageGeometry& geometry, const JobShape& shape = {});
// The same with test chart pages: each drawn when it is sent, at the area, resolution and
// depth of the last lock settings (A4 at 300 dpi grey without them), as raw lines or,
// when the lock asks for JPEG compression of a grey or colour scan, as a JPEG image.
ScanJob MakeChartJob(unsigned pageCount, const JobShape& shape = {});

// The chart page `number` (from 1) and its encoding as the lock settings ask for them.
ChartPage ChartPageOfLock(const std::optional<LockSettings>& lock, int number);
ChartEncoding ChartEncodingOfLock(const std::optional<LockSettings>& lock);

} // namespace ovraemu
