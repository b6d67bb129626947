#include "ovrabackend.h"

#include "ovrascan/pagecollector.h"
#include "ovrascan/usbdevices.h"

#include <sane/saneopts.h>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace ovrasane {

using namespace ovrascan;
using namespace std::chrono_literals;

namespace {

constexpr double kGlassWidth = 215.9;   // mm
constexpr double kGlassHeight = 297.0;  // mm
constexpr int kUsbFeederMaxResolution = 600;
constexpr auto kRecordTimeout = std::chrono::seconds(120);
constexpr auto kReplyTimeout = std::chrono::seconds(30);
constexpr auto kDrainTimeout = std::chrono::seconds(10);

const char* const kModeLineart = SANE_VALUE_SCAN_MODE_LINEART;
const char* const kModeGray = SANE_VALUE_SCAN_MODE_GRAY;
const char* const kModeColor = SANE_VALUE_SCAN_MODE_COLOR;
const char* const kSourceFlatbed = "Flatbed";
const char* const kSourceFeeder = "ADF single page";
const char* const kSourceFeederMulti = "ADF multi page";

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

bool ReadFile(const std::string& path, std::vector<uint8_t>& bytes)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return true;
}

} // namespace

uint16_t DaemonPortFor(const BackendConfig& config)
{
    const char* env = std::getenv("OVRA_SCAN_DAEMON_PORT");
    if ((env && *env) || config.daemonPort == 0)
        return DaemonPort();
    return config.daemonPort;
}

SANE_Status ToSaneStatus(int status)
{
    if (status < 0)
        return SANE_STATUS_IO_ERROR;  // a failed USB transfer
    if (status > OVRA_STATUS_ACCESS_DENIED)
        return SANE_STATUS_IO_ERROR;
    return static_cast<SANE_Status>(status);  // same numbering
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
            break;  // the daemon went away
        devices.push_back(entry);
    }
    return devices;
}

Session::Session(const DeviceEntry& device, uint16_t port)
    : m_device(device), m_port(port), m_brx(SANE_FIX(kGlassWidth)), m_bry(SANE_FIX(kGlassHeight))
{
    BuildOptions();
}

Session::~Session()
{
    Cancel();
    if (!m_workFolder.empty())
        rmdir(m_workFolder.c_str());
}

