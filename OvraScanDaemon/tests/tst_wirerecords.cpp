// The client protocol's records on the wire: request sizes per command, field
// positions as bytes, and the handling of character arrays from the wire.
#include "ovrascanprotocol.h"
#include "scanpaths.h"
#include "testcheck.h"

#include <cstring>
#include <vector>

namespace {

template <typename T>
std::vector<unsigned char> bytesOf(const T& record)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(&record);
    return std::vector<unsigned char>(p, p + sizeof(record));
}

int32_t intAt(const std::vector<unsigned char>& bytes, size_t offset)
{
    int32_t value;
    memcpy(&value, bytes.data() + offset, sizeof(value));
    return value;
}

void requestSizesPerCommand()
{
    const size_t expected[OVRA_SCAN_COMMAND_COUNT] = {12, 4, 4, 8,  8,  4,   260, 40, 4,    4,
                                                      4,  4, 4, 24, 56, 276, 20,  20, 1036, 256};
    for (int32_t command = 0; command < OVRA_SCAN_COMMAND_COUNT; ++command)
        CHECK_EQ(ovra_scan_request_size(command), expected[command]);
    CHECK_EQ(ovra_scan_request_size(20), 0u);
    CHECK_EQ(ovra_scan_request_size(-1), 0u);
}

void replyFieldsLieAtTheirOffsets()
{
    USBScanRecordRes usb = {SCAN_STATUS_BEGIN_OF_PAGE, 2, 300, 0};
    std::vector<unsigned char> b = bytesOf(usb);
    CHECK_EQ(intAt(b, 0), 9);
    CHECK_EQ(intAt(b, 4), 2);
    CHECK_EQ(intAt(b, 8), 300);
    CHECK_EQ(intAt(b, 12), 0);

    // The network record orders its fields differently.
    TCPRecordRes tcp = {5, 0, 3, SCAN_STATUS_END_OF_DATA};
    b = bytesOf(tcp);
    CHECK_EQ(intAt(b, 0), 5);
    CHECK_EQ(intAt(b, 4), 0);
    CHECK_EQ(intAt(b, 8), 3);
    CHECK_EQ(intAt(b, 12), 1);

    TCPScanStartRes start;
    memset(&start, 0, sizeof(start));
    start.result = 0;
    start.socketDataFd = 7;
    strcpy(start.fileName, "x");
    b = bytesOf(start);
    CHECK_EQ(intAt(b, 4), 7);
    CHECK_EQ(b[8], 'x');

    USBFindDevRes dev;
    memset(&dev, 0, sizeof(dev));
    strcpy(dev.SerialNumber, "S1");
    b = bytesOf(dev);
    CHECK_EQ(b[2060], 'S');
    CHECK_EQ(b[2061], '1');
}

void requestFieldsLieAtTheirOffsets()
{
    TCPScanStartReq req;
    memset(&req, 0, sizeof(req));
    req.socket.tcpFromScanner = 5;
    strcpy(req.socket.szScannerIP, "127.0.0.101");
    req.info.bitDepth = 24;
    req.info.compType = COMPRESSION_JPEG;
    req.info.xResolution = 300;
    req.info.feederEnabled = 1;
    req.info.isClient = 1;
    std::vector<unsigned char> b = bytesOf(req);
    CHECK_EQ(intAt(b, 0), 5);
    CHECK_EQ(b[4], '1');
    CHECK_EQ(b[20], 24);
    CHECK_EQ(intAt(b, 24), 2);
    CHECK_EQ(b[44] | (b[45] << 8), 300);
    CHECK_EQ(b[48], 1);
    CHECK_EQ(b[53], 1);
}

void wireStringsStopAtTheirSize()
{
    char unterminated[16];
    memset(unterminated, 'A', sizeof(unterminated));
    CHECK_EQ(wireString(unterminated).size(), 16u);

    char shortText[16] = "abc";
    CHECK_STR(wireString(shortText), "abc");

    char target[8];
    copyToWire(target, "0123456789");
    CHECK_STR(target, "0123456");
    CHECK_EQ(target[7], '\0');
}

} // namespace

int main()
{
    return testcheck::run({
        TEST_CASE(requestSizesPerCommand),
        TEST_CASE(replyFieldsLieAtTheirOffsets),
        TEST_CASE(requestFieldsLieAtTheirOffsets),
        TEST_CASE(wireStringsStopAtTheirSize),
    });
}
