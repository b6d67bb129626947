#include "latencystats.h"

#include <algorithm>
#include <cmath>

namespace ovrabench {

namespace {

double Percentile(const std::vector<double>& sorted, double fraction)
{
    const size_t rank = size_t(std::ceil(fraction * double(sorted.size())));
    return sorted[std::max<size_t>(rank, 1) - 1];
}

} // namespace

LatencySummary Summarize(std::vector<double> values)
{
    values.erase(std::remove_if(values.begin(), values.end(), [](double v) { return v < 0; }), values.end());
    LatencySummary summary;
    summary.seen = int(values.size());
    if (values.empty())
        return summary;
    std::sort(values.begin(), values.end());
    summary.median = Percentile(values, 0.5);
    summary.p95 = Percentile(values, 0.95);
    summary.max = values.back();
    return summary;
}

} // namespace ovrabench
