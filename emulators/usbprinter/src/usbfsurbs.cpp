// URBs (SUBMITURB, REAPURB, DISCARDURB) and the synchronous CONTROL and BULK
// requests of a usbfs node.
#include "usbfsnode.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <utility>
#include <vector>

namespace ovraemu {
namespace {

constexpr size_t kSetupSize = 8;
constexpr uint8_t kDirectionIn = 0x80;
constexpr uint8_t kTypeMask = 0x60;
constexpr uint8_t kTypeVendor = 0x40;
constexpr uint8_t kRecipientMask = 0x1F;
constexpr uint8_t kRecipientInterface = 0x01;
// Every bulk endpoint of the emulated devices belongs to interface 0.
constexpr unsigned kBulkInterface = 0;

ControlRequest ParseSetup(const uint8_t* setup)
{
    ControlRequest request;
    request.requestType = setup[0];
    request.request = setup[1];
    request.value = static_cast<uint16_t>(setup[2] | setup[3] << 8);
    request.index = static_cast<uint16_t>(setup[4] | setup[5] << 8);
    request.length = static_cast<uint16_t>(setup[6] | setup[7] << 8);
    return request;
}

// The pointer value of an ioctl argument, as the client passed it.
unsigned long ArgumentValue(UMockdevIoctlData* arg)
{
    unsigned long value = 0;
    std::copy_n(arg->data, std::min<size_t>(sizeof value, static_cast<size_t>(arg->data_len)),
                reinterpret_cast<uint8_t*>(&value));
    return value;
}

// Copies a device-to-host reply into the client buffer; returns the count.
size_t CopyReply(const std::vector<uint8_t>& reply, uint8_t* destination, size_t capacity)
{
    const size_t count = std::min(reply.size(), capacity);
    std::copy_n(reply.begin(), count, destination);
    return count;
}

}  // namespace

void UsbfsNode::Urb::Finish(int status, int actualLength) const
{
    Fields()->status = status;
    Fields()->actual_length = actualLength;
}

UsbfsNode::Outcome UsbfsNode::Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg)
{
    auto urb = std::make_unique<Urb>();
    urb->address = ArgumentValue(arg);
    urb->fields = Resolve(arg, 0, sizeof(usbdevfs_urb));
    if (!urb->fields)
        return {-1, EFAULT, nullptr};
    const int length = urb->Fields()->buffer_length;
    if (length < 0)
        return {-1, EINVAL, nullptr};
    if (length > 0) {
        urb->buffer = Resolve(urb->fields.get(), offsetof(usbdevfs_urb, buffer), static_cast<size_t>(length));
        if (!urb->buffer)
            return {-1, EFAULT, nullptr};
    }
    switch (urb->Fields()->type) {
    case USBDEVFS_URB_TYPE_CONTROL:
        return SubmitControl(client, std::move(urb));
    case USBDEVFS_URB_TYPE_BULK:
        return SubmitBulk(client, std::move(urb));
    default:
        return {-1, EINVAL, nullptr};
    }
}

// A control URB carries the setup packet followed by the data stage.
UsbfsNode::Outcome UsbfsNode::SubmitControl(UMockdevIoctlClient* client, std::unique_ptr<Urb> urb)
{
    const size_t length = static_cast<size_t>(urb->Fields()->buffer_length);
    if (urb->Fields()->endpoint != 0 || length < kSetupSize)
        return {-1, EINVAL, nullptr};
    uint8_t* buffer = urb->Data();
    const ControlRequest setup = ParseSetup(buffer);
    if (kSetupSize + setup.length > length)
        return {-1, EINVAL, nullptr};
    Outcome check = CheckControlRecipient(client, setup);
    if (check.error)
        return check;

    uint8_t* stage = buffer + kSetupSize;
    const bool in = setup.requestType & kDirectionIn;
    const std::vector<uint8_t> outData = in ? std::vector<uint8_t>{} : std::vector<uint8_t>(stage, stage + setup.length);
    const ControlOutcome answer = model_->Control(setup, outData);
    if (answer.stall)
        urb->Finish(-EPIPE, 0);
    else if (in)
        urb->Finish(0, static_cast<int>(CopyReply(answer.data, stage, setup.length)));
    else
        urb->Finish(0, setup.length);
    Complete(client, std::move(urb));
    return {};
}

