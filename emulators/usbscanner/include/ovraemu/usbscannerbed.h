// Emulated USB scanners of Ovra multifunction printers for tests: a umockdev
// testbed whose usbfs device nodes answer the raw usbfs requests of the scan
// daemon and speak the scanner command protocol.
#pragma once

#include "ovraemu/scanjob.h"
#include "ovraemu/scannerprotocol.h"
#include "ovraemu/usbcore/testbedpreload.h"
#include "ovraemu/usbcore/usbfault.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ovraemu {

struct UsbScannerConfig {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string serial;
    bool hasSerial = true;                  // false: the device descriptor names no serial string
    std::string manufacturer = "Ovra";      // UTF-8; non-Latin letters allowed
    std::string product = "Ovra Laser MFP"; // UTF-8
};

// How the scanner answers one command instead of its usual answer.
struct ScriptedResponse {
    uint8_t flag = flag::kSuccess;               // 0x80 runs the command; any other flag refuses it
    std::optional<uint16_t> dataSize;            // the header's dataSize
    std::optional<uint8_t> reserved;             // header byte 7
    std::optional<std::vector<uint8_t>> payload; // the bytes after the header
    bool silent = false;                         // no answer at all: the read times out
    std::vector<std::vector<uint8_t>> before;    // transfers sent ahead of the answer
};

struct JobProgress {
    int runs = 0;         // scans started
    size_t stepsSent = 0; // steps of the current (or last) scan sent so far
    size_t stepCount = 0; // steps of the job
    bool running = false;
};

// One umockdev testbed holding any number of emulated scanners. Creating it
// points UMOCKDEV_DIR of this process at the testbed; code in this process
// sees the scanners only when it runs under libumockdev-preload, other
// processes with UMOCKDEV_DIR set to RootDir(). A program that forks while it
// holds scanner nodes open (the scan daemon) needs LD_PRELOAD set to
// ForkSafePreload() so that its processes take turns on the shared nodes. Only one testbed (of any USB
// emulator) may exist in a process at a time. All methods are thread-safe;
// an unknown scanner id throws std::out_of_range.
class UsbScannerBed
{
public:
    UsbScannerBed();
    ~UsbScannerBed();
    UsbScannerBed(const UsbScannerBed&) = delete;
    UsbScannerBed& operator=(const UsbScannerBed&) = delete;

    std::string RootDir() const;

    // Plugs in a scanner; returns its id (its USB device number on bus 1).
    int AddScanner(const UsbScannerConfig& config);
    int AddScanner(uint16_t vendorId, uint16_t productId, const std::string& serial,
                   const std::string& manufacturer = "Ovra", const std::string& product = "Ovra Laser MFP");
    // "/dev/bus/usb/BBB/DDD" of the scanner.
    std::string DevNode(int id) const;
    // What reading the node yields: device descriptor, then the configuration.
    std::vector<uint8_t> NodeDescriptors(int id) const;

    void SetFault(int id, UsbFault fault);
    // The scanner leaves the bus: later searches miss it, open handles fail with ENODEV.
    void Unplug(int id);
    bool IsUnplugged(int id) const;
    bool KernelDriverDetached(int id) const;

    // What the scanner sends after a successful start command (by default one
    // grey 64 x 64 page). Every start runs the job from its first step.
    void SetJob(int id, ScanJob job);
    ScanJob Job(int id) const;
    // Answers `command` with `response` the next `times` times (0: always,
    // until cleared). Later scripts for the same command wait behind earlier ones.
    void ScriptResponse(int id, ScannerCommand command, ScriptedResponse response, int times = 1);
    void ClearScripts(int id);
    void SetFeeder(int id, AdfStatus status);
    // An asleep scanner answers every command but power-on and abort with 0x84;
    // power-on wakes it and reports the warm-up time.
    void SetAsleep(int id, bool asleep, uint8_t warmUpSeconds = 0);
    // Another host holds the lock: lock commands get 0x88.
    void SetLockedElsewhere(int id, bool locked);
    // The scanner takes no bulk OUT bytes: writes time out.
    void SetRefuseWrites(int id, bool refuse);
    // The scanner answers an abort command with an abort response.
    void SetAnswerAbort(int id, bool answer);
    void SetProperties(int id, const ScannerProperties& properties);
    void SetScanSizeCount(int id, uint8_t count);

    // Every command received, in order.
    std::vector<ReceivedCommand> Commands(int id) const;
    // Commands, resets, endpoint requests, refused writes and job milestones as
    // text, in order ("command 1B5305 size 47", "reset", "clear-halt 82", ...).
    std::vector<std::string> Events(int id) const;
    std::optional<LockSettings> LastLock(int id) const;
    bool IsLocked(int id) const;
    JobProgress Progress(int id) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace ovraemu
