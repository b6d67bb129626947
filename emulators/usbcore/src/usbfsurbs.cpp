// URBs of a usbfs node: SUBMITURB, REAPURB (blocking or not) and DISCARDURB.
#include "transferhelpers.h"
#include "usbfsnode.h"

#include <algorithm>
#include <cerrno>
#include <utility>

namespace ovraemu {

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
        return {-1, EFAULT};
    const int length = urb->Fields()->buffer_length;
    if (length < 0)
        return {-1, EINVAL};
    if (length > 0) {
        urb->buffer = Resolve(urb->fields.get(), offsetof(usbdevfs_urb, buffer), static_cast<size_t>(length));
        if (!urb->buffer)
            return {-1, EFAULT};
    }
    switch (urb->Fields()->type) {
    case USBDEVFS_URB_TYPE_CONTROL: return SubmitControl(client, std::move(urb));
    case USBDEVFS_URB_TYPE_BULK: return SubmitBulk(client, std::move(urb));
    default: return {-1, EINVAL};
    }
}

// A control URB carries the setup packet followed by the data stage.
UsbfsNode::Outcome UsbfsNode::SubmitControl(UMockdevIoctlClient* client, std::unique_ptr<Urb> urb)
{
    const size_t length = static_cast<size_t>(urb->Fields()->buffer_length);
    if (urb->Fields()->endpoint != 0 || length < kSetupSize)
        return {-1, EINVAL};
    uint8_t* buffer = urb->Data();
    const ControlRequest setup = ParseSetup(buffer);
    if (kSetupSize + setup.length > length)
        return {-1, EINVAL};
    Outcome check = CheckControlRecipient(client, setup);
    if (check.error)
        return check;

    uint8_t* stage = buffer + kSetupSize;
    const bool in = setup.requestType & kDirectionIn;
    const std::vector<uint8_t> outData =
        in ? std::vector<uint8_t>{} : std::vector<uint8_t>(stage, stage + setup.length);
    const ControlOutcome answer = model_->Control(setup, outData);
    if (answer.hold) {
        Hold(client, std::move(urb), 0);
        return {};
    }
    if (answer.stall)
        urb->Finish(-EPIPE, 0);
    else if (in)
        urb->Finish(0, static_cast<int>(CopyReply(answer.data, stage, setup.length)));
    else
        urb->Finish(0, setup.length);
    Complete(client, std::move(urb));
    return {};
}

// A bulk IN URB waits until the device has data; a bulk OUT URB ends as the
// device takes it.
UsbfsNode::Outcome UsbfsNode::SubmitBulk(UMockdevIoctlClient* client, std::unique_ptr<Urb> urb)
{
    const uint8_t endpoint = urb->Fields()->endpoint;
    if (!HasCurrentBulkEndpoint(endpoint))
        return {-1, ENOENT};
    Outcome check = CheckInterface(client, kBulkInterface);
    if (check.error)
        return check;

    if (endpoint & kDirectionIn) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (disconnected_ || shutDown_) {
            lock.unlock();
            EndForGoneDevice(client, std::move(urb), 0);
            return {};
        }
        waiting_.push_back({client, std::move(urb), nullptr});
    } else {
        Outcome submitted = SubmitBulkOut(client, std::move(urb));
        if (submitted.error)
            return submitted;
    }
    Serve();
    WakeTimer();
    return {};
}

// A URB that the device refuses or stalls ends with EPIPE; one that it takes
// only in part ends short. Either way the transfer it belongs to is over: its
// later URBs (marked as continuations) never reach the device and end as
// cancelled (ECONNRESET, nothing moved), as when the kernel unlinks the queued
// URBs of a bulk transfer after one of them failed. libusb then reports the
// stall, or success with the bytes moved before the short URB. A URB that the
// device holds stays in flight, and the later URBs of its transfer queue up
// behind it without reaching the device.
UsbfsNode::Outcome UsbfsNode::SubmitBulkOut(UMockdevIoctlClient* client, std::unique_ptr<Urb> urb)
{
    const uint8_t endpoint = urb->Fields()->endpoint;
    const bool continuation = urb->Fields()->flags & USBDEVFS_URB_BULK_CONTINUATION;
    if (continuation && HoldsBulkOut(client, endpoint)) {
        Hold(client, std::move(urb), 0);
        return {};
    }
    if (!BulkOutGoesOn(client, endpoint, continuation)) {
        urb->Finish(-ECONNRESET, 0);
        Complete(client, std::move(urb));
        return {};
    }
    const int length = urb->Fields()->buffer_length;
    const uint8_t* data = urb->Data();
    const BulkOutOutcome outcome =
        model_->TakeBulkOut(endpoint, data ? std::vector<uint8_t>(data, data + length) : std::vector<uint8_t>{},
                            continuation);
    const int taken = static_cast<int>(std::min(outcome.taken, static_cast<size_t>(length)));
    switch (outcome.ending) {
    case BulkOutOutcome::Ending::Whole: urb->Finish(0, length); break;
    case BulkOutOutcome::Ending::Short: urb->Finish(0, taken); break;
    case BulkOutOutcome::Ending::Stall:
    case BulkOutOutcome::Ending::Refuse: urb->Finish(-EPIPE, taken); break;
    case BulkOutOutcome::Ending::Hold: Hold(client, std::move(urb), taken); return {};
    }
    if (outcome.ending != BulkOutOutcome::Ending::Whole)
        StopBulkOut(client, endpoint);
    Complete(client, std::move(urb));
    return {};
}

