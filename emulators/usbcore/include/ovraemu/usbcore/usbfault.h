// Faults that an emulated USB device can be told to show on the host side.
#pragma once

#include <optional>
#include <string>

namespace ovraemu {

enum class UsbFault {
    None,               // normal device; also lifts the other faults
    RefuseOpen,         // opening the device node fails
    FailClaim,          // claiming any interface fails with "busy"
    KernelDriverActive, // a kernel driver holds interface 0 until it is detached
    StallControl,       // class and vendor control requests are stalled
    HoldControl         // class and vendor control requests get no answer: they
                        // stay in flight until the host's time-out or an unplug
};

// The faults every emulated device can show, by their control-command names: none,
// refuse-open, fail-claim, kernel-driver.
inline std::optional<UsbFault> ParseDeviceFault(const std::string& name)
{
    if (name == "none")
        return UsbFault::None;
    if (name == "refuse-open")
        return UsbFault::RefuseOpen;
    if (name == "fail-claim")
        return UsbFault::FailClaim;
    if (name == "kernel-driver")
        return UsbFault::KernelDriverActive;
    return std::nullopt;
}

} // namespace ovraemu
