#include "printerdevice.h"

#include "ovraemu/usbcore/standardrequests.h"
#include "printerlayout.h"

#include <algorithm>

namespace ovraemu {
namespace {

constexpr uint8_t kDirectionIn = 0x80;

std::vector<uint8_t> CutTo(std::vector<uint8_t> data, size_t length)
{
    if (data.size() > length)
        data.resize(length);
    return data;
}

} // namespace

PrinterDevice::PrinterDevice(const UsbPrinterConfig& config) : description_(PrinterDescription(config))
{
    classReplies_[kStatusRequest] = {};
    classReplies_[kCancelJobRequest] = {};
}

ControlOutcome PrinterDevice::Control(const ControlRequest& setup, const std::vector<uint8_t>&)
{
    if (IsStandardRequest(setup))
        return AnswerStandardRequest(description_, setup);
    return ClassOrVendorRequest(setup);
}

ControlOutcome PrinterDevice::ClassOrVendorRequest(const ControlRequest& setup)
{
    std::lock_guard<std::mutex> lock(mutex_);
    classRequests_.push_back(setup);
    if (stallClassRequests_)
        return {true, {}};
    if (holdClassRequests_)
        return {false, {}, true};
    const auto reply = classReplies_.find(setup.request);
    if (!(setup.requestType & kDirectionIn) || reply == classReplies_.end())
        return {true, {}};
    return {false, CutTo(reply->second, setup.length)};
}

bool PrinterDevice::HasInterface(unsigned number) const { return number == 0; }

// The endpoints of every alternate setting; usbfs keeps to the current one.
bool PrinterDevice::HasBulkEndpoint(uint8_t address) const
{
    const UsbInterfaceLayout& layout = description_.layout;
    if (address == layout.bulkOutEndpoint || address == layout.bulkInEndpoint)
        return true;
    return std::any_of(layout.alternateSettings.begin(), layout.alternateSettings.end(),
                       [address](const UsbAlternateSetting& setting) {
                           return address == setting.bulkOutEndpoint || address == setting.bulkInEndpoint;
                       });
}

bool PrinterDevice::BulkOut(uint8_t endpoint, const std::vector<uint8_t>& data)
{
    return TakeBulkOut(endpoint, data, false).ending != BulkOutOutcome::Ending::Refuse;
}

BulkOutOutcome PrinterDevice::TakeBulkOut(uint8_t, const std::vector<uint8_t>& data, bool continuation)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const BulkOutOutcome outcome = intake_.Take(data, continuation);
    const auto end = data.begin() + static_cast<long>(outcome.taken);
    bulkOutData_.insert(bulkOutData_.end(), data.begin(), end);
    unansweredOut_.insert(unansweredOut_.end(), data.begin(), end);
    return outcome;
}

std::optional<std::vector<uint8_t>> PrinterDevice::BulkIn(uint8_t, size_t maxLength)
{
    if (auto reply = TakeReply(maxLength))
        return reply;
    RunBulkHandler();
    return TakeReply(maxLength);
}

// The handler runs without the lock so that it may call back into the bed.
void PrinterDevice::RunBulkHandler()
{
    std::vector<uint8_t> request;
    BulkHandler handler;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!bulkHandler_ || unansweredOut_.empty())
            return;
        request.swap(unansweredOut_);
        handler = bulkHandler_;
    }
    BulkReply reply = handler(request);
    if (!reply)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    replies_.push_back(std::move(*reply));
}

// A reply longer than the read stays queued and is read on.
std::optional<std::vector<uint8_t>> PrinterDevice::TakeReply(size_t maxLength)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (replies_.empty())
        return std::nullopt;
    std::vector<uint8_t>& front = replies_.front();
    const size_t count = std::min(front.size(), maxLength);
    std::vector<uint8_t> chunk(front.begin(), front.begin() + count);
    front.erase(front.begin(), front.begin() + count);
    if (front.empty())
        replies_.pop_front();
    return chunk;
}

void PrinterDevice::SetClassReply(uint8_t request, std::vector<uint8_t> reply)
{
    std::lock_guard<std::mutex> lock(mutex_);
    classReplies_[request] = std::move(reply);
}

void PrinterDevice::SetStallClassRequests(bool stall)
{
    std::lock_guard<std::mutex> lock(mutex_);
    stallClassRequests_ = stall;
}

void PrinterDevice::SetHoldClassRequests(bool hold)
{
    std::lock_guard<std::mutex> lock(mutex_);
    holdClassRequests_ = hold;
}

void PrinterDevice::SetBulkHandler(BulkHandler handler)
{
    std::lock_guard<std::mutex> lock(mutex_);
    bulkHandler_ = std::move(handler);
}

std::vector<ControlRequest> PrinterDevice::ClassRequests() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return classRequests_;
}

std::vector<uint8_t> PrinterDevice::BulkOutData() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return bulkOutData_;
}

std::vector<std::vector<uint8_t>> PrinterDevice::BulkOutTransfers() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return intake_.Transfers();
}

void PrinterDevice::FailBulkOut(int count, size_t afterBytes)
{
    std::lock_guard<std::mutex> lock(mutex_);
    intake_.FailNext(count, afterBytes);
}

void PrinterDevice::ShortenBulkOut(std::optional<size_t> bytes)
{
    std::lock_guard<std::mutex> lock(mutex_);
    intake_.Shorten(bytes);
}

void PrinterDevice::HoldBulkOut(std::optional<size_t> afterBytes)
{
    std::lock_guard<std::mutex> lock(mutex_);
    intake_.HoldAfter(afterBytes);
}

} // namespace ovraemu