bool UsbfsNode::BulkOutGoesOn(UMockdevIoctlClient* client, uint8_t endpoint, bool continuation)
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::set<uint8_t>& stopped = files_[client].stoppedBulkOut;
    if (!continuation)
        stopped.erase(endpoint);
    return stopped.count(endpoint) == 0;
}

void UsbfsNode::StopBulkOut(UMockdevIoctlClient* client, uint8_t endpoint)
{
    std::lock_guard<std::mutex> lock(mutex_);
    files_[client].stoppedBulkOut.insert(endpoint);
}

UsbfsNode::Outcome UsbfsNode::CheckControlRecipient(UMockdevIoctlClient* client, const ControlRequest& setup)
{
    if ((setup.requestType & kTypeMask) == kTypeVendor || (setup.requestType & kRecipientMask) != kRecipientInterface)
        return {};
    return CheckInterface(client, setup.index & 0xFF);
}

// A reaped URB is handed back by pointing the client's argument at it; its
// status, length and buffer reach the client when the ioctl completes. A
// blocking reap with nothing to reap waits for the next finished URB.
UsbfsNode::Outcome UsbfsNode::Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg, bool block)
{
    ClientMemory slot = Resolve(arg, 0, sizeof(void*));
    if (!slot)
        return {-1, EFAULT};
    std::unique_ptr<Urb> urb;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        OpenFile& file = files_[client];
        if (file.done.empty()) {
            if (disconnected_ || shutDown_)
                return {-1, ENODEV};
            if (!block)
                return {-1, EAGAIN};
            file.reaps.push_back({ClientRef(static_cast<UMockdevIoctlClient*>(g_object_ref(client))), std::move(slot)});
            return Outcome::Later();
        }
        urb = std::move(file.done.front());
        file.done.pop_front();
    }
    if (!umockdev_ioctl_data_set_ptr(slot.get(), 0, urb->fields.get())) {
        Complete(client, std::move(urb));
        return {-1, EFAULT};
    }
    return Outcome::Reaped(std::move(urb));
}

void UsbfsNode::Hold(UMockdevIoctlClient* client, std::unique_ptr<Urb> urb, int taken)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!disconnected_ && !shutDown_) {
            held_.push_back({client, std::move(urb), taken});
            return;
        }
    }
    EndForGoneDevice(client, std::move(urb), taken);
}

// The device left the bus while the request was on its way to it: nothing would
// ever end the URB (libusb learns of the unplug only from its URBs here).
void UsbfsNode::EndForGoneDevice(UMockdevIoctlClient* client, std::unique_ptr<Urb> urb, int taken)
{
    urb->Finish(-ESHUTDOWN, taken);
    Complete(client, std::move(urb));
}

bool UsbfsNode::HoldsBulkOut(UMockdevIoctlClient* client, uint8_t endpoint) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return std::any_of(held_.begin(), held_.end(), [client, endpoint](const HeldUrb& held) {
        return held.client == client && held.urb->Fields()->type == USBDEVFS_URB_TYPE_BULK
               && held.urb->Fields()->endpoint == endpoint;
    });
}

bool UsbfsNode::DiscardHeld(UMockdevIoctlClient* client, unsigned long address)
{
    HeldUrb discarded;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = std::find_if(held_.begin(), held_.end(), [client, address](const HeldUrb& held) {
            return held.client == client && held.urb->address == address;
        });
        if (found == held_.end())
            return false;
        discarded = std::move(*found);
        held_.erase(found);
    }
    discarded.urb->Finish(-ENOENT, discarded.taken);
    Complete(client, std::move(discarded.urb));
    return true;
}

// Only a read still waiting for data, or a URB the device holds, can be
// discarded; it ends with ENOENT.
UsbfsNode::Outcome UsbfsNode::Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg)
{
    const unsigned long address = ArgumentValue(arg);
    if (DiscardHeld(client, address))
        return {};
    std::unique_ptr<Urb> discarded;
    {
        std::lock_guard<std::mutex> reads(readMutex_);
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = std::find_if(waiting_.begin(), waiting_.end(), [client, address](const WaitingRead& read) {
            return read.client == client && read.urb && read.urb->address == address;
        });
        if (found == waiting_.end())
            return {-1, EINVAL};
        discarded = std::move(found->urb);
        waiting_.erase(found);
    }
    discarded->Finish(-ENOENT, 0);
    Complete(client, std::move(discarded));
    return {};
}

void UsbfsNode::Complete(UMockdevIoctlClient* client, std::unique_ptr<Urb> urb)
{
    std::lock_guard<std::mutex> lock(mutex_);
    OpenFile& file = files_[client];
    if (file.reaps.empty()) {
        file.done.push_back(std::move(urb));
        return;
    }
    WaitingReap reap = std::move(file.reaps.front());
    file.reaps.pop_front();
    if (!umockdev_ioctl_data_set_ptr(reap.slot.get(), 0, urb->fields.get())) {
        completions_.push_back({std::move(reap.client), -1, EFAULT, nullptr, nullptr});
        file.done.push_back(std::move(urb));
        return;
    }
    completions_.push_back({std::move(reap.client), 0, 0, std::move(urb), nullptr});
}

} // namespace ovraemu