void Session::BuildOptions()
{
    std::memset(m_options, 0, sizeof m_options);
    m_modeList = {kModeLineart, kModeGray, kModeColor, nullptr};
    m_sourceList = {kSourceFlatbed, kSourceFeeder, kSourceFeederMulti, nullptr};
    m_resolutionRange = {m_device.minResolution, m_device.maxResolution, 1};
    if (m_resolution < m_device.minResolution || m_resolution > m_device.maxResolution)
        m_resolution = m_device.minResolution;
    m_xRange = {0, SANE_FIX(kGlassWidth), 0};
    m_yRange = {0, SANE_FIX(kGlassHeight), 0};
    m_byteRange = {0, 255, 1};

    SANE_Option_Descriptor* o = m_options;
    o[OPT_NUM_OPTS] = {SANE_NAME_NUM_OPTIONS, SANE_TITLE_NUM_OPTIONS, SANE_DESC_NUM_OPTIONS, SANE_TYPE_INT,
                       SANE_UNIT_NONE, sizeof(SANE_Word), SANE_CAP_SOFT_DETECT, SANE_CONSTRAINT_NONE, {nullptr}};
    o[OPT_MODE_GROUP] = {"", SANE_I18N("Scan mode"), "", SANE_TYPE_GROUP, SANE_UNIT_NONE, 0, 0,
                         SANE_CONSTRAINT_NONE, {nullptr}};
    const SANE_Int settable = SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT;
    o[OPT_MODE] = {SANE_NAME_SCAN_MODE, SANE_TITLE_SCAN_MODE, SANE_DESC_SCAN_MODE, SANE_TYPE_STRING,
                   SANE_UNIT_NONE, 32, settable, SANE_CONSTRAINT_STRING_LIST, {nullptr}};
    o[OPT_MODE].constraint.string_list = m_modeList.data();
    o[OPT_RESOLUTION] = {SANE_NAME_SCAN_RESOLUTION, SANE_TITLE_SCAN_RESOLUTION, SANE_DESC_SCAN_RESOLUTION,
                         SANE_TYPE_INT, SANE_UNIT_DPI, sizeof(SANE_Word), settable, SANE_CONSTRAINT_RANGE,
                         {nullptr}};
    o[OPT_RESOLUTION].constraint.range = &m_resolutionRange;
    o[OPT_SOURCE] = {SANE_NAME_SCAN_SOURCE, SANE_TITLE_SCAN_SOURCE, SANE_DESC_SCAN_SOURCE, SANE_TYPE_STRING,
                     SANE_UNIT_NONE, 32, settable, SANE_CONSTRAINT_STRING_LIST, {nullptr}};
    o[OPT_SOURCE].constraint.string_list = m_sourceList.data();
    o[OPT_GEOMETRY_GROUP] = {"", SANE_I18N("Geometry"), "", SANE_TYPE_GROUP, SANE_UNIT_NONE, 0, 0,
                             SANE_CONSTRAINT_NONE, {nullptr}};
    o[OPT_TL_X] = {SANE_NAME_SCAN_TL_X, SANE_TITLE_SCAN_TL_X, SANE_DESC_SCAN_TL_X, SANE_TYPE_FIXED,
                   SANE_UNIT_MM, sizeof(SANE_Word), settable, SANE_CONSTRAINT_RANGE, {nullptr}};
    o[OPT_TL_X].constraint.range = &m_xRange;
    o[OPT_TL_Y] = {SANE_NAME_SCAN_TL_Y, SANE_TITLE_SCAN_TL_Y, SANE_DESC_SCAN_TL_Y, SANE_TYPE_FIXED,
                   SANE_UNIT_MM, sizeof(SANE_Word), settable, SANE_CONSTRAINT_RANGE, {nullptr}};
    o[OPT_TL_Y].constraint.range = &m_yRange;
    o[OPT_BR_X] = {SANE_NAME_SCAN_BR_X, SANE_TITLE_SCAN_BR_X, SANE_DESC_SCAN_BR_X, SANE_TYPE_FIXED,
                   SANE_UNIT_MM, sizeof(SANE_Word), settable, SANE_CONSTRAINT_RANGE, {nullptr}};
    o[OPT_BR_X].constraint.range = &m_xRange;
    o[OPT_BR_Y] = {SANE_NAME_SCAN_BR_Y, SANE_TITLE_SCAN_BR_Y, SANE_DESC_SCAN_BR_Y, SANE_TYPE_FIXED,
                   SANE_UNIT_MM, sizeof(SANE_Word), settable, SANE_CONSTRAINT_RANGE, {nullptr}};
    o[OPT_BR_Y].constraint.range = &m_yRange;
    o[OPT_ENHANCEMENT_GROUP] = {"", SANE_I18N("Enhancement"), "", SANE_TYPE_GROUP, SANE_UNIT_NONE, 0, 0,
                                SANE_CONSTRAINT_NONE, {nullptr}};
    o[OPT_BRIGHTNESS] = {SANE_NAME_BRIGHTNESS, SANE_TITLE_BRIGHTNESS, SANE_DESC_BRIGHTNESS, SANE_TYPE_INT,
                         SANE_UNIT_NONE, sizeof(SANE_Word), settable, SANE_CONSTRAINT_RANGE, {nullptr}};
    o[OPT_BRIGHTNESS].constraint.range = &m_byteRange;
    o[OPT_CONTRAST] = {SANE_NAME_CONTRAST, SANE_TITLE_CONTRAST, SANE_DESC_CONTRAST, SANE_TYPE_INT,
                       SANE_UNIT_NONE, sizeof(SANE_Word), settable, SANE_CONSTRAINT_RANGE, {nullptr}};
    o[OPT_CONTRAST].constraint.range = &m_byteRange;
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

SANE_Word Clamp(SANE_Word value, const SANE_Range& range, bool* changed)
{
    SANE_Word clamped = value < range.min ? range.min : value > range.max ? range.max : value;
    *changed = clamped != value;
    return clamped;
}

} // namespace

