// Plays a scenario: applies each step at its time and reports it in one line.
#pragma once

#include "ovraemu/netscenario.h"

#include <functional>
#include <string>

namespace ovraemu {

struct ScenarioPlayerHooks {
    // Waits until `seconds` after the start (infinity: until told to stop); false
    // when playing is to stop.
    std::function<bool(double seconds)> waitUntil;
    // The printer's state and reply mode from now on.
    std::function<void(const EmuPrinterState& state, NetReplyMode mode)> apply;
    // One line a step, as FormatStepLine builds it.
    std::function<void(const std::string& line)> report;
};

// Length of one round: the `end` line, or one second past the last step.
double RoundSeconds(const Scenario& scenario);

// "[t=10s] 127.0.0.31 printing", options appended as written ("... ready toner=80").
std::string FormatStepLine(double seconds, const std::string& label, const ScenarioStep& step);

// Plays the scenario, once or round after round, from `initial` (vendor, product,
// serial, ...). Returns when hooks.waitUntil returns false.
void PlayScenario(const Scenario& scenario, bool loop, EmuPrinterState initial, const std::string& label,
                  const ScenarioPlayerHooks& hooks);

} // namespace ovraemu
