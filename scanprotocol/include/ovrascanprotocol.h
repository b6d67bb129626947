// Wire records of the scan client protocol (TCP, port 7001) and the scan types
// the client shares with the daemon.
//
// Every record travels as it lies in memory on the host: native byte order
// (little-endian on x86-64), natural alignment, padding included in the sizes.
// Integers are 32-bit signed unless noted, enumerations 32-bit, a wire "bool"
// is one byte holding 0 or 1, a char array of N bytes holds a NUL-terminated
// string. An exchange on the wire is: 4-byte scanCommandType, then the request
// record of that command, then (for most commands) the reply record.
//
// This header depends on nothing but the C++ runtime so that clients can use it.
#pragma once

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------------------
// Connection and limits
// ---------------------------------------------------------------------------

// The daemon's listening port on 127.0.0.1.
constexpr uint16_t OVRA_SCAN_DAEMON_DEFAULT_PORT = 7001;
// The maker's USB vendor ID (the model table's). USB_FIND_DEV and USB_REOPEN_DEV find
// only devices of this vendor, whatever vendor a client names.
constexpr uint16_t OVRA_USB_VENDOR_ID = 0x3A53;
// Most device records one USB_FIND_DEV (and USB_REOPEN_DEV) looks at.
constexpr int OVRA_USB_DEV_MAX = 64;
// Sizes of the character arrays.
constexpr size_t OVRA_FILE_NAME_SIZE = 256;
constexpr size_t OVRA_USB_STRING_SIZE = 1024;
constexpr size_t OVRA_SCANNER_IP_SIZE = 16;
// Longest reply text of TCP_SEND_OSL.
constexpr int OVRA_OSL_REPLY_MAX = 8192;

// ---------------------------------------------------------------------------
// Result codes (numbering of the SANE_Status enumeration). A negative value
// passes through a failed USB transfer.
// ---------------------------------------------------------------------------
enum enOvraStatus : int32_t {
    OVRA_STATUS_GOOD = 0,
    OVRA_STATUS_UNSUPPORTED = 1,
    OVRA_STATUS_CANCELLED = 2,
    OVRA_STATUS_DEVICE_BUSY = 3,
    OVRA_STATUS_INVAL = 4,
    OVRA_STATUS_EOF = 5,
    OVRA_STATUS_JAMMED = 6,
    OVRA_STATUS_NO_DOCS = 7,
    OVRA_STATUS_COVER_OPEN = 8,
    OVRA_STATUS_IO_ERROR = 9,
    OVRA_STATUS_NO_MEM = 10,
    OVRA_STATUS_ACCESS_DENIED = 11
};

// ---------------------------------------------------------------------------
// Command codes: the 4 bytes in front of every request record.
// ---------------------------------------------------------------------------
enum scanCommandType : int32_t {
    USB_FIND_DEV = 0,
    USB_OPEN_DEV = 1,
    USB_CLOSE_DEV = 2,
    USB_CLEAR_DEV = 3,
    USB_RESET_DEVEP = 4,
    USB_SCAN_START = 5,
    USB_SCAN_ABORT = 6,
    USB_SCAN_LOCK = 7,
    USB_SCAN_UNLOCK = 8,
    USB_SCAN_ADFSTATUS = 9,
    USB_SCAN_POWERON = 10,
    USB_SCAN_GETSIZES = 11,
    USB_SCAN_DEVPROPERTIES = 12,
    TCP_SEND_OSL = 13,
    TCP_SCAN_START = 14,
    TCP_SCAN_ABORT = 15,
    TCP_SCAN_ADFST = 16,
    TCP_SCAN_DEVPROPERTIES = 17,
    USB_REOPEN_DEV = 18,
    CMD_DELETE_FILE = 19
};
constexpr int32_t OVRA_SCAN_COMMAND_COUNT = 20;

// ---------------------------------------------------------------------------
// Scan types shared with the scanners
// ---------------------------------------------------------------------------
enum CompressionType : int32_t {
    COMPRESSION_NONE = 0,
    COMPRESSION_WICKED = 1,
    COMPRESSION_JPEG = 2
};

