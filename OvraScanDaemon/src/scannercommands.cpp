// The scanner's commands other than record reading.
#include "scanlog.h"
#include "usbfs.h"
#include "usbscanner.h"

#include <cstring>

namespace {

ReqCommon commandHeader(uint8_t cmdClass, uint8_t cmdCode)
{
    ReqCommon header;
    memset(&header, 0, sizeof(header));
    header.cmdStart = OVRA_SCAN_CMD_START;
    header.cmdClass = cmdClass;
    header.cmdCode = cmdCode;
    header.subCmdCode = 0;
    header.dataSize = 0;
    header.flags = OVRA_SCAN_FLAG_COMMAND;
    return header;
}

// Writes a header-only command and reads its response.
int plainCommand(int fd, uint8_t cmdClass, uint8_t cmdCode, CommandType type)
{
    ReqCommon header = commandHeader(cmdClass, cmdCode);
    int ret = RequestScanner(fd, &header, sizeof(header));
    if (ret != OVRA_STATUS_GOOD)
        return ret;
    return ResponseScanner(fd, type);
}

} // namespace

int ScanStart(int m_pDeviceHandle)
{
    OvraLogInfo("** %s", __func__);
    return plainCommand(m_pDeviceHandle, OVRA_SCAN_CLASS_SCAN, OVRA_SCAN_CODE_START, CMD_TYPE_SCAN_START);
}

int ScanDeviceProperties(int m_pDeviceHandle, ResScanDeviceProperties* pDevProp)
{
    OvraLogInfo("** %s", __func__);
    int ret = plainCommand(m_pDeviceHandle, OVRA_SCAN_CLASS_SCAN, OVRA_SCAN_CODE_DEVICE_PROPERTIES,
                           CMD_TYPE_SCAN_DEVICE_PROPERTIES);
    if (ret == OVRA_STATUS_GOOD && pDevProp)
        memcpy(pDevProp, m_ResComBuf, sizeof(*pDevProp));
    return ret;
}

int ScanADFStatus(int m_pDeviceHandle, ADFStatus* status)
{
    OvraLogInfo("** %s", __func__);
    int ret = plainCommand(m_pDeviceHandle, OVRA_SCAN_CLASS_SCAN, OVRA_SCAN_CODE_ADF_STATUS, CMD_TYPE_SCAN_ADF_STATUS);
    if (ret == OVRA_STATUS_GOOD && status)
        *status = static_cast<ADFStatus>(reinterpret_cast<const ResCommon*>(m_ResComBuf)->reserved);
    return ret;
}

int ScanLock(int m_pDeviceHandle, const SettingInfo* pSettingInfo)
{
    OvraLogInfo("** %s", __func__);
    if (!pSettingInfo)
        return OVRA_STATUS_INVAL;
    const SettingInfo& info = *pSettingInfo;
    OvraLogInfo("x:%u y:%u width:%u height:%u dpi:%u depth:%u", info.xStart, info.yStart, info.width, info.height,
                static_cast<unsigned>(info.xResolution), static_cast<unsigned>(info.bitDepth));
    ReqScanLock lock = buildScanLock(info);
    int ret = RequestScanner(m_pDeviceHandle, &lock, OVRA_SCAN_LOCK_WIRE_SIZE);
    if (ret != OVRA_STATUS_GOOD)
        return ret;
    return ResponseScanner(m_pDeviceHandle, CMD_TYPE_SCAN_LOCK);
}

int ScanUnlock(int m_pDeviceHandle)
{
    OvraLogInfo("** %s", __func__);
    return plainCommand(m_pDeviceHandle, OVRA_SCAN_CLASS_SCAN, OVRA_SCAN_CODE_UNLOCK, CMD_TYPE_SCAN_UNLOCK);
}

int ScanGetScanSizes(int m_pDeviceHandle)
{
    OvraLogInfo("** %s", __func__);
    return plainCommand(m_pDeviceHandle, OVRA_SCAN_CLASS_SCAN, OVRA_SCAN_CODE_GET_SCAN_SIZES,
                        CMD_TYPE_SCAN_GET_SCAN_SIZES);
}

int ScanAbort(int m_pDeviceHandle)
{
    OvraLogInfo("** %s", __func__);
    ReqCommon header = commandHeader(OVRA_SCAN_CLASS_SCAN, OVRA_SCAN_CODE_ABORT);
    int ret = RequestScanner(m_pDeviceHandle, &header, sizeof(header));
    ovra_reset_device(m_pDeviceHandle);
    return ret;
}

int ScanPowerOn(int m_pDeviceHandle, int* warmUpSeconds)
{
    OvraLogInfo("** %s", __func__);
    int ret =
        plainCommand(m_pDeviceHandle, OVRA_SCAN_CLASS_POWER, OVRA_SCAN_CODE_POWER_ON, CMD_TYPE_SCAN_POWER_ON_COMMAND);
    if (ret == OVRA_STATUS_GOOD) {
        const ResScanPowerOnCommand* res = reinterpret_cast<const ResScanPowerOnCommand*>(m_ResComBuf);
        OvraLogInfo("ScanPowerOn Sleep: %d seconds for the scanner to warm prior to scanning.", res->timeToScan);
        if (warmUpSeconds)
            *warmUpSeconds = res->timeToScan;
    }
    return ret;
}
