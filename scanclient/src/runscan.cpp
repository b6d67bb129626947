// A whole scan as ovra-scan runs it, on any transport: the scanner held, the feeder
// checked for feeder scans, the scanner woken, the scan started and followed, the
// scanner given back.
#include "scanjobsupport.h"

#include "ovrascan/scanstatus.h"
#include "ovrascan/scantransport.h"

namespace ovrascan {

namespace {

// The scanner a user named; a USB scanner by its bus and device numbers in sysfs.
std::optional<ScanTarget> TargetOf(const DeviceAddress& device, const ScanJobOptions& options, std::string& error)
{
    ScanTarget target;
    target.name = device.ToString();
    if (device.kind == DeviceAddress::Kind::Net) {
        target.kind = ScanTarget::Kind::Net;
        target.address = device.address;
        return target;
    }
    const std::optional<SysfsUsbDevice> entry =
        FindByBusDevice(ReadSysfsUsbDevices(options.sysfsRoot), device.bus, device.device);
    if (!entry) {
        error = "there is no USB device " + target.name;
        return std::nullopt;
    }
    target.kind = ScanTarget::Kind::Usb;
    target.vid = entry->vid;
    target.pid = entry->pid;
    target.serial = entry->serial;
    return target;
}

ScanOutcome StepOutcome(const StepResult& result)
{
    if (!result.transportError.empty())
        return TransportFailure(result.step, result.transportError);
    if (!result.missing.empty())
        return ScanOutcome{OVRA_STATUS_INVAL, result.missing, {}};
    return StepFailure(result.step, result.status);
}

// Refuses a feeder scan that cannot deliver; a feeder status that cannot be read
// does not stop the scan (the job itself tells).
std::optional<ScanOutcome> CheckFeeder(ScanTransport& transport, const ScanJobOptions& options)
{
    const Reply<FeederReading> feeder = transport.Feeder();
    if (!feeder.Ok())
        return TransportFailure("reading the document feeder status", feeder.transportError);
    if (feeder.value.result != OVRA_STATUS_GOOD) {
        Tell(options, "the document feeder status is unknown: " + DescribeStatus(feeder.value.result));
        return std::nullopt;
    }
    return FeederProblem(feeder.value.st);
}

// The scanner held: feeder check, wake-up, start, records.
ScanOutcome ScanHeld(ScanClient& client, ScanTransport& transport, const ScanJobOptions& options)
{
    if (options.settings.source != ScanSource::Flatbed) {
        if (auto problem = CheckFeeder(transport, options))
            return *problem;
    }
    const Reply<int> power = transport.WakeUp();
    if (!power.Ok())
        return TransportFailure("waking the scanner", power.transportError);
    if (power.value != OVRA_STATUS_GOOD)
        Tell(options, "waking the scanner failed, scanning anyway: " + DescribeStatus(power.value));
    const StepResult start = transport.Start(ToSettingInfo(options.settings));
    if (!start.Ok())
        return StepOutcome(start);
    Tell(options, transport.StartedLine());
    PageCollector collector = MakeCollector(client, options);
    return FollowScan([&transport, &options] { return transport.NextRecord(options.recordTimeout); },
                      transport.BaseName(), collector, options.progress, options.meter);
}

} // namespace

ScanOutcome RunScan(ScanClient& client, const DeviceAddress& device, const ScanJobOptions& options)
{
    if (auto problem = CheckJob(options))
        return *problem;
    std::string error;
    const std::optional<ScanTarget> target = TargetOf(device, options, error);
    if (!target)
        return ScanOutcome{OVRA_STATUS_INVAL, error, {}};
    const std::unique_ptr<ScanTransport> transport = MakeScanTransport(client, *target);
    const StepResult held = transport->Reserve(ToSettingInfo(options.settings));
    ScanOutcome outcome = held.Ok() ? ScanHeld(client, *transport, options) : StepOutcome(held);
    const Reply<int> unlock = transport->Release();
    if (outcome.Ok() && !unlock.Ok())
        return TransportFailure("unlocking the scanner", unlock.transportError);
    if (outcome.Ok() && unlock.value != OVRA_STATUS_GOOD)
        Tell(options, "unlocking the scanner failed: " + DescribeStatus(unlock.value));
    return outcome;
}

} // namespace ovrascan
