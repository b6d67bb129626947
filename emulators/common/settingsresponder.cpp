#include "settingsresponder.h"

#include "settingsrecords.h"

#include <algorithm>

namespace ovraemu {

namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kProbe = {0xA5, 0x00, 0x0B, 0x50, 0xE0, 0xB2, 0x02, 0x00, 0x00, 0x01, 0x00, 0x01, 0x63, 0x74};
const Bytes kReadHead = {0xA5, 0x00, 0x19, 0x50, 0xE0, 0xB2, 0x02, 0x00, 0x00, 0x01, 0x00, 0x08};
const Bytes kWriteHead = {0xA5, 0x00, 0x48, 0x50, 0xE0, 0xB2, 0x03, 0x00, 0x09};
const Bytes kClean = {0xA5, 0x00, 0x07, 0x50, 0xE0, 0x2E, 0x02, 0x01, 0x01, 0x01};
const Bytes kReClean = {0xA5, 0x00, 0x08, 0x50, 0xE0, 0x2E, 0x02, 0x01, 0x01, 0x12, 0x02};
const Bytes kCalibrationPage = {0xA5, 0x00, 0x07, 0x50, 0xE0, 0x2E, 0x02, 0x01, 0x01, 0x43};
const Bytes kCalibrationHead = {0xA5, 0x00, 0x24, 0x50, 0xE0, 0x2E, 0x11, 0x00, 0x00, 0x00, 0x0D};
const size_t kReadLength = 28;
const size_t kWriteLength = 75;
const size_t kCalibrationLength = 39;
// Acknowledgement of a maintenance request: the frame with an empty answer.
const Bytes kMaintenanceAck = {0xA5, 0x00, 0x04, 0x50, 0xE0, 0x2E, 0x00};

bool StartsWith(const Bytes& bytes, const Bytes& head)
{
    return bytes.size() >= head.size() && std::equal(head.begin(), head.end(), bytes.begin());
}

unsigned U16At(const Bytes& bytes, size_t pos) { return unsigned(bytes[pos]) << 8 | bytes[pos + 1]; }

std::string DottedQuad(const Bytes& bytes, size_t pos)
{
    return std::to_string(bytes[pos]) + "." + std::to_string(bytes[pos + 1]) + "." + std::to_string(bytes[pos + 2])
           + "." + std::to_string(bytes[pos + 3]);
}

} // namespace

SettingsRequestKind ClassifySettingsRequest(const Bytes& request)
{
    if (request == kProbe)
        return SettingsRequestKind::Probe;
    if (request.size() == kReadLength && StartsWith(request, kReadHead))
        return SettingsRequestKind::Read;
    if (request.size() == kWriteLength && StartsWith(request, kWriteHead))
        return SettingsRequestKind::Write;
    if (request == kClean)
        return SettingsRequestKind::Clean;
    if (request == kReClean)
        return SettingsRequestKind::ReClean;
    if (request == kCalibrationPage)
        return SettingsRequestKind::CalibrationPage;
    if (request.size() == kCalibrationLength && StartsWith(request, kCalibrationHead))
        return SettingsRequestKind::CalibrationValues;
    return SettingsRequestKind::Unknown;
}

std::vector<int32_t> CalibrationValuesOf(const Bytes& request)
{
    std::vector<int32_t> values;
    if (ClassifySettingsRequest(request) != SettingsRequestKind::CalibrationValues)
        return values;
    for (size_t pos = kCalibrationHead.size(); pos + 4 <= request.size(); pos += 4) {
        const uint32_t raw = uint32_t(request[pos]) << 24 | uint32_t(request[pos + 1]) << 16
                             | uint32_t(request[pos + 2]) << 8 | request[pos + 3];
        values.push_back(int32_t(raw));
    }
    return values;
}

SettingsResponder::SettingsResponder() : m_probeText(std::string("OK")), m_modeText(std::string("DHCP"))
{
    m_addresses.fill("0.0.0.0");
}

