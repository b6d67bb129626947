#include "ovraemu/netscenario.h"

namespace ovraemu {

ScenarioStep InitialStep(const NamedState& state)
{
    ScenarioStep step;
    step.state = state;
    return step;
}

void EnsureStartStep(Scenario* scenario, const NamedState& state)
{
    if (scenario->steps.empty() || scenario->steps.front().atSeconds > 0)
        scenario->steps.insert(scenario->steps.begin(), InitialStep(state));
}

NetReplyMode ApplyStep(const ScenarioStep& step, EmuPrinterState* state)
{
    if (step.state.SetsPrinterState()) {
        state->statusCode = step.state.statusCode;
        state->errors = step.state.errors;
        state->warnings = step.state.warnings;
    }
    state->errors.insert(state->errors.end(), step.extraErrors.begin(), step.extraErrors.end());
    state->warnings.insert(state->warnings.end(), step.extraWarnings.begin(), step.extraWarnings.end());
    if (step.toner)
        state->SetCounter(kTonerTag, uint32_t(*step.toner) * kTonerPerPercent);
    return step.state.mode;
}

} // namespace ovraemu
