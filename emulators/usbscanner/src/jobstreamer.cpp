#include "jobstreamer.h"

#include <algorithm>

namespace ovraemu {
namespace {

constexpr size_t kMaxDataSize = 0xFFFF;

PageGeometry DefaultPage()
{
    return PageGeometry{};
}

}  // namespace

JobStreamer::JobStreamer() : job_(MakePatternJob(1, DefaultPage())) {}

void JobStreamer::Start(Clock::time_point now)
{
    current_ = job_;
    running_ = !current_.steps.empty();
    ++runs_;
    next_ = 0;
    due_ = now;
    ScheduleNext(now);
}

void JobStreamer::ScheduleNext(Clock::time_point now)
{
    if (next_ < current_.steps.size())
        due_ = now + std::chrono::milliseconds(current_.steps[next_].delayMs);
}

std::optional<JobStreamer::StepOutput> JobStreamer::NextStep(Clock::time_point now)
{
    if (!running_ || next_ >= current_.steps.size() || now < due_)
        return std::nullopt;
    const JobStep& step = current_.steps[next_++];
    StepOutput output;
    switch (step.kind) {
    case JobStep::Kind::Record:
        output.transfers = RecordTransfers(step);
        break;
    case JobStep::Kind::DeviceAbort:
        output.transfers.push_back(EncodeDeviceAbort());
        break;
    case JobStep::Kind::Raw:
        output.transfers.push_back(step.image);
        break;
    case JobStep::Kind::Unplug:
        output.unplug = true;
        leftBus_ = true;
        break;
    }
    if (next_ >= current_.steps.size() || leftBus_)
        running_ = false;
    else
        ScheduleNext(now);
    return output;
}

std::vector<std::vector<uint8_t>> JobStreamer::RecordTransfers(const JobStep& step) const
{
    const size_t announced = std::min(kMaxDataSize, kRecordFieldsSize + step.image.size());
    const uint16_t dataSize = step.dataSize.value_or(static_cast<uint16_t>(announced));
    std::vector<std::vector<uint8_t>> transfers{
        EncodeRecordHeader(step.status, dataSize, current_.width, current_.height)};
    const size_t chunk = step.chunk == 0 ? step.image.size() : step.chunk;
    for (size_t offset = 0; offset < step.image.size(); offset += chunk) {
        const size_t count = std::min(chunk, step.image.size() - offset);
        const auto begin = step.image.begin() + static_cast<long>(offset);
        transfers.emplace_back(begin, begin + static_cast<long>(count));
    }
    return transfers;
}

std::optional<JobStreamer::Clock::time_point> JobStreamer::DueTime() const
{
    if (!running_ || next_ >= current_.steps.size())
        return std::nullopt;
    return due_;
}

JobProgress JobStreamer::Progress() const
{
    JobProgress progress;
    progress.runs = runs_;
    progress.stepsSent = runs_ > 0 ? next_ : 0;
    progress.stepCount = (runs_ > 0 ? current_ : job_).steps.size();
    progress.running = running_;
    return progress;
}

}  // namespace ovraemu
