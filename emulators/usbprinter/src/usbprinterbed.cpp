#include "ovraemu/usbprinterbed.h"

#include "devnodefile.h"
#include "printerdevice.h"
#include "sysfsrecord.h"
#include "usbfsnode.h"

#include <umockdev.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <stdexcept>

namespace ovraemu {

namespace {

struct Printer {
    UsbAddress address;
    std::shared_ptr<PrinterDevice> device;
    std::shared_ptr<UsbfsNode> node;
    UsbFault fault = UsbFault::None;
    bool unplugged = false;
};

template <typename PrinterMap>
auto& Lookup(PrinterMap& printers, int id)
{
    const auto found = printers.find(id);
    if (found == printers.end())
        throw std::out_of_range("no emulated printer with id " + std::to_string(id));
    return found->second;
}

std::string TakeString(gchar* text)
{
    std::string result = text ? text : "";
    g_free(text);
    return result;
}

}  // namespace

// The mutex guards the printer table and every call into the testbed. Calls
// into a printer's device or node run without it, because a bulk handler
// running inside them may call back into the bed.
struct UsbPrinterBed::Impl {
    mutable std::mutex mutex;
    UMockdevTestbed* testbed = nullptr;
    std::string root;
    int nextDevice = 2;
    std::map<int, Printer> printers;

    Printer Get(int id) const
    {
        std::lock_guard<std::mutex> lock(mutex);
        return Find(id);
    }

    const Printer& Find(int id) const { return Lookup(printers, id); }
    Printer& Find(int id) { return Lookup(printers, id); }

    std::string NodeFile(const Printer& printer) const { return root + printer.address.DevNode(); }
};

UsbPrinterBed::UsbPrinterBed() : d(std::make_unique<Impl>())
{
    d->testbed = umockdev_testbed_new();
    d->root = TakeString(umockdev_testbed_get_root_dir(d->testbed));
}

UsbPrinterBed::~UsbPrinterBed()
{
    for (auto& entry : d->printers)
        umockdev_testbed_detach_ioctl(d->testbed, entry.second.address.DevNode().c_str(), nullptr);
    d->printers.clear();
    g_object_unref(d->testbed);
}

std::string UsbPrinterBed::RootDir() const
{
    return d->root;
}

int UsbPrinterBed::AddPrinter(const UsbPrinterConfig& config)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    if (d->nextDevice > 127)
        throw std::length_error("no free USB device number left on the emulated bus");
    Printer printer;
    printer.address.device = d->nextDevice++;
    printer.device = std::make_shared<PrinterDevice>(config);
    printer.node = std::make_shared<UsbfsNode>(printer.device, static_cast<uint8_t>(printer.address.device));

    GError* error = nullptr;
    const std::string record = SysfsRecord(printer.address, config);
    const std::string devNode = printer.address.DevNode();
    if (!umockdev_testbed_add_from_string(d->testbed, record.c_str(), &error) ||
        !umockdev_testbed_attach_ioctl(d->testbed, devNode.c_str(), printer.node->Handler(), &error)) {
        const std::string message = error ? error->message : "unknown error";
        g_clear_error(&error);
        throw std::runtime_error("cannot emulate printer at " + devNode + ": " + message);
    }
    const int id = printer.address.device;
    d->printers.emplace(id, std::move(printer));
    return id;
}

std::string UsbPrinterBed::DevNode(int id) const
{
    return d->Get(id).address.DevNode();
}

void UsbPrinterBed::SetStatusReply(int id, std::vector<uint8_t> reply)
{
    SetControlReply(id, kStatusRequest, std::move(reply));
}

void UsbPrinterBed::SetControlReply(int id, uint8_t request, std::vector<uint8_t> reply)
{
    d->Get(id).device->SetClassReply(request, std::move(reply));
}

std::vector<ControlRequest> UsbPrinterBed::ControlRequests(int id) const
{
    return d->Get(id).device->ClassRequests();
}

int UsbPrinterBed::CountRequests(int id, uint8_t request) const
{
    const std::vector<ControlRequest> requests = ControlRequests(id);
    return static_cast<int>(std::count_if(requests.begin(), requests.end(),
                                          [request](const ControlRequest& r) { return r.request == request; }));
}

void UsbPrinterBed::SetFault(int id, UsbFault fault)
{
    Printer printer;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        Printer& stored = d->Find(id);
        const bool wasRefusing = stored.fault == UsbFault::RefuseOpen;
        stored.fault = fault;
        if (!stored.unplugged && fault == UsbFault::RefuseOpen)
            BlockNodeOpen(d->NodeFile(stored));
        else if (!stored.unplugged && wasRefusing)
            RestoreNode(d->NodeFile(stored));
        printer = stored;
    }
    printer.node->SetClaimRefused(fault == UsbFault::FailClaim);
    printer.node->SetKernelDriverBound(fault == UsbFault::KernelDriverActive);
    printer.device->SetStallClassRequests(fault == UsbFault::StallControl);
}

void UsbPrinterBed::Unplug(int id)
{
    Printer printer;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        Printer& stored = d->Find(id);
        if (stored.unplugged)
            return;
        stored.unplugged = true;
        const std::string sysPath = stored.address.SysPath();
        umockdev_testbed_uevent(d->testbed, sysPath.c_str(), "remove");
        umockdev_testbed_remove_device(d->testbed, sysPath.c_str());
        BuryNode(d->NodeFile(stored));
        printer = stored;
    }
    printer.node->Disconnect();
}

void UsbPrinterBed::SetBulkHandler(int id, BulkHandler handler)
{
    const Printer printer = d->Get(id);
    printer.device->SetBulkHandler(std::move(handler));
    printer.node->ServeWaitingReads();
}

std::vector<uint8_t> UsbPrinterBed::BulkOutData(int id) const
{
    return d->Get(id).device->BulkOutData();
}

bool UsbPrinterBed::KernelDriverDetached(int id) const
{
    return d->Get(id).node->KernelDriverDetached();
}

}  // namespace ovraemu
