// Standard USB descriptors of an emulated device: one configuration with one
// interface carrying a bulk OUT and a bulk IN endpoint (in each of its
// alternate settings), and its strings.
#pragma once

#include "ovraemu/usbcore/usbdevicedescription.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ovraemu {

constexpr uint8_t kDescriptorTypeDevice = 1;
constexpr uint8_t kDescriptorTypeConfiguration = 2;
constexpr uint8_t kDescriptorTypeString = 3;
constexpr uint8_t kDescriptorTypeInterface = 4;
constexpr uint8_t kDescriptorTypeEndpoint = 5;

constexpr uint16_t kBulkMaxPacketSize = 512;

constexpr uint8_t kManufacturerStringIndex = 1;
constexpr uint8_t kProductStringIndex = 2;
constexpr uint8_t kSerialStringIndex = 3;
constexpr uint16_t kLanguageEnglishUs = 0x0409;

std::vector<uint8_t> DeviceDescriptor(const UsbDeviceIdentity& identity);
// The whole configuration: configuration, interface and endpoint descriptors,
// interface 0 in each of its alternate settings.
std::vector<uint8_t> ConfigurationDescriptor(const UsbInterfaceLayout& layout);
// The bulk endpoint addresses of each alternate setting of interface 0, by setting.
std::vector<std::vector<uint8_t>> SettingEndpoints(const UsbInterfaceLayout& layout);
// What reading a usbfs device node yields: the device descriptor followed by
// the configuration.
std::vector<uint8_t> NodeDescriptors(const UsbDeviceDescription& description);
// String descriptor 0: the table of supported languages.
std::vector<uint8_t> LanguageTable();
// A string descriptor holding UTF-8 text as UTF-16LE, cut to the 126 code
// units that fit (never inside a surrogate pair). Bytes that are not valid
// UTF-8 are taken as Latin-1.
std::vector<uint8_t> StringDescriptor(const std::string& text);

} // namespace ovraemu
