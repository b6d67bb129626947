#include "usbdescriptors.h"

namespace ovraemu {
namespace {

constexpr uint8_t kTransferTypeBulk = 2;

void AppendLe16(std::vector<uint8_t>& out, uint16_t value)
{
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void AppendBulkEndpoint(std::vector<uint8_t>& out, uint8_t address)
{
    out.insert(out.end(), {7, kDescriptorTypeEndpoint, address, kTransferTypeBulk});
    AppendLe16(out, kBulkMaxPacketSize);
    out.push_back(0);  // bInterval
}

}  // namespace

std::vector<uint8_t> DeviceDescriptor(const UsbPrinterConfig& config)
{
    std::vector<uint8_t> out{18, kDescriptorTypeDevice};
    AppendLe16(out, 0x0200);  // bcdUSB
    out.insert(out.end(), {0, 0, 0, 64});  // class, subclass, protocol at interface level; bMaxPacketSize0
    AppendLe16(out, config.vendorId);
    AppendLe16(out, config.productId);
    AppendLe16(out, 0x0100);  // bcdDevice
    out.push_back(kManufacturerStringIndex);
    out.push_back(kProductStringIndex);
    out.push_back(config.hasSerial ? kSerialStringIndex : 0);
    out.push_back(1);  // bNumConfigurations
    return out;
}

std::vector<uint8_t> ConfigurationDescriptor()
{
    constexpr uint16_t totalLength = 9 + 9 + 7 + 7;
    std::vector<uint8_t> out{9, kDescriptorTypeConfiguration};
    AppendLe16(out, totalLength);
    out.insert(out.end(), {1, 1, 0, 0xC0, 1});  // 1 interface, value 1, no string, self powered, 2 mA
    // Interface 0, alternate setting 0: printer class, bidirectional protocol.
    out.insert(out.end(), {9, kDescriptorTypeInterface, 0, 0, 2, kPrinterInterfaceClass, 1, 2, 0});
    AppendBulkEndpoint(out, kBulkOutEndpoint);
    AppendBulkEndpoint(out, kBulkInEndpoint);
    return out;
}

std::vector<uint8_t> LanguageTable()
{
    std::vector<uint8_t> out{4, kDescriptorTypeString};
    AppendLe16(out, kLanguageEnglishUs);
    return out;
}

std::vector<uint8_t> StringDescriptor(const std::string& text)
{
    constexpr size_t maxChars = (255 - 2) / 2;
    const size_t chars = text.size() < maxChars ? text.size() : maxChars;
    std::vector<uint8_t> out{static_cast<uint8_t>(2 + 2 * chars), kDescriptorTypeString};
    for (size_t i = 0; i < chars; ++i)
        AppendLe16(out, static_cast<unsigned char>(text[i]));
    return out;
}

}  // namespace ovraemu