SANE_Status Session::Control(SANE_Int option, SANE_Action action, void* value, SANE_Int* info)
{
    if (info)
        *info = 0;
    if (option < 0 || option >= NUM_OPTIONS || !value)
        return SANE_STATUS_INVAL;
    if (m_state != State::Idle && action != SANE_ACTION_GET_VALUE)
        return SANE_STATUS_DEVICE_BUSY;
    SANE_Word* word = static_cast<SANE_Word*>(value);
    SANE_Fixed* geometry[] = {&m_tlx, &m_tly, &m_brx, &m_bry};
    if (action == SANE_ACTION_GET_VALUE) {
        switch (option) {
        case OPT_NUM_OPTS: *word = NUM_OPTIONS; break;
        case OPT_MODE: std::strcpy(static_cast<char*>(value), m_mode.c_str()); break;
        case OPT_SOURCE: std::strcpy(static_cast<char*>(value), m_source.c_str()); break;
        case OPT_RESOLUTION: *word = m_resolution; break;
        case OPT_TL_X: case OPT_TL_Y: case OPT_BR_X: case OPT_BR_Y: *word = *geometry[option - OPT_TL_X]; break;
        case OPT_BRIGHTNESS: *word = m_brightness; break;
        case OPT_CONTRAST: *word = m_contrast; break;
        default: return SANE_STATUS_INVAL;
        }
        return SANE_STATUS_GOOD;
    }
    if (action != SANE_ACTION_SET_VALUE)
        return SANE_STATUS_INVAL;  // no option has an automatic value
    bool changed = false;
    switch (option) {
    case OPT_MODE:
    case OPT_SOURCE: {
        const char* text = static_cast<const char*>(value);
        if (!InList(option == OPT_MODE ? m_modeList : m_sourceList, text))
            return SANE_STATUS_INVAL;
        (option == OPT_MODE ? m_mode : m_source) = text;
        if (info)
            *info |= SANE_INFO_RELOAD_PARAMS;
        return SANE_STATUS_GOOD;
    }
    case OPT_RESOLUTION: m_resolution = Clamp(*word, m_resolutionRange, &changed); break;
    case OPT_TL_X: case OPT_BR_X: *geometry[option - OPT_TL_X] = Clamp(*word, m_xRange, &changed); break;
    case OPT_TL_Y: case OPT_BR_Y: *geometry[option - OPT_TL_X] = Clamp(*word, m_yRange, &changed); break;
    case OPT_BRIGHTNESS: m_brightness = Clamp(*word, m_byteRange, &changed); break;
    case OPT_CONTRAST: m_contrast = Clamp(*word, m_byteRange, &changed); break;
    default: return SANE_STATUS_INVAL;
    }
    if (info) {
        *info |= SANE_INFO_RELOAD_PARAMS;
        if (changed)
            *info |= SANE_INFO_INEXACT;
    }
    return SANE_STATUS_GOOD;
}

ScanSettings Session::Settings() const
{
    ScanSettings s;
    s.mode = m_mode == kModeLineart ? ColorMode::BlackAndWhite
             : m_mode == kModeGray  ? ColorMode::Gray
                                    : ColorMode::Color;
    s.source = m_source == kSourceFeeder        ? ScanSource::FeederSinglePage
               : m_source == kSourceFeederMulti ? ScanSource::FeederMultiPage
                                                : ScanSource::Flatbed;
    s.resolution = m_resolution;
    // The daemon locks a USB feeder scan asked at 1200 dpi at 600 dpi: ask for 600, so
    // that the lines are as wide as the frame says.
    if (m_device.usb && s.source != ScanSource::Flatbed && s.resolution > kUsbFeederMaxResolution)
        s.resolution = kUsbFeederMaxResolution;
    const double left = SANE_UNFIX(std::min(m_tlx, m_brx)), right = SANE_UNFIX(std::max(m_tlx, m_brx));
    const double top = SANE_UNFIX(std::min(m_tly, m_bry)), bottom = SANE_UNFIX(std::max(m_tly, m_bry));
    s.area = {left, top, right - left, bottom - top};
    // The USB scanners send raw lines; network scanners JPEG for grey and colour.
    s.format = (m_device.usb || s.mode == ColorMode::BlackAndWhite) ? ImageFormat::Raw : ImageFormat::Jpeg;
    s.brightness = m_brightness;
    s.contrast = m_contrast;
    return s;
}

