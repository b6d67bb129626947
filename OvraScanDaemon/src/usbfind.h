// The device search over the USB device directory and the conversion of a
// found device into the client's USBFindDevRes record.
#pragma once

#include "ovrascanprotocol.h"
#include "usbfs.h"

#include <string>
#include <vector>

// Fills list (at most maxDevices entries) with the open device nodes whose
// descriptor carries the vendor ID (and, with compareWithPID, the product ID).
// Returns the number of devices kept, or -1 for a null list or when no USB
// directory can be opened. Kept descriptors stay open: they are the handles.
int ovra_find_device(uint16_t idVendor, uint16_t idProduct, OVRA_USB_DEV* dev_des, bool compareWithPID,
                     int maxDevices = OVRA_USB_DEV_MAX);

// The record the client receives for one found device.
USBFindDevRes converToDevRes(int usb_dev, const usb_device_descriptor& desp);

// The USB device directories tried in order ("/dev/bus/usb", "/proc/bus/usb").
// Tests point the search at a folder of their own; an empty list restores them.
void ovra_set_usb_paths(const std::vector<std::string>& paths);