// Status of a scan record (6 is not defined).
enum ScanStatus : int32_t {
    SCAN_STATUS_OPERATION_CONTINUOUS = 0,
    SCAN_STATUS_END_OF_DATA = 1,
    SCAN_STATUS_ABORTED_OUT_OF_MEMORY = 2,
    SCAN_STATUS_ABORTED_BY_REQUEST = 3,
    SCAN_STATUS_ABORTED_BY_DEVICE = 4,
    SCAN_STATUS_ABORTED_PAPER_JAM = 5,
    SCAN_STATUS_END_OF_PAGE = 7,
    SCAN_STATUS_BEGIN_OF_SCAN = 8,
    SCAN_STATUS_BEGIN_OF_PAGE = 9
};

enum ADFStatus : int32_t {
    ADF_STATUS_UNKNOWN = 0, // the scanner's answer named no feeder state
    ADF_STATUS_EMPTY = 1,
    ADF_STATUS_LOADED = 2,
    ADF_STATUS_PAPER_JAM = 3
};

// Attribute requests of a network scanner (port 5000).
enum OSL_CMD_TYPE : int32_t {
    OSL_CMD_FAMILYTYPE = 0,
    OSL_CMD_GETLIST = 1,
    OSL_CMD_SUMMARY = 2
};

// Scan settings sent by the client in USB_SCAN_LOCK and TCP_SCAN_START.
typedef struct tagSettingInfo {
    uint8_t bitDepth; // 1 black and white, 8 grey, 24 colour
    uint8_t pad1[3];
    CompressionType compType;
    uint32_t width;
    uint32_t height;
    uint32_t xStart;
    uint32_t yStart;
    uint16_t xResolution;
    uint16_t yResolution;
    uint8_t feederEnabled;     // bool: scan from the document feeder
    uint8_t backgroundRemoval; // non-zero switches background removal on
    uint8_t backgroundRemovalParam;
    uint8_t BrightnessParam;
    uint8_t ContrastParam;
    uint8_t isClient; // feeder scans: non-zero multi-page, 0 single page
    uint8_t pad2[2];
} SettingInfo;

// Header of every USB scanner response (8 bytes).
struct ResCommon {
    uint8_t cmdStart;
    uint8_t cmdClass;
    uint8_t cmdCode;
    uint8_t subCmdCode;
    uint16_t dataSize;
    uint8_t flags;
    uint8_t reserved;
};

// USB scanner properties, header included, passed to the client unchanged.
struct ResScanDeviceProperties {
    ResCommon common;
    uint8_t majorVersion;
    uint8_t minorVersion;
    uint8_t customStr; // bool
    uint8_t compression;
    uint8_t boundery24;
    uint8_t boundery8;
    uint8_t pad1[2];
    uint32_t supportProcessing;
    uint16_t deviceCaps;
    uint8_t sources;
    uint8_t pad2;
};

// Capabilities of a network scanner.
typedef struct tagScannerCapabilities {
    uint8_t duplex; // bool
    uint8_t color;  // bool
    uint8_t pad1[2];
    uint32_t minres;
    uint32_t maxres;
    uint32_t width_format;
    uint32_t family;
    uint8_t permprofiles; // bool
    uint8_t profile;      // bool
    uint8_t pad2[2];
    uint32_t maxWidth;
    uint32_t maxHeight;
    uint32_t basicres;
} ScannerCapabilities;

// A network scanner: the daemon-side descriptor of its data connection (any
// value when there is none yet) and its dotted IPv4 address.
struct OvraSocket {
    int32_t tcpFromScanner;
    char szScannerIP[OVRA_SCANNER_IP_SIZE];
};

// ---------------------------------------------------------------------------
// Request records
// ---------------------------------------------------------------------------
struct USBFindDevReq {
    int32_t vid;            // low 16 bits used
    int32_t pid;            // low 16 bits used
    uint8_t compareWithPID; // bool
    uint8_t pad[3];
};

struct USBCommonReq {
    int32_t devfd;
};

struct USBClearDevEpReq {
    int32_t devfd;
    uint32_t ep;
};

struct USBResetDevEpReq {
    int32_t devfd;
    uint32_t ep;
};

struct USBScanLockReq {
    int32_t devfd;
    SettingInfo info;
};

struct USBScanAbortReq {
    int32_t devfd;
    char fileName[OVRA_FILE_NAME_SIZE]; // base name from USBScanStartRes
};

