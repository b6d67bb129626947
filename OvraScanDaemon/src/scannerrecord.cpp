// Reading the scan stream record by record.
#include "scanlog.h"
#include "usbfs.h"
#include "usbscanner.h"

#include <cstdlib>
#include <cstring>

namespace {

const int c_iReadAttempts = 10;
// A record that did not come in time: the scanner is busy.
const int c_iStatusNothingRead = OVRA_STATUS_DEVICE_BUSY;

int readImageData(int fd, unsigned char** pBuffer, uint16_t* bufSize, uint16_t* readSize, int dataSize)
{
    if (dataSize < OVRA_SCAN_RECORD_HEADER_PAYLOAD) {
        OvraLogErr("ScanRecord dataSize too small: %d", dataSize);
        return OVRA_STATUS_IO_ERROR;
    }
    unsigned need = static_cast<unsigned>(dataSize - OVRA_SCAN_RECORD_HEADER_PAYLOAD);
    if (need > *bufSize) {
        unsigned char* grown = getScanBuffer(*pBuffer, need);
        if (!grown) {
            OvraLogErr("resize scan data buffer err");
            return OVRA_STATUS_NO_MEM;
        }
        *pBuffer = grown;
        *bufSize = static_cast<uint16_t>(need);
    }
    int ret = need ? ReadWithRetry(fd, reinterpret_cast<char*>(*pBuffer), need) : OVRA_STATUS_GOOD;
    *readSize = static_cast<uint16_t>(need);
    OvraLogInfo("  ** exist scan data : readSize = %u", need);
    OvraLogInfo("[exit] nRet[0x%08x]", ret);
    return ret;
}

int statusResult(uint8_t status)
{
    switch (status) {
    case SCAN_STATUS_END_OF_DATA: return OVRA_STATUS_EOF;
    case SCAN_STATUS_ABORTED_OUT_OF_MEMORY: return OVRA_STATUS_NO_MEM;
    case SCAN_STATUS_ABORTED_BY_REQUEST:
    case SCAN_STATUS_ABORTED_BY_DEVICE: return OVRA_STATUS_CANCELLED;
    case SCAN_STATUS_ABORTED_PAPER_JAM: return OVRA_STATUS_JAMMED;
    case SCAN_STATUS_END_OF_PAGE:
    case SCAN_STATUS_BEGIN_OF_SCAN:
    case SCAN_STATUS_BEGIN_OF_PAGE: return OVRA_STATUS_GOOD;
    default: return OVRA_STATUS_INVAL;
    }
}

} // namespace

unsigned char* getScanBuffer(unsigned char* buf, unsigned dwNeedSize)
{
    return static_cast<unsigned char*>(realloc(buf, dwNeedSize));
}

int ReadWithRetry(int fd, char* lpBuffer, unsigned dwBytesToRead)
{
    unsigned done = 0;
    for (int attempt = 0; attempt < c_iReadAttempts && done < dwBytesToRead; ++attempt) {
        int got = ovra_bulk_read(fd, lpBuffer + done, static_cast<int>(dwBytesToRead - done), OVRA_RECORD_TIMEOUT_MS);
        if (got > 0)
            done += static_cast<unsigned>(got);
    }
    if (done >= dwBytesToRead)
        return OVRA_STATUS_GOOD;
    OvraLogErr("ReadWithRetry failed.");
    return OVRA_STATUS_IO_ERROR;
}

int ScanRecord(int m_pDeviceHandle, ScanStatus* scanStatus, unsigned char** pBuffer, uint16_t* bufSize,
               uint16_t* readSize, int timeoutMs)
{
    OvraLogInfo("** %s", __func__);
    unsigned char record[OVRA_RECORD_BUFFER_SIZE] = {};
    int got = ovra_bulk_read(m_pDeviceHandle, reinterpret_cast<char*>(record), OVRA_RESPONSE_BUFFER_SIZE, timeoutMs);
    if (got < 0) {
        OvraLogErr("ScanRecord(ResCommon) failed.");
        return OVRA_STATUS_IO_ERROR;
    }
    if (got == 0) {
        OvraLogErr("ScanRecord(ResCommon) nothing received.");
        return c_iStatusNothingRead;
    }
    const ResCommon* header = reinterpret_cast<const ResCommon*>(record);
    if (got >= 3 && record[0] == OVRA_SCAN_CMD_START && record[1] == OVRA_SCAN_CLASS_SCAN
        && record[2] == OVRA_SCAN_CODE_ABORT) {
        OvraLogInfo("ScanAbort Command from Device.");
        return OVRA_STATUS_CANCELLED;
    }
    if (got < static_cast<int>(sizeof(ResCommon))) {
        OvraLogErr("ScanRecord(ResCommon) short record: %d", got);
        return OVRA_STATUS_IO_ERROR;
    }
    if (header->dataSize == 0) {
        OvraLogInfo("[exit] nRet[0x%08x]", OVRA_STATUS_GOOD);
        return OVRA_STATUS_GOOD;
    }
    if (got < static_cast<int>(sizeof(ResCommon)) + 1) {
        OvraLogErr("ScanRecord(ResCommon) short record: %d", got);
        return OVRA_STATUS_IO_ERROR;
    }
    uint8_t status = reinterpret_cast<const ResScanRecord*>(record)->status;
    OvraLogInfo("  ** status = %d, resCmd.dataSize = %d", status, header->dataSize);
    *scanStatus = static_cast<ScanStatus>(status);
    if (status == SCAN_STATUS_OPERATION_CONTINUOUS)
        return readImageData(m_pDeviceHandle, pBuffer, bufSize, readSize, header->dataSize);
    return statusResult(status);
}
