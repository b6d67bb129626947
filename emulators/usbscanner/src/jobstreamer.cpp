#include "jobstreamer.h"

#include <algorithm>

namespace ovraemu {
namespace {

constexpr size_t kMaxDataSize = 0xFFFF;

bool HasChart(const ScanJob& job)
{
    return std::any_of(job.steps.begin(), job.steps.end(),
                       [](const JobStep& step) { return step.kind == JobStep::Kind::Chart; });
}

} // namespace

JobStreamer::JobStreamer() : job_(MakeChartJob(1)) {}

void JobStreamer::Start(Clock::time_point now, const std::optional<LockSettings>& lock)
{
    current_ = job_;
    lock_ = lock;
    chart_.reset();
    chartPagesBegun_ = 0;
    if (HasChart(current_)) {
        const ChartPage page = ChartPageOfLock(lock_, 1);
        current_.width = page.width;
        current_.height = page.height;
    }
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

void JobStreamer::Stop()
{
    running_ = false;
    chart_.reset();
}

std::optional<JobStreamer::StepOutput> JobStreamer::NextStep(Clock::time_point now)
{
    if (!running_ || next_ >= current_.steps.size() || now < due_)
        return std::nullopt;
    const JobStep& step = current_.steps[next_];
    StepOutput output;
    switch (step.kind) {
    case JobStep::Kind::Chart: output.transfers = ChartTransfers(step); break;
    case JobStep::Kind::Record: output.transfers = RecordTransfers(step); break;
    case JobStep::Kind::DeviceAbort: output.transfers.push_back(EncodeDeviceAbort()); break;
    case JobStep::Kind::Raw: output.transfers.push_back(step.image); break;
    case JobStep::Kind::Unplug:
        output.unplug = true;
        leftBus_ = true;
        break;
    }
    // A chart step lasts until the last record of its page.
    if (step.kind != JobStep::Kind::Chart || !chart_)
        ++next_;
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

std::vector<std::vector<uint8_t>> JobStreamer::ChartTransfers(const JobStep& step)
{
    if (!chart_)
        chart_ = std::make_unique<ChartStream>(ChartPageOfLock(lock_, ++chartPagesBegun_), ChartEncodingOfLock(lock_));
    const size_t recordBytes = std::clamp<size_t>(step.recordBytes, 1, kMaxDataSize - kRecordFieldsSize);
    JobStep record = JobStep::Record(ScanStatus::Continuous, chart_->Read(recordBytes));
    record.chunk = step.chunk;
    if (chart_->AtEnd())
        chart_.reset();
    return RecordTransfers(record);
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

} // namespace ovraemu
