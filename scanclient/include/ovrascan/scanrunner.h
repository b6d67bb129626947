// One whole scan through the daemon: a network scan (feeder check, job start, records,
// pages) or a USB scan (device choice, lock, feeder check, start, records, pages,
// unlock). Every finished page is copied into the output folder and deleted in the
// daemon's scan directory; a failure names the step and the status.
#pragma once

#include "ovrascan/deviceaddress.h"
#include "ovrascan/pagecollector.h"
#include "ovrascan/pagetracker.h"
#include "ovrascan/scanclient.h"
#include "ovrascan/scansettings.h"
#include "ovrascan/scantransport.h"
#include "ovrascan/usbdevices.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace ovrascan {

using ProgressSink = std::function<void(const std::string&)>;

// How far a running scan has come, after each record reply.
struct ScanProgress {
    int pagesStarted = 0;
    int pagesSaved = 0;
    int64_t bytes = 0; // page bytes the daemon has written so far
};
using ProgressMeter = std::function<void(const ScanProgress&)>;

struct ScanJobOptions {
    ScanSettings settings;
    std::string outputFolder;
    // Longest wait for the next record reply of a running scan (the first one of a
    // USB scan may take kLongestWarmUp longer).
    std::chrono::milliseconds recordTimeout{std::chrono::seconds(120)};
    // Longest wait for a page file to hold the bytes its records announced.
    std::chrono::milliseconds settleLimit{std::chrono::seconds(5)};
    uint16_t usbVendorId = kOvraUsbVendorId;
    std::string sysfsRoot = kSysfsUsbDevices;
    ProgressSink progress;
    ProgressMeter meter;
};

struct ScanOutcome {
    int status = OVRA_STATUS_GOOD; // the failing status, or 0
    std::string message;           // empty on success
    std::vector<SavedPage> pages;
    bool Ok() const { return message.empty(); }
};

// One scan on the scanner a user named, through its transport (scantransport.h).
ScanOutcome RunScan(ScanClient& client, const DeviceAddress& device, const ScanJobOptions& options);

// Follows the records of a started scan to its last one and collects its pages.
using NextRecord = std::function<Reply<ScanRecord>()>;
ScanOutcome FollowScan(const NextRecord& next, const std::string& baseName, PageCollector& collector,
                       const ProgressSink& progress, const ProgressMeter& meter = {});

} // namespace ovrascan
