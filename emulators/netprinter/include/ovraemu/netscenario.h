// A scenario: what an emulated network printer does over time.
//
// One step a line: seconds since the start, a state name, options.
//     # comment
//     0     ready toner=80
//     0.5   printing
//     20    paper-out
//     30    toner-low toner=5
//     45    ready error=0x1212 warning=0x1121
//     50    silent
//     70    end
// Times may be fractional and never go back. `end` (optional, last) gives the length
// of one round when the scenario loops.
#pragma once

#include "ovraemu/namedstates.h"

#include <optional>
#include <string>
#include <vector>

namespace ovraemu {

// Supply item tag of the remaining toner; printers report it in hundredths of a percent.
constexpr uint16_t kTonerTag = 0x1000;
constexpr uint32_t kTonerPerPercent = 100;

struct ScenarioStep {
    double atSeconds = 0;
    NamedState state;
    std::optional<int> toner;            // toner=N, 0..100; kept by later steps
    std::vector<uint16_t> extraErrors;   // error=HEX, repeatable
    std::vector<uint16_t> extraWarnings; // warning=HEX, repeatable
    std::string options;                 // the options as written
    int line = 0;
};

struct Scenario {
    std::vector<ScenarioStep> steps;
    std::optional<double> endSeconds;
};

struct ScenarioError {
    int line = 0; // 0: the file as a whole
    std::string message;
};

bool ParseScenario(const std::string& text, Scenario* scenario, ScenarioError* error);
bool LoadScenarioFile(const std::string& path, Scenario* scenario, ScenarioError* error);

// A step that does nothing but enter `state` at time 0.
ScenarioStep InitialStep(const NamedState& state);
// Puts InitialStep(state) first unless a step already starts at time 0.
void EnsureStartStep(Scenario* scenario, const NamedState& state);

// Applies the step to the printer's state; returns how the printer answers from now on.
NetReplyMode ApplyStep(const ScenarioStep& step, EmuPrinterState* state);

} // namespace ovraemu
