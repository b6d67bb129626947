// How an emulated scanner presents itself on USB: one vendor-specific
// interface 0 with the bulk OUT endpoint 0x02 for commands and the bulk IN
// endpoint 0x82 for responses and scan records. No kernel driver claims it.
#pragma once

#include "ovraemu/usbcore/usbdevicedescription.h"
#include "ovraemu/usbscannerbed.h"

namespace ovraemu {

constexpr uint8_t kScannerBulkOut = 0x02;
constexpr uint8_t kScannerBulkIn = 0x82;
constexpr uint8_t kVendorSpecificClass = 0xFF;

UsbDeviceDescription ScannerDescription(const UsbScannerConfig& config);

} // namespace ovraemu
