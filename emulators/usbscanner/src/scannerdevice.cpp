#include "scannerdevice.h"

#include "ovraemu/usbcore/standardrequests.h"
#include "scannerlayout.h"

#include <algorithm>
#include <cstdio>

namespace ovraemu {
namespace {

std::string Hex2(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02X", value & 0xFF);
    return text;
}

std::string DescribeControl(const ControlRequest& r)
{
    char text[48];
    std::snprintf(text, sizeof text, "control %02X:%02X:%04X:%04X:%04X", r.requestType, r.request, r.value, r.index,
                  r.length);
    return text;
}

} // namespace

std::string DescribeCommand(const ReceivedCommand& command)
{
    if (!command.valid)
        return "garbage " + std::to_string(command.payload.size()) + " bytes";
    const ScanHeader& h = command.header;
    return "command " + Hex2(h.start) + Hex2(h.commandClass) + Hex2(h.code) + " size " + std::to_string(h.dataSize)
           + " flag " + Hex2(h.flags);
}

ScannerDevice::ScannerDevice(const UsbScannerConfig& config) : description_(ScannerDescription(config)) {}

// The scanner has no class or vendor requests: they are recorded and stalled.
ControlOutcome ScannerDevice::Control(const ControlRequest& setup, const std::vector<uint8_t>&)
{
    if (IsStandardRequest(setup))
        return AnswerStandardRequest(description_, setup);
    std::lock_guard<std::mutex> lock(mutex_);
    Log(DescribeControl(setup));
    return {true, {}};
}

bool ScannerDevice::HasInterface(unsigned number) const { return number == 0; }

bool ScannerDevice::HasBulkEndpoint(uint8_t address) const
{
    return address == kScannerBulkOut || address == kScannerBulkIn;
}

bool ScannerDevice::BulkOut(uint8_t, const std::vector<uint8_t>& data)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (refuseWrites_) {
        Log("refused " + std::to_string(data.size()) + " bytes");
        return false;
    }
    for (const ReceivedCommand& command : assembler_.Feed(data))
        HandleCommand(command);
    return true;
}

void ScannerDevice::HandleCommand(const ReceivedCommand& command)
{
    commands_.push_back(command);
    Log(DescribeCommand(command));
    CommandEffects effects = responder_.Handle(command, streamer_.Running());
    if (effects.stopJob)
        StopJob(command.Is(ScannerCommand::Abort) ? "job aborted" : "job ended by unlock", true);
    Queue(std::move(effects.transfers), 0);
    if (effects.startJob) {
        streamer_.Start(Clock::now(), responder_.LastLock());
        Log("job started");
    }
}

// The scan ends and what it queued is dropped; with finishRecordBegun a
// record whose first bytes were sent is sent whole.
void ScannerDevice::StopJob(const char* reason, bool finishRecordBegun)
{
    if (streamer_.Running())
        Log(reason);
    streamer_.Stop();
    const size_t keep = finishRecordBegun ? stepBegun_ : 0;
    queue_.erase(std::remove_if(queue_.begin(), queue_.end(),
                                [keep](const Transfer& t) { return t.step != 0 && t.step != keep; }),
                 queue_.end());
}

void ScannerDevice::Queue(std::vector<std::vector<uint8_t>> transfers, size_t step)
{
    for (std::vector<uint8_t>& bytes : transfers)
        queue_.push_back({std::move(bytes), step});
}

// The next step of a running scan is produced once everything before it was read.
void ScannerDevice::PullJobStep()
{
    if (!queue_.empty())
        return;
    const bool wasRunning = streamer_.Running();
    auto step = streamer_.NextStep(Clock::now());
    if (!step)
        return;
    Queue(std::move(step->transfers), ++stepsQueued_);
    if (step->unplug)
        Log("unplugged by the job");
    else if (wasRunning && !streamer_.Running())
        Log("job finished");
}

std::optional<std::vector<uint8_t>> ScannerDevice::BulkIn(uint8_t, size_t maxLength)
{
    std::lock_guard<std::mutex> lock(mutex_);
    PullJobStep();
    return TakeBytes(maxLength);
}

