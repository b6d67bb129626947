// The synchronous CONTROL and BULK requests of a usbfs node. A bulk read waits
// for the device's data until its time-out (ETIMEDOUT), as in the kernel; a
// time-out of 0 waits without limit. A bulk write that the device refuses or
// holds, and a control request it does not answer, fail with ETIMEDOUT after
// their time-out; a write that the device stalls fails with EPIPE at once; one
// that it takes in part returns the count taken.
#include "transferhelpers.h"
#include "usbfsnode.h"

#include <algorithm>
#include <cerrno>

namespace ovraemu {

UsbfsNode::Outcome UsbfsNode::SyncControl(UMockdevIoctlClient* client, UMockdevIoctlData* arg)
{
    ClientMemory transfer = Resolve(arg, 0, sizeof(usbdevfs_ctrltransfer));
    if (!transfer)
        return {-1, EFAULT};
    const auto* fields = reinterpret_cast<const usbdevfs_ctrltransfer*>(transfer->data);
    const ControlRequest setup{fields->bRequestType, fields->bRequest, fields->wValue, fields->wIndex, fields->wLength};
    Outcome check = CheckControlRecipient(client, setup);
    if (check.error)
        return check;
    ClientMemory stage;
    if (setup.length > 0) {
        stage = Resolve(transfer.get(), offsetof(usbdevfs_ctrltransfer, data), setup.length);
        if (!stage)
            return {-1, EFAULT};
    }
    const bool in = setup.requestType & kDirectionIn;
    const std::vector<uint8_t> outData =
        in || !stage ? std::vector<uint8_t>{} : std::vector<uint8_t>(stage->data, stage->data + setup.length);
    const ControlOutcome answer = model_->Control(setup, outData);
    if (answer.hold) {
        const unsigned timeoutMs = fields->timeout;
        return SyncControlHeld(client, std::move(transfer), timeoutMs);
    }
    if (answer.stall)
        return {-1, EPIPE};
    if (!in)
        return {setup.length, 0};
    return {static_cast<long>(stage ? CopyReply(answer.data, stage->data, setup.length) : 0), 0};
}

UsbfsNode::Outcome UsbfsNode::SyncControlHeld(UMockdevIoctlClient* client, ClientMemory transfer, unsigned timeoutMs)
{
    auto held = std::make_unique<SyncTransfer>();
    held->client = ClientRef(static_cast<UMockdevIoctlClient*>(g_object_ref(client)));
    held->fields = std::move(transfer);
    held->deadline = DeadlineAfter(timeoutMs);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stalledWrites_.push_back(std::move(held));
    }
    WakeTimer();
    return Outcome::Later();
}

UsbfsNode::Outcome UsbfsNode::SyncBulk(UMockdevIoctlClient* client, UMockdevIoctlData* arg)
{
    auto transfer = std::make_unique<SyncTransfer>();
    transfer->fields = Resolve(arg, 0, sizeof(usbdevfs_bulktransfer));
    if (!transfer->fields)
        return {-1, EFAULT};
    const auto* fields = reinterpret_cast<const usbdevfs_bulktransfer*>(transfer->fields->data);
    transfer->endpoint = static_cast<uint8_t>(fields->ep);
    transfer->length = fields->len;
    transfer->deadline = DeadlineAfter(fields->timeout);
    if (fields->ep > 0xFF || !HasCurrentBulkEndpoint(transfer->endpoint))
        return {-1, ENOENT};
    Outcome check = CheckInterface(client, kBulkInterface);
    if (check.error)
        return check;
    if (transfer->length > 0) {
        transfer->buffer = Resolve(transfer->fields.get(), offsetof(usbdevfs_bulktransfer, data), transfer->length);
        if (!transfer->buffer)
            return {-1, EFAULT};
    }
    transfer->client = ClientRef(static_cast<UMockdevIoctlClient*>(g_object_ref(client)));
    if (transfer->endpoint & kDirectionIn)
        return SyncBulkIn(client, std::move(transfer));
    return SyncBulkOut(std::move(transfer));
}

UsbfsNode::Outcome UsbfsNode::SyncBulkOut(std::unique_ptr<SyncTransfer> transfer)
{
    const uint8_t* data = transfer->buffer ? transfer->buffer->data : nullptr;
    const std::vector<uint8_t> bytes =
        data ? std::vector<uint8_t>(data, data + transfer->length) : std::vector<uint8_t>{};
    const BulkOutOutcome outcome = model_->TakeBulkOut(transfer->endpoint, bytes, false);
    switch (outcome.ending) {
    case BulkOutOutcome::Ending::Whole:
    case BulkOutOutcome::Ending::Short: {
        const size_t taken = outcome.ending == BulkOutOutcome::Ending::Whole
                                 ? transfer->length
                                 : std::min(outcome.taken, transfer->length);
        Serve();
        WakeTimer();
        return {static_cast<long>(taken), 0};
    }
    case BulkOutOutcome::Ending::Stall: return {-1, EPIPE};
    case BulkOutOutcome::Ending::Refuse:
    case BulkOutOutcome::Ending::Hold: break;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stalledWrites_.push_back(std::move(transfer));
    }
    WakeTimer();
    return Outcome::Later();
}

// The read joins the waiting reads behind those that came first; Serve()
// completes it at once when the device has data. While the node drains, a
// read without data does not wait.
UsbfsNode::Outcome UsbfsNode::SyncBulkIn(UMockdevIoctlClient* client, std::unique_ptr<SyncTransfer> transfer)
{
    if (transfer->length == 0)
        return {0, 0};
    {
        std::lock_guard<std::mutex> lock(mutex_);
        waiting_.push_back({client, nullptr, std::move(transfer)});
    }
    Serve();
    if (Draining())
        EndWaitingSyncReads(ETIMEDOUT);
    WakeTimer();
    return Outcome::Later();
}

} // namespace ovraemu
