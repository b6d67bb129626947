#include "streamheaders.h"

#include "ovraemu/netscanrecords.h"

#include <cstdio>

namespace ovraemu {

const std::string kNewFileMarker = "NEWFILE          \n";
const std::string kJobDoneMarker = "JOBDONE          \n";

namespace {

constexpr size_t kLargestSize = 999999;

std::string FramedHeader(const std::string& prefix, size_t dataBytes, SizeFieldStyle style, size_t total)
{
    std::string header = prefix + SizeField(dataBytes, style);
    header.append(total - 1 - header.size(), ' ');
    return header + "\n";
}

std::string FormValueOr(const ScanJobRecord& job, const std::string& key)
{
    return FormValue(job.form, key).value_or(std::string());
}

// The image bytes of a page as far as they are known before it is sent: a JPEG chart's
// are not.
std::string PageBytesText(const ScanJobRecord& job, int page)
{
    if (job.chart)
        return job.type == ImageType::Raw ? std::to_string(job.chart->RawBytes()) : std::string();
    const size_t bytes = page >= 0 && size_t(page) < job.pages.size() ? job.pages[size_t(page)].size() : 0;
    return std::to_string(bytes);
}

} // namespace

std::string SizeField(size_t n, SizeFieldStyle style)
{
    char field[8];
    const unsigned long value = n > kLargestSize ? kLargestSize : n;
    snprintf(field, sizeof field, style == SizeFieldStyle::ZeroPadded ? "%06lu" : "%6lu", value);
    return field;
}

std::string JobHeader(size_t dataBytes, SizeFieldStyle style) { return FramedHeader("OVRASCAN", dataBytes, style, 20); }

std::string PageHeader(size_t dataBytes, SizeFieldStyle style) { return FramedHeader("PAGE  ", dataBytes, style, 18); }

std::string DataBlockHeader(size_t dataBytes, SizeFieldStyle style)
{
    return FramedHeader("IMAGE ", dataBytes, style, 18);
}

std::string JobHeaderData(const ScanJobRecord& job)
{
    return "PAGES=" + std::to_string(job.pages.size()) + "\nTYPE=" + (job.type == ImageType::Jpeg ? "JPEG" : "RAW")
           + "\nSOURCE=" + (job.feeder ? "ADF" : "FLATBED") + "\nRESOLUTION=" + FormValueOr(job, "RESOLUTION") + "\n";
}

std::string PageHeaderData(const ScanJobRecord& job, int page)
{
    return "PAGE=" + std::to_string(page + 1) + "\nBYTES=" + PageBytesText(job, page)
           + "\nWIDTH=" + FormValueOr(job, "CUSTOM_WIDTH") + "\nHEIGHT=" + FormValueOr(job, "CUSTOM_HEIGHT") + "\n";
}

} // namespace ovraemu
