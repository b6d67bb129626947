#include "jobspec.h"

#include <algorithm>
#include <map>
#include <optional>
#include <sstream>

namespace ovraemu {
namespace {

struct Fault {
    size_t position = 0;
    JobStep step;
};

struct JobPlan {
    unsigned pages = 1;
    bool pattern = false;
    bool patternWords = false; // width, height or mode given
    PageGeometry geometry;
    JobShape shape;
    std::vector<Fault> faults;
};

std::optional<unsigned long> Number(const std::string& text)
{
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    try {
        return std::stoul(text);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// "K" or "K:V" of a fault word.
std::optional<std::pair<size_t, unsigned long>> Position(const std::string& text, bool withValue)
{
    const size_t colon = text.find(':');
    if (withValue != (colon != std::string::npos))
        return std::nullopt;
    const auto position = Number(text.substr(0, colon));
    const auto value = withValue ? Number(text.substr(colon + 1)) : std::optional<unsigned long>(0);
    if (!position || !value)
        return std::nullopt;
    return std::make_pair(static_cast<size_t>(*position), *value);
}

std::optional<JobStep> FaultStep(const std::string& key, unsigned long value)
{
    if (key == "unplug")
        return JobStep::Unplug();
    if (key == "device-abort")
        return JobStep::DeviceAbort();
    if (key == "status" && value <= 0xFF)
        return JobStep::AnnouncedRecord(static_cast<uint8_t>(value), kRecordFieldsSize);
    if (key == "datasize" && value <= 0xFFFF)
        return JobStep::AnnouncedRecord(0, static_cast<uint16_t>(value));
    return std::nullopt;
}

// Applies one key=value word; returns an error text or an empty string.
std::string Apply(JobPlan& plan, const std::string& key, const std::string& value)
{
    if (key == "content") {
        if (value != "chart" && value != "pattern")
            return "content must be chart or pattern";
        plan.pattern = value == "pattern";
        return {};
    }
    plan.patternWords = plan.patternWords || key == "mode" || key == "width" || key == "height";
    if (key == "mode") {
        if (value != "gray" && value != "color")
            return "mode must be gray or color";
        plan.geometry.mode = value == "gray" ? PixelMode::Gray : PixelMode::Color;
        return {};
    }
    const bool fault = key == "unplug" || key == "device-abort" || key == "status" || key == "datasize";
    if (fault) {
        const auto position = Position(value, key == "status" || key == "datasize");
        const auto step = position ? FaultStep(key, position->second) : std::nullopt;
        if (!step)
            return "bad value for " + key + ": " + value;
        plan.faults.push_back({position->first, *step});
        return {};
    }
    const auto number = Number(value);
    if (!number)
        return "bad number for " + key + ": " + value;
    if (key == "pages")
        plan.pages = static_cast<unsigned>(*number);
    else if (key == "width")
        plan.geometry.width = static_cast<unsigned>(*number);
    else if (key == "height")
        plan.geometry.height = static_cast<unsigned>(*number);
    else if (key == "record")
        plan.shape.recordBytes = *number;
    else if (key == "chunk")
        plan.shape.chunk = *number;
    else if (key == "delay")
        plan.shape.delayMs = static_cast<int>(*number);
    else
        return "unknown job word " + key;
    return {};
}

} // namespace

std::variant<ScanJob, std::string> ParseJobSpec(const std::vector<std::string>& words)
{
    JobPlan plan;
    for (const std::string& word : words) {
        const size_t equals = word.find('=');
        if (equals == std::string::npos)
            return "job words are key=value: " + word;
        const std::string error = Apply(plan, word.substr(0, equals), word.substr(equals + 1));
        if (!error.empty())
            return error;
    }
    if (plan.patternWords && !plan.pattern)
        return std::string("width, height and mode are for pattern pages: add content=pattern");
    ScanJob job;
    try {
        job =
            plan.pattern ? MakePatternJob(plan.pages, plan.geometry, plan.shape) : MakeChartJob(plan.pages, plan.shape);
    } catch (const std::exception& e) {
        return std::string(e.what());
    }
    // Every K names a step of the generated job; faults at one K keep their order.
    std::stable_sort(plan.faults.begin(), plan.faults.end(),
                     [](const Fault& a, const Fault& b) { return a.position < b.position; });
    const size_t generated = job.steps.size();
    size_t inserted = 0;
    for (const Fault& fault : plan.faults) {
        if (fault.position > generated)
            return "fault position " + std::to_string(fault.position) + " beyond the job's " + std::to_string(generated)
                   + " steps";
        job.steps.insert(job.steps.begin() + static_cast<long>(fault.position + inserted++), fault.step);
    }
    return job;
}

std::variant<ScanJob, std::string> ParseJobSpec(const std::string& text)
{
    std::string spaced = text;
    std::replace(spaced.begin(), spaced.end(), ',', ' ');
    std::istringstream stream(spaced);
    std::vector<std::string> words;
    for (std::string word; stream >> word;)
        words.push_back(word);
    return ParseJobSpec(words);
}

} // namespace ovraemu
