// Emulated USB printers of the models the suite knows, for the tests that plug them
// into the USB printer emulator.
#pragma once

#include "ovraemu/usbprinterbed.h"

#include <QString>

#include <string>

// A printer of a model of the model table (by its display name) with the serial;
// vendor and product 0 when the table has no such model.
ovraemu::UsbPrinterConfig UsbPrinterOfModel(const QString& displayName, const std::string& serial,
                                            bool hasSerial = true);
