// What a USB scanner sends back on its bulk-in endpoint, byte for byte as the scanner
// lays it out: a response header (1B, class, code, sub-code, dataSize little-endian,
// flags, reserved) with its payload, and the header of a scan record. Plain C++, for
// the daemon's tests and the fuzz targets alike.
#pragma once

#include "ovrascannerusb.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using ScanBytes = std::vector<uint8_t>;

// A response header with the payload after it. dataSize counts the payload unless
// iDataSize (0 or more) gives another value.
ScanBytes ScanResponse(uint8_t cmdCode, uint8_t flags, const ScanBytes& payload = {}, uint8_t reserved = 0,
                       uint8_t cmdClass = OVRA_SCAN_CLASS_SCAN, int iDataSize = -1);
// The header of a scan record (1B 53 02, success) whose 23 bytes of fields start with
// the status; dataSize counts the fields and the image bytes sent after them.
ScanBytes ScanRecordHeader(uint8_t status, uint16_t dataSize);
// The header of a record carrying imageBytes of image, and of a record carrying none.
ScanBytes ScanImageRecordHeader(size_t imageBytes);
ScanBytes ScanStatusRecord(uint8_t status);
