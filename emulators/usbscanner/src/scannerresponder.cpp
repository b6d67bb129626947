#include "scannerresponder.h"

namespace ovraemu {
namespace {

uint16_t Code(ScannerCommand command) { return static_cast<uint16_t>(command); }

} // namespace

void ScannerResponder::Script(ScannerCommand command, ScriptedResponse response, int times)
{
    scripts_[Code(command)].push_back({std::move(response), times});
}

void ScannerResponder::ClearScripts() { scripts_.clear(); }

void ScannerResponder::SetAsleep(bool asleep, uint8_t warmUpSeconds)
{
    asleep_ = asleep;
    warmUpSeconds_ = warmUpSeconds;
}

std::optional<ScriptedResponse> ScannerResponder::TakeScript(uint16_t command)
{
    const auto found = scripts_.find(command);
    if (found == scripts_.end() || found->second.empty())
        return std::nullopt;
    PendingScript& script = found->second.front();
    ScriptedResponse response = script.response;
    if (script.remaining > 0 && --script.remaining == 0)
        found->second.pop_front();
    return response;
}

CommandEffects ScannerResponder::Handle(const ReceivedCommand& command, bool jobRunning)
{
    CommandEffects effects;
    if (!command.valid)
        return effects;
    const uint16_t code = command.header.Command();
    const std::optional<ScriptedResponse> script = TakeScript(code);
    if (script)
        effects.transfers = script->before;
    if (script && script->silent)
        return effects;
    const uint8_t result = script ? script->flag : Judge(command, jobRunning);
    if (result == flag::kSuccess)
        Apply(command, effects);
    const bool answered = code != Code(ScannerCommand::Abort) || answerAbort_ || script;
    if (answered)
        effects.transfers.push_back(Answer(command, result, script ? &*script : nullptr));
    return effects;
}

// The flag a command gets from the scanner's state.
uint8_t ScannerResponder::Judge(const ReceivedCommand& command, bool jobRunning) const
{
    const auto code = static_cast<ScannerCommand>(command.header.Command());
    if (asleep_ && code != ScannerCommand::PowerOn && code != ScannerCommand::Abort)
        return flag::kPoweredOff;
    switch (code) {
    case ScannerCommand::PowerOn:
    case ScannerCommand::Properties:
    case ScannerCommand::AdfStatus:
    case ScannerCommand::GetScanSizes:
    case ScannerCommand::Abort: return flag::kSuccess;
    case ScannerCommand::Lock:
        if (!DecodeLockSettings(command.payload))
            return flag::kInvalidCommand;
        return lockedElsewhere_ || locked_ ? flag::kBusyOrBadRequest : flag::kSuccess;
    case ScannerCommand::Unlock: return locked_ ? flag::kSuccess : flag::kLockRequired;
    case ScannerCommand::Start:
        if (!locked_)
            return flag::kLockRequired;
        if (jobRunning || (lastLock_ && lastLock_->FromFeeder() && feeder_ != AdfStatus::Loaded))
            return flag::kFailed;
        return flag::kSuccess;
    }
    return flag::kInvalidCommand;
}

// What a command does when it succeeds.
void ScannerResponder::Apply(const ReceivedCommand& command, CommandEffects& effects)
{
    switch (static_cast<ScannerCommand>(command.header.Command())) {
    case ScannerCommand::PowerOn: asleep_ = false; break;
    case ScannerCommand::Lock:
        locked_ = true;
        if (auto settings = DecodeLockSettings(command.payload))
            lastLock_ = std::move(settings);
        break;
    case ScannerCommand::Unlock:
        locked_ = false;
        effects.stopJob = true;
        break;
    case ScannerCommand::Start: effects.startJob = true; break;
    case ScannerCommand::Abort: effects.stopJob = true; break;
    default: break;
    }
}

std::vector<uint8_t> ScannerResponder::SuccessPayload(uint16_t command) const
{
    switch (static_cast<ScannerCommand>(command)) {
    case ScannerCommand::PowerOn: return {warmUpSeconds_, 0};
    case ScannerCommand::Properties: return EncodeProperties(properties_);
    case ScannerCommand::GetScanSizes: return {scanSizeCount_, 0};
    default: return {};
    }
}

// The response: the command's class and code, the flag, the feeder status in
// byte 7 of the feeder status answer, and the payload of a success.
std::vector<uint8_t> ScannerResponder::Answer(const ReceivedCommand& command, uint8_t result,
                                              const ScriptedResponse* script) const
{
    const uint16_t code = command.header.Command();
    std::vector<uint8_t> payload = result == flag::kSuccess ? SuccessPayload(code) : std::vector<uint8_t>{};
    ScanHeader header;
    header.commandClass = command.header.commandClass;
    header.code = command.header.code;
    header.flags = result;
    header.reserved = code == Code(ScannerCommand::AdfStatus) ? static_cast<uint8_t>(feeder_) : 0;
    if (script && script->payload)
        payload = *script->payload;
    header.dataSize = static_cast<uint16_t>(payload.size());
    if (script && script->dataSize)
        header.dataSize = *script->dataSize;
    if (script && script->reserved)
        header.reserved = *script->reserved;
    std::vector<uint8_t> answer = EncodeHeader(header);
    answer.insert(answer.end(), payload.begin(), payload.end());
    return answer;
}

} // namespace ovraemu
