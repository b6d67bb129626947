// A usbfs client for the tests that talks to scanners the way the scan daemon
// does: it walks /dev/bus/usb, reads the device descriptor from the node, reads
// string descriptors with USBDEVFS_CONTROL and moves bulk data with
// USBDEVFS_BULK in pieces of at most 512 bytes. No USB library involved.
#pragma once

#include "ovraemu/scannerprotocol.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ovraemu::test {

constexpr uint8_t kEndpointOut = 0x02;
constexpr uint8_t kEndpointIn = 0x82;
constexpr size_t kPieceSize = 512;

// "BBB/DDD" below `root` for every bus and node whose name begins with a digit.
std::vector<std::string> ListUsbNodes(const std::string& root = "/dev/bus/usb");
// The open node (read-write), or -errno.
int OpenNode(const std::string& path);
// Up to `count` bytes read from the node; no value on a failed read (errno kept).
std::optional<std::vector<uint8_t>> ReadNode(int fd, size_t count);
// The node of the first device with these IDs, or an empty string.
std::string FindNode(uint16_t vendorId, uint16_t productId, const std::string& root = "/dev/bus/usb");

// The raw string descriptor `index` in the first language of the table, or -errno.
int ReadStringDescriptor(int fd, uint8_t index, std::vector<uint8_t>& descriptor);
// String descriptor `index` as ASCII: characters outside Latin-1's first page
// byte (high byte not 0) become '?'. No value when it cannot be read.
std::optional<std::string> ReadAsciiString(int fd, uint8_t index);

struct BulkResult {
    size_t moved = 0;
    int error = 0; // errno of the request that failed; 0 when none did
};
// A transfer cut into 512-byte pieces; on the IN endpoint a short piece ends it.
BulkResult Bulk(int fd, uint8_t endpoint, uint8_t* data, size_t size, unsigned timeoutMs);

// The bytes of a command: header (flags 0x80) and payload.
std::vector<uint8_t> CommandBytes(ScannerCommand command, const std::vector<uint8_t>& payload = {});
// The 47 bytes of a lock command's settings.
std::vector<uint8_t> LockPayload(uint8_t depth, uint32_t width, uint32_t height, uint16_t dpi, ScanSource source);

// Writes the command; 0 or -errno.
int SendCommand(int fd, ScannerCommand command, const std::vector<uint8_t>& payload = {}, unsigned timeoutMs = 5000);
// One response read of up to 200 bytes; no value on failure (error set).
std::optional<std::vector<uint8_t>> ReadResponse(int fd, unsigned timeoutMs, int* error = nullptr);
// SendCommand and ReadResponse; the response flag, or -errno.
int Exchange(int fd, ScannerCommand command, const std::vector<uint8_t>& payload = {},
             std::vector<uint8_t>* response = nullptr, unsigned timeoutMs = 2000);

// A scan read record by record, as the daemon's data process does.
struct ScanReadout {
    std::vector<std::vector<uint8_t>> pages;
    std::vector<int> statuses; // status of every record read (-1: device abort header)
    bool endOfData = false;
    int error = 0; // errno of a failed read
};
// `onRecord` (if given) hears the status of every record once it is read whole.
ScanReadout ReadScan(int fd, unsigned recordTimeoutMs = 5000, const std::function<void(int)>& onRecord = {});
// A response read that skips record and abort headers ahead of it, as the
// scan daemon does; no value on failure (error set).
std::optional<std::vector<uint8_t>> ReadAnswer(int fd, unsigned timeoutMs, int* error = nullptr);

} // namespace ovraemu::test
