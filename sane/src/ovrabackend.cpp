#include "ovrabackend.h"

#include "ovrascan/scanrunner.h"

#include "ovrascan/pagecollector.h"
#include "ovrascan/usbdevices.h"

#include "ovradebug.h"

#include <sane/saneopts.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <initializer_list>

namespace ovrasane {

using namespace ovrascan;
using namespace std::chrono_literals;

namespace {

constexpr double kGlassWidth = 215.9;  // mm
constexpr double kGlassHeight = 297.0; // mm
constexpr auto kRecordTimeout = std::chrono::seconds(120);
constexpr auto kReplyTimeout = std::chrono::seconds(30);
constexpr auto kDrainTimeout = std::chrono::seconds(10);

const char* const kModeLineart = SANE_VALUE_SCAN_MODE_LINEART;
const char* const kModeGray = SANE_VALUE_SCAN_MODE_GRAY;
const char* const kModeColor = SANE_VALUE_SCAN_MODE_COLOR;
constexpr auto kSettleLimit = std::chrono::seconds(5);
constexpr auto kSettlePoll = std::chrono::milliseconds(2);
// The names of earlier versions, kept for front-end presets that stored them.
const char* const kOldSourceFeederSinglePage = "ADF single page";
const char* const kOldSourceFeederMultiPage = "ADF multi page";

std::unique_ptr<ScanClient> Connect(uint16_t port)
{
    std::string error;
    DaemonConnection connection = DaemonConnection::ConnectLocal(port, &error);
    if (!connection.IsOpen())
        return nullptr;
    auto client = std::make_unique<ScanClient>(std::move(connection));
    client->SetReplyTimeout(kReplyTimeout);
    return client;
}

std::string Capabilities(const ScannerCapabilities& caps)
{
    return std::string(caps.color ? "colour" : "grey") + ", " + std::to_string(caps.minres) + "-"
           + std::to_string(caps.maxres) + " dpi" + (caps.duplex ? ", duplex" : "");
}

// Reads the whole stream until the daemon closes it (after an abort and a half-close).
void DrainToEnd(DaemonConnection& connection)
{
    const auto deadline = std::chrono::steady_clock::now() + kDrainTimeout;
    char sink[256];
    while (std::chrono::steady_clock::now() < deadline) {
        const ReadStatus status = connection.Read(sink, 1, 200ms);
        if (status == ReadStatus::Closed || status == ReadStatus::Failed)
            return;
    }
}

bool Among(SANE_Status status, std::initializer_list<SANE_Status> allowed)
{
    return std::find(allowed.begin(), allowed.end(), status) != allowed.end();
}

// Option descriptors. A settable option takes a string list (strings of up to 32 bytes)
// or a range (one word), as its constraint says.
SANE_Option_Descriptor Option(SANE_String_Const name, SANE_String_Const title, SANE_String_Const desc,
                              SANE_Value_Type type, SANE_Unit unit, SANE_Int size, SANE_Int cap)
{
    SANE_Option_Descriptor option = {name, title, desc, type, unit, size, cap, SANE_CONSTRAINT_NONE, {nullptr}};
    return option;
}

SANE_Option_Descriptor Group(SANE_String_Const title)
{
    return Option("", title, "", SANE_TYPE_GROUP, SANE_UNIT_NONE, 0, 0);
}

constexpr SANE_Int kSettable = SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT;

SANE_Option_Descriptor Settable(SANE_String_Const name, SANE_String_Const title, SANE_String_Const desc,
                                SANE_Value_Type type, SANE_Unit unit, const SANE_String_Const* list)
{
    SANE_Option_Descriptor option = Option(name, title, desc, type, unit, 32, kSettable);
    option.constraint_type = SANE_CONSTRAINT_STRING_LIST;
    option.constraint.string_list = list;
    return option;
}

SANE_Option_Descriptor Settable(SANE_String_Const name, SANE_String_Const title, SANE_String_Const desc,
                                SANE_Value_Type type, SANE_Unit unit, const SANE_Range* range)
{
    SANE_Option_Descriptor option = Option(name, title, desc, type, unit, sizeof(SANE_Word), kSettable);
    option.constraint_type = SANE_CONSTRAINT_RANGE;
    option.constraint.range = range;
    return option;
}

} // namespace

const char* const kSourceFlatbed = "Flatbed";
const char* const kSourceFeeder = "ADF";
const char* const kSourceFeederSinglePage = "ADF Single Page";

SANE_Status AllowedStatus(EntryPoint entry, SANE_Status status)
{
    using S = SANE_Status;
    switch (entry) {
    case EntryPoint::Open:
        return Among(status, {S::SANE_STATUS_GOOD, S::SANE_STATUS_DEVICE_BUSY, S::SANE_STATUS_INVAL,
                              S::SANE_STATUS_IO_ERROR, S::SANE_STATUS_NO_MEM, S::SANE_STATUS_ACCESS_DENIED})
                   ? status
                   : SANE_STATUS_IO_ERROR;
    case EntryPoint::ControlOption:
        return Among(status, {S::SANE_STATUS_GOOD, S::SANE_STATUS_UNSUPPORTED, S::SANE_STATUS_INVAL,
                              S::SANE_STATUS_IO_ERROR, S::SANE_STATUS_NO_MEM, S::SANE_STATUS_ACCESS_DENIED})
                   ? status
                   : SANE_STATUS_IO_ERROR;
    case EntryPoint::GetParameters:
        return Among(status, {S::SANE_STATUS_GOOD, S::SANE_STATUS_INVAL}) ? status : SANE_STATUS_INVAL;
    case EntryPoint::Start:
        return Among(status, {S::SANE_STATUS_GOOD, S::SANE_STATUS_CANCELLED, S::SANE_STATUS_DEVICE_BUSY,
                              S::SANE_STATUS_JAMMED, S::SANE_STATUS_NO_DOCS, S::SANE_STATUS_COVER_OPEN,
                              S::SANE_STATUS_IO_ERROR, S::SANE_STATUS_NO_MEM, S::SANE_STATUS_INVAL})
                   ? status
                   : SANE_STATUS_IO_ERROR;
    case EntryPoint::Read:
        return Among(status, {S::SANE_STATUS_GOOD, S::SANE_STATUS_CANCELLED, S::SANE_STATUS_EOF, S::SANE_STATUS_JAMMED,
                              S::SANE_STATUS_NO_DOCS, S::SANE_STATUS_COVER_OPEN, S::SANE_STATUS_IO_ERROR,
                              S::SANE_STATUS_NO_MEM, S::SANE_STATUS_ACCESS_DENIED, S::SANE_STATUS_INVAL})
                   ? status
                   : SANE_STATUS_IO_ERROR;
    case EntryPoint::SetIoMode:
    case EntryPoint::GetSelectFd:
        return Among(status, {S::SANE_STATUS_GOOD, S::SANE_STATUS_INVAL, S::SANE_STATUS_UNSUPPORTED})
                   ? status
                   : SANE_STATUS_INVAL;
    }
    return SANE_STATUS_INVAL;
}

SANE_Word ConstrainWord(const SANE_Option_Descriptor& option, SANE_Word value)
{
    if (option.constraint_type == SANE_CONSTRAINT_RANGE && option.constraint.range) {
        const SANE_Range& range = *option.constraint.range;
        value = std::clamp(value, range.min, range.max);
        if (range.quant > 0) {
            const SANE_Word steps = (value - range.min + range.quant / 2) / range.quant;
            value = std::min(range.min + steps * range.quant, range.max);
        }
        return value;
    }
    if (option.constraint_type == SANE_CONSTRAINT_WORD_LIST && option.constraint.word_list) {
        const SANE_Word* list = option.constraint.word_list; // the count, then the entries
        SANE_Word best = value;
        int64_t bestDistance = INT64_MAX;
        for (SANE_Int i = 1; i <= list[0]; ++i) {
            const int64_t distance = std::llabs(int64_t(list[i]) - int64_t(value));
            if (distance < bestDistance) {
                bestDistance = distance;
                best = list[i];
            }
        }
        return best;
    }
    return value;
}

uint16_t DaemonPortFor(const BackendConfig& config)
{
    const char* env = std::getenv("OVRA_SCAN_DAEMON_PORT");
    if ((env && *env) || config.daemonPort == 0)
        return DaemonPort();
    return config.daemonPort;
}

ScanTarget ScanTargetOf(const DeviceEntry& device)
{
    ScanTarget target;
    target.kind = device.usb ? ScanTarget::Kind::Usb : ScanTarget::Kind::Net;
    target.name = device.name;
    target.vid = uint16_t(device.vid);
    target.pid = uint16_t(device.pid);
    target.serial = device.serial;
    // The other devices of the model stay open until the scan's connection ends.
    target.closeOtherDevices = false;
    target.address = device.address;
    return target;
}

SANE_Status ToSaneStatus(int status)
{
    if (status < 0)
        return SANE_STATUS_IO_ERROR; // a failed USB transfer
    if (status > OVRA_STATUS_ACCESS_DENIED)
        return SANE_STATUS_IO_ERROR;
    return static_cast<SANE_Status>(status); // same numbering
}

std::vector<DeviceEntry> DiscoverDevices(const BackendConfig& config)
{
    std::vector<DeviceEntry> devices;
    std::unique_ptr<ScanClient> client = Connect(DaemonPortFor(config));
    if (!client)
        return devices;
    const Reply<FoundDevices> found = client->FindUsbDevices(kOvraUsbVendorId, 0, false);
    if (found.Ok()) {
        for (const USBFindDevRes& usb : found.value.devices) {
            DeviceEntry entry;
            entry.usb = true;
            entry.vid = usb.vid;
            entry.pid = usb.pid;
            entry.serial = WireText(usb.SerialNumber);
            char ids[32];
            std::snprintf(ids, sizeof ids, "%04x:%04x", unsigned(usb.vid & 0xFFFF), unsigned(usb.pid & 0xFFFF));
            entry.name = "usb:" + std::string(ids) + ":" + entry.serial;
            const std::string maker = WireText(usb.Manufacturer);
            entry.vendor = maker.empty() ? "Ovra" : maker;
            const std::string product = WireText(usb.Product);
            entry.model = product.empty() ? "USB scanner " + std::string(ids) : product;
            entry.type = "multi-function peripheral";
            devices.push_back(entry);
        }
    }
    for (const std::string& address : config.netAddresses) {
        DeviceEntry entry;
        entry.address = address;
        entry.name = "net:" + address;
        entry.vendor = "Ovra";
        entry.type = "multi-function peripheral";
        const Reply<TCPDevPropertiesRes> properties = client->NetProperties(NetScannerSocket(address));
        if (properties.Ok() && properties.value.result == OVRA_STATUS_GOOD) {
            const ScannerCapabilities& caps = properties.value.devPro;
            entry.model = "network scanner " + address + " (" + Capabilities(caps) + ")";
            if (caps.minres > 0 && caps.maxres >= caps.minres && caps.maxres <= 1200) {
                entry.minResolution = int(caps.minres);
                entry.maxResolution = int(caps.maxres);
            }
        } else {
            entry.model = "network scanner " + address + " (not answering)";
        }
        if (!properties.Ok())
            break; // the daemon went away
        devices.push_back(entry);
    }
    return devices;
}

// The page being delivered, as the daemon writes it.
class Session::DaemonPageBytes : public PageBytes
{
public:
    explicit DaemonPageBytes(Session& session) : m_session(session) {}
    long Next(uint8_t* out, size_t max) override { return m_session.NextPageBytes(out, max); }

private:
    Session& m_session;
};

Session::Session(const DeviceEntry& device, uint16_t port)
    : m_device(device), m_target(ScanTargetOf(device)), m_port(port), m_brx(SANE_FIX(kGlassWidth)),
      m_bry(SANE_FIX(kGlassHeight))
{
    m_daemonBytes = std::make_unique<DaemonPageBytes>(*this);
    BuildOptions();
}

Session::~Session() { Cancel(); }

void Session::BuildOptions()
{
    std::memset(m_options, 0, sizeof m_options);
    m_modeList = {kModeLineart, kModeGray, kModeColor, nullptr};
    m_sourceList = {kSourceFlatbed, kSourceFeeder, kSourceFeederSinglePage, nullptr};
    m_resolutionRange = {m_device.minResolution, m_device.maxResolution, 1};
    if (m_resolution < m_device.minResolution || m_resolution > m_device.maxResolution)
        m_resolution = m_device.minResolution;
    m_xRange = {0, SANE_FIX(kGlassWidth), 0};
    m_yRange = {0, SANE_FIX(kGlassHeight), 0};
    m_byteRange = {0, 255, 1};

    SANE_Option_Descriptor* o = m_options;
    o[OPT_NUM_OPTS] = Option(SANE_NAME_NUM_OPTIONS, SANE_TITLE_NUM_OPTIONS, SANE_DESC_NUM_OPTIONS, SANE_TYPE_INT,
                             SANE_UNIT_NONE, sizeof(SANE_Word), SANE_CAP_SOFT_DETECT);
    o[OPT_MODE_GROUP] = Group(SANE_I18N("Scan mode"));
    o[OPT_MODE] = Settable(SANE_NAME_SCAN_MODE, SANE_TITLE_SCAN_MODE, SANE_DESC_SCAN_MODE, SANE_TYPE_STRING,
                           SANE_UNIT_NONE, m_modeList.data());
    o[OPT_RESOLUTION] = Settable(SANE_NAME_SCAN_RESOLUTION, SANE_TITLE_SCAN_RESOLUTION, SANE_DESC_SCAN_RESOLUTION,
                                 SANE_TYPE_INT, SANE_UNIT_DPI, &m_resolutionRange);
    o[OPT_SOURCE] = Settable(SANE_NAME_SCAN_SOURCE, SANE_TITLE_SCAN_SOURCE,
                             SANE_I18N("Selects the scan source: the glass, every page in the document feeder "
                                       "(ADF) or its first page only (ADF Single Page)."),
                             SANE_TYPE_STRING, SANE_UNIT_NONE, m_sourceList.data());
    o[OPT_GEOMETRY_GROUP] = Group(SANE_I18N("Geometry"));
    o[OPT_TL_X] = Settable(SANE_NAME_SCAN_TL_X, SANE_TITLE_SCAN_TL_X, SANE_DESC_SCAN_TL_X, SANE_TYPE_FIXED,
                           SANE_UNIT_MM, &m_xRange);
    o[OPT_TL_Y] = Settable(SANE_NAME_SCAN_TL_Y, SANE_TITLE_SCAN_TL_Y, SANE_DESC_SCAN_TL_Y, SANE_TYPE_FIXED,
                           SANE_UNIT_MM, &m_yRange);
    o[OPT_BR_X] = Settable(SANE_NAME_SCAN_BR_X, SANE_TITLE_SCAN_BR_X, SANE_DESC_SCAN_BR_X, SANE_TYPE_FIXED,
                           SANE_UNIT_MM, &m_xRange);
    o[OPT_BR_Y] = Settable(SANE_NAME_SCAN_BR_Y, SANE_TITLE_SCAN_BR_Y, SANE_DESC_SCAN_BR_Y, SANE_TYPE_FIXED,
                           SANE_UNIT_MM, &m_yRange);
    o[OPT_ENHANCEMENT_GROUP] = Group(SANE_I18N("Enhancement"));
    o[OPT_BRIGHTNESS] = Settable(SANE_NAME_BRIGHTNESS, SANE_TITLE_BRIGHTNESS, SANE_DESC_BRIGHTNESS, SANE_TYPE_INT,
                                 SANE_UNIT_NONE, &m_byteRange);
    o[OPT_CONTRAST] = Settable(SANE_NAME_CONTRAST, SANE_TITLE_CONTRAST, SANE_DESC_CONTRAST, SANE_TYPE_INT,
                               SANE_UNIT_NONE, &m_byteRange);
}

const SANE_Option_Descriptor* Session::Descriptor(SANE_Int option) const
{
    if (option < 0 || option >= NUM_OPTIONS)
        return nullptr;
    return &m_options[option];
}

namespace {

bool InList(const std::vector<SANE_String_Const>& list, const char* value)
{
    for (SANE_String_Const entry : list)
        if (entry && std::strcmp(entry, value) == 0)
            return true;
    return false;
}

bool SameParameters(const SANE_Parameters& a, const SANE_Parameters& b)
{
    return a.format == b.format && a.bytes_per_line == b.bytes_per_line && a.pixels_per_line == b.pixels_per_line
           && a.lines == b.lines && a.depth == b.depth;
}

// A source name of an earlier version as today's name, else nullptr.
const char* CurrentSourceName(const char* text)
{
    if (std::strcmp(text, kOldSourceFeederSinglePage) == 0)
        return kSourceFeederSinglePage;
    if (std::strcmp(text, kOldSourceFeederMultiPage) == 0)
        return kSourceFeeder;
    return nullptr;
}

} // namespace

SANE_Status Session::Control(SANE_Int option, SANE_Action action, void* value, SANE_Int* info)
{
    if (info)
        *info = 0;
    if (option < 0 || option >= NUM_OPTIONS)
        return SANE_STATUS_INVAL;
    const SANE_Option_Descriptor& descriptor = m_options[option];
    if (descriptor.type == SANE_TYPE_GROUP || !SANE_OPTION_IS_ACTIVE(descriptor.cap))
        return SANE_STATUS_INVAL;
    switch (action) {
    case SANE_ACTION_GET_VALUE: return value ? GetValue(option, value) : SANE_STATUS_INVAL;
    case SANE_ACTION_SET_VALUE:
        if (!value || !SANE_OPTION_IS_SETTABLE(descriptor.cap))
            return SANE_STATUS_INVAL;
        return SetValue(option, value, info);
    case SANE_ACTION_SET_AUTO:
        // No option has an automatic value (none has SANE_CAP_AUTOMATIC).
        return SANE_STATUS_INVAL;
    }
    return SANE_STATUS_INVAL;
}

SANE_Status Session::GetValue(SANE_Int option, void* value) const
{
    SANE_Word* word = static_cast<SANE_Word*>(value);
    const SANE_Fixed geometry[] = {m_tlx, m_tly, m_brx, m_bry};
    switch (option) {
    case OPT_NUM_OPTS: *word = NUM_OPTIONS; break;
    case OPT_MODE: std::strcpy(static_cast<char*>(value), m_mode.c_str()); break;
    case OPT_SOURCE: std::strcpy(static_cast<char*>(value), m_source.c_str()); break;
    case OPT_RESOLUTION: *word = m_resolution; break;
    case OPT_TL_X:
    case OPT_TL_Y:
    case OPT_BR_X:
    case OPT_BR_Y: *word = geometry[option - OPT_TL_X]; break;
    case OPT_BRIGHTNESS: *word = m_brightness; break;
    case OPT_CONTRAST: *word = m_contrast; break;
    default: return SANE_STATUS_INVAL;
    }
    return SANE_STATUS_GOOD;
}

// Values set during a scan apply from the next scan on: the running one keeps the
// settings it started with.
SANE_Status Session::SetValue(SANE_Int option, void* value, SANE_Int* info)
{
    SANE_Parameters before{}, after{};
    Estimate(&before);
    bool inexact = false;
    if (m_options[option].type == SANE_TYPE_STRING) {
        char* text = static_cast<char*>(value);
        const std::vector<SANE_String_Const>& list = option == OPT_MODE ? m_modeList : m_sourceList;
        const char* current = option == OPT_SOURCE ? CurrentSourceName(text) : nullptr;
        if (!InList(list, text) && !current)
            return SANE_STATUS_INVAL;
        if (current) {
            std::strcpy(text, current); // shorter than the old name
            inexact = true;
        }
        (option == OPT_MODE ? m_mode : m_source) = text;
        Dbg(DBG_DETAIL, "option %s = %s", m_options[option].name, text);
    } else {
        SANE_Word* word = static_cast<SANE_Word*>(value);
        const SANE_Word constrained = ConstrainWord(m_options[option], *word);
        inexact = constrained != *word;
        *word = constrained;
        SANE_Fixed* geometry[] = {&m_tlx, &m_tly, &m_brx, &m_bry};
        switch (option) {
        case OPT_RESOLUTION: m_resolution = constrained; break;
        case OPT_TL_X:
        case OPT_TL_Y:
        case OPT_BR_X:
        case OPT_BR_Y: *geometry[option - OPT_TL_X] = constrained; break;
        case OPT_BRIGHTNESS: m_brightness = constrained; break;
        case OPT_CONTRAST: m_contrast = constrained; break;
        default: return SANE_STATUS_INVAL;
        }
        Dbg(DBG_DETAIL, "option %s = %d%s", m_options[option].name, constrained, inexact ? " (inexact)" : "");
    }
    Estimate(&after);
    if (info) {
        if (inexact)
            *info |= SANE_INFO_INEXACT;
        if (!SameParameters(before, after))
            *info |= SANE_INFO_RELOAD_PARAMS;
    }
    return SANE_STATUS_GOOD;
}

ScanSettings Session::Settings() const
{
    ScanSettings s;
    s.mode = m_mode == kModeLineart ? ColorMode::BlackAndWhite
             : m_mode == kModeGray  ? ColorMode::Gray
                                    : ColorMode::Color;
    s.source = m_source == kSourceFeederSinglePage ? ScanSource::FeederSinglePage
               : m_source == kSourceFeeder         ? ScanSource::FeederMultiPage
                                                   : ScanSource::Flatbed;
    s.resolution = m_resolution;
    // The daemon locks a USB feeder scan asked at 1200 dpi at 600 dpi: ask for 600, so
    // that the lines are as wide as the frame says.
    const TransportTraits traits = TraitsOf(m_target.kind);
    if (traits.feederMaxResolution > 0 && s.source != ScanSource::Flatbed && s.resolution > traits.feederMaxResolution)
        s.resolution = traits.feederMaxResolution;
    const double left = SANE_UNFIX(std::min(m_tlx, m_brx)), right = SANE_UNFIX(std::max(m_tlx, m_brx));
    const double top = SANE_UNFIX(std::min(m_tly, m_bry)), bottom = SANE_UNFIX(std::max(m_tly, m_bry));
    s.area = {left, top, right - left, bottom - top};
    // The USB scanners send raw lines; network scanners JPEG for grey and colour.
    s.format = (!traits.jpegPages || s.mode == ColorMode::BlackAndWhite) ? ImageFormat::Raw : ImageFormat::Jpeg;
    s.brightness = m_brightness;
    s.contrast = m_contrast;
    return s;
}

// The parameters the options ask for: the best estimate before a scan.
void Session::Estimate(SANE_Parameters* params) const
{
    const SettingInfo info = ToSettingInfo(Settings());
    params->format = info.bitDepth == 24 ? SANE_FRAME_RGB : SANE_FRAME_GRAY;
    params->last_frame = SANE_TRUE;
    params->pixels_per_line = SANE_Int(info.width);
    params->lines = SANE_Int(info.height);
    params->depth = info.bitDepth == 1 ? 1 : 8;
    params->bytes_per_line = RawBytesPerLine(info.bitDepth, SANE_Int(info.width));
}

SANE_Status Session::Parameters(SANE_Parameters* params)
{
    if (!params)
        return SANE_STATUS_INVAL;
    if (!InScan()) {
        Estimate(params);
        return SANE_STATUS_GOOD;
    }
    // The frame being delivered (or just delivered): its exact geometry.
    params->format = m_frame.channels == 3 ? SANE_FRAME_RGB : SANE_FRAME_GRAY;
    params->last_frame = SANE_TRUE;
    params->bytes_per_line = m_frame.bytesPerLine;
    params->pixels_per_line = m_frame.pixelsPerLine;
    params->lines = m_frame.lines;
    params->depth = m_frame.depth;
    return SANE_STATUS_GOOD;
}

SANE_Status Session::SetIoMode(SANE_Bool nonBlocking) const
{
    if (!InScan())
        return SANE_STATUS_INVAL; // only between sane_start and the end of the scan
    return nonBlocking ? SANE_STATUS_UNSUPPORTED : SANE_STATUS_GOOD;
}

SANE_Status Session::SelectFd(SANE_Int* fd) const
{
    if (!fd || !InScan())
        return SANE_STATUS_INVAL;
    return SANE_STATUS_UNSUPPORTED; // reads block
}

Reply<ScanRecord> Session::NextRecord() { return m_transport->NextRecord(kRecordTimeout); }

SANE_Status Session::Start()
{
    if (m_phase == FramePhase::Delivering) {
        // The front end leaves the rest of the frame: its page is dropped.
        const SANE_Status status = FinishPage();
        if (status != SANE_STATUS_GOOD)
            return AllowedStatus(EntryPoint::Start, status);
    }
    if (m_state == State::Idle)
        m_cancelled = false;
    m_phase = FramePhase::None;
    if (m_cancelled) {
        FinishCancel();
        return SANE_STATUS_CANCELLED;
    }
    m_busy = 1;
    SANE_Status status = m_state == State::Idle ? BeginScan() : NextPage();
    m_busy = 0;
    if (m_cancelled) {
        FinishCancel();
        return SANE_STATUS_CANCELLED;
    }
    if (status == SANE_STATUS_GOOD) {
        m_phase = FramePhase::Delivering;
        Dbg(DBG_INFO, "page %d: %d x %d pixels, %d bytes per line, depth %d", m_page, m_frame.pixelsPerLine,
            m_frame.lines, m_frame.bytesPerLine, m_frame.depth);
    }
    return AllowedStatus(EntryPoint::Start, status);
}

SANE_Status Session::BeginScan()
{
    EndScan();
    m_scanSettings = Settings();
    if (!CheckSettings(m_scanSettings).empty()) {
        Dbg(DBG_ERROR, "settings refused: %s", CheckSettings(m_scanSettings).c_str());
        return SANE_STATUS_INVAL;
    }
    m_client = Connect(m_port);
    if (!m_client) {
        Dbg(DBG_ERROR, "the scan daemon does not answer on port %u", unsigned(m_port));
        return SANE_STATUS_IO_ERROR;
    }
    const SettingInfo info = ToSettingInfo(m_scanSettings);
    Dbg(DBG_INFO, "scan on %s: %d dpi, depth %d, %u x %u dots, %s", m_device.name.c_str(), m_scanSettings.resolution,
        int(info.bitDepth), unsigned(info.width), unsigned(info.height), m_source.c_str());
    m_transport = MakeScanTransport(*m_client, m_target);
    const StepResult held = m_transport->Reserve(info);
    if (!held.Ok()) {
        if (!held.missing.empty())
            Dbg(DBG_ERROR, "%s is no longer connected", m_device.name.c_str());
        return held.transportError.empty() && held.missing.empty() ? ToSaneStatus(held.status) : SANE_STATUS_IO_ERROR;
    }
    const int feederState = FeederState();
    if (feederState == ADF_STATUS_EMPTY || feederState == ADF_STATUS_PAPER_JAM) {
        Dbg(DBG_INFO, "the feeder is %s", feederState == ADF_STATUS_EMPTY ? "empty" : "jammed");
        EndScan();
        return feederState == ADF_STATUS_EMPTY ? SANE_STATUS_NO_DOCS : SANE_STATUS_JAMMED;
    }
    const Reply<int> power = m_transport->WakeUp();
    if (!power.Ok() || power.value != OVRA_STATUS_GOOD) {
        const SANE_Status status = power.Ok() ? ToSaneStatus(power.value) : SANE_STATUS_IO_ERROR;
        EndScan();
        return status;
    }
    const StepResult start = m_transport->Start(info);
    if (!start.Ok()) {
        const int result = start.transportError.empty() ? start.status : int(OVRA_STATUS_IO_ERROR);
        Dbg(DBG_ERROR, "the scan did not start: status %d", result);
        EndScan();
        return ToSaneStatus(result);
    }
    m_baseName = m_transport->BaseName();
    m_tracker = PageTracker();
    m_pending.clear();
    m_endedPages.clear();
    m_scanFailure = SANE_STATUS_GOOD;
    m_abortSent = false;
    m_state = State::Running;
    return NextPage();
}

// Waits until the next page holds its first bytes (skipping empty pages), then begins
// its frame; SANE_STATUS_NO_DOCS when the scan has no further page.
SANE_Status Session::NextPage()
{
    ClosePage();
    for (;;) {
        if (m_cancelled)
            return SANE_STATUS_CANCELLED;
        if (!m_pending.empty()) {
            const int page = m_pending.front();
            if (m_tracker.BytesOf(page) > 0)
                return BeginFrame(page);
            if (m_endedPages.count(page)) {
                DeletePage(page); // an empty page
                m_pending.pop_front();
                continue;
            }
        } else if (m_tracker.Current() == PageTracker::State::Done) {
            Dbg(DBG_INFO, "the scan has no further page");
            EndScan();
            return SANE_STATUS_NO_DOCS;
        }
        if (!FollowRecord())
            return FailScan();
    }
}

// Reads one record reply and follows it: pages begun, bytes written, pages ended.
// False when the scan cannot go on (cancelled, failed, the daemon gone).
bool Session::FollowRecord()
{
    if (m_state != State::Running || m_tracker.Current() != PageTracker::State::Running)
        return false;
    const Reply<ScanRecord> record = NextRecord();
    if (m_cancelled)
        return false;
    if (!record.Ok()) {
        Dbg(DBG_ERROR, "no record from the daemon: %s", record.transportError.c_str());
        m_scanFailure = SANE_STATUS_IO_ERROR;
        return false;
    }
    const ScanRecord& r = record.value;
    Dbg(DBG_DETAIL, "record: result %d status %d file %d bytes %d", r.result, r.status, r.fileIndex, r.dataSize);
    if (r.status == SCAN_STATUS_BEGIN_OF_PAGE)
        m_pending.push_back(r.fileIndex);
    for (int page : m_tracker.Handle(r).finishedPages)
        m_endedPages.insert(page);
    if (m_tracker.Current() == PageTracker::State::Failed) {
        int failure = m_tracker.FailureStatus();
        if (failure == OVRA_STATUS_IO_ERROR && FeederJammed())
            failure = OVRA_STATUS_JAMMED; // the scanner broke off because of the jam
        Dbg(DBG_ERROR, "the scan failed: status %d", failure);
        m_scanFailure = ToSaneStatus(failure);
        return false;
    }
    return true;
}

SANE_Status Session::BeginFrame(int page)
{
    m_page = page;
    m_pageOffset = 0;
    // The first bytes tell the format: network scanners send JPEG for grey and colour,
    // yet a scanner may answer with raw lines.
    std::vector<uint8_t> prefix(3);
    size_t got = 0;
    while (got < prefix.size()) {
        const long n = NextPageBytes(prefix.data() + got, prefix.size() - got);
        if (n < 0)
            return FailScan();
        if (n == 0)
            break;
        got += size_t(n);
    }
    prefix.resize(got);
    const SettingInfo info = ToSettingInfo(m_scanSettings);
    std::string error;
    bool begun = false;
    if (LooksLikeJpeg(prefix)) {
        m_pageBytes = std::make_unique<PrefixedPageBytes>(prefix, *m_daemonBytes);
        m_lines = MakeJpegLines(*m_pageBytes);
        begun = m_lines->Begin(error);
        if (!begun && (m_cancelled || m_scanFailure != SANE_STATUS_GOOD))
            return FailScan();
        if (!begun) {
            // No decodable JPEG stream: the page's bytes as raw lines, from its start.
            Dbg(DBG_INFO, "page %d: %s; taken as raw lines", page, error.c_str());
            m_lines.reset();
            m_pageOffset = 0;
            prefix.clear();
        }
    }
    if (!begun) {
        m_pageBytes = std::make_unique<PrefixedPageBytes>(prefix, *m_daemonBytes);
        m_lines = MakeRawLines(*m_pageBytes, int(info.bitDepth), int(info.width), int(info.height));
        if (!m_lines->Begin(error)) {
            Dbg(DBG_ERROR, "page %d: %s", page, error.c_str());
            m_scanFailure = SANE_STATUS_IO_ERROR;
            return FailScan();
        }
    }
    m_frame = m_lines->Geometry();
    return SANE_STATUS_GOOD;
}

// The next bytes of the page being delivered: from its file, as far as the records say
// the daemon wrote it; waits for further records while the page is scanned.
long Session::NextPageBytes(uint8_t* out, size_t max)
{
    std::chrono::steady_clock::time_point settleDeadline{};
    for (;;) {
        if (m_cancelled)
            return -1;
        const int64_t written = m_tracker.BytesOf(m_page);
        if (m_pageOffset < written) {
            const long n = ReadPageFile(out, size_t(std::min<int64_t>(int64_t(max), written - m_pageOffset)));
            if (n > 0) {
                m_pageOffset += n;
                return n;
            }
            if (n < 0)
                return -1;
            // Announced, not yet in the file: the daemon's write is on its way.
            const auto now = std::chrono::steady_clock::now();
            if (settleDeadline == std::chrono::steady_clock::time_point{})
                settleDeadline = now + kSettleLimit;
            else if (now > settleDeadline) {
                Dbg(DBG_ERROR, "page %d: the file holds fewer bytes than announced", m_page);
                return -1;
            }
            std::this_thread::sleep_for(kSettlePoll);
            continue;
        }
        if (m_endedPages.count(m_page))
            return 0;
        if (!FollowRecord())
            return -1;
    }
}

// 0 when the file does not hold those bytes yet.
long Session::ReadPageFile(uint8_t* out, size_t max)
{
    if (m_pageFd < 0) {
        m_pageFd = open(PageFilePath(m_baseName, m_page).c_str(), O_RDONLY | O_CLOEXEC);
        if (m_pageFd < 0)
            return errno == ENOENT ? 0 : -1;
    }
    for (;;) {
        const ssize_t n = pread(m_pageFd, out, max, off_t(m_pageOffset));
        if (n < 0 && errno == EINTR)
            continue;
        return long(n);
    }
}

SANE_Status Session::Read(SANE_Byte* data, SANE_Int maxLength, SANE_Int* length)
{
    if (length)
        *length = 0;
    if (!data || !length || maxLength < 0)
        return SANE_STATUS_INVAL;
    switch (m_phase) {
    case FramePhase::None: return SANE_STATUS_INVAL; // no scan started
    case FramePhase::Cancelled: return SANE_STATUS_CANCELLED;
    case FramePhase::Ended: return SANE_STATUS_EOF;
    case FramePhase::Delivering: break;
    }
    std::string error;
    m_busy = 1;
    const long n = m_cancelled ? -1 : m_lines->Read(data, size_t(maxLength), error);
    m_busy = 0;
    if (m_cancelled) {
        FinishCancel();
        return SANE_STATUS_CANCELLED;
    }
    if (n < 0) {
        Dbg(DBG_ERROR, "page %d: %s", m_page, error.c_str());
        m_phase = FramePhase::None;
        return AllowedStatus(EntryPoint::Read, FailScan());
    }
    if (n == 0) {
        const SANE_Status status = FinishPage();
        if (status != SANE_STATUS_GOOD)
            return AllowedStatus(EntryPoint::Read, status);
        m_phase = FramePhase::Ended;
        return SANE_STATUS_EOF;
    }
    *length = SANE_Int(n);
    return SANE_STATUS_GOOD;
}

// The frame is delivered (or left): waits for the end of its page and has the daemon
// delete the page file.
SANE_Status Session::FinishPage()
{
    m_busy = 1;
    bool ended = true;
    while (!m_endedPages.count(m_page) && (ended = FollowRecord())) {
    }
    m_busy = 0;
    if (!ended || m_cancelled) {
        m_phase = FramePhase::None;
        return m_cancelled ? (FinishCancel(), SANE_STATUS_CANCELLED) : FailScan();
    }
    Dbg(DBG_INFO, "page %d delivered", m_page);
    ClosePage();
    DeletePage(m_page);
    if (!m_pending.empty() && m_pending.front() == m_page)
        m_pending.pop_front();
    return SANE_STATUS_GOOD;
}

// Ends a scan that cannot go on; the status says why.
SANE_Status Session::FailScan()
{
    const SANE_Status status = m_cancelled                         ? SANE_STATUS_CANCELLED
                               : m_scanFailure != SANE_STATUS_GOOD ? m_scanFailure
                                                                   : SANE_STATUS_IO_ERROR;
    AbortScan();
    EndScan();
    return status;
}

void Session::FinishCancel()
{
    if (m_state == State::Running)
        AbortScan();
    EndScan();
    m_phase = FramePhase::Cancelled;
}

void Session::ClosePage()
{
    if (m_pageFd >= 0)
        close(m_pageFd);
    m_pageFd = -1;
    m_lines.reset();
    m_pageBytes.reset();
}

void Session::DeletePage(int page)
{
    if (m_client)
        m_client->DeleteFile(PageFilePath(m_baseName, page));
}

// The feeder's state (ADF_STATUS_*) for a feeder scan; loaded for a flatbed scan, or
// when the daemon cannot read it (the scan then tells).
int Session::FeederState()
{
    if (!m_transport || m_scanSettings.source == ScanSource::Flatbed)
        return ADF_STATUS_LOADED;
    const Reply<FeederReading> feeder = m_transport->Feeder();
    return feeder.Ok() && feeder.value.result == OVRA_STATUS_GOOD ? int(feeder.value.st) : int(ADF_STATUS_LOADED);
}

// After a failed feeder scan: whether the feeder reports a paper jam.
bool Session::FeederJammed()
{
    return m_scanSettings.source != ScanSource::Flatbed && FeederState() == ADF_STATUS_PAPER_JAM;
}

// Stops a running scan in the daemon: the abort removes every page file of the scan;
// after the scan's end, the page files not delivered are deleted one by one. The
// connection is then half-closed, and read to its end, so that the daemon has done
// it when this returns.
void Session::AbortScan()
{
    if (m_state != State::Running)
        return;
    ClosePage();
    if (m_client && m_tracker.Current() != PageTracker::State::Running) {
        std::set<int> pages(m_pending.begin(), m_pending.end());
        for (int page : m_tracker.OpenPages())
            pages.insert(page);
        for (int page : pages)
            DeletePage(page);
    }
    m_pending.clear();
    RequestAbort();
    if (m_client && m_client->Connection().IsOpen())
        DrainToEnd(m_client->Connection());
    m_state = State::Finished;
}

// Sends the abort of a scan still running in the daemon (and a USB scanner's unlock),
// once, and half-closes the connection: a few sends, safe from a signal handler while
// a record read waits on the same connection, which the daemon then closes.
void Session::RequestAbort()
{
    if (!m_client || m_state != State::Running || m_abortSent.exchange(true))
        return;
    const int fd = m_client->Connection().Fd();
    if (m_transport)
        m_transport->SendAbort(m_tracker.Current() == PageTracker::State::Running);
    if (fd >= 0)
        shutdown(fd, SHUT_WR);
}

void Session::EndScan()
{
    ClosePage();
    if (m_transport)
        m_transport->Release();
    m_transport.reset();
    m_client.reset();
    m_pending.clear();
    m_endedPages.clear();
    m_state = State::Idle;
}

void Session::Cancel()
{
    m_cancelled = true;
    if (m_busy) {
        // From a signal handler while Start or Read waits: the waiting call ends the
        // scan. A record read may be waiting: the abort ends it.
        if (m_tracker.Current() == PageTracker::State::Running)
            RequestAbort();
        return;
    }
    if (m_phase != FramePhase::None || m_state != State::Idle)
        FinishCancel();
}

} // namespace ovrasane
