#include "ovraemu/usbprinterbed.h"

#include "ovraemu/usbcore/usbtestbed.h"
#include "printerdevice.h"
#include "printerlayout.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <stdexcept>

namespace ovraemu {

// The printers' devices by id; the testbed keeps their nodes and sysfs records.
struct UsbPrinterBed::Impl {
    UsbTestbed testbed;
    mutable std::mutex mutex;
    std::map<int, std::shared_ptr<PrinterDevice>> devices;

    std::shared_ptr<PrinterDevice> Device(int id) const
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto found = devices.find(id);
        if (found == devices.end())
            throw std::out_of_range("no emulated printer with id " + std::to_string(id));
        return found->second;
    }
};

UsbPrinterBed::UsbPrinterBed() : d(std::make_unique<Impl>()) {}

UsbPrinterBed::~UsbPrinterBed() = default;

std::string UsbPrinterBed::RootDir() const { return d->testbed.RootDir(); }

int UsbPrinterBed::AddPrinter(const UsbPrinterConfig& config)
{
    auto device = std::make_shared<PrinterDevice>(config);
    const int id = d->testbed.AddDevice(PrinterDescription(config), device);
    std::lock_guard<std::mutex> lock(d->mutex);
    d->devices.emplace(id, std::move(device));
    return id;
}

std::string UsbPrinterBed::DevNode(int id) const
{
    d->Device(id);
    return d->testbed.DevNode(id);
}

void UsbPrinterBed::SetStatusReply(int id, std::vector<uint8_t> reply)
{
    SetControlReply(id, kStatusRequest, std::move(reply));
}

void UsbPrinterBed::SetControlReply(int id, uint8_t request, std::vector<uint8_t> reply)
{
    d->Device(id)->SetClassReply(request, std::move(reply));
}

std::vector<ControlRequest> UsbPrinterBed::ControlRequests(int id) const { return d->Device(id)->ClassRequests(); }

int UsbPrinterBed::CountRequests(int id, uint8_t request) const
{
    const std::vector<ControlRequest> requests = ControlRequests(id);
    return static_cast<int>(std::count_if(requests.begin(), requests.end(),
                                          [request](const ControlRequest& r) { return r.request == request; }));
}

void UsbPrinterBed::SetFault(int id, UsbFault fault)
{
    const std::shared_ptr<PrinterDevice> device = d->Device(id);
    d->testbed.SetFault(id, fault);
    device->SetStallClassRequests(fault == UsbFault::StallControl);
    device->SetHoldClassRequests(fault == UsbFault::HoldControl);
}

void UsbPrinterBed::Unplug(int id)
{
    d->Device(id);
    d->testbed.Unplug(id);
}

void UsbPrinterBed::SetBulkHandler(int id, BulkHandler handler)
{
    d->Device(id)->SetBulkHandler(std::move(handler));
    d->testbed.ServeWaitingReads(id);
}

std::vector<uint8_t> UsbPrinterBed::BulkOutData(int id) const { return d->Device(id)->BulkOutData(); }

std::vector<std::vector<uint8_t>> UsbPrinterBed::BulkOutTransfers(int id) const
{
    return d->Device(id)->BulkOutTransfers();
}

void UsbPrinterBed::FailBulkOut(int id, int count, size_t afterBytes) { d->Device(id)->FailBulkOut(count, afterBytes); }

void UsbPrinterBed::ShortenBulkOut(int id, std::optional<size_t> bytes) { d->Device(id)->ShortenBulkOut(bytes); }

void UsbPrinterBed::HoldBulkOut(int id, std::optional<size_t> afterBytes) { d->Device(id)->HoldBulkOut(afterBytes); }

bool UsbPrinterBed::KernelDriverDetached(int id) const
{
    d->Device(id);
    return d->testbed.KernelDriverDetached(id);
}

unsigned long UsbPrinterBed::UsbfsRequestCount(int id) const
{
    d->Device(id);
    return d->testbed.RequestCount(id);
}

} // namespace ovraemu
