// One scan on one scanner through the daemon, whatever connects the scanner to it: the
// steps every scan client takes (hold the scanner, read its feeder, wake it, start,
// follow the records, abort, give it back), one implementation per transport
// (usbtransport.cpp, nettransport.cpp). The commands each step sends are the
// transport's; which failure ends a scan and what the user is told stay the client's.
#pragma once

#include "ovrascan/pagetracker.h"
#include "ovrascan/scanclient.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace ovrascan {

// A USB scanner that was asleep sends its first record after the warm-up it reports
// on power-on: at most 255 s (one byte).
constexpr std::chrono::seconds kLongestWarmUp{255};

// The scanner a scan runs on.
struct ScanTarget {
    enum class Kind {
        Usb,
        Net
    };
    Kind kind = Kind::Net;
    std::string name; // as messages name it: "usb:1:5", "net:192.168.1.20"
    // Usb: the device among the daemon's, by vendor, product and serial number.
    uint16_t vid = 0;
    uint16_t pid = 0;
    std::string serial;
    // USB_FIND_DEV opens every device of the model: the others are closed at once when
    // set, else they stay open in the daemon until the connection ends.
    bool closeOtherDevices = true;
    // Net: the scanner's IPv4 address.
    std::string address;
};

// What a client knows of a transport before it connects.
struct TransportTraits {
    int feederMaxResolution = 0; // the daemon scans from the feeder at most at this (0: as asked)
    bool jpegPages = false;      // grey and colour pages come as JPEG, else as raw lines
};
TransportTraits TraitsOf(ScanTarget::Kind kind);

// How one step ended: the daemon's result, a broken connection, or a scanner the
// daemon does not reach.
struct StepResult {
    std::string step; // "opening the USB scanner", "starting the scan on 192.168.1.20"
    int status = OVRA_STATUS_GOOD;
    std::string transportError; // the connection failed during the step
    std::string missing;        // why the scanner is not among the daemon's
    bool Ok() const { return status == OVRA_STATUS_GOOD && transportError.empty() && missing.empty(); }
};

// The document feeder as the daemon read it: st (ADF_STATUS_*) holds when result is good.
struct FeederReading {
    int result = OVRA_STATUS_GOOD;
    int st = ADF_STATUS_LOADED;
};

class ScanTransport
{
public:
    virtual ~ScanTransport() = default;

    // Holds the scanner for a scan with these settings (a USB scanner: found among the
    // daemon's devices, opened and locked).
    virtual StepResult Reserve(const SettingInfo& settings) = 0;
    virtual Reply<FeederReading> Feeder() = 0;
    // Wakes the scanner before the start; the daemon's result.
    virtual Reply<int> WakeUp() = 0;
    // Starts the scan; then BaseName() names its page files.
    virtual StepResult Start(const SettingInfo& settings) = 0;
    // The progress line of a started scan: "scan started: <base name>".
    virtual std::string StartedLine() const = 0;
    // The next record reply of the started scan (the first one of a USB scan may come
    // after the scanner's warm-up, on top of the timeout).
    virtual Reply<ScanRecord> NextRecord(std::chrono::milliseconds timeout) = 0;
    // Sends the abort of the scan (when it still runs) and what Release would send,
    // without waiting for a reply and without allocating: safe from a signal handler
    // while NextRecord waits on the same connection.
    virtual void SendAbort(bool scanRunning) = 0;
    // Gives the scanner back (a USB scanner: unlocked when locked, closed); the unlock's
    // reply, good when there was nothing to unlock.
    virtual Reply<int> Release() = 0;

    const std::string& BaseName() const { return m_baseName; }

protected:
    std::string m_baseName;
};

// The transport of the target's kind, sending through the client's connection.
std::unique_ptr<ScanTransport> MakeScanTransport(ScanClient& client, const ScanTarget& target);

// Each transport's own file.
std::unique_ptr<ScanTransport> MakeUsbTransport(ScanClient& client, const ScanTarget& target);
std::unique_ptr<ScanTransport> MakeNetTransport(ScanClient& client, const ScanTarget& target);
extern const TransportTraits kUsbTraits;
extern const TransportTraits kNetTraits;

} // namespace ovrascan
