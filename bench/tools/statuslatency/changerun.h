// One printer's series of state changes: enter the next state of the cycle, wait for
// the status file rewrite and for the tray monitor to show the state, pause a random
// while (so that the changes fall on every phase of the polling cycle), repeat.
#pragma once

#include "changelog.h"
#include "printerdriver.h"

#include <string>
#include <vector>

namespace ovrabench {

struct ChangePlan {
    std::string queue;
    std::vector<std::string> states; // states[0] is where the printer settles first
    int changes = 20;
    double timeoutMs = 40000; // per change, for each of the two sightings
    int pauseMaxMs = 2000;
    double settleMs = 90000; // for the first state to reach the tray
};

struct ChangeSample {
    std::string state;
    double fileMs = -1; // change to status file rewrite; -1 when not seen in time
    double trayMs = -1; // change to the tray showing the state
};

// Enters states[0] and waits until the tray shows it; false when it does not in time.
bool Settle(PrinterDriver& printer, ChangeLog& log, const ChangePlan& plan);
std::vector<ChangeSample> RunChanges(PrinterDriver& printer, ChangeLog& log, const ChangePlan& plan);

} // namespace ovrabench
