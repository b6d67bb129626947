// A scan on a USB scanner: the device among the daemon's USB_FIND_DEV records, opened
// and locked with the settings, woken, started; its records come with the daemon's USB
// record replies. Released: unlocked and closed.
#include "ovrascan/scantransport.h"

#include "ovrascan/usbdevices.h"

namespace ovrascan {

namespace {

// The daemon locks a feeder scan asked above this resolution at it.
constexpr int kUsbFeederMaxResolution = 600;

class UsbTransport : public ScanTransport
{
public:
    UsbTransport(ScanClient& client, const ScanTarget& target) : m_client(client), m_target(target) {}

    StepResult Reserve(const SettingInfo& settings) override
    {
        StepResult result = Choose();
        if (!result.Ok())
            return result;
        const Reply<int> open = m_client.OpenDevice(m_devfd);
        result = {"opening the USB scanner", open.value, open.transportError, {}};
        if (!result.Ok())
            return result;
        const Reply<int> lock = m_client.Lock(m_devfd, settings);
        result = {"locking the scanner", lock.value, lock.transportError, {}};
        m_locked = result.Ok();
        return result;
    }

    Reply<FeederReading> Feeder() override
    {
        const Reply<USBScanAdfStatusRes> status = m_client.UsbFeederStatus(m_devfd);
        return {{status.value.result, status.value.st}, status.transportError};
    }

    Reply<int> WakeUp() override { return m_client.PowerOn(m_devfd); }

    StepResult Start(const SettingInfo&) override
    {
        const Reply<USBScanStartRes> start = m_client.UsbScanStart(m_devfd);
        m_baseName = WireText(start.value.fileName);
        m_records = 0;
        return {"starting the USB scan", start.value.result, start.transportError, {}};
    }

    std::string StartedLine() const override { return "scan started: " + m_baseName; }

    Reply<ScanRecord> NextRecord(std::chrono::milliseconds timeout) override
    {
        // A scanner that was asleep sends its first record after its warm-up.
        const auto wait = m_records++ == 0 ? timeout + kLongestWarmUp : timeout;
        const Reply<USBScanRecordRes> record = m_client.NextUsbRecord(wait);
        return {FromUsbRecord(record.value), record.transportError};
    }

    void SendAbort(bool scanRunning) override
    {
        const DaemonConnection& connection = m_client.Connection();
        if (scanRunning) {
            USBScanAbortReq request{};
            request.devfd = m_devfd;
            SetWireText(request.fileName, m_baseName);
            connection.SendFromStack(USB_SCAN_ABORT, request);
        }
        if (m_devfd < 0)
            return;
        const USBCommonReq request{m_devfd};
        if (m_locked)
            connection.SendFromStack(USB_SCAN_UNLOCK, request);
        connection.SendFromStack(USB_CLOSE_DEV, request);
        m_locked = false;
        m_devfd = -1;
    }

    Reply<int> Release() override
    {
        Reply<int> unlock{OVRA_STATUS_GOOD, {}};
        if (m_devfd < 0)
            return unlock;
        if (m_locked)
            unlock = m_client.Unlock(m_devfd);
        m_client.CloseDevice(m_devfd);
        m_locked = false;
        m_devfd = -1;
        return unlock;
    }

private:
    // The target among the devices of its model the daemon found (and opened).
    StepResult Choose()
    {
        const Reply<FoundDevices> found = m_client.FindUsbDevices(m_target.vid, m_target.pid, true);
        StepResult result{"finding the USB scanner", OVRA_STATUS_GOOD, found.transportError, {}};
        if (!result.Ok())
            return result;
        SysfsUsbDevice wanted;
        wanted.vid = m_target.vid;
        wanted.pid = m_target.pid;
        wanted.serial = m_target.serial;
        const std::optional<USBFindDevRes> match = MatchDaemonDevice(found.value.devices, wanted);
        if (!match) {
            result.missing = "the scan daemon does not reach the USB device " + m_target.name + " (found "
                             + std::to_string(found.value.count) + " device(s) of that model)";
            return result;
        }
        m_devfd = match->fd;
        if (m_target.closeOtherDevices)
            for (const USBFindDevRes& other : found.value.devices)
                if (other.fd != m_devfd)
                    m_client.CloseDevice(other.fd);
        return result;
    }

    ScanClient& m_client;
    const ScanTarget m_target;
    int m_devfd = -1;
    bool m_locked = false;
    int m_records = 0;
};

} // namespace

const TransportTraits kUsbTraits{kUsbFeederMaxResolution, false};

std::unique_ptr<ScanTransport> MakeUsbTransport(ScanClient& client, const ScanTarget& target)
{
    return std::make_unique<UsbTransport>(client, target);
}

} // namespace ovrascan
