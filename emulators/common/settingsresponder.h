// The printer side of the settings tool's commands: network-settings probe, read and
// write (group 0xB2) and the cleaning and calibration requests (group 0x2E). Turns a
// request into the printer's reply and records every request. Plain C++; plugs into
// the USB printer bed as a bulk handler and into the network printer as its command
// handler. Thread-safe: handlers run on the emulators' own threads.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace ovraemu {

enum class SettingsRequestKind {
    Probe,             // A5 00 0B 50 E0 B2 02 00 00 01 00 01 63 74
    Read,              // A5 00 19 50 E0 B2 02 00 00 01 00 08 + eight tags
    Write,             // A5 00 48 50 E0 B2 03 00 09 + nine records
    Clean,             // A5 00 07 50 E0 2E 02 01 01 01
    ReClean,           // A5 00 08 50 E0 2E 02 01 01 12 02
    CalibrationPage,   // A5 00 07 50 E0 2E 02 01 01 43
    CalibrationValues, // A5 00 24 50 E0 2E 11 00 00 00 0D + seven 32-bit values
    Unknown,
};

struct SettingsRequest {
    SettingsRequestKind kind;
    std::vector<uint8_t> bytes;
};

SettingsRequestKind ClassifySettingsRequest(const std::vector<uint8_t>& request);

// The seven signed values of a calibration-values request (empty for any other).
std::vector<int32_t> CalibrationValuesOf(const std::vector<uint8_t>& request);

// Reply: bytes, or no value when the printer stays silent.
using SettingsReply = std::optional<std::vector<uint8_t>>;

class SettingsResponder
{
public:
    SettingsResponder();

    // Text of the probe answer; no value: the probe reply holds no probe record.
    void SetProbeText(std::optional<std::string> text);
    // Mode text of read replies ("DHCP", "Static"); no value: no mode record.
    void SetModeText(std::optional<std::string> text);
    // Address k (1..7) as the printer reports it.
    void SetAddress(int k, const std::string& text);
    // Record values end in a zero byte (the default) or not.
    void SetZeroTerminated(bool zeroTerminated);
    // Takes every request and answers none (the host's read times out).
    void SetSilent(bool silent);
    // A fixed answer for one kind of request, in place of the built one.
    void SetAnswer(SettingsRequestKind kind, SettingsReply reply);

    // The printer's answer to one request; the request is recorded. A write request
    // also changes the settings the printer reports.
    SettingsReply Answer(const std::vector<uint8_t>& request);

    std::vector<SettingsRequest> Requests() const;
    int Count(SettingsRequestKind kind) const;
    std::string ModeText() const;
    std::string Address(int k) const;

private:
    std::vector<uint8_t> ProbeReply() const;
    std::vector<uint8_t> ReadReply(const std::vector<uint8_t>& request) const;
    void ApplyWrite(const std::vector<uint8_t>& request);
    SettingsReply BuiltAnswer(SettingsRequestKind kind, const std::vector<uint8_t>& request);

    mutable std::mutex m_mutex;
    std::optional<std::string> m_probeText;
    std::optional<std::string> m_modeText;
    std::array<std::string, 7> m_addresses;
    bool m_zeroTerminated = true;
    bool m_silent = false;
    std::map<SettingsRequestKind, SettingsReply> m_fixedAnswers;
    std::vector<SettingsRequest> m_requests;
};

} // namespace ovraemu
