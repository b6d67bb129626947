// The scanner's command logic: its state (lock, sleep, feeder), the answer to
// every command with its result flag, and the scripted answers that replace
// the usual ones. Not thread-safe; the scanner device serializes the calls.
#pragma once

#include "ovraemu/usbscannerbed.h"

#include <deque>
#include <map>
#include <optional>
#include <vector>

namespace ovraemu {

struct CommandEffects {
    std::vector<std::vector<uint8_t>> transfers; // to send on bulk IN, in order
    bool startJob = false;
    bool stopJob = false;
};

class ScannerResponder
{
public:
    CommandEffects Handle(const ReceivedCommand& command, bool jobRunning);

    void Script(ScannerCommand command, ScriptedResponse response, int times);
    void ClearScripts();

    void SetFeeder(AdfStatus status) { feeder_ = status; }
    void SetAsleep(bool asleep, uint8_t warmUpSeconds);
    void SetLockedElsewhere(bool locked) { lockedElsewhere_ = locked; }
    void SetAnswerAbort(bool answer) { answerAbort_ = answer; }
    void SetProperties(const ScannerProperties& properties) { properties_ = properties; }
    void SetScanSizeCount(uint8_t count) { scanSizeCount_ = count; }

    bool IsLocked() const { return locked_; }
    const std::optional<LockSettings>& LastLock() const { return lastLock_; }

private:
    struct PendingScript {
        ScriptedResponse response;
        int remaining = 1; // 0: every time
    };

    uint8_t Judge(const ReceivedCommand& command, bool jobRunning) const;
    void Apply(const ReceivedCommand& command, CommandEffects& effects);
    std::vector<uint8_t> SuccessPayload(uint16_t command) const;
    std::optional<ScriptedResponse> TakeScript(uint16_t command);
    std::vector<uint8_t> Answer(const ReceivedCommand& command, uint8_t flag, const ScriptedResponse* script) const;

    std::map<uint16_t, std::deque<PendingScript>> scripts_;
    bool locked_ = false;
    std::optional<LockSettings> lastLock_;
    bool asleep_ = false;
    uint8_t warmUpSeconds_ = 0;
    bool lockedElsewhere_ = false;
    bool answerAbort_ = true;
    AdfStatus feeder_ = AdfStatus::Loaded;
    ScannerProperties properties_;
    uint8_t scanSizeCount_ = 1;
};

} // namespace ovraemu
