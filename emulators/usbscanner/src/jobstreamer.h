// Plays a scan job: hands out the transfers of its steps one step at a time,
// each when its pause has passed. Not thread-safe; the scanner device
// serializes the calls.
#pragma once

#include "ovraemu/usbscannerbed.h"

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

namespace ovraemu {

class JobStreamer
{
public:
    using Clock = std::chrono::steady_clock;

    struct StepOutput {
        std::vector<std::vector<uint8_t>> transfers;
        bool unplug = false;
    };

    JobStreamer();

    // Takes effect at the next start.
    void SetJob(ScanJob job) { job_ = std::move(job); }
    const ScanJob& Job() const { return job_; }

    // Chart pages are drawn as the lock settings ask.
    void Start(Clock::time_point now, const std::optional<LockSettings>& lock = std::nullopt);
    void Stop();
    bool Running() const { return running_; }
    // The next step when it is due; no value before, after the last step and
    // while stopped. The last step ends the run.
    std::optional<StepOutput> NextStep(Clock::time_point now);
    // When the next step is due, while running.
    std::optional<Clock::time_point> DueTime() const;
    bool LeftBus() const { return leftBus_; }
    JobProgress Progress() const;

private:
    std::vector<std::vector<uint8_t>> RecordTransfers(const JobStep& step) const;
    // The next record of the chart page under way (a new page when none is).
    std::vector<std::vector<uint8_t>> ChartTransfers(const JobStep& step);
    void ScheduleNext(Clock::time_point now);

    ScanJob job_;     // what the next start plays
    ScanJob current_; // what the current (or last) start plays
    bool running_ = false;
    int runs_ = 0;
    size_t next_ = 0;
    Clock::time_point due_;
    bool leftBus_ = false;
    std::optional<LockSettings> lock_;   // of the current start
    std::unique_ptr<ChartStream> chart_; // the chart page being sent
    int chartPagesBegun_ = 0;
};

} // namespace ovraemu
