#include "fakeusb.h"

#include "usbfs.h"
#include "usbscanner.h"

#include <cerrno>
#include <cstring>

namespace ovrafuzz {

namespace {

std::vector<uint8_t> g_script;
size_t g_pos = 0;

// The next chunk into data (at most capacity bytes): the bytes kept, or -1.
int NextChunk(void* data, size_t capacity)
{
    if (g_pos >= g_script.size()) {
        errno = ENODEV;
        return -1;
    }
    const size_t length = g_script[g_pos++];
    if (length == c_byFailedTransfer) {
        errno = ETIMEDOUT;
        return -1;
    }
    const size_t available = std::min(length, g_script.size() - g_pos);
    const size_t kept = std::min(available, capacity);
    std::memcpy(data, g_script.data() + g_pos, kept);
    g_pos += available;
    return static_cast<int>(kept);
}

int ScriptedIoctl(int, unsigned long request, void* arg)
{
    switch (request) {
    case USBDEVFS_BULK: {
        auto* bulk = static_cast<usbdevfs_bulktransfer*>(arg);
        if (!(bulk->ep & 0x80))
            return static_cast<int>(bulk->len);
        return NextChunk(bulk->data, bulk->len);
    }
    case USBDEVFS_CONTROL: {
        auto* control = static_cast<usb_ctrltransfer*>(arg);
        return NextChunk(control->data, control->wLength);
    }
    case USBDEVFS_RESET:
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESETEP: return 0;
    default: errno = ENOTTY; return -1;
    }
}

} // namespace

void PlayUsbScript(const uint8_t* data, size_t size)
{
    ovra_set_usb_ioctl(ScriptedIoctl);
    g_script.assign(data, data + size);
    g_pos = 0;
}

std::string UsbChunk(const std::string& bytes)
{
    const size_t n = std::min(bytes.size(), c_uMaxChunk);
    return std::string(1, static_cast<char>(n)) + bytes.substr(0, n);
}

std::string UsbChunk(const std::vector<uint8_t>& bytes) { return UsbChunk(std::string(bytes.begin(), bytes.end())); }

std::string UsbFailedTransfer() { return std::string(1, static_cast<char>(c_byFailedTransfer)); }

} // namespace ovrafuzz