void SettingsResponder::SetProbeText(std::optional<std::string> text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_probeText = std::move(text);
}

void SettingsResponder::SetModeText(std::optional<std::string> text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_modeText = std::move(text);
}

void SettingsResponder::SetAddress(int k, const std::string& text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_addresses.at(size_t(k - 1)) = text;
}

void SettingsResponder::SetZeroTerminated(bool zeroTerminated)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_zeroTerminated = zeroTerminated;
}

void SettingsResponder::SetSilent(bool silent)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_silent = silent;
}

void SettingsResponder::SetAnswer(SettingsRequestKind kind, SettingsReply reply)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_fixedAnswers[kind] = std::move(reply);
}

SettingsReply SettingsResponder::Answer(const Bytes& request)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const SettingsRequestKind kind = ClassifySettingsRequest(request);
    m_requests.push_back({kind, request});
    if (kind == SettingsRequestKind::Write)
        ApplyWrite(request);
    if (m_silent)
        return std::nullopt;
    const auto fixed = m_fixedAnswers.find(kind);
    if (fixed != m_fixedAnswers.end())
        return fixed->second;
    return BuiltAnswer(kind, request);
}

SettingsReply SettingsResponder::BuiltAnswer(SettingsRequestKind kind, const Bytes& request)
{
    switch (kind) {
    case SettingsRequestKind::Probe: return ProbeReply();
    case SettingsRequestKind::Read: return ReadReply(request);
    case SettingsRequestKind::Write: return SplitIntoBlocks(SettingsPayload(0x03, 0, {}));
    case SettingsRequestKind::Clean:
    case SettingsRequestKind::ReClean:
    case SettingsRequestKind::CalibrationPage:
    case SettingsRequestKind::CalibrationValues: return kMaintenanceAck;
    case SettingsRequestKind::Unknown: break;
    }
    return std::nullopt;
}

Bytes SettingsResponder::ProbeReply() const
{
    std::vector<Bytes> records;
    if (m_probeText)
        records.push_back(SettingsRecord(kTagProbe, *m_probeText, m_zeroTerminated));
    return SplitIntoBlocks(SettingsPayload(0x02, uint16_t(records.size()), records));
}

// Answers each requested tag of either block with that tag.
Bytes SettingsResponder::ReadReply(const Bytes& request) const
{
    std::vector<Bytes> records;
    for (size_t pos = kReadHead.size(); pos + 2 <= request.size(); pos += 2) {
        const uint16_t tag = uint16_t(U16At(request, pos));
        const unsigned k = tag & 0x0F;
        if (k == 0 && m_modeText)
            records.push_back(SettingsRecord(tag, *m_modeText, m_zeroTerminated));
        else if (k >= 1 && k <= 7)
            records.push_back(SettingsRecord(tag, m_addresses[k - 1], m_zeroTerminated));
    }
    return SplitIntoBlocks(SettingsPayload(0x02, uint16_t(records.size()), records));
}

// Takes the values of a well-formed write: mode, then seven 4-byte addresses.
void SettingsResponder::ApplyWrite(const Bytes& request)
{
    const size_t modeValue = 13;
    m_modeText = request[modeValue] == 0 ? "DHCP" : "Static";
    for (size_t k = 1; k <= 7; ++k) {
        const size_t value = 14 + (k - 1) * 8 + 4;
        m_addresses[k - 1] = DottedQuad(request, value);
    }
}

std::vector<SettingsRequest> SettingsResponder::Requests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

int SettingsResponder::Count(SettingsRequestKind kind) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(std::count_if(m_requests.begin(), m_requests.end(),
                             [kind](const SettingsRequest& request) { return request.kind == kind; }));
}

std::string SettingsResponder::ModeText() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_modeText.value_or(std::string());
}

std::string SettingsResponder::Address(int k) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_addresses.at(size_t(k - 1));
}

} // namespace ovraemu
