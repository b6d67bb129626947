// Entry points of a usbfs node: the umockdev signals, the request dispatch
// and the node's life cycle.
#include "usbfsnode.h"

#include "ovraemu/usbcore/usbfsprivate.h"
#include "usbtrace.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace ovraemu {
namespace {

// What the node reports to USBDEVFS_GET_CAPABILITIES. Without scatter-gather
// libusb cuts bulk transfers into URBs of 16 KiB, as on many real hosts.
constexpr uint32_t kCapabilities =
    USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM;
constexpr long kUsbSpeedHigh = 3;

} // namespace

UsbfsNode::UsbfsNode(std::shared_ptr<UsbDeviceModel> model, UsbfsNodeSetup setup)
    : model_(std::move(model)), setup_(std::move(setup)), handler_(umockdev_ioctl_base_new())
{
    g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&UsbfsNode::OnIoctl), this);
    g_signal_connect(handler_, "handle-read", G_CALLBACK(&UsbfsNode::OnRead), this);
    g_signal_connect(handler_, "handle-write", G_CALLBACK(&UsbfsNode::OnWrite), this);
    g_signal_connect(handler_, "client-connected", G_CALLBACK(&UsbfsNode::OnClientConnected), this);
    g_signal_connect(handler_, "client-vanished", G_CALLBACK(&UsbfsNode::OnClientVanished), this);
    timer_ = std::thread(&UsbfsNode::TimerLoop, this);
}

UsbfsNode::~UsbfsNode()
{
    Shutdown();
    g_signal_handlers_disconnect_by_data(handler_, this);
    g_object_unref(handler_);
}

void UsbfsNode::Shutdown()
{
    {
        std::lock_guard<std::mutex> lock(timerMutex_);
        if (timerStopping_)
            return;
        timerStopping_ = true;
    }
    timerWake_.notify_all();
    if (timer_.joinable())
        timer_.join();
    {
        std::lock_guard<std::mutex> reads(readMutex_);
        std::lock_guard<std::mutex> lock(mutex_);
        shutDown_ = true;
    }
    EndEverything(-ESHUTDOWN, ENODEV);
    StopWatchingClients();
}

void UsbfsNode::SetLeftBusListener(std::function<void()> listener)
{
    std::lock_guard<std::mutex> lock(mutex_);
    leftBusListener_ = std::move(listener);
}

gboolean UsbfsNode::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self)
{
    auto* node = static_cast<UsbfsNode*>(self);
    ++node->requestCount_;
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    Outcome outcome = node->Dispatch(client, request, umockdev_ioctl_client_get_arg(client));
    TraceRequest(umockdev_ioctl_client_get_devnode(client), request, outcome.result, outcome.error, outcome.deferred);
    if (!outcome.deferred)
        umockdev_ioctl_client_complete(client, outcome.result, outcome.error);
    node->FlushCompletions();
    return TRUE;
}

// Reading a usbfs node yields the device's descriptors from the file position on.
gboolean UsbfsNode::OnRead(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self)
{
    auto* node = static_cast<UsbfsNode*>(self);
    ++node->requestCount_;
    const Outcome outcome = node->ReadDescriptors(client, umockdev_ioctl_client_get_arg(client));
    umockdev_ioctl_client_complete(client, outcome.result, outcome.error);
    return TRUE;
}

// usbfs nodes cannot be written.
gboolean UsbfsNode::OnWrite(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer)
{
    umockdev_ioctl_client_complete(client, -1, EINVAL);
    return TRUE;
}

UsbfsNode::Outcome UsbfsNode::ReadDescriptors(UMockdevIoctlClient* client, UMockdevIoctlData* buffer)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (disconnected_)
        return {-1, ENODEV};
    size_t& offset = files_[client].readOffset;
    const std::vector<uint8_t>& descriptors = setup_.descriptors;
    const size_t count =
        std::min(static_cast<size_t>(buffer->data_len), descriptors.size() - std::min(offset, descriptors.size()));
    std::copy_n(descriptors.begin() + static_cast<long>(offset), count, buffer->data);
    offset += count;
    return {static_cast<long>(count), 0};
}

UsbfsNode::Outcome UsbfsNode::Dispatch(UMockdevIoctlClient* client, unsigned long request, UMockdevIoctlData* arg)
{
    if (request == USBDEVFS_REAPURB || request == USBDEVFS_REAPURBNDELAY)
        return Reap(client, arg, request == USBDEVFS_REAPURB);
    if (IsDisconnected())
        return {-1, ENODEV};
    switch (request) {
    case USBDEVFS_GET_CAPABILITIES: return WritePointee(arg, kCapabilities) ? Outcome{} : Outcome{-1, EFAULT};
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_RELEASEINTERFACE: {
        const auto interface = ReadPointee<unsigned>(arg);
        if (!interface)
            return {-1, EFAULT};
        return request == USBDEVFS_CLAIMINTERFACE ? Claim(client, *interface) : Release(client, *interface);
    }
    case USBDEVFS_GETDRIVER: return GetDriver(arg);
    case USBDEVFS_IOCTL: return InterfaceIoctl(arg);
    case USBDEVFS_DISCONNECT_CLAIM: return DisconnectClaim(client, arg);
    case USBDEVFS_CONNECTINFO: return ConnectInfo(arg);
    case USBDEVFS_SUBMITURB: return Submit(client, arg);
    case USBDEVFS_DISCARDURB: return Discard(client, arg);
    case USBDEVFS_CONTROL: return SyncControl(client, arg);
    case USBDEVFS_BULK: return SyncBulk(client, arg);
    case USBDEVFS_GET_SPEED: return {kUsbSpeedHigh, 0};
    case USBDEVFS_CLEAR_HALT: return EndpointIoctl(client, EndpointRequest::ClearHalt, arg);
    case USBDEVFS_RESETEP: return EndpointIoctl(client, EndpointRequest::ResetEndpoint, arg);
    case USBDEVFS_RESET: model_->OnReset(); return {};
    case USBDEVFS_SETINTERFACE: return SetInterface(arg);
    case USBDEVFS_SETCONFIGURATION: return {};
    case OVRA_USBFS_DRAIN:
    case OVRA_USBFS_DRAIN_END: return Drain(request == OVRA_USBFS_DRAIN);
    default:
        std::fprintf(stderr, "usb emulator: unhandled usbfs ioctl 0x%lx on %s\n", request,
                     umockdev_ioctl_client_get_devnode(client));
        return {-1, ENOTTY};
    }
}

bool UsbfsNode::IsDisconnected() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return disconnected_ || shutDown_;
}

void UsbfsNode::Disconnect()
{
    {
        std::lock_guard<std::mutex> reads(readMutex_);
        std::lock_guard<std::mutex> lock(mutex_);
        disconnected_ = true;
    }
    EndEverything(-ESHUTDOWN, ENODEV);
}

} // namespace ovraemu