struct USBReopenDevReq {
    int32_t devfd; // the handle to give up
    int32_t vid;
    int32_t pid;
    char SerialNumber[OVRA_USB_STRING_SIZE];
};

struct CmdDeleteFileReq {
    char fileName[OVRA_FILE_NAME_SIZE]; // full path of one page file
};

struct TCPCommonReq {
    OvraSocket socket;
};

struct TCPOSLReq {
    OvraSocket socket;
    OSL_CMD_TYPE type;
};

struct TCPScanStartReq {
    OvraSocket socket;
    SettingInfo info;
};

struct TCPScanAbortReq {
    OvraSocket socket;
    char fileName[OVRA_FILE_NAME_SIZE]; // base name from TCPScanStartRes
};

// ---------------------------------------------------------------------------
// Reply records
// ---------------------------------------------------------------------------
struct USBFindDevRes {
    int32_t fd;
    int32_t vid;
    int32_t pid;
    char Manufacturer[OVRA_USB_STRING_SIZE];
    char Product[OVRA_USB_STRING_SIZE];
    char SerialNumber[OVRA_USB_STRING_SIZE];
};

struct USBScanStartRes {
    int32_t result;
    char fileName[OVRA_FILE_NAME_SIZE]; // base name of the scan's page files
};

struct USBScanRecordRes {
    ScanStatus st;
    int32_t fileIndex;
    int32_t dataSize;
    int32_t result;
};

struct USBScanAdfStatusRes {
    ADFStatus st;
    int32_t result;
};

struct USBScanDevicePropertiesRes {
    ResScanDeviceProperties st;
    int32_t result;
};

struct USBReopenDevRes {
    int32_t ret;
    int32_t fd;
};

struct TCPOSLRes {
    int32_t result;
    int32_t bufferLen; // bytes of reply text that follow
};

struct TCPScanStartRes {
    int32_t result;
    int32_t socketDataFd;
    char fileName[OVRA_FILE_NAME_SIZE];
};

// Note the field order differs from USBScanRecordRes.
struct TCPRecordRes {
    int32_t result;
    int32_t bufferLen;
    int32_t fileIndex;
    ScanStatus st;
};

struct TCPADFStatusRes {
    int32_t result;
    ADFStatus st;
};

struct TCPDevPropertiesRes {
    int32_t result;
    ScannerCapabilities devPro;
};

// Size of the request record that follows a command code; 0 for an undefined code.
constexpr size_t ovra_scan_request_size(int32_t command)
{
    switch (command) {
    case USB_FIND_DEV: return sizeof(USBFindDevReq);
    case USB_OPEN_DEV:
    case USB_CLOSE_DEV:
    case USB_SCAN_START:
    case USB_SCAN_UNLOCK:
    case USB_SCAN_ADFSTATUS:
    case USB_SCAN_POWERON:
    case USB_SCAN_GETSIZES:
    case USB_SCAN_DEVPROPERTIES: return sizeof(USBCommonReq);
    case USB_CLEAR_DEV: return sizeof(USBClearDevEpReq);
    case USB_RESET_DEVEP: return sizeof(USBResetDevEpReq);
    case USB_SCAN_ABORT: return sizeof(USBScanAbortReq);
    case USB_SCAN_LOCK: return sizeof(USBScanLockReq);
    case TCP_SEND_OSL: return sizeof(TCPOSLReq);
    case TCP_SCAN_START: return sizeof(TCPScanStartReq);
    case TCP_SCAN_ABORT: return sizeof(TCPScanAbortReq);
    case TCP_SCAN_ADFST:
    case TCP_SCAN_DEVPROPERTIES: return sizeof(TCPCommonReq);
    case USB_REOPEN_DEV: return sizeof(USBReopenDevReq);
    case CMD_DELETE_FILE: return sizeof(CmdDeleteFileReq);
    default: return 0;
    }
}

// ---------------------------------------------------------------------------
// Layout checks: these sizes and offsets are the protocol.
// ---------------------------------------------------------------------------
#define OVRA_WIRE_SIZE(T, n) static_assert(sizeof(T) == (n), #T " must be " #n " bytes")
#define OVRA_WIRE_AT(T, f, n) static_assert(offsetof(T, f) == (n), #T "::" #f " must lie at " #n)

