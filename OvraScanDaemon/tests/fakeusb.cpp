#include "fakeusb.h"

#include "scanlog.h"
#include "testsupport.h"
#include "usbfind.h"
#include "usbfs.h"

#include <cerrno>
#include <filesystem>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

FakeUsbBed* g_bed = nullptr;

usb_device_descriptor descriptorOf(const stFakeUsbDevice& device)
{
    usb_device_descriptor des = {};
    des.bLength = 18;
    des.bDescriptorType = 1;
    des.bcdUSB = 0x0200;
    des.idVendor = device.vid;
    des.idProduct = device.pid;
    des.iManufacturer = device.iManufacturer;
    des.iProduct = device.iProduct;
    des.iSerialNumber = device.iSerialNumber;
    des.bNumConfigurations = 1;
    return des;
}

int stringDescriptor(stFakeUsbDevice& device, usb_ctrltransfer* ctrl)
{
    int index = ctrl->wValue & 0xFF;
    Bytes bytes;
    if (index == 0) {
        bytes = {4, 3, 0x09, 0x04};
    } else {
        auto it = device.strings.find(index);
        if (it == device.strings.end()) {
            errno = EPIPE;
            return -1;
        }
        bytes.push_back(static_cast<unsigned char>(2 + 2 * it->second.size()));
        bytes.push_back(device.badStringType ? 2 : 3);
        for (char16_t c : it->second) {
            bytes.push_back(static_cast<unsigned char>(c & 0xFF));
            bytes.push_back(static_cast<unsigned char>(c >> 8));
        }
        if (device.overlongString)
            bytes[0] = static_cast<unsigned char>(bytes[0] + 10);
    }
    size_t n = bytes.size() < ctrl->wLength ? bytes.size() : ctrl->wLength;
    memcpy(ctrl->data, bytes.data(), n);
    return static_cast<int>(n);
}

void answerCommand(stFakeUsbDevice& device, const Bytes& written)
{
    if (!device.answerCommands || written.size() < 8 || written[0] != OVRA_SCAN_CMD_START)
        return;
    int key = written[1] << 8 | written[2];
    auto it = device.answers.find(key);
    if (it != device.answers.end()) {
        device.responses.push_back(it->second);
        return;
    }
    if (written[1] == OVRA_SCAN_CLASS_SCAN && written[2] == OVRA_SCAN_CODE_ABORT)
        return;
    device.responses.push_back(ScanResponse(written[2], OVRA_SCAN_RESPONSE_SUCCESS, {}, 0, written[1]));
}

int bulkIn(stFakeUsbDevice& device, usbdevfs_bulktransfer* bulk)
{
    std::deque<Bytes>& queue = device.responses.empty() ? device.scanStream : device.responses;
    if (queue.empty() && device.blockWhenEmpty) {
        for (;;)
            pause();
    }
    if (queue.empty()) {
        errno = ETIMEDOUT;
        return -1;
    }
    Bytes& front = queue.front();
    size_t n = front.size() < bulk->len ? front.size() : bulk->len;
    if (device.maxInPiece > 0 && n > static_cast<size_t>(device.maxInPiece))
        n = static_cast<size_t>(device.maxInPiece);
    memcpy(bulk->data, front.data(), n);
    front.erase(front.begin(), front.begin() + static_cast<long>(n));
    if (front.empty())
        queue.pop_front();
    return static_cast<int>(n);
}

int bulkOut(stFakeUsbDevice& device, usbdevfs_bulktransfer* bulk)
{
    if (device.failWriteSilently)
        return 0;
    const unsigned char* data = static_cast<const unsigned char*>(bulk->data);
    Bytes written(data, data + bulk->len);
    device.bulkOut.insert(device.bulkOut.end(), written.begin(), written.end());
    device.writes.push_back(written);
    answerCommand(device, written);
    return static_cast<int>(bulk->len);
}

