#include "scannerreplies.h"

#include <algorithm>

ScanBytes ScanResponse(uint8_t cmdCode, uint8_t flags, const ScanBytes& payload, uint8_t reserved, uint8_t cmdClass,
                       int iDataSize)
{
    const uint16_t dataSize = static_cast<uint16_t>(iDataSize >= 0 ? iDataSize : static_cast<int>(payload.size()));
    ScanBytes bytes(sizeof(ResCommon) + payload.size(), 0);
    bytes[0] = OVRA_SCAN_CMD_START;
    bytes[1] = cmdClass;
    bytes[2] = cmdCode;
    bytes[4] = static_cast<uint8_t>(dataSize & 0xFF);
    bytes[5] = static_cast<uint8_t>(dataSize >> 8);
    bytes[6] = flags;
    bytes[7] = reserved;
    std::copy(payload.begin(), payload.end(), bytes.begin() + sizeof(ResCommon));
    return bytes;
}

ScanBytes ScanRecordHeader(uint8_t status, uint16_t dataSize)
{
    ScanBytes fields(OVRA_SCAN_RECORD_HEADER_PAYLOAD, 0);
    fields[0] = status;
    return ScanResponse(OVRA_SCAN_CODE_RECORD, OVRA_SCAN_RESPONSE_SUCCESS, fields, 0, OVRA_SCAN_CLASS_SCAN, dataSize);
}

ScanBytes ScanImageRecordHeader(size_t imageBytes)
{
    return ScanRecordHeader(SCAN_STATUS_OPERATION_CONTINUOUS,
                            static_cast<uint16_t>(OVRA_SCAN_RECORD_HEADER_PAYLOAD + imageBytes));
}

ScanBytes ScanStatusRecord(uint8_t status) { return ScanRecordHeader(status, OVRA_SCAN_RECORD_HEADER_PAYLOAD); }
