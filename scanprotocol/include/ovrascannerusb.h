// Wire records of the USB scanner command protocol: 8-byte command and
// response headers on bulk endpoints 0x02 (out) and 0x82 (in), little-endian,
// sent and received as they lie in memory.
#pragma once

#include "ovrascanprotocol.h"
#include "ovrascanresponse.h"

constexpr uint8_t OVRA_SCAN_CMD_START = 0x1B;
constexpr uint8_t OVRA_SCAN_CLASS_SCAN = 0x53;
constexpr uint8_t OVRA_SCAN_CLASS_POWER = 0x44;
constexpr uint8_t OVRA_SCAN_FLAG_COMMAND = 0x80;

// Command codes (cmdCode) of class 0x53, and 0x04 of class 0x44 (power on).
constexpr uint8_t OVRA_SCAN_CODE_START = 0x01;
constexpr uint8_t OVRA_SCAN_CODE_RECORD = 0x02;
constexpr uint8_t OVRA_SCAN_CODE_DEVICE_PROPERTIES = 0x03;
constexpr uint8_t OVRA_SCAN_CODE_ADF_STATUS = 0x04;
constexpr uint8_t OVRA_SCAN_CODE_LOCK = 0x05;
constexpr uint8_t OVRA_SCAN_CODE_UNLOCK = 0x06;
constexpr uint8_t OVRA_SCAN_CODE_GET_SCAN_SIZES = 0x0A;
constexpr uint8_t OVRA_SCAN_CODE_ABORT = 0x0F;
constexpr uint8_t OVRA_SCAN_CODE_POWER_ON = 0x04;

constexpr uint8_t OVRA_SCAN_EP_OUT = 0x02;
constexpr uint8_t OVRA_SCAN_EP_IN = 0x82;

// Bytes of a scan record's payload that come before its image data: the
// image part of a record is its dataSize minus this.
constexpr int OVRA_SCAN_RECORD_HEADER_PAYLOAD = 23;

// Kind of response the daemon waits for.
enum CommandType : int32_t {
    CMD_TYPE_SCAN_START = 0,
    CMD_TYPE_SCAN_DEVICE_PROPERTIES = 1,
    CMD_TYPE_SCAN_ADF_STATUS = 2,
    CMD_TYPE_SCAN_LOCK = 3,
    CMD_TYPE_SCAN_UNLOCK = 4,
    CMD_TYPE_SCAN_GET_SCAN_SIZES = 5,
    CMD_TYPE_SCAN_ABORT = 6,
    CMD_TYPE_SCAN_POWER_ON_COMMAND = 7,
    CMD_TYPE_SCAN_RECORD = 8
};

enum ScanSource : uint8_t {
    SCAN_SOURCE_AUTO = 0,
    SCAN_SOURCE_FLATBED_SINGLE_PAGE = 1,
    SCAN_SOURCE_FLATBED_MULTI_PAGE = 2,
    SCAN_SOURCE_ADF_MULTI_PAGE = 3,
    SCAN_SOURCE_ADF_SINGLE_PAGE = 4
};

// Command header; same layout as ResCommon.
struct ReqCommon {
    uint8_t cmdStart;
    uint8_t cmdClass;
    uint8_t cmdCode;
    uint8_t subCmdCode;
    uint16_t dataSize;
    uint8_t flags;
    uint8_t reserved;
};

// The lock command: 56 bytes in memory, the first 55 go on the wire.
struct ReqScanLock {
    ReqCommon common;
    uint8_t depth;
    uint8_t compressionMode;
    uint8_t compressionLevel;
    uint8_t filter;
    uint32_t width;
    uint32_t height;
    uint32_t xOffset;
    uint32_t yOffset;
    uint16_t xResolution;
    uint16_t yResolution;
    uint8_t scanSource;
    uint8_t duplex;
    uint8_t mirror;
    uint8_t negative;
    uint8_t useColorDropout;
    uint8_t colorDropoutRed;
    uint8_t colorDropoutBlue;
    uint8_t colorDropoutGreen;
    uint8_t colorDropoutThreshold;
    uint8_t backgroundRemoval;
    uint8_t backgroundRemovalParam;
    uint8_t edit;
    uint8_t descreen;
    uint8_t brightness;
    uint8_t contrast;
    uint8_t originalDocumentSource;
    uint8_t sharpen;
    uint8_t colorTemperature;
    uint8_t colorSaturation;
    uint8_t useColorBalance;
    uint8_t colorBalanceRed;
    uint8_t colorBalanceBlue;
    uint8_t colorBalanceGreen;
    uint8_t pad;
};
constexpr unsigned OVRA_SCAN_LOCK_WIRE_SIZE = 55;
constexpr uint16_t OVRA_SCAN_LOCK_DATA_SIZE = 47;

