// Faults that an emulated USB device can be told to show on the host side.
#pragma once

namespace ovraemu {

enum class UsbFault {
    None,                // normal device; also lifts the other faults
    RefuseOpen,          // opening the device node fails
    FailClaim,           // claiming any interface fails with "busy"
    KernelDriverActive,  // a kernel driver holds interface 0 until it is detached
    StallControl,        // class and vendor control requests are stalled
    HoldControl          // class and vendor control requests get no answer: they
                         // stay in flight until the host's time-out or an unplug
};

}  // namespace ovraemu
