#include "usbfsnode.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ovraemu {
namespace {

// What the node reports to USBDEVFS_GET_CAPABILITIES. Without scatter-gather
// libusb cuts bulk transfers into URBs of 16 KiB, as on many real hosts.
constexpr uint32_t kCapabilities =
    USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM;
constexpr char kKernelDriverName[] = "usblp";
constexpr char kUsbfsDriverName[] = "usbfs";
constexpr long kUsbSpeedHigh = 3;

// OVRA_USBPRINTER_EMU_TRACE=1 logs every usbfs request that reaches a node.
bool TraceEnabled()
{
    static const bool enabled = [] {
        const char* value = std::getenv("OVRA_USBPRINTER_EMU_TRACE");
        return value && *value && std::strcmp(value, "0") != 0;
    }();
    return enabled;
}

}  // namespace

UsbfsNode::UsbfsNode(std::shared_ptr<UsbDeviceModel> model, uint8_t deviceNumber)
    : model_(std::move(model)), deviceNumber_(deviceNumber), handler_(umockdev_ioctl_base_new())
{
    g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&UsbfsNode::OnIoctl), this);
    g_signal_connect(handler_, "client-vanished", G_CALLBACK(&UsbfsNode::OnClientVanished), this);
}

UsbfsNode::~UsbfsNode()
{
    g_signal_handlers_disconnect_by_data(handler_, this);
    g_object_unref(handler_);
}

gboolean UsbfsNode::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self)
{
    auto* node = static_cast<UsbfsNode*>(self);
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    Outcome outcome = node->Dispatch(client, request, umockdev_ioctl_client_get_arg(client));
    if (TraceEnabled())
        std::fprintf(stderr, "usbprinter emulator: %s ioctl 'U' %lu -> %ld errno %d\n",
                     umockdev_ioctl_client_get_devnode(client), _IOC_NR(request), outcome.result, outcome.error);
    umockdev_ioctl_client_complete(client, outcome.result, outcome.error);
    return TRUE;
}

void UsbfsNode::OnClientVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self)
{
    auto* node = static_cast<UsbfsNode*>(self);
    std::lock_guard<std::mutex> reads(node->readMutex_);
    std::lock_guard<std::mutex> lock(node->mutex_);
    node->files_.erase(client);
    for (auto it = node->claims_.begin(); it != node->claims_.end();)
        it = it->second == client ? node->claims_.erase(it) : std::next(it);
}

UsbfsNode::Outcome UsbfsNode::Dispatch(UMockdevIoctlClient* client, unsigned long request,
                                       UMockdevIoctlData* arg)
{
    if (request == USBDEVFS_REAPURB || request == USBDEVFS_REAPURBNDELAY)
        return Reap(client, arg);
    if (IsDisconnected())
        return {-1, ENODEV, nullptr};
    switch (request) {
    case USBDEVFS_GET_CAPABILITIES:
        return WritePointee(arg, kCapabilities) ? Outcome{} : Outcome{-1, EFAULT, nullptr};
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_RELEASEINTERFACE: {
        const auto interface = ReadPointee<unsigned>(arg);
        if (!interface)
            return {-1, EFAULT, nullptr};
        return request == USBDEVFS_CLAIMINTERFACE ? Claim(client, *interface) : Release(client, *interface);
    }
    case USBDEVFS_GETDRIVER:
        return GetDriver(arg);
    case USBDEVFS_IOCTL:
        return InterfaceIoctl(arg);
    case USBDEVFS_DISCONNECT_CLAIM:
        return DisconnectClaim(client, arg);
    case USBDEVFS_CONNECTINFO:
        return ConnectInfo(arg);
    case USBDEVFS_SUBMITURB:
        return Submit(client, arg);
    case USBDEVFS_DISCARDURB:
        return Discard(client, arg);
    case USBDEVFS_CONTROL:
        return SyncControl(client, arg);
    case USBDEVFS_BULK:
        return SyncBulk(client, arg);
    case USBDEVFS_GET_SPEED:
        return {kUsbSpeedHigh, 0, nullptr};
    case USBDEVFS_SETINTERFACE:
    case USBDEVFS_SETCONFIGURATION:
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESETEP:
    case USBDEVFS_RESET:
        return {};
    default:
        std::fprintf(stderr, "usbprinter emulator: unhandled usbfs ioctl 0x%lx on %s\n", request,
                     umockdev_ioctl_client_get_devnode(client));
        return {-1, ENOTTY, nullptr};
    }
}