UsbfsNode::Outcome UsbfsNode::SubmitBulk(UMockdevIoctlClient* client, std::unique_ptr<Urb> urb)
{
    const uint8_t endpoint = urb->Fields()->endpoint;
    if (!model_->HasBulkEndpoint(endpoint))
        return {-1, ENOENT, nullptr};
    Outcome check = CheckInterface(client, kBulkInterface);
    if (check.error)
        return check;

    if (endpoint & kDirectionIn) {
        Wait(client, std::move(urb));
    } else {
        const int length = urb->Fields()->buffer_length;
        model_->BulkOut(endpoint, std::vector<uint8_t>(urb->Data(), urb->Data() + length));
        urb->Finish(0, length);
        Complete(client, std::move(urb));
    }
    ServeWaitingReads();
    return {};
}

UsbfsNode::Outcome UsbfsNode::CheckControlRecipient(UMockdevIoctlClient* client, const ControlRequest& setup)
{
    if ((setup.requestType & kTypeMask) == kTypeVendor ||
        (setup.requestType & kRecipientMask) != kRecipientInterface)
        return {};
    return CheckInterface(client, setup.index & 0xFF);
}

// A reaped URB is handed back by pointing the client's argument at it; its
// status, length and buffer reach the client when the ioctl completes.
UsbfsNode::Outcome UsbfsNode::Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg)
{
    std::unique_ptr<Urb> urb;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto file = files_.find(client);
        if (file == files_.end() || file->second.done.empty())
            return {-1, disconnected_ ? ENODEV : EAGAIN, nullptr};
        urb = std::move(file->second.done.front());
        file->second.done.pop_front();
    }
    // The argument points to the client's pointer variable that receives the URB.
    ClientMemory slot = Resolve(arg, 0, sizeof(void*));
    if (!slot || !umockdev_ioctl_data_set_ptr(slot.get(), 0, urb->fields.get())) {
        Complete(client, std::move(urb));
        return {-1, EFAULT, nullptr};
    }
    return {0, 0, std::move(urb)};
}

// Only a read still waiting for data can be discarded; it ends with ENOENT.
UsbfsNode::Outcome UsbfsNode::Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg)
{
    const unsigned long address = ArgumentValue(arg);
    std::lock_guard<std::mutex> reads(readMutex_);
    std::lock_guard<std::mutex> lock(mutex_);
    OpenFile& file = files_[client];
    const auto found = std::find_if(file.waiting.begin(), file.waiting.end(),
                                    [address](const std::unique_ptr<Urb>& urb) { return urb->address == address; });
    if (found == file.waiting.end())
        return {-1, EINVAL, nullptr};
    (*found)->Finish(-ENOENT, 0);
    file.done.push_back(std::move(*found));
    file.waiting.erase(found);
    return {};
}

UsbfsNode::Outcome UsbfsNode::SyncControl(UMockdevIoctlClient* client, UMockdevIoctlData* arg)
{
    ClientMemory transfer = Resolve(arg, 0, sizeof(usbdevfs_ctrltransfer));
    if (!transfer)
        return {-1, EFAULT, nullptr};
    const auto* fields = reinterpret_cast<const usbdevfs_ctrltransfer*>(transfer->data);
    const ControlRequest setup{fields->bRequestType, fields->bRequest, fields->wValue, fields->wIndex,
                               fields->wLength};
    Outcome check = CheckControlRecipient(client, setup);
    if (check.error)
        return check;
    ClientMemory stage;
    if (setup.length > 0) {
        stage = Resolve(transfer.get(), offsetof(usbdevfs_ctrltransfer, data), setup.length);
        if (!stage)
            return {-1, EFAULT, nullptr};
    }
    const bool in = setup.requestType & kDirectionIn;
    const std::vector<uint8_t> outData =
        in || !stage ? std::vector<uint8_t>{} : std::vector<uint8_t>(stage->data, stage->data + setup.length);
    const ControlOutcome answer = model_->Control(setup, outData);
    if (answer.stall)
        return {-1, EPIPE, nullptr};
    if (!in)
        return {setup.length, 0, nullptr};
    return {static_cast<long>(stage ? CopyReply(answer.data, stage->data, setup.length) : 0), 0, nullptr};
}

