// The scan job form as the scanner reads it, and the job it makes of it.
#pragma once

#include "ovraemu/netscanjob.h"
#include "ovraemu/netscanrecords.h"

#include <string>

namespace ovraemu {

struct JobRequest {
    bool valid = false;
    std::string problem; // the first field the scanner refuses, when not valid
    ImageType type = ImageType::Jpeg;
    bool feeder = false;
    bool singlePage = false;
    std::string resolution;
};

// Checks the fields the scanner needs: SCANTYPE 2, TYPE JPEG or RAW, SCANSOURCE 0 or 7,
// a positive RESOLUTION and TCPPORT 2080.
JobRequest ReadJobForm(const FormFields& form);

// The chart a job of this form gets: CUSTOM_WIDTH x CUSTOM_HEIGHT pixels (A4 when
// absent or 0) at RESOLUTION dpi, lineart for DEPTH=other, grey for 8, colour otherwise.
ChartPage ChartPageOfForm(const FormFields& form);

// The accepted job: the pages it delivers given the script and the feeder. A feeder job
// delivers no page from an empty feeder; from a jammed one it stops before the first.
ScanJobRecord PlanJob(const JobRequest& request, const FormFields& form, const NetScanJob& script, FeederState feeder);

// The page before which the job stops with a feeder jam, or -1.
int JamBeforePage(const ScanJobRecord& job, const NetScanJob& script, FeederState feeder);

} // namespace ovraemu
