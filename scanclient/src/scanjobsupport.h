// Pieces both scan kinds share: settings and output checks, feeder states as outcomes,
// progress lines.
#pragma once

#include "ovrascan/scanrunner.h"

#include <optional>
#include <string>

namespace ovrascan {

void Tell(const ScanJobOptions& options, const std::string& line);

// A failure outcome when the settings or the output folder are not usable.
std::optional<ScanOutcome> CheckJob(const ScanJobOptions& options);

// A failure outcome for a feeder that cannot deliver a page (empty or jammed).
std::optional<ScanOutcome> FeederProblem(int feederState);

// A failure that names the step: "<step> failed: <status text>".
ScanOutcome StepFailure(const std::string& step, int status);
// A failure of the connection to the daemon during a step.
ScanOutcome TransportFailure(const std::string& step, const std::string& error);

PageCollector MakeCollector(ScanClient& client, const ScanJobOptions& options);

} // namespace ovrascan
