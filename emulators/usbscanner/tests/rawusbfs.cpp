#include "rawusbfs.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace ovraemu::test {
namespace {

constexpr size_t kResponseSize = 200;
constexpr int kReadAttempts = 10;

bool StartsWithDigit(const char* name) { return name[0] >= '0' && name[0] <= '9'; }

std::vector<std::string> DigitEntries(const std::string& path)
{
    std::vector<std::string> names;
    DIR* dir = opendir(path.c_str());
    if (!dir)
        return names;
    while (const dirent* entry = readdir(dir)) {
        if (StartsWithDigit(entry->d_name))
            names.push_back(entry->d_name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

uint16_t Le16(const std::vector<uint8_t>& bytes, size_t offset)
{
    return static_cast<uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

void PutLe32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

// USBDEVFS_CONTROL; the bytes moved, or -errno. `data` is resized to the count.
int ControlTransfer(int fd, uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                    std::vector<uint8_t>& data, unsigned timeoutMs = 1000)
{
    usbdevfs_ctrltransfer transfer{};
    transfer.bRequestType = requestType;
    transfer.bRequest = request;
    transfer.wValue = value;
    transfer.wIndex = index;
    transfer.wLength = static_cast<uint16_t>(data.size());
    transfer.timeout = timeoutMs;
    transfer.data = data.data();
    const int result = ::ioctl(fd, USBDEVFS_CONTROL, &transfer);
    if (result < 0)
        return -errno;
    data.resize(static_cast<size_t>(result));
    return result;
}

// One USBDEVFS_BULK request; the bytes moved, or -errno.
int BulkOnce(int fd, uint8_t endpoint, uint8_t* data, size_t size, unsigned timeoutMs)
{
    usbdevfs_bulktransfer transfer{};
    transfer.ep = endpoint;
    transfer.len = static_cast<unsigned>(size);
    transfer.timeout = timeoutMs;
    transfer.data = data;
    const int result = ::ioctl(fd, USBDEVFS_BULK, &transfer);
    return result < 0 ? -errno : result;
}

// Reads `count` image bytes behind `image`'s end, in up to ten bulk reads.
int ReadImage(int fd, std::vector<uint8_t>& image, size_t count, unsigned timeoutMs)
{
    const size_t start = image.size();
    image.resize(start + count);
    size_t done = 0;
    for (int attempt = 0; attempt < kReadAttempts && done < count; ++attempt) {
        const BulkResult result = Bulk(fd, kEndpointIn, image.data() + start + done, count - done, timeoutMs);
        done += result.moved;
        if (result.error && result.error != ETIMEDOUT)
            return result.error;
    }
    image.resize(start + done);
    return done == count ? 0 : ETIMEDOUT;
}

// Handles one record of a scan; false when the scan ends with it.
bool TakeRecord(int fd, const ScanHeader& header, uint8_t status, ScanReadout& readout, unsigned timeoutMs)
{
    switch (static_cast<ScanStatus>(status)) {
    case ScanStatus::BeginOfPage: readout.pages.emplace_back(); return true;
    case ScanStatus::Continuous:
        if (header.dataSize < kRecordFieldsSize || readout.pages.empty()) {
            readout.error = EPROTO;
            return false;
        }
        readout.error = ReadImage(fd, readout.pages.back(), header.dataSize - kRecordFieldsSize, timeoutMs);
        return readout.error == 0;
    case ScanStatus::EndOfData: readout.endOfData = true; return false;
    case ScanStatus::EndOfPage:
    case ScanStatus::BeginOfScan: return true;
    default: return false;
    }
}

} // namespace

std::vector<std::string> ListUsbNodes(const std::string& root)
{
    std::vector<std::string> nodes;
    for (const std::string& bus : DigitEntries(root)) {
        for (const std::string& device : DigitEntries(root + "/" + bus))
            nodes.push_back(bus + "/" + device);
    }
    return nodes;
}

int OpenNode(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    return fd >= 0 ? fd : -errno;
}

std::optional<std::vector<uint8_t>> ReadNode(int fd, size_t count)
{
    std::vector<uint8_t> bytes(count);
    const ssize_t n = ::read(fd, bytes.data(), count);
    if (n < 0)
        return std::nullopt;
    bytes.resize(static_cast<size_t>(n));
    return bytes;
}

std::string FindNode(uint16_t vendorId, uint16_t productId, const std::string& root)
{
    for (const std::string& node : ListUsbNodes(root)) {
        const std::string path = root + "/" + node;
        const int fd = OpenNode(path);
        if (fd < 0)
            continue;
        const auto descriptor = ReadNode(fd, 18);
        ::close(fd);
        if (descriptor && descriptor->size() == 18 && Le16(*descriptor, 8) == vendorId
            && Le16(*descriptor, 10) == productId)
            return path;
    }
    return {};
}

int ReadStringDescriptor(int fd, uint8_t index, std::vector<uint8_t>& descriptor)
{
    std::vector<uint8_t> languages(255);
    const int tableLength = ControlTransfer(fd, 0x80, 6, 0x300, 0, languages);
    if (tableLength < 0)
        return tableLength;
    if (tableLength < 4)
        return -EPROTO;
    descriptor.assign(255, 0);
    return ControlTransfer(fd, 0x80, 6, static_cast<uint16_t>(0x300 + index), Le16(languages, 2), descriptor);
}

std::optional<std::string> ReadAsciiString(int fd, uint8_t index)
{
    std::vector<uint8_t> descriptor;
    const int length = ReadStringDescriptor(fd, index, descriptor);
    if (length < 2 || descriptor[1] != 3 || descriptor[0] > length)
        return std::nullopt;
    std::string text;
    for (size_t i = 2; i + 1 < descriptor[0]; i += 2)
        text += descriptor[i + 1] == 0 ? static_cast<char>(descriptor[i]) : '?';
    return text;
}

BulkResult Bulk(int fd, uint8_t endpoint, uint8_t* data, size_t size, unsigned timeoutMs)
{
    BulkResult result;
    while (result.moved < size) {
        const size_t piece = std::min(size - result.moved, kPieceSize);
        const int n = BulkOnce(fd, endpoint, data + result.moved, piece, timeoutMs);
        if (n < 0) {
            result.error = -n;
            break;
        }
        result.moved += static_cast<size_t>(n);
        if ((endpoint & 0x80) && static_cast<size_t>(n) < piece)
            break;
    }
    return result;
}

std::vector<uint8_t> CommandBytes(ScannerCommand command, const std::vector<uint8_t>& payload)
{
    ScanHeader header;
    header.commandClass = static_cast<uint8_t>(static_cast<uint16_t>(command) >> 8);
    header.code = static_cast<uint8_t>(static_cast<uint16_t>(command) & 0xFF);
    header.dataSize = static_cast<uint16_t>(payload.size());
    header.flags = flag::kSuccess;
    std::vector<uint8_t> bytes = EncodeHeader(header);
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

std::vector<uint8_t> LockPayload(uint8_t depth, uint32_t width, uint32_t height, uint16_t dpi, ScanSource source)
{
    std::vector<uint8_t> payload(kLockSettingsSize, 0);
    payload[0] = depth;
    payload[3] = 3; // filter
    PutLe32(payload, 4, width);
    PutLe32(payload, 8, height);
    payload[20] = static_cast<uint8_t>(dpi);
    payload[21] = static_cast<uint8_t>(dpi >> 8);
    payload[22] = static_cast<uint8_t>(dpi);
    payload[23] = static_cast<uint8_t>(dpi >> 8);
    payload[24] = static_cast<uint8_t>(source);
    payload[25] = 1; // duplex
    return payload;
}

int SendCommand(int fd, ScannerCommand command, const std::vector<uint8_t>& payload, unsigned timeoutMs)
{
    std::vector<uint8_t> bytes = CommandBytes(command, payload);
    const BulkResult result = Bulk(fd, kEndpointOut, bytes.data(), bytes.size(), timeoutMs);
    return result.error ? -result.error : 0;
}

std::optional<std::vector<uint8_t>> ReadResponse(int fd, unsigned timeoutMs, int* error)
{
    std::vector<uint8_t> response(kResponseSize);
    const BulkResult result = Bulk(fd, kEndpointIn, response.data(), response.size(), timeoutMs);
    if (error)
        *error = result.error;
    if (result.error)
        return std::nullopt;
    response.resize(result.moved);
    return response;
}

int Exchange(int fd, ScannerCommand command, const std::vector<uint8_t>& payload, std::vector<uint8_t>* response,
             unsigned timeoutMs)
{
    const int sent = SendCommand(fd, command, payload, timeoutMs);
    if (sent < 0)
        return sent;
    int error = 0;
    const auto answer = ReadResponse(fd, timeoutMs, &error);
    if (!answer)
        return -error;
    if (response)
        *response = *answer;
    return answer->size() >= kScanHeaderSize ? (*answer)[6] : -EPROTO;
}

std::optional<std::vector<uint8_t>> ReadAnswer(int fd, unsigned timeoutMs, int* error)
{
    for (;;) {
        auto answer = ReadResponse(fd, timeoutMs, error);
        if (!answer || answer->size() < 3 || (*answer)[0] != kCommandStart || (*answer)[1] != kScanClass
            || ((*answer)[2] != kRecordCode && (*answer)[2] != 0x0F))
            return answer;
    }
}

ScanReadout ReadScan(int fd, unsigned recordTimeoutMs, const std::function<void(int)>& onRecord)
{
    ScanReadout readout;
    for (;;) {
        int error = 0;
        const auto record = ReadResponse(fd, recordTimeoutMs, &error);
        if (!record || record->size() < kScanHeaderSize) {
            readout.error = record ? EPROTO : error;
            return readout;
        }
        const ScanHeader header = *DecodeHeader(*record);
        if (header.code == 0x0F) {
            readout.statuses.push_back(-1);
            return readout;
        }
        if (header.dataSize == 0 || record->size() < kScanHeaderSize + 1)
            continue;
        const uint8_t status = (*record)[kScanHeaderSize];
        readout.statuses.push_back(status);
        if (!TakeRecord(fd, header, status, readout, recordTimeoutMs))
            return readout;
        if (onRecord)
            onRecord(status);
    }
}

} // namespace ovraemu::test
