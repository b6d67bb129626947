#include "scanjobsupport.h"

#include "ovrascan/scanstatus.h"

namespace ovrascan {

namespace {

// Refuses a feeder scan that cannot deliver; a feeder status that cannot be read
// does not stop the scan (the job itself tells).
std::optional<ScanOutcome> CheckNetFeeder(ScanClient& client, const OvraSocket& scanner,
                                          const ScanJobOptions& options)
{
    const Reply<TCPADFStatusRes> feeder = client.NetFeederStatus(scanner);
    if (!feeder.Ok())
        return TransportFailure("reading the document feeder status", feeder.transportError);
    if (feeder.value.result != OVRA_STATUS_GOOD) {
        Tell(options, "the document feeder status is unknown: " + DescribeStatus(feeder.value.result));
        return std::nullopt;
    }
    return FeederProblem(feeder.value.st);
}

} // namespace

ScanOutcome RunNetworkScan(ScanClient& client, const std::string& address, const ScanJobOptions& options)
{
    if (auto problem = CheckJob(options))
        return *problem;
    const OvraSocket scanner = NetScannerSocket(address);
    if (options.settings.source != ScanSource::Flatbed) {
        if (auto problem = CheckNetFeeder(client, scanner, options))
            return *problem;
    }
    const std::string step = "starting the scan on " + address;
    const Reply<TCPScanStartRes> start = client.NetScanStart(scanner, ToSettingInfo(options.settings));
    if (!start.Ok())
        return TransportFailure(step, start.transportError);
    if (start.value.result != OVRA_STATUS_GOOD)
        return StepFailure(step, start.value.result);
    const std::string baseName = WireText(start.value.fileName);
    Tell(options, "scan started on " + address + ": " + baseName);
    PageCollector collector = MakeCollector(client, options);
    return FollowScan(
        [&client, &options] {
            const Reply<TCPRecordRes> record = client.NextNetRecord(options.recordTimeout);
            return Reply<ScanRecord>{FromNetRecord(record.value), record.transportError};
        },
        baseName, collector, options.progress, options.meter);
}

} // namespace ovrascan
