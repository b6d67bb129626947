// What an emulated network scanner does with a posted scan job: how many pages it
// delivers, their image bytes (a test chart unless given otherwise), how it cuts them
// into blocks, and the faults it plays.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ovraemu {

// The printer's own ports.
constexpr uint16_t kScanHttpPort = 80;
constexpr uint16_t kScanDataPort = 2080;
constexpr uint16_t kScanAttributePort = 5000;

// The document feeder as the feeder status request reports it (last character of the
// answer).
enum class FeederState {
    Empty = 1,
    Loaded = 2,
    Jammed = 3
};

// The RESULT= values of the job post answer.
constexpr int kPostResultSuccess = 0;
constexpr int kPostResultBadField = 1;
constexpr int kPostResultDeviceBusy = 91;

// How the six-character size fields of the data stream headers are written.
enum class SizeFieldStyle {
    ZeroPadded, // "000100"
    SpacePadded // "   100"
};

// Faults of the data stream (port 2080).
enum class DataFaultKind {
    None,
    CloseMidBlock, // the block header and part of the block, then the connection closes
    ShortBlock,    // the block header and part of the block, then silence until abort or stop
    FeederJam      // the feeder jams before page `page`: the connection closes, the feeder reads jammed
};

struct DataFault {
    DataFaultKind kind = DataFaultKind::None;
    int page = 0;              // page (from 0) the fault hits
    int block = 0;             // block of that page (from 0), for the block faults
    size_t deliveredBytes = 0; // bytes of the block sent before the fault (capped below the block size)
};

// The scanner's script for every job posted to it.
struct NetScanJob {
    // Pages of a multi-page feeder job; flatbed and single-page feeder jobs deliver one.
    int pages = 1;
    // Without a value every page is the test chart (see testchart.h), drawn at the
    // resolution, area and depth of the job form and sent as JPEG or raw lines as the
    // form asks. With a value every page is that many bytes of the deterministic pattern.
    std::optional<size_t> pageBytes;
    // Given image bytes, one entry per page; when set they replace the chart or the
    // pattern and their count replaces `pages`.
    std::vector<std::vector<uint8_t>> images;
    // Image bytes per data block (at most 999999).
    size_t blockSize = 8192;
    SizeFieldStyle sizeFields = SizeFieldStyle::ZeroPadded;
    // Leave out the NEWFILE marker in front of the first page.
    bool firstPageWithoutNewFile = false;
    DataFault fault;
};

// The image format a job asks for (TYPE field of the form).
enum class ImageType {
    Jpeg,
    Raw
};

// The image bytes of page `page` (from 0) built from the deterministic pattern: `bytes`
// long; a JPEG page starts with the SOI and JFIF APP0 segments and ends with EOI, a raw
// page is the bare pattern. Different pages differ.
std::vector<uint8_t> PatternPageImage(int page, size_t bytes, ImageType type);

// Whether the pages of jobs of this script are test charts (no images, no pattern).
bool ChartPages(const NetScanJob& job);

// The image bytes the scanner plans for page `page` of a job of that type: the given
// image or the pattern; nothing for a chart page, which is drawn while it is sent.
std::vector<uint8_t> PageImage(const NetScanJob& job, int page, ImageType type);

// Pages a multi-page feeder job of this script delivers.
int MultiPageCount(const NetScanJob& job);

} // namespace ovraemu
