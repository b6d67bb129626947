// The scanner behind the USB cable: descriptors, commands on bulk OUT, their
// answers and the scan records on bulk IN, with a record of everything it
// received. Thread-safe.
#pragma once

#include "commandassembler.h"
#include "jobstreamer.h"
#include "ovraemu/usbcore/usbdevicedescription.h"
#include "ovraemu/usbcore/usbdevicemodel.h"
#include "scannerresponder.h"

#include <deque>
#include <mutex>
#include <string>

namespace ovraemu {

class ScannerDevice : public UsbDeviceModel
{
public:
    explicit ScannerDevice(const UsbScannerConfig& config);

    const UsbDeviceDescription& Description() const { return description_; }

    ControlOutcome Control(const ControlRequest& setup, const std::vector<uint8_t>& outData) override;
    bool HasInterface(unsigned number) const override;
    bool HasBulkEndpoint(uint8_t address) const override;
    bool BulkOut(uint8_t endpoint, const std::vector<uint8_t>& data) override;
    std::optional<std::vector<uint8_t>> BulkIn(uint8_t endpoint, size_t maxLength) override;
    std::optional<Clock::time_point> NextDataTime() const override;
    bool HasLeftBus() const override;
    void OnReset() override;
    void OnEndpointRequest(EndpointRequest kind, uint8_t endpoint) override;

    void SetJob(ScanJob job);
    ScanJob Job() const;
    void Script(ScannerCommand command, ScriptedResponse response, int times);
    void ClearScripts();
    void SetFeeder(AdfStatus status);
    void SetAsleep(bool asleep, uint8_t warmUpSeconds);
    void SetLockedElsewhere(bool locked);
    void SetRefuseWrites(bool refuse);
    void SetAnswerAbort(bool answer);
    void SetProperties(const ScannerProperties& properties);
    void SetScanSizeCount(uint8_t count);

    std::vector<ReceivedCommand> Commands() const;
    std::vector<std::string> Events() const;
    std::optional<LockSettings> LastLock() const;
    bool IsLocked() const;
    JobProgress Progress() const;

private:
    // One transfer waiting on bulk IN. The transfers of one job step (a record
    // header and its image bytes) share a step number; 0 marks answers.
    struct Transfer {
        std::vector<uint8_t> bytes;
        size_t step = 0;
    };

    // The helpers run with mutex_ held.
    void HandleCommand(const ReceivedCommand& command);
    void StopJob(const char* reason, bool finishRecordBegun);
    void Queue(std::vector<std::vector<uint8_t>> transfers, size_t step);
    void PullJobStep();
    std::optional<std::vector<uint8_t>> TakeBytes(size_t maxLength);
    void Log(std::string event);

    const UsbDeviceDescription description_;
    mutable std::mutex mutex_;
    CommandAssembler assembler_;
    ScannerResponder responder_;
    JobStreamer streamer_;
    std::deque<Transfer> queue_;
    size_t stepsQueued_ = 0; // job steps queued since the scanner was plugged in
    size_t stepBegun_ = 0;   // the step whose first bytes were sent last
    std::vector<ReceivedCommand> commands_;
    std::vector<std::string> events_;
    bool refuseWrites_ = false;
};

// "command 1B5305 size 47 flag 80"
std::string DescribeCommand(const ReceivedCommand& command);

} // namespace ovraemu
