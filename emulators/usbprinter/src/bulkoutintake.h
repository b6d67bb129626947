// How a printer takes its bulk OUT traffic, transfer by transfer: whole, or
// failing, ending short or stopping half-way as a test asked. Not thread-safe: its printer
// guards it.
#pragma once

#include "ovraemu/usbcore/usbdevicemodel.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace ovraemu {

class BulkOutIntake
{
public:
    // The next `count` transfers (negative: every one) stall once they have
    // taken `afterBytes` bytes.
    void FailNext(int count, size_t afterBytes);
    // Every later transfer is taken up to `bytes` bytes and then ends short.
    void Shorten(std::optional<size_t> bytes);
    // Every later transfer is taken up to `bytes` bytes; then the printer stops
    // taking data and the rest of the transfer is held.
    void HoldAfter(std::optional<size_t> bytes);

    // Takes what it can of one request; the first `taken` bytes of `data` count
    // as received. A request that is no continuation starts a new transfer.
    BulkOutOutcome Take(const std::vector<uint8_t>& data, bool continuation);
    // The bytes taken, one entry per transfer.
    const std::vector<std::vector<uint8_t>>& Transfers() const { return transfers_; }

private:
    void StartTransfer();

    int failCount_ = 0;
    size_t failAfter_ = 0;
    std::optional<size_t> shortLimit_;
    std::optional<size_t> holdAfter_;
    bool failing_ = false; // the running transfer is one that fails
    std::vector<std::vector<uint8_t>> transfers_;
};

} // namespace ovraemu