static_assert(sizeof(bool) == 1, "a wire bool is one byte");
OVRA_WIRE_SIZE(scanCommandType, 4);
OVRA_WIRE_SIZE(CompressionType, 4);
OVRA_WIRE_SIZE(ScanStatus, 4);
OVRA_WIRE_SIZE(ADFStatus, 4);
OVRA_WIRE_SIZE(OSL_CMD_TYPE, 4);

OVRA_WIRE_SIZE(SettingInfo, 36);
OVRA_WIRE_AT(SettingInfo, bitDepth, 0);
OVRA_WIRE_AT(SettingInfo, compType, 4);
OVRA_WIRE_AT(SettingInfo, width, 8);
OVRA_WIRE_AT(SettingInfo, height, 12);
OVRA_WIRE_AT(SettingInfo, xStart, 16);
OVRA_WIRE_AT(SettingInfo, yStart, 20);
OVRA_WIRE_AT(SettingInfo, xResolution, 24);
OVRA_WIRE_AT(SettingInfo, yResolution, 26);
OVRA_WIRE_AT(SettingInfo, feederEnabled, 28);
OVRA_WIRE_AT(SettingInfo, backgroundRemoval, 29);
OVRA_WIRE_AT(SettingInfo, backgroundRemovalParam, 30);
OVRA_WIRE_AT(SettingInfo, BrightnessParam, 31);
OVRA_WIRE_AT(SettingInfo, ContrastParam, 32);
OVRA_WIRE_AT(SettingInfo, isClient, 33);

OVRA_WIRE_SIZE(ResCommon, 8);
OVRA_WIRE_AT(ResCommon, cmdStart, 0);
OVRA_WIRE_AT(ResCommon, cmdClass, 1);
OVRA_WIRE_AT(ResCommon, cmdCode, 2);
OVRA_WIRE_AT(ResCommon, subCmdCode, 3);
OVRA_WIRE_AT(ResCommon, dataSize, 4);
OVRA_WIRE_AT(ResCommon, flags, 6);
OVRA_WIRE_AT(ResCommon, reserved, 7);

OVRA_WIRE_SIZE(ResScanDeviceProperties, 24);
OVRA_WIRE_AT(ResScanDeviceProperties, majorVersion, 8);
OVRA_WIRE_AT(ResScanDeviceProperties, minorVersion, 9);
OVRA_WIRE_AT(ResScanDeviceProperties, customStr, 10);
OVRA_WIRE_AT(ResScanDeviceProperties, compression, 11);
OVRA_WIRE_AT(ResScanDeviceProperties, boundery24, 12);
OVRA_WIRE_AT(ResScanDeviceProperties, boundery8, 13);
OVRA_WIRE_AT(ResScanDeviceProperties, supportProcessing, 16);
OVRA_WIRE_AT(ResScanDeviceProperties, deviceCaps, 20);
OVRA_WIRE_AT(ResScanDeviceProperties, sources, 22);

OVRA_WIRE_SIZE(ScannerCapabilities, 36);
OVRA_WIRE_AT(ScannerCapabilities, duplex, 0);
OVRA_WIRE_AT(ScannerCapabilities, color, 1);
OVRA_WIRE_AT(ScannerCapabilities, minres, 4);
OVRA_WIRE_AT(ScannerCapabilities, maxres, 8);
OVRA_WIRE_AT(ScannerCapabilities, width_format, 12);
OVRA_WIRE_AT(ScannerCapabilities, family, 16);
OVRA_WIRE_AT(ScannerCapabilities, permprofiles, 20);
OVRA_WIRE_AT(ScannerCapabilities, profile, 21);
OVRA_WIRE_AT(ScannerCapabilities, maxWidth, 24);
OVRA_WIRE_AT(ScannerCapabilities, maxHeight, 28);
OVRA_WIRE_AT(ScannerCapabilities, basicres, 32);

OVRA_WIRE_SIZE(OvraSocket, 20);
OVRA_WIRE_AT(OvraSocket, tcpFromScanner, 0);
OVRA_WIRE_AT(OvraSocket, szScannerIP, 4);