// A synchronous bulk read with no data ready fails at once with ETIMEDOUT
// instead of waiting for the caller's time-out.
UsbfsNode::Outcome UsbfsNode::SyncBulk(UMockdevIoctlClient* client, UMockdevIoctlData* arg)
{
    ClientMemory transfer = Resolve(arg, 0, sizeof(usbdevfs_bulktransfer));
    if (!transfer)
        return {-1, EFAULT, nullptr};
    const auto* fields = reinterpret_cast<const usbdevfs_bulktransfer*>(transfer->data);
    const uint8_t endpoint = static_cast<uint8_t>(fields->ep);
    const size_t length = fields->len;
    if (!model_->HasBulkEndpoint(endpoint))
        return {-1, ENOENT, nullptr};
    Outcome check = CheckInterface(client, kBulkInterface);
    if (check.error)
        return check;
    ClientMemory data;
    if (length > 0) {
        data = Resolve(transfer.get(), offsetof(usbdevfs_bulktransfer, data), length);
        if (!data)
            return {-1, EFAULT, nullptr};
    }
    if (!(endpoint & kDirectionIn)) {
        model_->BulkOut(endpoint, data ? std::vector<uint8_t>(data->data, data->data + length) : std::vector<uint8_t>{});
        ServeWaitingReads();
        return {static_cast<long>(length), 0, nullptr};
    }
    std::lock_guard<std::mutex> reads(readMutex_);
    const auto reply = model_->BulkIn(endpoint, length);
    if (!reply)
        return {-1, ETIMEDOUT, nullptr};
    return {static_cast<long>(data ? CopyReply(*reply, data->data, length) : 0), 0, nullptr};
}

bool UsbfsNode::TryRead(Urb& urb)
{
    const size_t capacity = static_cast<size_t>(urb.Fields()->buffer_length);
    const auto reply = model_->BulkIn(urb.Fields()->endpoint, capacity);
    if (!reply)
        return false;
    urb.Finish(0, static_cast<int>(urb.Data() ? CopyReply(*reply, urb.Data(), capacity) : 0));
    return true;
}

void UsbfsNode::Complete(UMockdevIoctlClient* client, std::unique_ptr<Urb> urb)
{
    std::lock_guard<std::mutex> lock(mutex_);
    files_[client].done.push_back(std::move(urb));
}

void UsbfsNode::Wait(UMockdevIoctlClient* client, std::unique_ptr<Urb> urb)
{
    std::lock_guard<std::mutex> lock(mutex_);
    files_[client].waiting.push_back(std::move(urb));
}

void UsbfsNode::ServeWaitingReads()
{
    std::lock_guard<std::mutex> reads(readMutex_);
    std::vector<std::pair<UMockdevIoctlClient*, std::unique_ptr<Urb>>> waiting;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (disconnected_)
            return;
        for (auto& [client, file] : files_) {
            for (auto& urb : file.waiting)
                waiting.emplace_back(client, std::move(urb));
            file.waiting.clear();
        }
    }
    for (auto& [client, urb] : waiting) {
        if (TryRead(*urb))
            Complete(client, std::move(urb));
        else
            Wait(client, std::move(urb));
    }
}

void UsbfsNode::Disconnect()
{
    std::lock_guard<std::mutex> reads(readMutex_);
    std::lock_guard<std::mutex> lock(mutex_);
    disconnected_ = true;
    for (auto& entry : files_) {
        OpenFile& file = entry.second;
        for (auto& urb : file.waiting) {
            urb->Finish(-ESHUTDOWN, 0);
            file.done.push_back(std::move(urb));
        }
        file.waiting.clear();
    }
}

}  // namespace ovraemu
