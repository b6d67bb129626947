// The scanners the backend offers and one open scanner: options, scan through the
// scan daemon, page frames.
#pragma once

#include "backendconfig.h"
#include "pagedecode.h"

#include "ovrascan/pagetracker.h"
#include "ovrascan/scanclient.h"
#include "ovrascan/scansettings.h"
#include "ovrascan/scantransport.h"

#include <sane/sane.h>

#include <atomic>
#include <csignal>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace ovrasane {

struct DeviceEntry {
    std::string name;   // "usb:BUS:DEV" style "usb:SERIAL" or "net:ADDRESS"
    std::string vendor; // "Ovra"
    std::string model;
    std::string type; // "multi-function peripheral"
    bool usb = false;
    std::string address; // net
    int vid = 0, pid = 0;
    std::string serial; // usb
    int minResolution = 75;
    int maxResolution = 1200;
};

uint16_t DaemonPortFor(const BackendConfig& config);

// The scanner a device entry names, for its transport.
ovrascan::ScanTarget ScanTargetOf(const DeviceEntry& device);

// Every scanner the daemon reaches: USB devices of the maker's vendor ID, then the
// network scanners of the configuration file.
std::vector<DeviceEntry> DiscoverDevices(const BackendConfig& config);

SANE_Status ToSaneStatus(int status);

// The entry points whose return statuses the SANE standard lists.
enum class EntryPoint {
    Open,
    ControlOption,
    GetParameters,
    Start,
    Read,
    SetIoMode,
    GetSelectFd
};
// The status itself when the standard allows it from that entry point, else the
// nearest one it allows (an I/O error, or an invalid argument where that is none).
SANE_Status AllowedStatus(EntryPoint entry, SANE_Status status);

// A word value as an option takes it: clamped into a range and put on its
// quantization step, or the nearest entry of a word list.
SANE_Word ConstrainWord(const SANE_Option_Descriptor& option, SANE_Word value);

// Source names a front end recognises: every page in the feeder is "ADF".
extern const char* const kSourceFlatbed;
extern const char* const kSourceFeeder;           // every page in the feeder
extern const char* const kSourceFeederSinglePage; // the first page only

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
    // Safe from a signal handler while Start or Read waits: it then only sets the flag
    // and sends the abort, and the waiting call finishes the cancel.
    void Cancel();
    SANE_Status SetIoMode(SANE_Bool nonBlocking) const;
    SANE_Status SelectFd(SANE_Int* fd) const;

    ovrascan::ScanSettings Settings() const;

private:
    class DaemonPageBytes;
    enum class FramePhase {
        None,
        Delivering,
        Ended,
        Cancelled
    };

    void BuildOptions();
    SANE_Status GetValue(SANE_Int option, void* value) const;
    SANE_Status SetValue(SANE_Int option, void* value, SANE_Int* info);
    void Estimate(SANE_Parameters* params) const;
    bool InScan() const { return m_phase == FramePhase::Delivering || m_phase == FramePhase::Ended; }
    SANE_Status BeginScan();
    SANE_Status NextPage();
    SANE_Status BeginFrame(int page);
    SANE_Status FinishPage();
    SANE_Status FailScan();
    void FinishCancel();
    bool FollowRecord();
    long NextPageBytes(uint8_t* out, size_t max);
    long ReadPageFile(uint8_t* out, size_t max);
    void ClosePage();
    void DeletePage(int page);
    void AbortScan();
    void RequestAbort();
    int FeederState();
    bool FeederJammed();
    void EndScan();
    ovrascan::Reply<ovrascan::ScanRecord> NextRecord();

    DeviceEntry m_device;
    ovrascan::ScanTarget m_target;
    uint16_t m_port;
    SANE_Option_Descriptor m_options[NUM_OPTIONS];
    // option values
    std::string m_mode = "Color";
    SANE_Int m_resolution = 300;
    std::string m_source = kSourceFlatbed;
    SANE_Fixed m_tlx = 0, m_tly = 0, m_brx, m_bry;
    SANE_Int m_brightness = 50, m_contrast = 50;
    SANE_Range m_resolutionRange{}, m_xRange{}, m_yRange{}, m_byteRange{};
    std::vector<SANE_String_Const> m_modeList, m_sourceList;

    enum class State {
        Idle,
        Running,
        Finished
    };
    State m_state = State::Idle;
    std::unique_ptr<ovrascan::ScanClient> m_client;
    std::unique_ptr<ovrascan::ScanTransport> m_transport; // sends through m_client
    ovrascan::ScanSettings m_scanSettings;
    std::string m_baseName;
    ovrascan::PageTracker m_tracker;
    std::deque<int> m_pending; // pages begun and not yet delivered, the current one first
    std::set<int> m_endedPages;
    SANE_Status m_scanFailure = SANE_STATUS_GOOD;
    // The page being delivered: its file, read as far as the records say it is written.
    int m_page = -1;
    int m_pageFd = -1;
    int64_t m_pageOffset = 0;
    std::unique_ptr<PageBytes> m_daemonBytes;
    std::unique_ptr<PageBytes> m_pageBytes;
    std::unique_ptr<LineSource> m_lines;
    Frame m_frame; // geometry of the frame being delivered
    FramePhase m_phase = FramePhase::None;
    std::atomic<bool> m_cancelled{false};
    volatile sig_atomic_t m_busy = 0; // Start or Read is running
    std::atomic<bool> m_abortSent{false};
};

} // namespace ovrasane
