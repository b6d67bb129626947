#include "scanjobsupport.h"

#include "ovrascan/scanstatus.h"

namespace ovrascan {

void Tell(const ScanJobOptions& options, const std::string& line)
{
    if (options.progress)
        options.progress(line);
}

std::optional<ScanOutcome> CheckJob(const ScanJobOptions& options)
{
    const std::string problem = CheckSettings(options.settings);
    if (!problem.empty())
        return ScanOutcome{OVRA_STATUS_INVAL, "unusable scan settings: " + problem, {}};
    std::string error;
    if (!PrepareOutputFolder(options.outputFolder, error))
        return ScanOutcome{OVRA_STATUS_ACCESS_DENIED, error, {}};
    return std::nullopt;
}

std::optional<ScanOutcome> FeederProblem(int feederState)
{
    if (feederState == ADF_STATUS_EMPTY)
        return ScanOutcome{OVRA_STATUS_NO_DOCS,
                           "the document feeder is empty: " + DescribeStatus(OVRA_STATUS_NO_DOCS),
                           {}};
    if (feederState == ADF_STATUS_PAPER_JAM)
        return ScanOutcome{OVRA_STATUS_JAMMED,
                           "the document feeder is jammed: " + DescribeStatus(OVRA_STATUS_JAMMED),
                           {}};
    return std::nullopt;
}

ScanOutcome StepFailure(const std::string& step, int status)
{
    return {status, step + " failed: " + DescribeStatus(status), {}};
}

ScanOutcome TransportFailure(const std::string& step, const std::string& error)
{
    return {OVRA_STATUS_IO_ERROR, step + " failed: " + error, {}};
}

PageCollector MakeCollector(ScanClient& client, const ScanJobOptions& options)
{
    return PageCollector(
        options.outputFolder, EffectiveFormat(options.settings),
        [&client](const std::string& path) { return client.DeleteFile(path); }, options.settleLimit);
}

} // namespace ovrascan
