// The framing of the page data stream on port 2080: a 20-byte job header with its data,
// then 18-byte block headers, each followed by the bytes its size field announces, and
// the two 18-byte markers.
#pragma once

#include "ovraemu/netscanjob.h"
#include "ovraemu/netscanrecords.h"

#include <string>

namespace ovraemu {

extern const std::string kNewFileMarker; // "NEWFILE", ten spaces, LF
extern const std::string kJobDoneMarker; // "JOBDONE", ten spaces, LF

// Six characters holding n in decimal ("000100" or "   100"); n is at most 999999.
std::string SizeField(size_t n, SizeFieldStyle style);

// "OVRASCAN", the size of the job header data in bytes 8-13, padding, LF: 20 bytes.
std::string JobHeader(size_t dataBytes, SizeFieldStyle style);
// "PAGE  ", the size of the page header data in bytes 6-11, padding, LF: 18 bytes.
std::string PageHeader(size_t dataBytes, SizeFieldStyle style);
// "IMAGE ", the image bytes of the block in bytes 6-11, padding, LF: 18 bytes.
std::string DataBlockHeader(size_t dataBytes, SizeFieldStyle style);

// The texts behind the job and page headers (the daemon reads past them).
std::string JobHeaderData(const ScanJobRecord& job);
std::string PageHeaderData(const ScanJobRecord& job, int page);

} // namespace ovraemu
