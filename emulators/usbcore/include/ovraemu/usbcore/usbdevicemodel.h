// What a USB device does with the traffic that reaches it, independent of how
// the host side (usbfs) carries that traffic. Implementations must be
// thread-safe: usbfs requests arrive on umockdev's worker thread, on the
// node's timer thread and on the threads of whoever steers the device.
#pragma once

#include "ovraemu/usbcore/controlrequest.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace ovraemu {

struct ControlOutcome {
    bool stall = false;
    std::vector<uint8_t> data;  // bytes for a device-to-host request
};

enum class EndpointRequest { ClearHalt, ResetEndpoint };

class UsbDeviceModel {
public:
    using Clock = std::chrono::steady_clock;

    virtual ~UsbDeviceModel() = default;

    virtual ControlOutcome Control(const ControlRequest& setup, const std::vector<uint8_t>& outData) = 0;
    virtual bool HasInterface(unsigned number) const = 0;
    virtual bool HasBulkEndpoint(uint8_t address) const = 0;
    // Bytes sent by the host; false when the device does not take them (the
    // transfer then times out on the host side).
    virtual bool BulkOut(uint8_t endpoint, const std::vector<uint8_t>& data) = 0;
    // What a bulk IN read of up to maxLength bytes gets now; fewer bytes than
    // asked end the device's message (a short packet). No value while the
    // device has nothing to send (the host keeps the read pending).
    virtual std::optional<std::vector<uint8_t>> BulkIn(uint8_t endpoint, size_t maxLength) = 0;

    // When the device will have data without further host traffic (a paced
    // stream); the waiting reads are offered to it again at that time.
    virtual std::optional<Clock::time_point> NextDataTime() const { return std::nullopt; }
    // True once the device has left the bus by itself (a scripted unplug).
    virtual bool HasLeftBus() const { return false; }
    // USBDEVFS_RESET reached the device.
    virtual void OnReset() {}
    // CLEAR_HALT or RESETEP for one of the device's endpoints.
    virtual void OnEndpointRequest(EndpointRequest, uint8_t) {}
};

}  // namespace ovraemu
