#include "ovraemu/scenarioplayer.h"

#include <cstdio>
#include <limits>

namespace ovraemu {

namespace {

constexpr double kHoldAfterLastStep = 1.0;

// Seconds with up to three decimals and no trailing zeros: "10", "0.3", "1.25".
std::string FormatSeconds(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    std::string formatted = text;
    formatted.erase(formatted.find_last_not_of('0') + 1);
    if (formatted.back() == '.')
        formatted.pop_back();
    return formatted;
}

// One round from `roundStart`; false when playing is to stop.
bool PlayRound(const Scenario& scenario, double roundStart, EmuPrinterState* state, const std::string& label,
               const ScenarioPlayerHooks& hooks)
{
    for (const ScenarioStep& step : scenario.steps) {
        const double at = roundStart + step.atSeconds;
        if (!hooks.waitUntil(at))
            return false;
        const NetReplyMode mode = ApplyStep(step, state);
        hooks.apply(*state, mode);
        hooks.report(FormatStepLine(at, label, step));
    }
    return true;
}

} // namespace

double RoundSeconds(const Scenario& scenario)
{
    if (scenario.endSeconds)
        return *scenario.endSeconds;
    return scenario.steps.empty() ? kHoldAfterLastStep : scenario.steps.back().atSeconds + kHoldAfterLastStep;
}

std::string FormatStepLine(double seconds, const std::string& label, const ScenarioStep& step)
{
    std::string line = "[t=" + FormatSeconds(seconds) + "s] " + label + " " + step.state.name;
    if (!step.options.empty())
        line += " " + step.options;
    return line;
}

void PlayScenario(const Scenario& scenario, bool loop, EmuPrinterState initial, const std::string& label,
                  const ScenarioPlayerHooks& hooks)
{
    EmuPrinterState state = std::move(initial);
    const double round = RoundSeconds(scenario);
    for (double roundStart = 0;; roundStart += round) {
        if (!PlayRound(scenario, roundStart, &state, label, hooks))
            return;
        if (!loop)
            break;
    }
    hooks.waitUntil(std::numeric_limits<double>::infinity());
}

} // namespace ovraemu
