#include "scannercommands.h"

#include "commandwords.h"
#include "hexbytes.h"
#include "jobspec.h"
#include "scannerwords.h"

#include <fstream>
#include <map>
#include <stdexcept>

namespace ovraemu {
namespace {

// Commands that name a scanner: the fewest and most words after the id.
struct Arity {
    size_t least;
    size_t most;
};
const std::map<std::string, Arity> kScannerCommands = {
    {"job", {0, 64}},   {"steps", {0, 0}},    {"pagefile", {2, 2}}, {"respond", {2, 16}},     {"clearscripts", {0, 0}},
    {"feeder", {1, 1}}, {"asleep", {1, 2}},   {"busy", {1, 1}},     {"refusewrites", {1, 1}}, {"answerabort", {1, 1}},
    {"fault", {1, 1}},  {"unplug", {0, 0}},   {"commands", {0, 0}}, {"events", {0, 0}},       {"lock", {0, 0}},
    {"locked", {0, 0}}, {"progress", {0, 0}}, {"devnode", {0, 0}},
};

size_t TotalBytes(const std::vector<std::vector<uint8_t>>& pages)
{
    size_t total = 0;
    for (const auto& page : pages)
        total += page.size();
    return total;
}

} // namespace

std::string ScannerCommandInterpreter::RunDeviceCommand(const Words& words)
{
    const std::string& name = words[0];
    const auto command = kScannerCommands.find(name);
    if (command == kScannerCommands.end())
        return Error("unknown command " + name);
    if (words.size() < command->second.least + 2 || words.size() > command->second.most + 2)
        return Error("wrong number of arguments for " + name);
    const auto id = ParseId(words[1]);
    if (!id)
        return Error("bad scanner id " + words[1]);
    return RunForScanner(*id, words);
}

std::string ScannerCommandInterpreter::RunForScanner(int id, const Words& words)
{
    const std::string& name = words[0];
    if (name == "job")
        return SetJob(id, words);
    if (name == "steps")
        return Steps(id);
    if (name == "pagefile")
        return WritePage(id, words[2], words[3]);
    if (name == "respond")
        return Respond(id, words);
    if (name == "clearscripts") {
        bed_.ClearScripts(id);
        return kOk;
    }
    if (name == "unplug") {
        bed_.Unplug(id);
        return kOk;
    }
    if (name == "commands")
        return Commands(id);
    if (name == "events")
        return Events(id);
    if (name == "lock")
        return Lock(id);
    if (name == "locked")
        return kOk + (bed_.IsLocked(id) ? " 1" : " 0");
    if (name == "progress")
        return Progress(id);
    if (name == "devnode")
        return kOk + " " + bed_.DevNode(id);
    return Toggle(id, name, words);
}

std::string ScannerCommandInterpreter::Add(const Words& words)
{
    if (words.size() != 3 && words.size() != 4)
        return Error("usage: add VID PID [SERIAL]");
    const auto config = ParseScannerArgument(words[1] + ":" + words[2] + (words.size() == 4 ? ":" + words[3] : ""));
    if (!config)
        return Error("bad vendor or product id");
    return kOk + " " + std::to_string(bed_.AddScanner(*config));
}

std::string ScannerCommandInterpreter::SetJob(int id, const Words& words)
{
    const auto parsed = ParseJobSpec(Words(words.begin() + 2, words.end()));
    if (const auto* error = std::get_if<std::string>(&parsed))
        return Error(*error);
    const ScanJob& job = std::get<ScanJob>(parsed);
    bed_.SetJob(id, job);
    const size_t pages = job.pages.size() + job.chartPages;
    return kOk + " steps=" + std::to_string(job.steps.size()) + " pages=" + std::to_string(pages)
           + " bytes=" + std::to_string(TotalBytes(job.pages));
}

std::string ScannerCommandInterpreter::Steps(int id) const
{
    std::string reply = kOk;
    for (const JobStep& step : bed_.Job(id).steps)
        reply += " " + step.Describe();
    return reply;
}

// The bytes a page of the job carries, for comparing with what a program saved.
std::string ScannerCommandInterpreter::WritePage(int id, const std::string& page, const std::string& path) const
{
    const auto index = ParseId(page);
    const ScanJob job = bed_.Job(id);
    if (!index || *index < 0 || static_cast<size_t>(*index) >= job.pages.size())
        return Error("no page " + page + " in the job");
    const std::vector<uint8_t>& bytes = job.pages[static_cast<size_t>(*index)];
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        return Error("cannot write " + path);
    return kOk + " " + std::to_string(bytes.size());
}

std::string ScannerCommandInterpreter::Respond(int id, const Words& words)
{
    const auto command = ParseCommandName(words[2]);
    const auto flagValue = ParseHexNumber(words[3], 0xFF);
    if (!command || !flagValue)
        return Error("usage: respond ID COMMAND FLAG [WORDS...]");
    int times = 1;
    std::string error;
    const auto response =
        ParseResponseWords(static_cast<uint8_t>(*flagValue), Words(words.begin() + 4, words.end()), times, error);
    if (!response)
        return Error(error);
    bed_.ScriptResponse(id, *command, *response, times);
    return kOk;
}

// Commands that set one property of the scanner.
std::string ScannerCommandInterpreter::Toggle(int id, const std::string& name, const Words& words)
{
    if (name == "feeder") {
        const auto status = ParseFeeder(words[2]);
        if (!status)
            return Error("feeder is empty, loaded or jam");
        bed_.SetFeeder(id, *status);
        return kOk;
    }
    if (name == "fault") {
        const auto fault = ParseFault(words[2]);
        if (!fault)
            return Error("unknown fault " + words[2]);
        bed_.SetFault(id, *fault);
        return kOk;
    }
    const auto on = ParseSwitch(words[2]);
    if (!on)
        return Error(name + " takes 0 or 1");
    if (name == "asleep") {
        const auto warmUp = words.size() == 4 ? ParseId(words[3]) : std::optional<int>(0);
        if (!warmUp || *warmUp < 0 || *warmUp > 255)
            return Error("warm-up time is 0 to 255 seconds");
        bed_.SetAsleep(id, *on, static_cast<uint8_t>(*warmUp));
    } else if (name == "busy") {
        bed_.SetLockedElsewhere(id, *on);
    } else if (name == "refusewrites") {
        bed_.SetRefuseWrites(id, *on);
    } else {
        bed_.SetAnswerAbort(id, *on);
    }
    return kOk;
}

std::string ScannerCommandInterpreter::Commands(int id) const
{
    std::string reply = kOk;
    for (const ReceivedCommand& command : bed_.Commands(id))
        reply += " " + FormatCommand(command);
    return reply;
}

std::string ScannerCommandInterpreter::Events(int id) const
{
    std::string reply = kOk;
    const std::vector<std::string> events = bed_.Events(id);
    for (size_t i = 0; i < events.size(); ++i)
        reply += (i == 0 ? " " : ";") + events[i];
    return reply;
}

std::string ScannerCommandInterpreter::Lock(int id) const
{
    const auto lock = bed_.LastLock(id);
    if (!lock)
        return Error("no lock received");
    return kOk + " " + DescribeLockSettings(*lock);
}

std::string ScannerCommandInterpreter::Progress(int id) const
{
    const JobProgress progress = bed_.Progress(id);
    return kOk + " runs=" + std::to_string(progress.runs) + " steps=" + std::to_string(progress.stepsSent) + "/"
           + std::to_string(progress.stepCount) + " running=" + (progress.running ? "1" : "0");
}

} // namespace ovraemu
