// A umockdev testbed holding emulated USB devices: their sysfs records, their
// usbfs device nodes and the usbfs requests that reach those nodes.
#pragma once

#include "ovraemu/usbcore/usbdevicedescription.h"
#include "ovraemu/usbcore/usbdevicemodel.h"
#include "ovraemu/usbcore/usbfault.h"

#include <memory>
#include <string>

namespace ovraemu {

// Creating a testbed points UMOCKDEV_DIR of this process at it; programs see
// the devices only under libumockdev-preload. Only one testbed may exist in a
// process at a time. All methods are thread-safe; an unknown id throws
// std::out_of_range. Device ids are the USB device numbers on bus 1 (2 to
// 127, never reused).
class UsbTestbed
{
public:
    UsbTestbed();
    ~UsbTestbed();
    UsbTestbed(const UsbTestbed&) = delete;
    UsbTestbed& operator=(const UsbTestbed&) = delete;

    std::string RootDir() const;

    int AddDevice(const UsbDeviceDescription& description, std::shared_ptr<UsbDeviceModel> model);
    // "/dev/bus/usb/BBB/DDD" of the device.
    std::string DevNode(int id) const;

    // The host-side faults (RefuseOpen, FailClaim, KernelDriverActive); the
    // device model handles StallControl itself.
    void SetFault(int id, UsbFault fault);
    // The device leaves the bus: later enumerations miss it, its node is gone
    // and every request on handles still open fails with ENODEV.
    void Unplug(int id);
    bool IsUnplugged(int id) const;
    // Offers the waiting bulk IN reads to the device again, after its state
    // changed outside of usbfs traffic.
    void ServeWaitingReads(int id);
    bool KernelDriverDetached(int id) const;
    // How many usbfs requests (ioctls and reads of the node) reached the
    // device: 0 while no program has opened it.
    unsigned long RequestCount(int id) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace ovraemu
