#include "bulkoutintake.h"

#include <algorithm>
#include <limits>

namespace ovraemu {
namespace {

// Room left under a limit once `used` bytes are in.
size_t RoomUnder(size_t limit, size_t used) { return limit - std::min(limit, used); }

} // namespace

void BulkOutIntake::FailNext(int count, size_t afterBytes)
{
    failCount_ = count;
    failAfter_ = afterBytes;
}

void BulkOutIntake::Shorten(std::optional<size_t> bytes) { shortLimit_ = bytes; }

void BulkOutIntake::HoldAfter(std::optional<size_t> bytes) { holdAfter_ = bytes; }

void BulkOutIntake::StartTransfer()
{
    transfers_.emplace_back();
    failing_ = failCount_ != 0;
    if (failCount_ > 0)
        --failCount_;
}

BulkOutOutcome BulkOutIntake::Take(const std::vector<uint8_t>& data, bool continuation)
{
    if (!continuation || transfers_.empty())
        StartTransfer();
    std::vector<uint8_t>& transfer = transfers_.back();
    size_t room = std::numeric_limits<size_t>::max();
    if (failing_)
        room = RoomUnder(failAfter_, transfer.size());
    if (shortLimit_)
        room = std::min(room, RoomUnder(*shortLimit_, transfer.size()));
    if (holdAfter_)
        room = std::min(room, RoomUnder(*holdAfter_, transfer.size()));
    const size_t taken = std::min(room, data.size());
    transfer.insert(transfer.end(), data.begin(), data.begin() + static_cast<long>(taken));

    if (failing_ && transfer.size() >= failAfter_)
        return BulkOutOutcome::Stall(taken);
    if (holdAfter_ && transfer.size() >= *holdAfter_ && taken < data.size())
        return BulkOutOutcome::Hold(taken);
    if (taken < data.size())
        return BulkOutOutcome::Short(taken);
    return BulkOutOutcome::Whole(taken);
}

} // namespace ovraemu
