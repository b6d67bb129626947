// Standard USB descriptors of an emulated printer: one configuration with one
// printer-class interface carrying a bulk OUT and a bulk IN endpoint.
#pragma once

#include "ovraemu/usbprinterbed.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ovraemu {

constexpr uint8_t kDescriptorTypeDevice = 1;
constexpr uint8_t kDescriptorTypeConfiguration = 2;
constexpr uint8_t kDescriptorTypeString = 3;
constexpr uint8_t kDescriptorTypeInterface = 4;
constexpr uint8_t kDescriptorTypeEndpoint = 5;

constexpr uint8_t kBulkOutEndpoint = 0x01;
constexpr uint8_t kBulkInEndpoint = 0x81;
constexpr uint16_t kBulkMaxPacketSize = 512;
constexpr uint8_t kPrinterInterfaceClass = 7;

constexpr uint8_t kManufacturerStringIndex = 1;
constexpr uint8_t kProductStringIndex = 2;
constexpr uint8_t kSerialStringIndex = 3;
constexpr uint16_t kLanguageEnglishUs = 0x0409;

std::vector<uint8_t> DeviceDescriptor(const UsbPrinterConfig& config);
// The whole configuration: configuration, interface and endpoint descriptors.
std::vector<uint8_t> ConfigurationDescriptor();
// String descriptor 0: the table of supported languages.
std::vector<uint8_t> LanguageTable();
// A string descriptor holding text in UTF-16LE (bytes taken as Latin-1).
std::vector<uint8_t> StringDescriptor(const std::string& text);

}  // namespace ovraemu
