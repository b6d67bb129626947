// The lock command: the scan settings as the scanner takes them.
#include "usbscanner.h"

#include <cstring>

namespace {

uint8_t lockDepth(uint8_t bitDepth)
{
    if (bitDepth == 1)
        return 1;
    if (bitDepth == 8)
        return 2;
    return 3;
}

// Feeder scans run at 600 dpi at most.
uint16_t lockResolution(const SettingInfo& info, uint16_t resolution)
{
    return info.feederEnabled && resolution == 1200 ? 600 : resolution;
}

uint8_t lockSource(const SettingInfo& info)
{
    if (!info.feederEnabled)
        return SCAN_SOURCE_FLATBED_SINGLE_PAGE;
    return info.isClient ? SCAN_SOURCE_ADF_MULTI_PAGE : SCAN_SOURCE_ADF_SINGLE_PAGE;
}

} // namespace

ReqScanLock buildScanLock(const SettingInfo& info)
{
    ReqScanLock lock;
    memset(&lock, 0, sizeof(lock));
    lock.common.cmdStart = OVRA_SCAN_CMD_START;
    lock.common.cmdClass = OVRA_SCAN_CLASS_SCAN;
    lock.common.cmdCode = OVRA_SCAN_CODE_LOCK;
    lock.common.subCmdCode = 0;
    lock.common.dataSize = OVRA_SCAN_LOCK_DATA_SIZE;
    lock.common.flags = OVRA_SCAN_FLAG_COMMAND;
    lock.depth = lockDepth(info.bitDepth);
    lock.duplex = 1;
    lock.brightness = info.BrightnessParam;
    lock.contrast = info.ContrastParam;
    lock.width = info.width;
    lock.height = info.height;
    lock.xOffset = info.xStart;
    lock.yOffset = info.yStart;
    lock.xResolution = lockResolution(info, info.xResolution);
    lock.yResolution = lockResolution(info, info.yResolution);
    lock.scanSource = lockSource(info);
    lock.compressionMode = static_cast<uint8_t>(info.compType & 0xFF);
    lock.compressionLevel = (info.compType == COMPRESSION_WICKED || info.compType == COMPRESSION_JPEG) ? 70 : 0;
    if (info.bitDepth == 1) {
        lock.compressionMode = 0;
        lock.compressionLevel = 0;
    }
    lock.backgroundRemoval = info.backgroundRemoval ? 1 : 0;
    lock.backgroundRemovalParam = info.backgroundRemovalParam;
    lock.filter = 3;
    return lock;
}
