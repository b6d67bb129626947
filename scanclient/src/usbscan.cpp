#include "scanjobsupport.h"

#include "ovrascan/scanstatus.h"

#include <algorithm>

namespace ovrascan {

namespace {

struct ChosenDevice {
    int devfd = -1;
    std::vector<int> others;  // handles the search opened as well
};

// Finds the device named by bus and device number among the daemon's devices.
std::optional<ScanOutcome> ChooseDevice(ScanClient& client, const DeviceAddress& device,
                                        const ScanJobOptions& options, ChosenDevice& chosen)
{
    const std::optional<SysfsUsbDevice> entry =
        FindByBusDevice(ReadSysfsUsbDevices(options.sysfsRoot), device.bus, device.device);
    if (!entry)
        return ScanOutcome{OVRA_STATUS_INVAL, "there is no USB device " + device.ToString(), {}};
    const Reply<FoundDevices> found = client.FindUsbDevices(entry->vid, entry->pid, true);
    if (!found.Ok())
        return TransportFailure("finding the USB scanner", found.transportError);
    for (const USBFindDevRes& candidate : found.value.devices)
        chosen.others.push_back(candidate.fd);
    const std::optional<USBFindDevRes> match = MatchDaemonDevice(found.value.devices, *entry);
    if (!match)
        return ScanOutcome{OVRA_STATUS_INVAL,
                           "the scan daemon does not reach the USB device " + device.ToString()
                               + " (found " + std::to_string(found.value.count) + " device(s) of that model)",
                           {}};
    chosen.devfd = match->fd;
    chosen.others.erase(std::remove(chosen.others.begin(), chosen.others.end(), chosen.devfd), chosen.others.end());
    return std::nullopt;
}

std::optional<ScanOutcome> CheckUsbFeeder(ScanClient& client, int devfd, const ScanJobOptions& options)
{
    const Reply<USBScanAdfStatusRes> feeder = client.UsbFeederStatus(devfd);
    if (!feeder.Ok())
        return TransportFailure("reading the document feeder status", feeder.transportError);
    if (feeder.value.result != OVRA_STATUS_GOOD) {
        Tell(options, "the document feeder status is unknown: " + DescribeStatus(feeder.value.result));
        return std::nullopt;
    }
    return FeederProblem(feeder.value.st);
}

// Lock held: feeder check, wake-up, start, records.
ScanOutcome ScanLocked(ScanClient& client, int devfd, const ScanJobOptions& options)
{
    if (options.settings.source != ScanSource::Flatbed) {
        if (auto problem = CheckUsbFeeder(client, devfd, options))
            return *problem;
    }
    const Reply<int> power = client.PowerOn(devfd);
    if (!power.Ok())
        return TransportFailure("waking the scanner", power.transportError);
    if (power.value != OVRA_STATUS_GOOD)
        Tell(options, "waking the scanner failed, scanning anyway: " + DescribeStatus(power.value));
    const Reply<USBScanStartRes> start = client.UsbScanStart(devfd);
    if (!start.Ok())
        return TransportFailure("starting the USB scan", start.transportError);
    if (start.value.result != OVRA_STATUS_GOOD)
        return StepFailure("starting the USB scan", start.value.result);
    const std::string baseName = WireText(start.value.fileName);
    Tell(options, "scan started: " + baseName);
    PageCollector collector = MakeCollector(client, options);
    return FollowScan(
        [&client, &options, first = true]() mutable {
            const auto wait = first ? options.recordTimeout + kLongestWarmUp : options.recordTimeout;
            first = false;
            const Reply<USBScanRecordRes> record = client.NextUsbRecord(wait);
            return Reply<ScanRecord>{FromUsbRecord(record.value), record.transportError};
        },
        baseName, collector, options.progress, options.meter);
}

ScanOutcome ScanOpened(ScanClient& client, int devfd, const ScanJobOptions& options)
{
    const Reply<int> open = client.OpenDevice(devfd);
    if (!open.Ok())
        return TransportFailure("opening the USB scanner", open.transportError);
    if (open.value != OVRA_STATUS_GOOD)
        return StepFailure("opening the USB scanner", open.value);
    const Reply<int> lock = client.Lock(devfd, ToSettingInfo(options.settings));
    if (!lock.Ok())
        return TransportFailure("locking the scanner", lock.transportError);
    if (lock.value != OVRA_STATUS_GOOD)
        return StepFailure("locking the scanner", lock.value);
    ScanOutcome outcome = ScanLocked(client, devfd, options);
    const Reply<int> unlock = client.Unlock(devfd);
    if (outcome.Ok() && !unlock.Ok())
        return TransportFailure("unlocking the scanner", unlock.transportError);
    if (outcome.Ok() && unlock.value != OVRA_STATUS_GOOD)
        Tell(options, "unlocking the scanner failed: " + DescribeStatus(unlock.value));
    return outcome;
}

} // namespace

ScanOutcome RunUsbScan(ScanClient& client, const DeviceAddress& device, const ScanJobOptions& options)
{
    if (auto problem = CheckJob(options))
        return *problem;
    ChosenDevice chosen;
    if (auto problem = ChooseDevice(client, device, options, chosen))
        return *problem;
    for (int other : chosen.others)
        client.CloseDevice(other);
    ScanOutcome outcome = ScanOpened(client, chosen.devfd, options);
    client.CloseDevice(chosen.devfd);
    return outcome;
}

} // namespace ovrascan
