// Fake USB scanners behind plain descriptors, answering the daemon's usbfs
// requests through its ioctl hook: device nodes are small files holding a
// device descriptor in a folder laid out like /dev/bus/usb.
#pragma once

#include "ovrascannerusb.h"
#include "scannerreplies.h"

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

using Bytes = ScanBytes;

struct stFakeUsbDevice {
    uint16_t vid = 0;
    uint16_t pid = 0;
    // String descriptors by index, as UTF-16 code units.
    std::map<int, std::u16string> strings;
    uint8_t iManufacturer = 0;
    uint8_t iProduct = 0;
    uint8_t iSerialNumber = 0;

    // Bulk-in: command responses are served first, then the scan stream.
    // Each entry is one message of the device: a read takes at most the bytes
    // asked for, the rest stays for the next read.
    std::deque<Bytes> responses;
    std::deque<Bytes> scanStream;
    // Responses by (class << 8 | code) written back when that command arrives;
    // without an entry a header-only response with flag 0x80 is sent (none for
    // the abort command).
    std::map<int, Bytes> answers;
    bool answerCommands = true;
    // Bulk-out: every byte written, and each write as it came.
    Bytes bulkOut;
    std::vector<Bytes> writes;

    bool blockWhenEmpty = false;    // a bulk-in read with nothing to send never returns
    int maxInPiece = 0;             // >0: a bulk-in transfer moves at most this many bytes
    bool failBulk = false;          // bulk transfers fail
    bool failWriteSilently = false; // bulk-out moves nothing
    bool gone = false;              // control requests fail too (device unplugged)
    bool badStringType = false;     // string descriptors carry type 2
    bool overlongString = false;    // bLength larger than the bytes sent
    int resets = 0;
    int clearHalts = 0;
    int resetEps = 0;
    bool failEndpointRequests = false;
};

// Pushes a record carrying image bytes: its header, then the bytes.
void pushImageRecord(std::deque<Bytes>& stream, const Bytes& image);
// Pushes a status record (no image bytes).
void pushStatusRecord(std::deque<Bytes>& stream, uint8_t status);

class FakeUsbBed
{
public:
    // Makes the device folder and installs the ioctl hook.
    FakeUsbBed();
    ~FakeUsbBed();

    std::string root() const { return m_root; }
    // Adds a node "<root>/<bus>/<name>" holding the device's descriptor.
    stFakeUsbDevice& addDevice(const std::string& bus, const std::string& name, const stFakeUsbDevice& device);
    // Serves requests on an already open descriptor (no node file needed).
    stFakeUsbDevice& attach(int fd, const stFakeUsbDevice& device);
    // The device behind fd (nullptr for none).
    stFakeUsbDevice* deviceFor(int fd);
    // Points the daemon's device search at this folder.
    void useAsUsbPath();

private:
    std::string m_root;
    std::map<std::string, stFakeUsbDevice> m_byPath;
    std::map<int, stFakeUsbDevice> m_byFd;
};

// A scanner as the device search sees it: manufacturer "Ovra" (string 1), the product
// (string 2) and, when given, the serial number (string 3).
stFakeUsbDevice fakeScanner(uint16_t vid, uint16_t pid, const char16_t* serial, const char16_t* product = u"Ovra MFP");

// A fresh fake device on a descriptor of its own (no node file), the logs open.
struct stAttachedDevice {
    FakeUsbBed bed;
    int fd;
    stFakeUsbDevice* dev;
    stAttachedDevice();
    ~stAttachedDevice();
};
