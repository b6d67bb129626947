#include "libusbcalls.h"

#include <cstring>
#include <stdexcept>

namespace ovraemu::test {
namespace {

constexpr uint8_t kPrinterClass = 7;
constexpr uint8_t kTransferTypeBulk = 2;

class DeviceList
{
public:
    explicit DeviceList(libusb_context* context) : count_(libusb_get_device_list(context, &list_)) {}
    ~DeviceList()
    {
        if (count_ >= 0)
            libusb_free_device_list(list_, 1);
    }
    libusb_device** begin() const { return count_ > 0 ? list_ : nullptr; }
    libusb_device** end() const { return count_ > 0 ? list_ + count_ : nullptr; }

private:
    libusb_device** list_ = nullptr;
    ssize_t count_;
};

bool HasIds(libusb_device* device, uint16_t vendor, uint16_t product, libusb_device_descriptor& descriptor)
{
    return libusb_get_device_descriptor(device, &descriptor) == 0 && descriptor.idVendor == vendor
           && descriptor.idProduct == product;
}

std::string SerialString(libusb_device_handle* handle, uint8_t index)
{
    unsigned char text[64] = {};
    if (libusb_get_string_descriptor_ascii(handle, index, text, sizeof text) < 0)
        return "<none>";
    return reinterpret_cast<char*>(text);
}

// Records the last bulk endpoint of each direction; true when both exist.
bool MatchBulkEndpoints(const libusb_interface_descriptor& setting, PrinterInterface& found)
{
    bool in = false;
    bool out = false;
    for (int e = 0; e < setting.bNumEndpoints; ++e) {
        const libusb_endpoint_descriptor& endpoint = setting.endpoint[e];
        if ((endpoint.bmAttributes & 3) != kTransferTypeBulk)
            continue;
        if (endpoint.bEndpointAddress & 0x80) {
            found.inEndpoint = endpoint.bEndpointAddress;
            in = true;
        } else {
            found.outEndpoint = endpoint.bEndpointAddress;
            out = true;
        }
    }
    return in && out;
}

} // namespace

UsbContext::UsbContext()
{
    if (libusb_init(&context_) != 0)
        throw std::runtime_error("libusb_init failed");
}

UsbContext::~UsbContext() { libusb_exit(context_); }

std::vector<std::string> SerialsOf(libusb_context* context, uint16_t vendor, uint16_t product)
{
    std::vector<std::string> serials;
    for (libusb_device* device : DeviceList(context)) {
        libusb_device_descriptor descriptor;
        libusb_device_handle* handle = nullptr;
        if (!HasIds(device, vendor, product, descriptor) || libusb_open(device, &handle) != 0)
            continue;
        serials.push_back(SerialString(handle, descriptor.iSerialNumber));
        libusb_close(handle);
    }
    return serials;
}

int CountDevices(libusb_context* context, uint16_t vendor, uint16_t product)
{
    int count = 0;
    for (libusb_device* device : DeviceList(context)) {
        libusb_device_descriptor descriptor;
        if (HasIds(device, vendor, product, descriptor))
            ++count;
    }
    return count;
}

libusb_device_handle* OpenBySerial(libusb_context* context, uint16_t vendor, uint16_t product,
                                   const std::string& serial)
{
    for (libusb_device* device : DeviceList(context)) {
        libusb_device_descriptor descriptor;
        libusb_device_handle* handle = nullptr;
        if (!HasIds(device, vendor, product, descriptor) || libusb_open(device, &handle) != 0)
            continue;
        if (SerialString(handle, descriptor.iSerialNumber).compare(0, serial.size(), serial) == 0)
            return handle;
        libusb_close(handle);
    }
    return nullptr;
}

int OpenResult(libusb_context* context, uint16_t vendor, uint16_t product)
{
    for (libusb_device* device : DeviceList(context)) {
        libusb_device_descriptor descriptor;
        if (!HasIds(device, vendor, product, descriptor))
            continue;
        libusb_device_handle* handle = nullptr;
        const int result = libusb_open(device, &handle);
        if (result == 0)
            libusb_close(handle);
        return result;
    }
    return 1;
}

namespace {

// The first printer-class setting with a bulk pair, walking every configuration,
// interface and alternate setting; with `wantOut01` only one whose OUT is 0x01.
PrinterInterface WalkPrinterSettings(libusb_device* device, bool wantOut01)
{
    libusb_device_descriptor descriptor;
    if (libusb_get_device_descriptor(device, &descriptor) != 0)
        return {};
    for (uint8_t c = 0; c < descriptor.bNumConfigurations; ++c) {
        libusb_config_descriptor* config = nullptr;
        if (libusb_get_config_descriptor(device, c, &config) != 0)
            return {};
        for (int i = 0; i < config->bNumInterfaces; ++i) {
            for (int a = 0; a < config->interface[i].num_altsetting; ++a) {
                const libusb_interface_descriptor& setting = config->interface[i].altsetting[a];
                PrinterInterface found;
                if (setting.bInterfaceClass == kPrinterClass && MatchBulkEndpoints(setting, found)
                    && (!wantOut01 || found.outEndpoint == 0x01)) {
                    found.interfaceNumber = setting.bInterfaceNumber;
                    libusb_free_config_descriptor(config);
                    return found;
                }
            }
        }
        libusb_free_config_descriptor(config);
    }
    return {};
}

} // namespace

PrinterInterface FindPrinterInterface(libusb_device* device) { return WalkPrinterSettings(device, true); }

PrinterInterface FirstPrinterSetting(libusb_device* device) { return WalkPrinterSettings(device, false); }

int ClassRequestIn(libusb_device_handle* handle, uint8_t request, uint16_t length, std::vector<uint8_t>& reply)
{
    reply.assign(length, 0);
    const int result = libusb_control_transfer(handle, 0xA1, request, 0, 0, reply.data(), length, 2000);
    reply.resize(result > 0 ? static_cast<size_t>(result) : 0);
    return result;
}

} // namespace ovraemu::test
