#include "ovraemu/usbcore/usbtestbed.h"

#include "devnodefile.h"
#include "ovraemu/usbcore/sysfsrecord.h"
#include "ovraemu/usbcore/usbdescriptors.h"
#include "usbfsnode.h"

#include <umockdev.h>

#include <map>
#include <mutex>
#include <stdexcept>

namespace ovraemu {
namespace {

constexpr int kLastDeviceNumber = 127;

struct Device {
    UsbAddress address;
    std::shared_ptr<UsbfsNode> node;
    UsbFault fault = UsbFault::None;
    bool unplugged = false;
};

std::string TakeString(gchar* text)
{
    std::string result = text ? text : "";
    g_free(text);
    return result;
}

} // namespace

// The mutex guards the device table and every call into the testbed. Calls
// into a device's node run without it: the node may call back (a device that
// leaves the bus by itself) and device models may call into their bed.
struct UsbTestbed::Impl {
    mutable std::mutex mutex;
    UMockdevTestbed* testbed = nullptr;
    std::string root;
    int nextDevice = 2;
    std::map<int, Device> devices;

    Device& Find(int id)
    {
        const auto found = devices.find(id);
        if (found == devices.end())
            throw std::out_of_range("no emulated USB device with id " + std::to_string(id));
        return found->second;
    }

    Device Get(int id)
    {
        std::lock_guard<std::mutex> lock(mutex);
        return Find(id);
    }

    std::string NodeFile(const Device& device) const { return root + device.address.DevNode(); }

    // Returns the node to disconnect, or null when the device was gone already.
    std::shared_ptr<UsbfsNode> RemoveFromBus(int id)
    {
        std::lock_guard<std::mutex> lock(mutex);
        Device& device = Find(id);
        if (device.unplugged)
            return nullptr;
        device.unplugged = true;
        const std::string sysPath = device.address.SysPath();
        umockdev_testbed_uevent(testbed, sysPath.c_str(), "remove");
        umockdev_testbed_remove_device(testbed, sysPath.c_str());
        BuryNode(NodeFile(device));
        return device.node;
    }
};

UsbTestbed::UsbTestbed() : d(std::make_unique<Impl>())
{
    d->testbed = umockdev_testbed_new();
    d->root = TakeString(umockdev_testbed_get_root_dir(d->testbed));
}

UsbTestbed::~UsbTestbed()
{
    for (auto& entry : d->devices)
        entry.second.node->Shutdown();
    for (auto& entry : d->devices)
        umockdev_testbed_detach_ioctl(d->testbed, entry.second.address.DevNode().c_str(), nullptr);
    d->devices.clear();
    g_object_unref(d->testbed);
}

std::string UsbTestbed::RootDir() const { return d->root; }

int UsbTestbed::AddDevice(const UsbDeviceDescription& description, std::shared_ptr<UsbDeviceModel> model)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    if (d->nextDevice > kLastDeviceNumber)
        throw std::length_error("no free USB device number left on the emulated bus");
    Device device;
    device.address.device = d->nextDevice++;
    const int id = device.address.device;
    UsbfsNodeSetup setup;
    setup.deviceNumber = static_cast<uint8_t>(id);
    setup.descriptors = NodeDescriptors(description);
    setup.kernelDriver = description.layout.kernelDriver;
    setup.settingEndpoints = SettingEndpoints(description.layout);
    device.node = std::make_shared<UsbfsNode>(std::move(model), std::move(setup));
    Impl* impl = d.get();
    device.node->SetLeftBusListener([impl, id] { impl->RemoveFromBus(id); });

    GError* error = nullptr;
    const std::string record = SysfsRecord(device.address, description);
    const std::string devNode = device.address.DevNode();
    if (!umockdev_testbed_add_from_string(d->testbed, record.c_str(), &error)
        || !umockdev_testbed_attach_ioctl(d->testbed, devNode.c_str(), device.node->Handler(), &error)) {
        const std::string message = error ? error->message : "unknown error";
        g_clear_error(&error);
        throw std::runtime_error("cannot emulate USB device at " + devNode + ": " + message);
    }
    d->devices.emplace(id, std::move(device));
    return id;
}

std::string UsbTestbed::DevNode(int id) const { return d->Get(id).address.DevNode(); }

void UsbTestbed::SetFault(int id, UsbFault fault)
{
    Device device;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        Device& stored = d->Find(id);
        const bool wasRefusing = stored.fault == UsbFault::RefuseOpen;
        stored.fault = fault;
        if (!stored.unplugged && fault == UsbFault::RefuseOpen)
            BlockNodeOpen(d->NodeFile(stored));
        else if (!stored.unplugged && wasRefusing)
            RestoreNode(d->NodeFile(stored));
        device = stored;
    }
    device.node->SetClaimRefused(fault == UsbFault::FailClaim);
    device.node->SetKernelDriverBound(fault == UsbFault::KernelDriverActive);
}

void UsbTestbed::Unplug(int id)
{
    if (const std::shared_ptr<UsbfsNode> node = d->RemoveFromBus(id))
        node->Disconnect();
}

bool UsbTestbed::IsUnplugged(int id) const { return d->Get(id).unplugged; }

void UsbTestbed::ServeWaitingReads(int id) { d->Get(id).node->ServeWaitingReads(); }

bool UsbTestbed::KernelDriverDetached(int id) const { return d->Get(id).node->KernelDriverDetached(); }

unsigned long UsbTestbed::RequestCount(int id) const { return d->Get(id).node->RequestCount(); }

} // namespace ovraemu
