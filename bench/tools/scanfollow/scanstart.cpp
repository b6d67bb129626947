#include "scanstart.h"

#include "ovrascan/scanstatus.h"

namespace ovrabench {

using namespace ovrascan;

namespace {

// "<step>: <transport error or status>" when the reply says the step failed.
template <typename T>
std::string StepError(const std::string& step, const Reply<T>& reply, int result)
{
    if (!reply.Ok())
        return step + ": " + reply.transportError;
    return result == OVRA_STATUS_GOOD ? std::string() : step + ": " + DescribeStatus(result);
}

// The first device of the model; every other handle the search opened is closed.
int ChooseUsbDevice(ScanClient& client, uint16_t vid, uint16_t pid, std::string& error)
{
    const Reply<FoundDevices> found = client.FindUsbDevices(vid, pid, true);
    if (!found.Ok() || found.value.devices.empty()) {
        error = "no USB scanner " + std::to_string(vid) + ":" + std::to_string(pid) + " " + found.transportError;
        return -1;
    }
    for (size_t i = 1; i < found.value.devices.size(); ++i)
        client.CloseDevice(found.value.devices[i].fd);
    return found.value.devices.front().fd;
}

std::string OpenAndLock(ScanClient& client, int devfd, const ScanSettings& settings)
{
    const Reply<int> open = client.OpenDevice(devfd);
    std::string error = StepError("opening the scanner", open, open.value);
    if (!error.empty())
        return error;
    const Reply<int> lock = client.Lock(devfd, ToSettingInfo(settings));
    error = StepError("locking the scanner", lock, lock.value);
    if (!error.empty())
        return error;
    const Reply<int> power = client.PowerOn(devfd);
    return StepError("waking the scanner", power, power.value);
}

} // namespace

StartedScan StartNetScan(ScanClient& client, const std::string& address, const ScanSettings& settings,
                         std::chrono::milliseconds recordTimeout)
{
    StartedScan scan;
    const Reply<TCPScanStartRes> start = client.NetScanStart(NetScannerSocket(address), ToSettingInfo(settings));
    scan.error = StepError("starting the scan", start, start.value.result);
    scan.baseName = WireText(start.value.fileName);
    scan.next = [&client, recordTimeout] {
        const Reply<TCPRecordRes> record = client.NextNetRecord(recordTimeout);
        return Reply<ScanRecord>{FromNetRecord(record.value), record.transportError};
    };
    scan.finish = [] {};
    return scan;
}

StartedScan StartUsbScan(ScanClient& client, uint16_t vid, uint16_t pid, const ScanSettings& settings,
                         std::chrono::milliseconds recordTimeout)
{
    StartedScan scan;
    const int devfd = ChooseUsbDevice(client, vid, pid, scan.error);
    if (devfd < 0)
        return scan;
    scan.finish = [&client, devfd] {
        client.Unlock(devfd);
        client.CloseDevice(devfd);
    };
    scan.error = OpenAndLock(client, devfd, settings);
    if (!scan.error.empty())
        return scan;
    const Reply<USBScanStartRes> start = client.UsbScanStart(devfd);
    scan.error = StepError("starting the scan", start, start.value.result);
    scan.baseName = WireText(start.value.fileName);
    scan.next = [&client, recordTimeout] {
        const Reply<USBScanRecordRes> record = client.NextUsbRecord(recordTimeout);
        return Reply<ScanRecord>{FromUsbRecord(record.value), record.transportError};
    };
    return scan;
}

} // namespace ovrabench
