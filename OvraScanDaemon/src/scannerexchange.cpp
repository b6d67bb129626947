// One command written to the scanner and its response read back.
#include "scanlog.h"
#include "usbfs.h"
#include "usbscanner.h"

#include <cstring>

unsigned char m_ResComBuf[OVRA_RESPONSE_BUFFER_SIZE];

namespace {

const int c_iWriteTimeoutMs = 5000;
const int c_iResponseTimeoutMs = 5000;
const int c_iAdfTimeoutMs = 15000;
// A response that did not come in time: the scanner is busy.
const int c_iStatusNothingRead = OVRA_STATUS_DEVICE_BUSY;

bool headerIs(uint8_t cmdClass, uint8_t cmdCode)
{
    return m_ResComBuf[0] == OVRA_SCAN_CMD_START && m_ResComBuf[1] == cmdClass && m_ResComBuf[2] == cmdCode;
}

int readResponse(int fd, int timeout)
{
    memset(m_ResComBuf, 0, sizeof(m_ResComBuf));
    return ovra_bulk_read(fd, reinterpret_cast<char*>(m_ResComBuf), sizeof(m_ResComBuf), timeout);
}

void logHeader(int number)
{
    OvraLogInfo("Header type(#%d): cmdStart[0x%02X] cmdClass[0x%02X] cmdCode[0x%02X]", number, m_ResComBuf[0],
                m_ResComBuf[1], m_ResComBuf[2]);
}

// A repeated read after a stray record or abort response.
int readAgain(int fd)
{
    int got = readResponse(fd, c_iResponseTimeoutMs);
    if (got > 0)
        logHeader(2);
    else
        OvraLogInfo("ResponseScanner(ResCommon) #2 failed.");
    return got;
}

// Status of a read that did not bring a whole header: the device is gone
// (negative), answered nothing in time (busy), or sent a fragment (I/O error).
int failedReadStatus(int got)
{
    if (got < 0)
        return got;
    if (got == 0)
        return c_iStatusNothingRead;
    OvraLogErr("ResponseScanner(ResCommon) short response: %d", got);
    return OVRA_STATUS_IO_ERROR;
}

int evaluateResponse(CommandType type)
{
    const ResCommon* header = reinterpret_cast<const ResCommon*>(m_ResComBuf);
    unsigned needed = header->dataSize + 8u;
    if (header->dataSize != 0 && needed > OVRA_RESPONSE_BUFFER_SIZE) {
        OvraLogErr("m_ResComBuf is too small. needed = %u", needed);
        return OVRA_STATUS_NO_MEM;
    }
    OvraLogInfo("  ** readSize = %u", needed);
    return ConvertResponseFlagToErrorCode(header->flags, type);
}

} // namespace

int RequestScanner(int fd, const void* reqCmd, unsigned dwReqBytes)
{
    OvraLogInfo("[enter] request size = %u", dwReqBytes);
    int written =
        ovra_bulk_write(fd, static_cast<const char*>(reqCmd), static_cast<int>(dwReqBytes), c_iWriteTimeoutMs);
    int ret = OVRA_STATUS_GOOD;
    if (written < 0) {
        OvraLogErr("RequestScanner failed.");
        ret = OVRA_STATUS_IO_ERROR;
    } else if (written == 0) {
        OvraLogErr("RequestScanner failed.");
        ret = OVRA_STATUS_DEVICE_BUSY;
    }
    OvraLogInfo("[exit] nRet[0x%08x]", ret);
    return ret;
}

int ResponseScanner(int fd, CommandType type)
{
    int got = readResponse(fd, type == CMD_TYPE_SCAN_ADF_STATUS ? c_iAdfTimeoutMs : c_iResponseTimeoutMs);
    int ret;
    if (got < 0) {
        OvraLogInfo("ResponseScanner(ResCommon) #1 failed.");
        ret = got;
    } else {
        logHeader(1);
        while (got > 0 && headerIs(OVRA_SCAN_CLASS_SCAN, OVRA_SCAN_CODE_RECORD)) {
            OvraLogInfo("ScanRecord Response recieve. Retry read.");
            got = readAgain(fd);
        }
        if (got > 0 && headerIs(OVRA_SCAN_CLASS_SCAN, OVRA_SCAN_CODE_ABORT)) {
            OvraLogInfo("ScanAbort Response recieve. Retry read.");
            got = readAgain(fd);
        }
        if (got < static_cast<int>(sizeof(ResCommon))) {
            if (got < 0)
                OvraLogInfo("ResponseScanner(ResCommon) #1 failed.");
            ret = failedReadStatus(got);
        } else {
            ret = evaluateResponse(type);
        }
    }
    OvraLogInfo("[exit] nRet[0x%08x]", ret);
    return ret;
}
