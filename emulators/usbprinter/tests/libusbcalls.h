// libusb calls made the way the suite's programs make them, for the tests.
#pragma once

#include <libusb.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ovraemu::test {

// A libusb context for the life of the object.
class UsbContext
{
public:
    UsbContext();
    ~UsbContext();
    UsbContext(const UsbContext&) = delete;
    UsbContext& operator=(const UsbContext&) = delete;
    libusb_context* Get() const { return context_; }

private:
    libusb_context* context_ = nullptr;
};

// Serial strings of the attached devices with these IDs, in bus order; a
// device whose serial string cannot be read contributes "<none>".
std::vector<std::string> SerialsOf(libusb_context* context, uint16_t vendor, uint16_t product);

// Number of listed devices with these IDs (descriptors only, nothing opened).
int CountDevices(libusb_context* context, uint16_t vendor, uint16_t product);

// Opens the device with these IDs whose serial starts with `serial`; null if none.
libusb_device_handle* OpenBySerial(libusb_context* context, uint16_t vendor, uint16_t product,
                                   const std::string& serial);

// libusb_open result for the first device with these IDs (1 when there is none).
int OpenResult(libusb_context* context, uint16_t vendor, uint16_t product);

// The printer-class interface setting with bulk endpoints that the USB
// printer channel picks by walking every configuration.
struct PrinterInterface {
    int interfaceNumber = -1;
    uint8_t outEndpoint = 0;
    uint8_t inEndpoint = 0;
};
PrinterInterface FindPrinterInterface(libusb_device* device);
// The first printer-class setting with a bulk pair, whatever its OUT endpoint.
PrinterInterface FirstPrinterSetting(libusb_device* device);

// One control transfer; returns libusb's result and fills `reply`.
int ClassRequestIn(libusb_device_handle* handle, uint8_t request, uint16_t length, std::vector<uint8_t>& reply);

} // namespace ovraemu::test
