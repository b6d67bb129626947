#include "ovraemu/usbscannerbed.h"

#include "ovraemu/usbcore/usbdescriptors.h"
#include "ovraemu/usbcore/usbtestbed.h"
#include "scannerdevice.h"

#include <map>
#include <mutex>
#include <stdexcept>

namespace ovraemu {

// The scanners' devices by id; the testbed keeps their nodes and sysfs records.
struct UsbScannerBed::Impl {
    UsbTestbed testbed;
    mutable std::mutex mutex;
    std::map<int, std::shared_ptr<ScannerDevice>> devices;

    std::shared_ptr<ScannerDevice> Device(int id) const
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto found = devices.find(id);
        if (found == devices.end())
            throw std::out_of_range("no emulated scanner with id " + std::to_string(id));
        return found->second;
    }
};

UsbScannerBed::UsbScannerBed() : d(std::make_unique<Impl>()) {}

UsbScannerBed::~UsbScannerBed() = default;

std::string UsbScannerBed::RootDir() const { return d->testbed.RootDir(); }

int UsbScannerBed::AddScanner(const UsbScannerConfig& config)
{
    auto device = std::make_shared<ScannerDevice>(config);
    const int id = d->testbed.AddDevice(device->Description(), device);
    std::lock_guard<std::mutex> lock(d->mutex);
    d->devices.emplace(id, std::move(device));
    return id;
}

int UsbScannerBed::AddScanner(uint16_t vendorId, uint16_t productId, const std::string& serial,
                              const std::string& manufacturer, const std::string& product)
{
    UsbScannerConfig config;
    config.vendorId = vendorId;
    config.productId = productId;
    config.serial = serial;
    config.manufacturer = manufacturer;
    config.product = product;
    return AddScanner(config);
}

std::string UsbScannerBed::DevNode(int id) const
{
    d->Device(id);
    return d->testbed.DevNode(id);
}

std::vector<uint8_t> UsbScannerBed::NodeDescriptors(int id) const
{
    return ovraemu::NodeDescriptors(d->Device(id)->Description());
}

void UsbScannerBed::SetFault(int id, UsbFault fault)
{
    d->Device(id);
    d->testbed.SetFault(id, fault);
}

void UsbScannerBed::Unplug(int id)
{
    d->Device(id);
    d->testbed.Unplug(id);
}

bool UsbScannerBed::IsUnplugged(int id) const
{
    d->Device(id);
    return d->testbed.IsUnplugged(id);
}

bool UsbScannerBed::KernelDriverDetached(int id) const
{
    d->Device(id);
    return d->testbed.KernelDriverDetached(id);
}

void UsbScannerBed::SetJob(int id, ScanJob job) { d->Device(id)->SetJob(std::move(job)); }

ScanJob UsbScannerBed::Job(int id) const { return d->Device(id)->Job(); }

void UsbScannerBed::ScriptResponse(int id, ScannerCommand command, ovraemu::ScriptedResponse response, int times)
{
    d->Device(id)->Script(command, std::move(response), times);
}

void UsbScannerBed::ClearScripts(int id) { d->Device(id)->ClearScripts(); }

void UsbScannerBed::SetFeeder(int id, AdfStatus status) { d->Device(id)->SetFeeder(status); }

void UsbScannerBed::SetAsleep(int id, bool asleep, uint8_t warmUpSeconds)
{
    d->Device(id)->SetAsleep(asleep, warmUpSeconds);
}

void UsbScannerBed::SetLockedElsewhere(int id, bool locked) { d->Device(id)->SetLockedElsewhere(locked); }

void UsbScannerBed::SetRefuseWrites(int id, bool refuse) { d->Device(id)->SetRefuseWrites(refuse); }

void UsbScannerBed::SetAnswerAbort(int id, bool answer) { d->Device(id)->SetAnswerAbort(answer); }

void UsbScannerBed::SetProperties(int id, const ScannerProperties& properties)
{
    d->Device(id)->SetProperties(properties);
}

void UsbScannerBed::SetScanSizeCount(int id, uint8_t count) { d->Device(id)->SetScanSizeCount(count); }

std::vector<ReceivedCommand> UsbScannerBed::Commands(int id) const { return d->Device(id)->Commands(); }

std::vector<std::string> UsbScannerBed::Events(int id) const { return d->Device(id)->Events(); }

std::optional<LockSettings> UsbScannerBed::LastLock(int id) const { return d->Device(id)->LastLock(); }

bool UsbScannerBed::IsLocked(int id) const { return d->Device(id)->IsLocked(); }

JobProgress UsbScannerBed::Progress(int id) const { return d->Device(id)->Progress(); }

} // namespace ovraemu
