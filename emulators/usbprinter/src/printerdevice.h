// The printer behind the USB cable: descriptors, class requests and the bulk
// pipe, with a record of what it received. Thread-safe.
#pragma once

#include "bulkoutintake.h"
#include "ovraemu/usbcore/usbdevicedescription.h"
#include "ovraemu/usbcore/usbdevicemodel.h"
#include "ovraemu/usbprinterbed.h"

#include <deque>
#include <map>
#include <mutex>

namespace ovraemu {

class PrinterDevice : public UsbDeviceModel
{
public:
    explicit PrinterDevice(const UsbPrinterConfig& config);

    ControlOutcome Control(const ControlRequest& setup, const std::vector<uint8_t>& outData) override;
    bool HasInterface(unsigned number) const override;
    bool HasBulkEndpoint(uint8_t address) const override;
    bool BulkOut(uint8_t endpoint, const std::vector<uint8_t>& data) override;
    BulkOutOutcome TakeBulkOut(uint8_t endpoint, const std::vector<uint8_t>& data, bool continuation) override;
    std::optional<std::vector<uint8_t>> BulkIn(uint8_t endpoint, size_t maxLength) override;

    void SetClassReply(uint8_t request, std::vector<uint8_t> reply);
    void SetStallClassRequests(bool stall);
    void SetHoldClassRequests(bool hold);
    void SetBulkHandler(BulkHandler handler);
    std::vector<ControlRequest> ClassRequests() const;
    std::vector<uint8_t> BulkOutData() const;
    std::vector<std::vector<uint8_t>> BulkOutTransfers() const;
    void FailBulkOut(int count, size_t afterBytes);
    void ShortenBulkOut(std::optional<size_t> bytes);
    void HoldBulkOut(std::optional<size_t> afterBytes);

private:
    ControlOutcome ClassOrVendorRequest(const ControlRequest& setup);
    void RunBulkHandler();
    std::optional<std::vector<uint8_t>> TakeReply(size_t maxLength);

    const UsbDeviceDescription description_;
    mutable std::mutex mutex_;
    std::map<uint8_t, std::vector<uint8_t>> classReplies_;
    std::vector<ControlRequest> classRequests_;
    bool stallClassRequests_ = false;
    bool holdClassRequests_ = false;
    BulkOutIntake intake_;
    std::vector<uint8_t> bulkOutData_;
    std::vector<uint8_t> unansweredOut_;       // bulk OUT bytes not yet handed to the handler
    std::deque<std::vector<uint8_t>> replies_; // bulk IN packets waiting to be read
    BulkHandler bulkHandler_;
};

} // namespace ovraemu