bool UsbfsNode::IsDisconnected() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return disconnected_;
}

UsbfsNode::Outcome UsbfsNode::Claim(UMockdevIoctlClient* client, unsigned interface)
{
    if (!model_->HasInterface(interface))
        return {-1, ENOENT, nullptr};
    std::lock_guard<std::mutex> lock(mutex_);
    const auto owner = claims_.find(interface);
    if (owner != claims_.end() && owner->second == client)
        return {};
    if (claimRefused_ || owner != claims_.end() || (interface == 0 && kernelDriverBound_))
        return {-1, EBUSY, nullptr};
    claims_[interface] = client;
    return {};
}

UsbfsNode::Outcome UsbfsNode::Release(UMockdevIoctlClient* client, unsigned interface)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto owner = claims_.find(interface);
    if (owner == claims_.end() || owner->second != client)
        return {-1, EINVAL, nullptr};
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
        return {-1, EFAULT, nullptr};
    auto* query = reinterpret_cast<usbdevfs_getdriver*>(memory->data);
    if (!model_->HasInterface(query->interface))
        return {-1, EINVAL, nullptr};
    std::lock_guard<std::mutex> lock(mutex_);
    const char* name = nullptr;
    if (query->interface == 0 && kernelDriverBound_)
        name = kKernelDriverName;
    else if (claims_.count(query->interface))
        name = kUsbfsDriverName;
    if (!name)
        return {-1, ENODATA, nullptr};
    std::memset(query->driver, 0, sizeof(query->driver));
    std::strncpy(query->driver, name, sizeof(query->driver) - 1);
    return {};
}

// USBDEVFS_IOCTL carries a request for the driver of one interface; libusb
// sends DISCONNECT (detach the kernel driver) and CONNECT (attach it again).
UsbfsNode::Outcome UsbfsNode::InterfaceIoctl(UMockdevIoctlData* arg)
{
    const auto command = ReadPointee<usbdevfs_ioctl>(arg);
    if (!command)
        return {-1, EFAULT, nullptr};
    const unsigned interface = static_cast<unsigned>(command->ifno);
    if (!model_->HasInterface(interface))
        return {-1, EINVAL, nullptr};
    if (static_cast<unsigned long>(command->ioctl_code) == USBDEVFS_DISCONNECT)
        return DetachDriver(interface);
    if (static_cast<unsigned long>(command->ioctl_code) == USBDEVFS_CONNECT) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!kernelDriverDetached_ || claims_.count(interface))
            return {-1, EBUSY, nullptr};
        kernelDriverBound_ = true;
        kernelDriverDetached_ = false;
        return {};
    }
    return {-1, ENOTTY, nullptr};
}

UsbfsNode::Outcome UsbfsNode::DetachDriver(unsigned interface)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (interface != 0 || !kernelDriverBound_)
        return {-1, ENODATA, nullptr};
    kernelDriverBound_ = false;
    kernelDriverDetached_ = true;
    return {};
}

UsbfsNode::Outcome UsbfsNode::DisconnectClaim(UMockdevIoctlClient* client, UMockdevIoctlData* arg)
{
    const auto request = ReadPointee<usbdevfs_disconnect_claim>(arg);
    if (!request)
        return {-1, EFAULT, nullptr};
    DetachDriver(request->interface);
    return Claim(client, request->interface);
}

UsbfsNode::Outcome UsbfsNode::ConnectInfo(UMockdevIoctlData* arg) const
{
    usbdevfs_connectinfo info{};
    info.devnum = deviceNumber_;
    info.slow = 0;
    return WritePointee(arg, info) ? Outcome{} : Outcome{-1, EFAULT, nullptr};
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

}  // namespace ovraemu
