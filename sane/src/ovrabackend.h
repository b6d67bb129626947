// The scanners the backend offers and one open scanner: options, scan through the
// scan daemon, page frames.
#pragma once

#include "backendconfig.h"
#include "pagedecode.h"

#include "ovrascan/pagetracker.h"
#include "ovrascan/scanclient.h"
#include "ovrascan/scansettings.h"

#include <sane/sane.h>

#include <atomic>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace ovrasane {

struct DeviceEntry {
    std::string name;    // "usb:BUS:DEV" style "usb:SERIAL" or "net:ADDRESS"
    std::string vendor;  // "Ovra"
    std::string model;
    std::string type;    // "multi-function peripheral"
    bool usb = false;
    std::string address;  // net
    int vid = 0, pid = 0;
    std::string serial;   // usb
    int minResolution = 75;
    int maxResolution = 1200;
};

uint16_t DaemonPortFor(const BackendConfig& config);

// Every scanner the daemon reaches: USB devices of the maker's vendor ID, then the
// network scanners of the configuration file.
std::vector<DeviceEntry> DiscoverDevices(const BackendConfig& config);

SANE_Status ToSaneStatus(int status);

enum OptionIndex {
    OPT_NUM_OPTS = 0,
    OPT_MODE_GROUP,
    OPT_MODE,
    OPT_RESOLUTION,
    OPT_SOURCE,
    OPT_GEOMETRY_GROUP,
    OPT_TL_X,
    OPT_TL_Y,
    OPT_BR_X,
    OPT_BR_Y,
    OPT_ENHANCEMENT_GROUP,
    OPT_BRIGHTNESS,
    OPT_CONTRAST,
    NUM_OPTIONS
};

class Session
{
public:
    Session(const DeviceEntry& device, uint16_t port);
    ~Session();

    const SANE_Option_Descriptor* Descriptor(SANE_Int option) const;
    SANE_Status Control(SANE_Int option, SANE_Action action, void* value, SANE_Int* info);
    SANE_Status Parameters(SANE_Parameters* params);
    SANE_Status Start();
    SANE_Status Read(SANE_Byte* data, SANE_Int maxLength, SANE_Int* length);
    void Cancel();

    ovrascan::ScanSettings Settings() const;

private:
    void BuildOptions();
    SANE_Status BeginScan();
    SANE_Status NextPage();
    SANE_Status LoadPage(int page);
    void AbortScan();
    void RequestAbort();
    bool FeederJammed();
    void EndScan();
    ovrascan::Reply<ovrascan::ScanRecord> NextRecord();

    DeviceEntry m_device;
    uint16_t m_port;
    SANE_Option_Descriptor m_options[NUM_OPTIONS];
    // option values
    std::string m_mode = "Color";
    SANE_Int m_resolution = 300;
    std::string m_source = "Flatbed";
    SANE_Fixed m_tlx = 0, m_tly = 0, m_brx, m_bry;
    SANE_Int m_brightness = 50, m_contrast = 50;
    SANE_Range m_resolutionRange{}, m_xRange{}, m_yRange{}, m_byteRange{};
    std::vector<SANE_String_Const> m_modeList, m_sourceList;

    enum class State { Idle, Running, Finished };
    State m_state = State::Idle;
    std::unique_ptr<ovrascan::ScanClient> m_client;
    ovrascan::ScanSettings m_scanSettings;
    int m_devfd = -1;
    bool m_locked = false;
    OvraSocket m_scanner{};
    std::string m_baseName;
    ovrascan::PageTracker m_tracker;
    std::deque<int> m_finished;
    std::string m_workFolder;
    Frame m_frame;
    size_t m_readOffset = 0;
    bool m_pageLoaded = false;
    std::atomic<bool> m_cancelled{false};
    volatile bool m_inStart = false;
    bool m_abortSent = false;
};

} // namespace ovrasane
