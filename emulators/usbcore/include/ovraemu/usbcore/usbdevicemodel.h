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
    std::vector<uint8_t> data; // bytes for a device-to-host request
    // No answer: the request stays in flight until the host gives up on it (its
    // time-out) or the device leaves the bus.
    bool hold = false;
};

enum class EndpointRequest {
    ClearHalt,
    ResetEndpoint
};

// What the device made of the bytes of one bulk OUT request (a URB or a
// synchronous transfer).
struct BulkOutOutcome {
    enum class Ending {
        Whole,  // every byte taken
        Short,  // `taken` bytes taken, the rest not: the request ends short without an error
        Stall,  // `taken` bytes taken, then the endpoint stalls (EPIPE)
        Refuse, // nothing taken and the device keeps NAKing: a URB stalls, a
                // synchronous transfer runs into its time-out
        Hold    // `taken` bytes taken, then the device stops taking data: a URB
                // (and the later URBs of its transfer) stays in flight until the
                // host discards it or the device leaves the bus; a synchronous
                // transfer runs into its time-out
    };
    Ending ending = Ending::Whole;
    size_t taken = 0;

    static BulkOutOutcome Whole(size_t count) { return {Ending::Whole, count}; }
    static BulkOutOutcome Short(size_t count) { return {Ending::Short, count}; }
    static BulkOutOutcome Stall(size_t count) { return {Ending::Stall, count}; }
    static BulkOutOutcome Refuse() { return {Ending::Refuse, 0}; }
    static BulkOutOutcome Hold(size_t count) { return {Ending::Hold, count}; }
};

class UsbDeviceModel
{
public:
    using Clock = std::chrono::steady_clock;

    virtual ~UsbDeviceModel() = default;

    virtual ControlOutcome Control(const ControlRequest& setup, const std::vector<uint8_t>& outData) = 0;
    virtual bool HasInterface(unsigned number) const = 0;
    virtual bool HasBulkEndpoint(uint8_t address) const = 0;
    // Bytes sent by the host; false when the device does not take them (the
    // transfer then times out on the host side).
    virtual bool BulkOut(uint8_t endpoint, const std::vector<uint8_t>& data) = 0;
    // The same with the whole range of outcomes. `continuation` is true for the
    // second and later URBs of one libusb transfer (USBDEVFS_URB_BULK_CONTINUATION),
    // false for the first one and for every synchronous transfer, so a device can
    // tell where a transfer begins. By default: BulkOut(), taken whole or refused.
    virtual BulkOutOutcome TakeBulkOut(uint8_t endpoint, const std::vector<uint8_t>& data, bool continuation)
    {
        (void)continuation;
        return BulkOut(endpoint, data) ? BulkOutOutcome::Whole(data.size()) : BulkOutOutcome::Refuse();
    }
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

} // namespace ovraemu
