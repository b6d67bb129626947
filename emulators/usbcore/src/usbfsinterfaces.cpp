// Interface claims, the kernel driver of interface 0 and the endpoint
// requests of a usbfs node.
#include "usbfsnode.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace ovraemu {
namespace {

constexpr char kUsbfsDriverName[] = "usbfs";

} // namespace

UsbfsNode::Outcome UsbfsNode::Claim(UMockdevIoctlClient* client, unsigned interface)
{
    if (!model_->HasInterface(interface))
        return {-1, ENOENT};
    std::lock_guard<std::mutex> lock(mutex_);
    ForgetDroppedClients(); // their claims go with them
    const auto owner = claims_.find(interface);
    if (owner != claims_.end() && owner->second == client)
        return {};
    if (claimRefused_ || owner != claims_.end() || (interface == 0 && kernelDriverBound_))
        return {-1, EBUSY};
    claims_[interface] = client;
    return {};
}

UsbfsNode::Outcome UsbfsNode::Release(UMockdevIoctlClient* client, unsigned interface)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto owner = claims_.find(interface);
    if (owner == claims_.end() || owner->second != client)
        return {-1, EINVAL};
    claims_.erase(owner);
    return {};
}

// Like the kernel, an interface used without a claim is claimed on the way.
UsbfsNode::Outcome UsbfsNode::CheckInterface(UMockdevIoctlClient* client, unsigned interface)
{
    return Claim(client, interface);
}

UsbfsNode::Outcome UsbfsNode::GetDriver(UMockdevIoctlData* arg)
{
    ClientMemory memory = Resolve(arg, 0, sizeof(usbdevfs_getdriver));
    if (!memory)
        return {-1, EFAULT};
    auto* query = reinterpret_cast<usbdevfs_getdriver*>(memory->data);
    if (!model_->HasInterface(query->interface))
        return {-1, EINVAL};
    std::lock_guard<std::mutex> lock(mutex_);
    const char* name = nullptr;
    if (query->interface == 0 && kernelDriverBound_)
        name = setup_.kernelDriver.c_str();
    else if (claims_.count(query->interface))
        name = kUsbfsDriverName;
    if (!name)
        return {-1, ENODATA};
    std::memset(query->driver, 0, sizeof(query->driver));
    std::strncpy(query->driver, name, sizeof(query->driver) - 1);
    return {};
}

// USBDEVFS_IOCTL carries a request for the driver of one interface: DISCONNECT
// (detach the kernel driver) and CONNECT (attach it again).
UsbfsNode::Outcome UsbfsNode::InterfaceIoctl(UMockdevIoctlData* arg)
{
    const auto command = ReadPointee<usbdevfs_ioctl>(arg);
    if (!command)
        return {-1, EFAULT};
    const unsigned interface = static_cast<unsigned>(command->ifno);
    if (!model_->HasInterface(interface))
        return {-1, EINVAL};
    if (static_cast<unsigned long>(command->ioctl_code) == USBDEVFS_DISCONNECT)
        return DetachDriver(interface);
    if (static_cast<unsigned long>(command->ioctl_code) == USBDEVFS_CONNECT) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!kernelDriverDetached_ || claims_.count(interface))
            return {-1, EBUSY};
        kernelDriverBound_ = true;
        kernelDriverDetached_ = false;
        return {};
    }
    return {-1, ENOTTY};
}

UsbfsNode::Outcome UsbfsNode::DetachDriver(unsigned interface)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (interface != 0 || !kernelDriverBound_)
        return {-1, ENODATA};
    kernelDriverBound_ = false;
    kernelDriverDetached_ = true;
    return {};
}

UsbfsNode::Outcome UsbfsNode::DisconnectClaim(UMockdevIoctlClient* client, UMockdevIoctlData* arg)
{
    const auto request = ReadPointee<usbdevfs_disconnect_claim>(arg);
    if (!request)
        return {-1, EFAULT};
    DetachDriver(request->interface);
    return Claim(client, request->interface);
}

UsbfsNode::Outcome UsbfsNode::ConnectInfo(UMockdevIoctlData* arg) const
{
    usbdevfs_connectinfo info{};
    info.devnum = setup_.deviceNumber;
    info.slow = 0;
    return WritePointee(arg, info) ? Outcome{} : Outcome{-1, EFAULT};
}

// CLEAR_HALT and RESETEP name an endpoint of a claimed (or claimable) interface.
UsbfsNode::Outcome UsbfsNode::EndpointIoctl(UMockdevIoctlClient* client, EndpointRequest kind, UMockdevIoctlData* arg)
{
    const auto endpoint = ReadPointee<unsigned>(arg);
    if (!endpoint)
        return {-1, EFAULT};
    if (*endpoint > 0xFF || !HasCurrentBulkEndpoint(static_cast<uint8_t>(*endpoint)))
        return {-1, ENOENT};
    Outcome check = CheckInterface(client, 0);
    if (check.error)
        return check;
    model_->OnEndpointRequest(kind, static_cast<uint8_t>(*endpoint));
    return {};
}

// Selects an alternate setting of interface 0 (a setting the device lacks:
// EINVAL). Devices described without settings take any.
UsbfsNode::Outcome UsbfsNode::SetInterface(UMockdevIoctlData* arg)
{
    const auto request = ReadPointee<usbdevfs_setinterface>(arg);
    if (!request)
        return {-1, EFAULT};
    if (!model_->HasInterface(request->interface))
        return {-1, EINVAL};
    std::lock_guard<std::mutex> lock(mutex_);
    if (setup_.settingEndpoints.empty())
        return {};
    if (request->interface != 0 || request->altsetting >= setup_.settingEndpoints.size())
        return {-1, EINVAL};
    currentSetting_ = request->altsetting;
    return {};
}

bool UsbfsNode::HasCurrentBulkEndpoint(uint8_t address) const
{
    if (!model_->HasBulkEndpoint(address))
        return false;
    std::lock_guard<std::mutex> lock(mutex_);
    if (setup_.settingEndpoints.empty())
        return true;
    const std::vector<uint8_t>& endpoints = setup_.settingEndpoints.at(currentSetting_);
    return std::find(endpoints.begin(), endpoints.end(), address) != endpoints.end();
}

void UsbfsNode::SetKernelDriverBound(bool bound)
{
    std::lock_guard<std::mutex> lock(mutex_);
    kernelDriverBound_ = bound;
    if (bound)
        kernelDriverDetached_ = false;
}

void UsbfsNode::SetClaimRefused(bool refused)
{
    std::lock_guard<std::mutex> lock(mutex_);
    claimRefused_ = refused;
}

bool UsbfsNode::KernelDriverDetached() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return kernelDriverDetached_;
}

} // namespace ovraemu
