// How an emulated printer presents itself on USB: one printer-class interface
// (bidirectional protocol) with a bulk OUT endpoint (0x01 unless configured
// otherwise) and a bulk IN endpoint (0x81), any further alternate settings the
// configuration names, bound to usblp until a program detaches it.
#pragma once

#include "ovraemu/usbcore/usbdevicedescription.h"
#include "ovraemu/usbprinterbed.h"

namespace ovraemu {

constexpr uint8_t kBulkOutEndpoint = 0x01;
constexpr uint8_t kBulkInEndpoint = 0x81;
constexpr uint8_t kPrinterInterfaceClass = 7;

UsbDeviceDescription PrinterDescription(const UsbPrinterConfig& config);

} // namespace ovraemu