int fakeIoctl(int fd, unsigned long request, void* arg)
{
    stFakeUsbDevice* device = g_bed ? g_bed->deviceFor(fd) : nullptr;
    if (!device) {
        errno = ENOTTY;
        return -1;
    }
    switch (request) {
    case USBDEVFS_CONTROL: {
        if (device->gone) {
            errno = ENODEV;
            return -1;
        }
        return stringDescriptor(*device, static_cast<usb_ctrltransfer*>(arg));
    }
    case USBDEVFS_BULK: {
        auto* bulk = static_cast<usbdevfs_bulktransfer*>(arg);
        if (device->failBulk || device->gone) {
            errno = EIO;
            return -1;
        }
        return (bulk->ep & 0x80) ? bulkIn(*device, bulk) : bulkOut(*device, bulk);
    }
    case USBDEVFS_RESET: ++device->resets; return 0;
    case USBDEVFS_CLEAR_HALT: ++device->clearHalts; return device->failEndpointRequests ? -1 : 0;
    case USBDEVFS_RESETEP: ++device->resetEps; return device->failEndpointRequests ? -1 : 0;
    default: errno = ENOTTY; return -1;
    }
}

std::string pathOfFd(int fd)
{
    char link[64];
    snprintf(link, sizeof(link), "/proc/self/fd/%d", fd);
    char target[512] = {};
    ssize_t n = readlink(link, target, sizeof(target) - 1);
    return n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
}

} // namespace

void pushImageRecord(std::deque<Bytes>& stream, const Bytes& image)
{
    stream.push_back(ScanImageRecordHeader(image.size()));
    stream.push_back(image);
}

void pushStatusRecord(std::deque<Bytes>& stream, uint8_t status) { stream.push_back(ScanStatusRecord(status)); }

FakeUsbBed::FakeUsbBed()
{
    char pattern[] = "/tmp/ovrascand_usb_XXXXXX";
    m_root = mkdtemp(pattern);
    g_bed = this;
    ovra_set_usb_ioctl(fakeIoctl);
}

FakeUsbBed::~FakeUsbBed()
{
    ovra_set_usb_ioctl(nullptr);
    ovra_set_usb_paths({});
    g_bed = nullptr;
    std::error_code ignored;
    std::filesystem::remove_all(m_root, ignored);
}

stFakeUsbDevice& FakeUsbBed::addDevice(const std::string& bus, const std::string& name, const stFakeUsbDevice& device)
{
    std::string busPath = m_root + "/" + bus;
    mkdir(busPath.c_str(), 0755);
    std::string path = busPath + "/" + name;
    usb_device_descriptor des = descriptorOf(device);
    writeFile(path, std::string(reinterpret_cast<const char*>(&des), sizeof(des)));
    m_byPath[path] = device;
    return m_byPath[path];
}

stFakeUsbDevice& FakeUsbBed::attach(int fd, const stFakeUsbDevice& device)
{
    m_byFd[fd] = device;
    return m_byFd[fd];
}

stFakeUsbDevice* FakeUsbBed::deviceFor(int fd)
{
    auto byFd = m_byFd.find(fd);
    if (byFd != m_byFd.end())
        return &byFd->second;
    auto byPath = m_byPath.find(pathOfFd(fd));
    return byPath != m_byPath.end() ? &byPath->second : nullptr;
}

void FakeUsbBed::useAsUsbPath() { ovra_set_usb_paths({m_root}); }

stFakeUsbDevice fakeScanner(uint16_t vid, uint16_t pid, const char16_t* serial, const char16_t* product)
{
    stFakeUsbDevice dev;
    dev.vid = vid;
    dev.pid = pid;
    dev.iManufacturer = 1;
    dev.iProduct = 2;
    dev.strings[1] = u"Ovra";
    dev.strings[2] = product;
    if (serial) {
        dev.iSerialNumber = 3;
        dev.strings[3] = serial;
    }
    return dev;
}

stAttachedDevice::stAttachedDevice()
{
    fd = open("/dev/null", O_RDWR);
    dev = &bed.attach(fd, stFakeUsbDevice{});
    OvraInitDbg();
}

stAttachedDevice::~stAttachedDevice() { close(fd); }
