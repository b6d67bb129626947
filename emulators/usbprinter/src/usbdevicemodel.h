// What a USB device does with the traffic that reaches it, independent of how
// the host side (usbfs) carries that traffic.
#pragma once

#include "ovraemu/usbprinterbed.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace ovraemu {

struct ControlOutcome {
    bool stall = false;
    std::vector<uint8_t> data;  // bytes for a device-to-host request
};

class UsbDeviceModel {
public:
    virtual ~UsbDeviceModel() = default;

    virtual ControlOutcome Control(const ControlRequest& setup, const std::vector<uint8_t>& outData) = 0;
    virtual bool HasInterface(unsigned number) const = 0;
    virtual bool HasBulkEndpoint(uint8_t address) const = 0;
    virtual void BulkOut(uint8_t endpoint, const std::vector<uint8_t>& data) = 0;
    // What a bulk IN read of up to maxLength bytes gets now; no value while the
    // device has nothing to send (the host keeps the read pending).
    virtual std::optional<std::vector<uint8_t>> BulkIn(uint8_t endpoint, size_t maxLength) = 0;
};

}  // namespace ovraemu
