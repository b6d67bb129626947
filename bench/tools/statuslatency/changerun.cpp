#include "changerun.h"

#include "benchclock.h"

#include <chrono>
#include <random>
#include <thread>

namespace ovrabench {

bool Settle(PrinterDriver& printer, ChangeLog& log, const ChangePlan& plan)
{
    const double start = WallMs();
    return printer.Enter(plan.states.front())
           && log.WaitTray(plan.queue, ShownStatus(plan.states.front()), start, start + plan.settleMs).has_value();
}

std::vector<ChangeSample> RunChanges(PrinterDriver& printer, ChangeLog& log, const ChangePlan& plan)
{
    std::vector<ChangeSample> samples;
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> pause(0, plan.pauseMaxMs);
    for (int i = 1; i <= plan.changes; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(pause(random)));
        ChangeSample sample;
        sample.state = plan.states[size_t(i) % plan.states.size()];
        const double start = WallMs();
        if (!printer.Enter(sample.state)) {
            samples.push_back(sample);
            continue;
        }
        if (const auto file = log.WaitFile(plan.queue, start, start + plan.timeoutMs))
            sample.fileMs = *file - start;
        if (const auto tray = log.WaitTray(plan.queue, ShownStatus(sample.state), start, start + plan.timeoutMs))
            sample.trayMs = *tray - start;
        samples.push_back(sample);
    }
    return samples;
}

} // namespace ovrabench