SANE_Status Session::Parameters(SANE_Parameters* params)
{
    if (!params)
        return SANE_STATUS_INVAL;
    if (m_pageLoaded) {
        params->format = m_frame.channels == 3 ? SANE_FRAME_RGB : SANE_FRAME_GRAY;
        params->last_frame = SANE_TRUE;
        params->bytes_per_line = m_frame.bytesPerLine;
        params->pixels_per_line = m_frame.pixelsPerLine;
        params->lines = m_frame.lines;
        params->depth = m_frame.depth;
        return SANE_STATUS_GOOD;
    }
    const ScanSettings s = Settings();
    const SettingInfo info = ToSettingInfo(s);
    params->format = info.bitDepth == 24 ? SANE_FRAME_RGB : SANE_FRAME_GRAY;
    params->last_frame = SANE_TRUE;
    params->pixels_per_line = SANE_Int(info.width);
    params->lines = SANE_Int(info.height);
    params->depth = info.bitDepth == 1 ? 1 : 8;
    params->bytes_per_line = RawBytesPerLine(info.bitDepth, SANE_Int(info.width));
    return SANE_STATUS_GOOD;
}

Reply<ScanRecord> Session::NextRecord()
{
    if (m_device.usb) {
        const Reply<USBScanRecordRes> record = m_client->NextUsbRecord(kRecordTimeout);
        return {FromUsbRecord(record.value), record.transportError};
    }
    const Reply<TCPRecordRes> record = m_client->NextNetRecord(kRecordTimeout);
    return {FromNetRecord(record.value), record.transportError};
}

SANE_Status Session::Start()
{
    if (m_state == State::Idle)
        m_cancelled = false;
    if (m_cancelled)
        return SANE_STATUS_CANCELLED;
    m_inStart = true;
    SANE_Status status = m_state == State::Idle ? BeginScan() : NextPage();
    m_inStart = false;
    if (m_cancelled) {
        AbortScan();
        EndScan();
        status = SANE_STATUS_CANCELLED;
    }
    return status;
}

SANE_Status Session::BeginScan()
{
    EndScan();
    m_scanSettings = Settings();
    if (!CheckSettings(m_scanSettings).empty())
        return SANE_STATUS_INVAL;
    if (m_workFolder.empty()) {
        // Page copies wait here between the daemon's page file and decoding.
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/ovra-sane-XXXXXX";
        if (!mkdtemp(pattern.data()))
            return SANE_STATUS_IO_ERROR;
        m_workFolder = pattern;
    }
    m_client = Connect(m_port);
    if (!m_client)
        return SANE_STATUS_IO_ERROR;
    const SettingInfo info = ToSettingInfo(m_scanSettings);
    const bool feeder = m_scanSettings.source != ScanSource::Flatbed;
    int feederState = ADF_STATUS_LOADED;
    if (m_device.usb) {
        const Reply<FoundDevices> found = m_client->FindUsbDevices(uint16_t(m_device.vid), uint16_t(m_device.pid), true);
        if (!found.Ok())
            return SANE_STATUS_IO_ERROR;
        for (const USBFindDevRes& usb : found.value.devices)
            if (WireText(usb.SerialNumber) == m_device.serial) {
                m_devfd = usb.fd;
                break;
            }
        if (m_devfd < 0)
            return SANE_STATUS_INVAL;  // unplugged since the listing
        const Reply<int> open = m_client->OpenDevice(m_devfd);
        if (!open.Ok() || open.value != OVRA_STATUS_GOOD)
            return open.Ok() ? ToSaneStatus(open.value) : SANE_STATUS_IO_ERROR;
        const Reply<int> lock = m_client->Lock(m_devfd, info);
        if (!lock.Ok())
            return SANE_STATUS_IO_ERROR;
        if (lock.value != OVRA_STATUS_GOOD)
            return ToSaneStatus(lock.value);
        m_locked = true;
        if (feeder) {
            const Reply<USBScanAdfStatusRes> status = m_client->UsbFeederStatus(m_devfd);
            if (status.Ok() && status.value.result == OVRA_STATUS_GOOD)
                feederState = status.value.st;
        }
    } else if (feeder) {
        const Reply<TCPADFStatusRes> status = m_client->NetFeederStatus(NetScannerSocket(m_device.address));
        if (status.Ok() && status.value.result == OVRA_STATUS_GOOD)
            feederState = status.value.st;
    }
    if (feederState == ADF_STATUS_EMPTY) {
        EndScan();
        return SANE_STATUS_NO_DOCS;
    }
    if (feederState == ADF_STATUS_PAPER_JAM) {
        EndScan();
        return SANE_STATUS_JAMMED;
    }
    int result = OVRA_STATUS_GOOD;
    if (m_device.usb) {
        const Reply<int> power = m_client->PowerOn(m_devfd);
        if (!power.Ok() || power.value != OVRA_STATUS_GOOD) {
            const SANE_Status status = power.Ok() ? ToSaneStatus(power.value) : SANE_STATUS_IO_ERROR;
            EndScan();
            return status;
        }
        const Reply<USBScanStartRes> start = m_client->UsbScanStart(m_devfd);
        result = start.Ok() ? start.value.result : OVRA_STATUS_IO_ERROR;
        m_baseName = start.Ok() ? WireText(start.value.fileName) : std::string();
    } else {
        m_scanner = NetScannerSocket(m_device.address);
        const Reply<TCPScanStartRes> start = m_client->NetScanStart(m_scanner, info);
        result = start.Ok() ? start.value.result : OVRA_STATUS_IO_ERROR;
        if (start.Ok()) {
            m_scanner.tcpFromScanner = start.value.socketDataFd;
            m_baseName = WireText(start.value.fileName);
        }
    }
    if (result != OVRA_STATUS_GOOD) {
        EndScan();
        return ToSaneStatus(result);
    }
    m_tracker = PageTracker();
    m_finished.clear();
    m_abortSent = false;
    m_state = State::Running;
    return NextPage();
}

