// Emulated USB printers for tests: a umockdev testbed whose usbfs device
// nodes answer libusb like Ovra laser printers do.
#pragma once

#include "ovraemu/usbcore/controlrequest.h"
#include "ovraemu/usbcore/usbdevicedescription.h"
#include "ovraemu/usbcore/usbfault.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ovraemu {

struct UsbPrinterConfig {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string serial;
    bool hasSerial = true; // false: the device descriptor names no serial string
    std::string manufacturer = "Ovra";
    std::string product = "Ovra Laser Printer";
    // The bulk endpoints of the printer-class interface (interface 0, setting 0).
    uint8_t bulkOutEndpoint = 0x01;
    uint8_t bulkInEndpoint = 0x81;
    // Further alternate settings of interface 0, listed after setting 0.
    std::vector<UsbAlternateSetting> alternateSettings;
};

// Reply of the printer to a bulk OUT request. No value: the printer sends
// nothing and the bulk IN read times out. An empty vector: a zero-length packet.
using BulkReply = std::optional<std::vector<uint8_t>>;
using BulkHandler = std::function<BulkReply(const std::vector<uint8_t>& request)>;

// FailBulkOut: every bulk OUT transfer from now on fails.
constexpr int kEveryTransfer = -1;

// Class requests of the printer protocol.
constexpr uint8_t kStatusRequest = 0x33;
constexpr uint8_t kCancelJobRequest = 0x34;

// One umockdev testbed holding any number of emulated printers.
// Creating it points UMOCKDEV_DIR of this process at the testbed; libusb in
// this process sees the printers only when it runs under libumockdev-preload.
// Other processes see them with UMOCKDEV_DIR set to RootDir(). Only one bed
// may exist in a process at a time. All methods are thread-safe; an unknown
// printer id throws std::out_of_range.
class UsbPrinterBed
{
public:
    UsbPrinterBed();
    ~UsbPrinterBed();
    UsbPrinterBed(const UsbPrinterBed&) = delete;
    UsbPrinterBed& operator=(const UsbPrinterBed&) = delete;

    std::string RootDir() const;

    // Plugs in a printer (bus and device numbers are chosen here); returns its id.
    int AddPrinter(const UsbPrinterConfig& config);
    // "/dev/bus/usb/BBB/DDD" of the printer.
    std::string DevNode(int id) const;

    // Bytes answered to the status request (cut to the request's wLength).
    void SetStatusReply(int id, std::vector<uint8_t> reply);
    // Bytes answered to any device-to-host class request (0x33 and 0x34 by default).
    void SetControlReply(int id, uint8_t request, std::vector<uint8_t> reply);
    // Every class and vendor control request received, in order.
    std::vector<ControlRequest> ControlRequests(int id) const;
    int CountRequests(int id, uint8_t request) const;

    void SetFault(int id, UsbFault fault);
    // The printer leaves the bus: later enumerations miss it, open handles fail.
    void Unplug(int id);

    // Called with the bytes sent over bulk OUT since the last call when a bulk IN
    // read finds no reply waiting; its reply is served to that read.
    void SetBulkHandler(int id, BulkHandler handler);
    // All bytes received over bulk OUT, in order.
    std::vector<uint8_t> BulkOutData(int id) const;
    // The bytes the printer took, one entry per bulk OUT transfer (a libusb
    // transfer of any size, cut into URBs, is one transfer; a zero-length
    // transfer is an empty entry).
    std::vector<std::vector<uint8_t>> BulkOutTransfers(int id) const;

    // The next `count` bulk OUT transfers (kEveryTransfer: every one from now
    // on; 0: none) fail: the printer takes `afterBytes` bytes of each and then
    // stalls the endpoint, so libusb reports LIBUSB_ERROR_PIPE. A transfer
    // shorter than `afterBytes` is taken whole.
    void FailBulkOut(int id, int count, size_t afterBytes = 0);
    // Every later bulk OUT transfer is taken only up to `bytes` bytes; the
    // transfer then ends short without an error (libusb reports success with
    // fewer bytes transferred). No value: transfers are taken whole again.
    void ShortenBulkOut(int id, std::optional<size_t> bytes);
    // Every later bulk OUT transfer is taken up to `afterBytes` bytes; then the
    // printer stops taking data: the transfer stays in flight until the host
    // gives up on it (its time-out) or the printer is unplugged. No value: later
    // transfers are taken whole again (those in flight stay held).
    void HoldBulkOut(int id, std::optional<size_t> afterBytes);

    bool KernelDriverDetached(int id) const;
    // How many usbfs requests (ioctls and reads of the node) reached the
    // printer: 0 while no program has opened it.
    unsigned long UsbfsRequestCount(int id) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace ovraemu
