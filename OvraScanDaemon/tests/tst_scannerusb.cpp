// The USB scanner command protocol against a fake scanner: response flags,
// command and response headers, the lock command, record reading.
#include "fakeusb.h"
#include "scanlog.h"
#include "scanpaths.h"
#include "testcheck.h"
#include "testsupport.h"
#include "usbscanner.h"

#include <cstdlib>
#include <iterator>
#include <unistd.h>

namespace {

Bytes header(const stFakeUsbDevice& dev, size_t write)
{
    return write < dev.writes.size() ? dev.writes[write] : Bytes();
}

void responseFlagsAsStatus()
{
    OvraInitDbg();
    struct {
        unsigned char flag;
        CommandType type;
        int expected;
    } cases[] = {
        {0x80, CMD_TYPE_SCAN_LOCK, 0},
        {0x81, CMD_TYPE_SCAN_START, 9},
        {0x82, CMD_TYPE_SCAN_UNLOCK, 9},
        {0x83, CMD_TYPE_SCAN_START, 9},
        {0x84, CMD_TYPE_SCAN_POWER_ON_COMMAND, 9},
        {0x85, CMD_TYPE_SCAN_LOCK, 9},
        {0x86, CMD_TYPE_SCAN_ADF_STATUS, 9},
        {0x88, CMD_TYPE_SCAN_LOCK, 3},
        {0x88, CMD_TYPE_SCAN_START, 9},
        {0x88, CMD_TYPE_SCAN_POWER_ON_COMMAND, 9},
        {0x88, CMD_TYPE_SCAN_UNLOCK, 9},
        {0x89, CMD_TYPE_SCAN_LOCK, 9},
        {0x89, CMD_TYPE_SCAN_START, 9},
        {0x87, CMD_TYPE_SCAN_LOCK, 0},
        {0x00, CMD_TYPE_SCAN_START, 0},
        {0x8A, CMD_TYPE_SCAN_START, 0},
        {0xFF, CMD_TYPE_SCAN_LOCK, 0},
    };
    for (const auto& c : cases) {
        if (!CHECK_EQ(ConvertResponseFlagToErrorCode(c.flag, c.type), c.expected))
            fprintf(stderr, "  flag 0x%02x type %d\n", c.flag, c.type);
    }
    std::string info = readFile(scanInfoLogPath());
    std::string err = readFile(scanErrLogPath());
    CHECK(info.find("[OvraScanSDK] Response: Command was successfully executed\n") != std::string::npos);
    CHECK(err.find("Command was successfully") == std::string::npos);
    CHECK(err.find("[OvraScanSDK] Response: Lock could not be obtained - scanner resource is already locked\n")
          != std::string::npos);
    CHECK(err.find("[OvraScanSDK] Response: Invalid scan request - parameter error\n") != std::string::npos);
    CHECK(err.find("[OvraScanSDK] Response flag is unknown [0x87]\n") != std::string::npos);
    CHECK(err.find("[OvraScanSDK] Response flag is unknown [0x88]\n") != std::string::npos);
    CHECK(err.find("[OvraScanSDK] Response: Lock could not be obtained because device doesn't have enough memory "
                   "to perform scan\n")
          != std::string::npos);
}

void plainCommandHeaders()
{
    stAttachedDevice f;
    // The commands without a payload, and the class and code of the header each one writes.
    const struct {
        int (*send)(int fd);
        uint8_t cmdClass;
        uint8_t cmdCode;
    } rows[] = {
        {ScanStart, OVRA_SCAN_CLASS_SCAN, OVRA_SCAN_CODE_START},
        {ScanUnlock, OVRA_SCAN_CLASS_SCAN, OVRA_SCAN_CODE_UNLOCK},
        {ScanGetScanSizes, OVRA_SCAN_CLASS_SCAN, OVRA_SCAN_CODE_GET_SCAN_SIZES},
        {[](int fd) { return ScanPowerOn(fd); }, OVRA_SCAN_CLASS_POWER, OVRA_SCAN_CODE_POWER_ON},
        {ScanAbort, OVRA_SCAN_CLASS_SCAN, OVRA_SCAN_CODE_ABORT},
    };
    for (const auto& row : rows)
        CHECK_EQ(row.send(f.fd), OVRA_STATUS_GOOD);
    for (size_t i = 0; i < std::size(rows); ++i) {
        const Bytes expected = {
            OVRA_SCAN_CMD_START, rows[i].cmdClass, rows[i].cmdCode, 0, 0, 0, OVRA_SCAN_FLAG_COMMAND, 0};
        if (!CHECK(header(*f.dev, i) == expected))
            fprintf(stderr, "  command %zu (code 0x%02x)\n", i, rows[i].cmdCode);
    }
    CHECK_EQ(f.dev->resets, 1);      // the abort resets the device
    CHECK(f.dev->responses.empty()); // and reads no response
}

void responsePayloads()
{
    stAttachedDevice f;
    Bytes props = {1, 2, 1, 3, 4, 5, 0, 0, 0x78, 0x56, 0x34, 0x12, 0x22, 0x11, 0x07, 0};
    f.dev->answers[0x5303] = ScanResponse(0x03, 0x80, props);
    ResScanDeviceProperties got = {};
    CHECK_EQ(ScanDeviceProperties(f.fd, &got), 0);
    CHECK_EQ(got.majorVersion, 1);
    CHECK_EQ(got.boundery8, 5);
    CHECK_EQ(got.supportProcessing, 0x12345678u);
    CHECK_EQ(got.deviceCaps, 0x1122);
    CHECK_EQ(got.sources, 7);
    CHECK_EQ(got.common.cmdCode, 0x03);

    // The feeder status is header byte 7, even without a payload.
    f.dev->answers[0x5304] = ScanResponse(0x04, 0x80, {}, ADF_STATUS_LOADED);
    ADFStatus adf = ADF_STATUS_UNKNOWN;
    CHECK_EQ(ScanADFStatus(f.fd, &adf), 0);
    CHECK_EQ(adf, ADF_STATUS_LOADED);
    f.dev->answers[0x5304] = ScanResponse(0x04, 0x82, {}, ADF_STATUS_PAPER_JAM);
    adf = ADF_STATUS_UNKNOWN;
    CHECK_EQ(ScanADFStatus(f.fd, &adf), 9);
    CHECK_EQ(adf, ADF_STATUS_UNKNOWN);

    f.dev->answers[0x4404] = ScanResponse(0x04, 0x80, {12, 0}, 0, 0x44);
    CHECK_EQ(ScanPowerOn(f.fd), 0);
    CHECK(logContains(scanInfoLogPath(),
                      "[OvraScanSDK] ScanPowerOn Sleep: 12 seconds for the scanner to warm prior to scanning.\n"));
}

void responseSkipsAndLimits()
{
    stAttachedDevice f;
    // Stray records and one abort response ahead of the answer are skipped.
    f.dev->answerCommands = false;
    f.dev->responses.push_back(ScanRecordHeader(0, 100));
    f.dev->responses.push_back(ScanRecordHeader(7, 23));
    f.dev->responses.push_back(ScanResponse(0x0F, 0x80));
    f.dev->responses.push_back(ScanResponse(0x01, 0x88));
    CHECK_EQ(ScanStart(f.fd), 9);
    CHECK(f.dev->responses.empty());
    CHECK(logContains(scanInfoLogPath(), "[OvraScanSDK] ScanRecord Response recieve. Retry read.\n"));
    CHECK(logContains(scanInfoLogPath(), "[OvraScanSDK] ScanAbort Response recieve. Retry read.\n"));

    // dataSize 193 or more: 10 without looking at the flag.
    f.dev->responses.push_back(ScanResponse(0x05, 0x80, {}, 0, 0x53, 193));
    CHECK_EQ(ResponseScanner(f.fd, CMD_TYPE_SCAN_LOCK), 10);
    CHECK(logContains(scanErrLogPath(), "[OvraScanSDK] m_ResComBuf is too small. needed = 201\n"));
    f.dev->responses.push_back(ScanResponse(0x05, 0x80, Bytes(184, 0), 0, 0x53, 192));
    CHECK_EQ(ResponseScanner(f.fd, CMD_TYPE_SCAN_LOCK), 0);

    // Nothing in time is "busy", not success; a fragment is an I/O error.
    CHECK_EQ(ResponseScanner(f.fd, CMD_TYPE_SCAN_UNLOCK), 3);
    f.dev->responses.push_back(Bytes{0x1B, 0x53, 0x06});
    CHECK_EQ(ResponseScanner(f.fd, CMD_TYPE_SCAN_UNLOCK), 9);
    // A device that is gone passes the failed read on.
    f.dev->gone = true;
    CHECK(ResponseScanner(f.fd, CMD_TYPE_SCAN_UNLOCK) < 0);
}

void requestStatuses()
{
    stAttachedDevice f;
    f.dev->failWriteSilently = true;
    CHECK_EQ(ScanStart(f.fd), 3);
    f.dev->failWriteSilently = false;
    f.dev->failBulk = true;
    CHECK_EQ(ScanStart(f.fd), 3); // the device still answers: nothing moved
    f.dev->gone = true;
    CHECK_EQ(ScanStart(f.fd), 9);
    CHECK(logContains(scanErrLogPath(), "[OvraScanSDK] RequestScanner failed.\n"));
    CHECK_EQ(RequestScanner(-1, "x", 1), 9);
}

SettingInfo settings(uint8_t bitDepth, CompressionType comp, uint16_t dpi, bool feeder, uint8_t isClient)
{
    SettingInfo info = {};
    info.bitDepth = bitDepth;
    info.compType = comp;
    info.width = 2480;
    info.height = 3508;
    info.xStart = 10;
    info.yStart = 20;
    info.xResolution = dpi;
    info.yResolution = dpi;
    info.feederEnabled = feeder;
    info.isClient = isClient;
    info.BrightnessParam = 55;
    info.ContrastParam = 66;
    return info;
}

void lockCommandBytes()
{
    stAttachedDevice f;
    SettingInfo info = settings(24, COMPRESSION_NONE, 300, false, 0);
    info.backgroundRemoval = 9;
    info.backgroundRemovalParam = 4;
    CHECK_EQ(ScanLock(f.fd, &info), 0);
    Bytes sent = header(*f.dev, 0);
    CHECK_EQ(sent.size(), 55u);
    Bytes expected = {0x1B, 0x53, 0x05, 0, 47, 0,  0x80, 0,  3,  0,    0,    3,    0xB0, 0x09, 0, 0, 0xB4, 0x0D, 0,
                      0,    10,   0,    0, 0,  20, 0,    0,  0,  0x2C, 0x01, 0x2C, 0x01, 1,    1, 0, 0,    0,    0,
                      0,    0,    0,    1, 4,  0,  0,    55, 66, 0,    0,    0,    0,    0,    0, 0, 0};
    CHECK(sent == expected);

    ReqScanLock lock = buildScanLock(settings(8, COMPRESSION_JPEG, 1200, true, 0));
    CHECK_EQ(lock.xResolution, 600);
    CHECK_EQ(lock.yResolution, 600);
    CHECK_EQ(lock.scanSource, SCAN_SOURCE_ADF_SINGLE_PAGE);
    CHECK_EQ(lock.depth, 2);
    CHECK_EQ(lock.compressionMode, 2);
    CHECK_EQ(lock.compressionLevel, 70);
    CHECK_EQ(lock.backgroundRemoval, 0);

    lock = buildScanLock(settings(1, COMPRESSION_JPEG, 1200, false, 0));
    CHECK_EQ(lock.xResolution, 1200);
    CHECK_EQ(lock.yResolution, 1200);
    CHECK_EQ(lock.scanSource, SCAN_SOURCE_FLATBED_SINGLE_PAGE);
    CHECK_EQ(lock.depth, 1);
    CHECK_EQ(lock.compressionMode, 0);
    CHECK_EQ(lock.compressionLevel, 0);

    lock = buildScanLock(settings(24, COMPRESSION_WICKED, 600, true, 1));
    CHECK_EQ(lock.scanSource, SCAN_SOURCE_ADF_MULTI_PAGE);
    CHECK_EQ(lock.compressionMode, 1);
    CHECK_EQ(lock.compressionLevel, 70);
    CHECK_EQ(lock.depth, 3);

    // A scanner that is locked by someone else.
    f.dev->answers[0x5305] = ScanResponse(0x05, 0x88);
    CHECK_EQ(ScanLock(f.fd, &info), 3);
    f.dev->answers[0x5305] = ScanResponse(0x05, 0x89);
    CHECK_EQ(ScanLock(f.fd, &info), 9);
}

void recordStatuses()
{
    stAttachedDevice f;
    unsigned char* buf = nullptr;
    uint16_t bufSize = 0;
    uint16_t readSize = 0;
    ScanStatus st = SCAN_STATUS_BEGIN_OF_SCAN;
    struct {
        uint8_t status;
        int expected;
    } cases[] = {{1, 5}, {2, 10}, {3, 2}, {4, 2}, {5, 6}, {6, 4}, {7, 0}, {8, 0}, {9, 0}, {10, 4}, {200, 4}};
    for (const auto& c : cases) {
        pushStatusRecord(f.dev->scanStream, c.status);
        st = SCAN_STATUS_BEGIN_OF_SCAN;
        CHECK_EQ(ScanRecord(f.fd, &st, &buf, &bufSize, &readSize), c.expected);
        CHECK_EQ(static_cast<int>(st), c.status); // stored even for unknown statuses
    }
    // A record without payload and the device's abort leave the status alone.
    f.dev->scanStream.push_back(ScanResponse(0x02, 0x80));
    st = SCAN_STATUS_END_OF_PAGE;
    CHECK_EQ(ScanRecord(f.fd, &st, &buf, &bufSize, &readSize), 0);
    CHECK_EQ(st, SCAN_STATUS_END_OF_PAGE);
    f.dev->scanStream.push_back(ScanResponse(0x0F, 0x80));
    CHECK_EQ(ScanRecord(f.fd, &st, &buf, &bufSize, &readSize), 2);
    CHECK_EQ(st, SCAN_STATUS_END_OF_PAGE);
    // Nothing arrives in time; the device is gone.
    CHECK_EQ(ScanRecord(f.fd, &st, &buf, &bufSize, &readSize), 3);
    f.dev->gone = true;
    CHECK_EQ(ScanRecord(f.fd, &st, &buf, &bufSize, &readSize), 9);
    free(buf);
}

void recordImageData()
{
    stAttachedDevice f;
    unsigned char* buf = nullptr;
    uint16_t bufSize = 0;
    uint16_t readSize = 0;
    ScanStatus st = SCAN_STATUS_BEGIN_OF_PAGE;
    Bytes image = pageImage(3, 0, 5000);
    pushImageRecord(f.dev->scanStream, image);
    f.dev->maxInPiece = 700; // the image arrives in many short transfers
    CHECK_EQ(ScanRecord(f.fd, &st, &buf, &bufSize, &readSize), 0);
    f.dev->maxInPiece = 0;
    CHECK_EQ(st, SCAN_STATUS_OPERATION_CONTINUOUS);
    CHECK_EQ(readSize, 5000);
    CHECK_EQ(bufSize, 5000);
    CHECK(Bytes(buf, buf + readSize) == image);

    // A smaller record reuses the buffer; a larger one grows it.
    pushImageRecord(f.dev->scanStream, Bytes(10, 0xAB));
    CHECK_EQ(ScanRecord(f.fd, &st, &buf, &bufSize, &readSize), 0);
    CHECK_EQ(readSize, 10);
    CHECK_EQ(bufSize, 5000);
    pushImageRecord(f.dev->scanStream, Bytes(60000, 0xCD));
    CHECK_EQ(ScanRecord(f.fd, &st, &buf, &bufSize, &readSize), 0);
    CHECK_EQ(bufSize, 60000);
    CHECK_EQ(buf[59999], 0xCD);

    // Status 0 announcing less than its own header: an error, nothing read.
    f.dev->scanStream.push_back(ScanRecordHeader(0, 22));
    readSize = 77;
    CHECK_EQ(ScanRecord(f.fd, &st, &buf, &bufSize, &readSize), 9);
    CHECK(f.dev->scanStream.empty());
    CHECK(logContains(scanErrLogPath(), "[OvraScanSDK] ScanRecord dataSize too small: 22\n"));

    // Image bytes that never come.
    f.dev->scanStream.push_back(ScanRecordHeader(0, 23 + 100));
    f.dev->scanStream.push_back(Bytes(40, 1));
    CHECK_EQ(ScanRecord(f.fd, &st, &buf, &bufSize, &readSize), 9);
    CHECK(logContains(scanErrLogPath(), "[OvraScanSDK] ReadWithRetry failed.\n"));
    free(buf);
}

} // namespace

int main()
{
    const TestInstallRoot root("usbcmd", {"scan"});
    int ret = testcheck::run({
        TEST_CASE(responseFlagsAsStatus),
        TEST_CASE(plainCommandHeaders),
        TEST_CASE(responsePayloads),
        TEST_CASE(responseSkipsAndLimits),
        TEST_CASE(requestStatuses),
        TEST_CASE(lockCommandBytes),
        TEST_CASE(recordStatuses),
        TEST_CASE(recordImageData),
    });
    OvraCloseDbg();
    return ret;
}
