// Order statistics of the latencies of a series of changes.
#pragma once

#include <vector>

namespace ovrabench {

struct LatencySummary {
    int seen = 0;       // changes whose sighting came in time
    double median = -1; // ms; -1 when nothing was seen
    double p95 = -1;
    double max = -1;
};

// Over the values >= 0 (the negative ones were not seen); nearest-rank percentiles.
LatencySummary Summarize(std::vector<double> values);

} // namespace ovrabench
