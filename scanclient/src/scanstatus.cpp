#include "ovrascan/scanstatus.h"

#include "ovrascanprotocol.h"

namespace ovrascan {

namespace {

struct StatusText {
    const char* name;
    const char* meaning;
};

const StatusText kTexts[] = {
    {"SANE_STATUS_GOOD", "success"},
    {"SANE_STATUS_UNSUPPORTED", "the operation is not supported"},
    {"SANE_STATUS_CANCELLED", "the scan was cancelled"},
    {"SANE_STATUS_DEVICE_BUSY", "the device is busy"},
    {"SANE_STATUS_INVAL", "the scanner refused the request or its settings"},
    {"SANE_STATUS_EOF", "end of the scan data"},
    {"SANE_STATUS_JAMMED", "the document feeder is jammed"},
    {"SANE_STATUS_NO_DOCS", "the document feeder is empty"},
    {"SANE_STATUS_COVER_OPEN", "the scanner cover is open"},
    {"SANE_STATUS_IO_ERROR", "input/output error while talking to the scanner"},
    {"SANE_STATUS_NO_MEM", "out of memory"},
    {"SANE_STATUS_ACCESS_DENIED", "access denied (the page file could not be created)"},
};

constexpr int kTextCount = int(sizeof kTexts / sizeof kTexts[0]);
static_assert(kTextCount == OVRA_STATUS_ACCESS_DENIED + 1, "one text per status");

} // namespace

std::string StatusName(int status)
{
    if (status >= 0 && status < kTextCount)
        return kTexts[status].name;
    return status < 0 ? "USB transfer failure" : "status " + std::to_string(status);
}

std::string StatusMeaning(int status)
{
    if (status >= 0 && status < kTextCount)
        return kTexts[status].meaning;
    return status < 0 ? "a USB transfer failed and the device no longer answers" : "unknown status";
}

std::string DescribeStatus(int status)
{
    return StatusMeaning(status) + " (" + StatusName(status) + ", " + std::to_string(status) + ")";
}

} // namespace ovrascan