OVRA_WIRE_SIZE(USBFindDevReq, 12);
OVRA_WIRE_AT(USBFindDevReq, vid, 0);
OVRA_WIRE_AT(USBFindDevReq, pid, 4);
OVRA_WIRE_AT(USBFindDevReq, compareWithPID, 8);
OVRA_WIRE_SIZE(USBCommonReq, 4);
OVRA_WIRE_SIZE(USBClearDevEpReq, 8);
OVRA_WIRE_AT(USBClearDevEpReq, ep, 4);
OVRA_WIRE_SIZE(USBResetDevEpReq, 8);
OVRA_WIRE_AT(USBResetDevEpReq, ep, 4);
OVRA_WIRE_SIZE(USBScanLockReq, 40);
OVRA_WIRE_AT(USBScanLockReq, info, 4);
OVRA_WIRE_SIZE(USBScanAbortReq, 260);
OVRA_WIRE_AT(USBScanAbortReq, fileName, 4);
OVRA_WIRE_SIZE(USBReopenDevReq, 1036);
OVRA_WIRE_AT(USBReopenDevReq, vid, 4);
OVRA_WIRE_AT(USBReopenDevReq, pid, 8);
OVRA_WIRE_AT(USBReopenDevReq, SerialNumber, 12);
OVRA_WIRE_SIZE(CmdDeleteFileReq, 256);
OVRA_WIRE_SIZE(TCPCommonReq, 20);
OVRA_WIRE_SIZE(TCPOSLReq, 24);
OVRA_WIRE_AT(TCPOSLReq, type, 20);
OVRA_WIRE_SIZE(TCPScanStartReq, 56);
OVRA_WIRE_AT(TCPScanStartReq, info, 20);
OVRA_WIRE_SIZE(TCPScanAbortReq, 276);
OVRA_WIRE_AT(TCPScanAbortReq, fileName, 20);

OVRA_WIRE_SIZE(USBFindDevRes, 3084);
OVRA_WIRE_AT(USBFindDevRes, fd, 0);
OVRA_WIRE_AT(USBFindDevRes, vid, 4);
OVRA_WIRE_AT(USBFindDevRes, pid, 8);
OVRA_WIRE_AT(USBFindDevRes, Manufacturer, 12);
OVRA_WIRE_AT(USBFindDevRes, Product, 1036);
OVRA_WIRE_AT(USBFindDevRes, SerialNumber, 2060);
OVRA_WIRE_SIZE(USBScanStartRes, 260);
OVRA_WIRE_AT(USBScanStartRes, fileName, 4);
OVRA_WIRE_SIZE(USBScanRecordRes, 16);
OVRA_WIRE_AT(USBScanRecordRes, st, 0);
OVRA_WIRE_AT(USBScanRecordRes, fileIndex, 4);
OVRA_WIRE_AT(USBScanRecordRes, dataSize, 8);
OVRA_WIRE_AT(USBScanRecordRes, result, 12);
OVRA_WIRE_SIZE(USBScanAdfStatusRes, 8);
OVRA_WIRE_AT(USBScanAdfStatusRes, result, 4);
OVRA_WIRE_SIZE(USBScanDevicePropertiesRes, 28);
OVRA_WIRE_AT(USBScanDevicePropertiesRes, result, 24);
OVRA_WIRE_SIZE(USBReopenDevRes, 8);
OVRA_WIRE_AT(USBReopenDevRes, fd, 4);
OVRA_WIRE_SIZE(TCPOSLRes, 8);
OVRA_WIRE_AT(TCPOSLRes, bufferLen, 4);
OVRA_WIRE_SIZE(TCPScanStartRes, 264);
OVRA_WIRE_AT(TCPScanStartRes, socketDataFd, 4);
OVRA_WIRE_AT(TCPScanStartRes, fileName, 8);
OVRA_WIRE_SIZE(TCPRecordRes, 16);
OVRA_WIRE_AT(TCPRecordRes, result, 0);
OVRA_WIRE_AT(TCPRecordRes, bufferLen, 4);
OVRA_WIRE_AT(TCPRecordRes, fileIndex, 8);
OVRA_WIRE_AT(TCPRecordRes, st, 12);
OVRA_WIRE_SIZE(TCPADFStatusRes, 8);
OVRA_WIRE_AT(TCPADFStatusRes, st, 4);
OVRA_WIRE_SIZE(TCPDevPropertiesRes, 40);
OVRA_WIRE_AT(TCPDevPropertiesRes, devPro, 4);

#undef OVRA_WIRE_SIZE
#undef OVRA_WIRE_AT