SANE_Status Session::NextPage()
{
    m_pageLoaded = false;
    m_frame = Frame();
    m_readOffset = 0;
    for (;;) {
        if (m_cancelled)
            return SANE_STATUS_CANCELLED;
        while (!m_finished.empty()) {
            const int page = m_finished.front();
            m_finished.pop_front();
            const SANE_Status status = LoadPage(page);
            if (status == SANE_STATUS_GOOD && m_pageLoaded)
                return SANE_STATUS_GOOD;
            if (status != SANE_STATUS_GOOD) {
                AbortScan();
                EndScan();
                return status;
            }
        }
        if (m_tracker.Current() == PageTracker::State::Done) {
            EndScan();
            return SANE_STATUS_NO_DOCS;  // no (further) page in this scan
        }
        if (m_tracker.Current() == PageTracker::State::Failed) {
            int failure = m_tracker.FailureStatus();
            for (int page : m_tracker.OpenPages())
                m_client->DeleteFile(PageFilePath(m_baseName, page));
            if (failure == OVRA_STATUS_IO_ERROR && FeederJammed())
                failure = OVRA_STATUS_JAMMED;  // the scanner broke off because of the jam
            EndScan();
            return ToSaneStatus(failure);
        }
        const Reply<ScanRecord> record = NextRecord();
        if (m_cancelled)
            return SANE_STATUS_CANCELLED;
        if (!record.Ok()) {
            AbortScan();
            EndScan();
            return SANE_STATUS_IO_ERROR;
        }
        for (int page : m_tracker.Handle(record.value).finishedPages)
            m_finished.push_back(page);
    }
}

// After a failed feeder scan: whether the feeder reports a paper jam.
bool Session::FeederJammed()
{
    if (!m_client || m_scanSettings.source == ScanSource::Flatbed)
        return false;
    if (m_device.usb) {
        const Reply<USBScanAdfStatusRes> status = m_client->UsbFeederStatus(m_devfd);
        return status.Ok() && status.value.result == OVRA_STATUS_GOOD && status.value.st == ADF_STATUS_PAPER_JAM;
    }
    const Reply<TCPADFStatusRes> status = m_client->NetFeederStatus(NetScannerSocket(m_device.address));
    return status.Ok() && status.value.result == OVRA_STATUS_GOOD && status.value.st == ADF_STATUS_PAPER_JAM;
}

