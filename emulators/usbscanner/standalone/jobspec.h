// A scan job described in words, for the command line and the control socket:
//
//   pages=3 content=chart|pattern width=64 height=64 mode=gray|color
//   record=32768 chunk=0 delay=0 unplug=K device-abort=K status=K:S datasize=K:N
//
// Words are separated by blanks or commas; all are optional. The pages are test
// charts drawn as the lock settings ask (MakeChartJob()), or with content=pattern
// the deterministic pattern of PatternPage() in the size and mode of width,
// height and mode (which only pattern pages take). Faults go in front of step K of
// the job as generated (0 is the begin of scan): `unplug` (the scanner leaves
// the bus), `device-abort` (the abort header 1B 53 0F), `status` (a record
// with status S and no image), `datasize` (a status 0 record announcing
// dataSize N without image bytes).
#pragma once

#include "ovraemu/scanjob.h"

#include <string>
#include <variant>
#include <vector>

namespace ovraemu {

// The job, or the reason why the words do not describe one.
std::variant<ScanJob, std::string> ParseJobSpec(const std::vector<std::string>& words);
std::variant<ScanJob, std::string> ParseJobSpec(const std::string& text);

} // namespace ovraemu