struct ResScanGetScanSize {
    ResCommon common;
    uint8_t mumOfList;
    uint8_t pad;
};

struct ResScanPowerOnCommand {
    ResCommon common;
    uint8_t timeToScan; // warm-up time in seconds
    uint8_t pad;
};

// Header of a scan record (1B 53 02). The image bytes follow in separate
// transfers; their count is dataSize - OVRA_SCAN_RECORD_HEADER_PAYLOAD.
struct __attribute__((packed)) ResScanRecord {
    ResCommon common;
    uint8_t status; // a ScanStatus
    uint8_t flip;
    uint8_t split;
    uint32_t width;
    uint32_t height;
    uint32_t xOffset;
    uint32_t yOffset;
    uint32_t tmp;
};

static_assert(sizeof(ReqCommon) == 8, "ReqCommon must be 8 bytes");
static_assert(offsetof(ReqCommon, dataSize) == 4, "ReqCommon::dataSize must lie at 4");
static_assert(offsetof(ReqCommon, flags) == 6, "ReqCommon::flags must lie at 6");
static_assert(offsetof(ReqCommon, reserved) == 7, "ReqCommon::reserved must lie at 7");
static_assert(sizeof(ReqScanLock) == 56, "ReqScanLock must be 56 bytes");
static_assert(offsetof(ReqScanLock, depth) == 8, "ReqScanLock::depth");
static_assert(offsetof(ReqScanLock, compressionMode) == 9, "ReqScanLock::compressionMode");
static_assert(offsetof(ReqScanLock, compressionLevel) == 10, "ReqScanLock::compressionLevel");
static_assert(offsetof(ReqScanLock, filter) == 11, "ReqScanLock::filter");
static_assert(offsetof(ReqScanLock, width) == 12, "ReqScanLock::width");
static_assert(offsetof(ReqScanLock, height) == 16, "ReqScanLock::height");
static_assert(offsetof(ReqScanLock, xOffset) == 20, "ReqScanLock::xOffset");
static_assert(offsetof(ReqScanLock, yOffset) == 24, "ReqScanLock::yOffset");
static_assert(offsetof(ReqScanLock, xResolution) == 28, "ReqScanLock::xResolution");
static_assert(offsetof(ReqScanLock, yResolution) == 30, "ReqScanLock::yResolution");
static_assert(offsetof(ReqScanLock, scanSource) == 32, "ReqScanLock::scanSource");
static_assert(offsetof(ReqScanLock, duplex) == 33, "ReqScanLock::duplex");
static_assert(offsetof(ReqScanLock, negative) == 35, "ReqScanLock::negative");
static_assert(offsetof(ReqScanLock, backgroundRemoval) == 41, "ReqScanLock::backgroundRemoval");
static_assert(offsetof(ReqScanLock, backgroundRemovalParam) == 42, "ReqScanLock::backgroundRemovalParam");
static_assert(offsetof(ReqScanLock, edit) == 43, "ReqScanLock::edit");
static_assert(offsetof(ReqScanLock, brightness) == 45, "ReqScanLock::brightness");
static_assert(offsetof(ReqScanLock, contrast) == 46, "ReqScanLock::contrast");
static_assert(offsetof(ReqScanLock, originalDocumentSource) == 47, "ReqScanLock::originalDocumentSource");
static_assert(offsetof(ReqScanLock, colorBalanceGreen) == 54, "ReqScanLock::colorBalanceGreen");
static_assert(sizeof(ResScanGetScanSize) == 10, "ResScanGetScanSize must be 10 bytes");
static_assert(offsetof(ResScanGetScanSize, mumOfList) == 8, "ResScanGetScanSize::mumOfList");
static_assert(sizeof(ResScanPowerOnCommand) == 10, "ResScanPowerOnCommand must be 10 bytes");
static_assert(offsetof(ResScanPowerOnCommand, timeToScan) == 8, "ResScanPowerOnCommand::timeToScan");
static_assert(sizeof(ResScanRecord) == 8 + OVRA_SCAN_RECORD_HEADER_PAYLOAD, "ResScanRecord payload is 23 bytes");
static_assert(offsetof(ResScanRecord, status) == 8, "ResScanRecord::status");