SANE_Status Session::LoadPage(int page)
{
    ScanClient* client = m_client.get();
    PageCollector collector(m_workFolder, EffectiveFormat(m_scanSettings),
                            [client](const std::string& path) { return client->DeleteFile(path); });
    std::string error;
    switch (collector.Collect(PageFilePath(m_baseName, page), m_tracker.BytesOf(page), error)) {
    case PageCollector::Result::Empty: return SANE_STATUS_GOOD;  // nothing to deliver
    case PageCollector::Result::Failed: return SANE_STATUS_IO_ERROR;
    case PageCollector::Result::Saved: break;
    }
    const std::string copy = collector.Saved().back().path;
    std::vector<uint8_t> bytes;
    const bool read = ReadFile(copy, bytes);
    unlink(copy.c_str());
    if (!read)
        return SANE_STATUS_IO_ERROR;
    const SettingInfo info = ToSettingInfo(m_scanSettings);
    bool decoded = false;
    if (LooksLikeJpeg(bytes))
        decoded = DecodeJpeg(bytes, m_frame, error);
    if (!decoded)
        decoded = DecodeRaw(bytes, info.bitDepth, int(info.width), m_frame, error);
    if (!decoded)
        return SANE_STATUS_IO_ERROR;
    m_pageLoaded = true;
    m_readOffset = 0;
    return SANE_STATUS_GOOD;
}

SANE_Status Session::Read(SANE_Byte* data, SANE_Int maxLength, SANE_Int* length)
{
    if (length)
        *length = 0;
    if (!data || !length || maxLength < 0)
        return SANE_STATUS_INVAL;
    if (m_cancelled)
        return SANE_STATUS_CANCELLED;
    if (!m_pageLoaded)
        return SANE_STATUS_INVAL;
    const size_t left = m_frame.data.size() - m_readOffset;
    if (left == 0)
        return SANE_STATUS_EOF;
    const size_t n = std::min(left, size_t(maxLength));
    std::memcpy(data, m_frame.data.data() + m_readOffset, n);
    m_readOffset += n;
    *length = SANE_Int(n);
    return SANE_STATUS_GOOD;
}

// Stops a running scan in the daemon: the abort removes every page file of the scan.
// The connection is then half-closed, and read to its end, so that the daemon has
// done the abort when this returns.
void Session::AbortScan()
{
    RequestAbort();
    if (m_client && m_client->Connection().IsOpen())
        DrainToEnd(m_client->Connection());
    if (m_state == State::Running)
        m_state = State::Finished;
}

// Sends the abort (or the deletion of pages not yet delivered) and half-closes the
// connection; safe to call while a record read waits on the same connection.
void Session::RequestAbort()
{
    if (!m_client || m_state != State::Running || m_abortSent)
        return;
    m_abortSent = true;
    DaemonConnection& connection = m_client->Connection();
    if (m_tracker.Current() == PageTracker::State::Running) {
        if (m_device.usb) {
            USBScanAbortReq request{};
            request.devfd = m_devfd;
            SetWireText(request.fileName, m_baseName);
            connection.SendCommand(USB_SCAN_ABORT, &request, sizeof request);
        } else {
            TCPScanAbortReq request{};
            request.socket = m_scanner;
            SetWireText(request.fileName, m_baseName);
            connection.SendCommand(TCP_SCAN_ABORT, &request, sizeof request);
        }
    } else {
        for (int page : m_finished)
            m_client->DeleteFile(PageFilePath(m_baseName, page));
    }
    m_finished.clear();
    if (m_device.usb && m_devfd >= 0) {
        USBCommonReq request{m_devfd};
        if (m_locked)
            connection.SendCommand(USB_SCAN_UNLOCK, &request, sizeof request);
        connection.SendCommand(USB_CLOSE_DEV, &request, sizeof request);
        m_locked = false;
        m_devfd = -1;
    }
    if (connection.IsOpen())
        shutdown(connection.Fd(), SHUT_WR);
}

void Session::EndScan()
{
    if (m_client && m_device.usb && m_devfd >= 0) {
        if (m_locked)
            m_client->Unlock(m_devfd);
        m_client->CloseDevice(m_devfd);
    }
    m_locked = false;
    m_devfd = -1;
    m_client.reset();
    m_finished.clear();
    m_state = State::Idle;
}

void Session::Cancel()
{
    m_cancelled = true;
    if (m_inStart) {
        // A front end cancelling from a signal handler while sane_start waits for the
        // next record: the waiting call finishes the abort.
        RequestAbort();
        return;
    }
    if (m_state == State::Running)
        AbortScan();
    if (m_state != State::Idle)
        EndScan();
    m_pageLoaded = false;
}

} // namespace ovrasane