// A transfer longer than the read stays queued and is read on; transfers are
// never joined, so a read ends where the scanner's transfer ends.
std::optional<std::vector<uint8_t>> ScannerDevice::TakeBytes(size_t maxLength)
{
    if (queue_.empty())
        return std::nullopt;
    if (queue_.front().step != 0)
        stepBegun_ = queue_.front().step;
    std::vector<uint8_t>& front = queue_.front().bytes;
    const size_t count = std::min(front.size(), maxLength);
    std::vector<uint8_t> chunk(front.begin(), front.begin() + static_cast<long>(count));
    front.erase(front.begin(), front.begin() + static_cast<long>(count));
    if (front.empty())
        queue_.pop_front();
    return chunk;
}

std::optional<UsbDeviceModel::Clock::time_point> ScannerDevice::NextDataTime() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!queue_.empty())
        return std::nullopt;
    return streamer_.DueTime();
}

bool ScannerDevice::HasLeftBus() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return streamer_.LeftBus();
}

// A USB reset ends a running scan and drops everything it queued, a record
// begun included, and a partly received command; the lock and the answers
// already queued stay.
void ScannerDevice::OnReset()
{
    std::lock_guard<std::mutex> lock(mutex_);
    Log("reset");
    assembler_.Clear();
    StopJob("job ended by reset", false);
}

void ScannerDevice::OnEndpointRequest(EndpointRequest kind, uint8_t endpoint)
{
    std::lock_guard<std::mutex> lock(mutex_);
    Log((kind == EndpointRequest::ClearHalt ? "clear-halt " : "reset-endpoint ") + Hex2(endpoint));
}

void ScannerDevice::Log(std::string event) { events_.push_back(std::move(event)); }

void ScannerDevice::SetJob(ScanJob job)
{
    std::lock_guard<std::mutex> lock(mutex_);
    streamer_.SetJob(std::move(job));
}

ScanJob ScannerDevice::Job() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return streamer_.Job();
}

void ScannerDevice::Script(ScannerCommand command, ScriptedResponse response, int times)
{
    std::lock_guard<std::mutex> lock(mutex_);
    responder_.Script(command, std::move(response), times);
}

void ScannerDevice::ClearScripts()
{
    std::lock_guard<std::mutex> lock(mutex_);
    responder_.ClearScripts();
}

void ScannerDevice::SetFeeder(AdfStatus status)
{
    std::lock_guard<std::mutex> lock(mutex_);
    responder_.SetFeeder(status);
}

void ScannerDevice::SetAsleep(bool asleep, uint8_t warmUpSeconds)
{
    std::lock_guard<std::mutex> lock(mutex_);
    responder_.SetAsleep(asleep, warmUpSeconds);
}

void ScannerDevice::SetLockedElsewhere(bool locked)
{
    std::lock_guard<std::mutex> lock(mutex_);
    responder_.SetLockedElsewhere(locked);
}

void ScannerDevice::SetRefuseWrites(bool refuse)
{
    std::lock_guard<std::mutex> lock(mutex_);
    refuseWrites_ = refuse;
}

void ScannerDevice::SetAnswerAbort(bool answer)
{
    std::lock_guard<std::mutex> lock(mutex_);
    responder_.SetAnswerAbort(answer);
}

void ScannerDevice::SetProperties(const ScannerProperties& properties)
{
    std::lock_guard<std::mutex> lock(mutex_);
    responder_.SetProperties(properties);
}

void ScannerDevice::SetScanSizeCount(uint8_t count)
{
    std::lock_guard<std::mutex> lock(mutex_);
    responder_.SetScanSizeCount(count);
}

std::vector<ReceivedCommand> ScannerDevice::Commands() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return commands_;
}

std::vector<std::string> ScannerDevice::Events() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
}

std::optional<LockSettings> ScannerDevice::LastLock() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return responder_.LastLock();
}

bool ScannerDevice::IsLocked() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return responder_.IsLocked();
}

JobProgress ScannerDevice::Progress() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return streamer_.Progress();
}

} // namespace ovraemu
