#include "ovraemu/usbcore/usbdescriptors.h"

namespace ovraemu {
namespace {

constexpr uint8_t kTransferTypeBulk = 2;
constexpr size_t kMaxStringUnits = (255 - 2) / 2;

void AppendLe16(std::vector<uint8_t>& out, uint16_t value)
{
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void AppendBulkEndpoint(std::vector<uint8_t>& out, uint8_t address)
{
    out.insert(out.end(), {7, kDescriptorTypeEndpoint, address, kTransferTypeBulk});
    AppendLe16(out, kBulkMaxPacketSize);
    out.push_back(0); // bInterval
}

// Interface 0 in one alternate setting, with its two bulk endpoints, no string.
void AppendSetting(std::vector<uint8_t>& out, uint8_t alternate, const UsbAlternateSetting& setting)
{
    out.insert(out.end(), {9, kDescriptorTypeInterface, 0, alternate, 2, setting.interfaceClass,
                           setting.interfaceSubClass, setting.interfaceProtocol, 0});
    AppendBulkEndpoint(out, setting.bulkOutEndpoint);
    AppendBulkEndpoint(out, setting.bulkInEndpoint);
}

// Decodes one UTF-8 sequence at text[pos] and advances pos past it; a
// malformed or cut sequence yields its first byte as a Latin-1 character.
char32_t NextCodePoint(const std::string& text, size_t& pos)
{
    const auto byte = [&text](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    size_t extra = 0;
    char32_t value = lead;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        value = lead & 0x07;
    }
    if (extra == 0 || pos + extra >= text.size()) {
        ++pos;
        return lead;
    }
    for (size_t i = 1; i <= extra; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80) {
            ++pos;
            return lead;
        }
        value = (value << 6) | (byte(pos + i) & 0x3F);
    }
    pos += extra + 1;
    return value;
}

std::vector<uint16_t> Utf16Units(const std::string& text)
{
    std::vector<uint16_t> units;
    for (size_t pos = 0; pos < text.size();) {
        const char32_t c = NextCodePoint(text, pos);
        if (c >= 0x10000) {
            units.push_back(static_cast<uint16_t>(0xD800 + ((c - 0x10000) >> 10)));
            units.push_back(static_cast<uint16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            units.push_back(static_cast<uint16_t>(c));
        }
    }
    return units;
}

} // namespace

std::vector<uint8_t> DeviceDescriptor(const UsbDeviceIdentity& identity)
{
    std::vector<uint8_t> out{18, kDescriptorTypeDevice};
    AppendLe16(out, 0x0200);              // bcdUSB
    out.insert(out.end(), {0, 0, 0, 64}); // class, subclass, protocol at interface level; bMaxPacketSize0
    AppendLe16(out, identity.vendorId);
    AppendLe16(out, identity.productId);
    AppendLe16(out, 0x0100); // bcdDevice
    out.push_back(kManufacturerStringIndex);
    out.push_back(kProductStringIndex);
    out.push_back(identity.hasSerial ? kSerialStringIndex : 0);
    out.push_back(1); // bNumConfigurations
    return out;
}

std::vector<uint8_t> ConfigurationDescriptor(const UsbInterfaceLayout& layout)
{
    constexpr size_t settingLength = 9 + 7 + 7;
    const auto totalLength = static_cast<uint16_t>(9 + settingLength * (1 + layout.alternateSettings.size()));
    std::vector<uint8_t> out{9, kDescriptorTypeConfiguration};
    AppendLe16(out, totalLength);
    out.insert(out.end(), {1, 1, 0, 0xC0, 1}); // 1 interface, value 1, no string, self powered, 2 mA
    UsbAlternateSetting first;
    first.interfaceClass = layout.interfaceClass;
    first.interfaceSubClass = layout.interfaceSubClass;
    first.interfaceProtocol = layout.interfaceProtocol;
    first.bulkOutEndpoint = layout.bulkOutEndpoint;
    first.bulkInEndpoint = layout.bulkInEndpoint;
    AppendSetting(out, 0, first);
    for (size_t i = 0; i < layout.alternateSettings.size(); ++i)
        AppendSetting(out, static_cast<uint8_t>(i + 1), layout.alternateSettings[i]);
    return out;
}

std::vector<std::vector<uint8_t>> SettingEndpoints(const UsbInterfaceLayout& layout)
{
    std::vector<std::vector<uint8_t>> endpoints{{layout.bulkOutEndpoint, layout.bulkInEndpoint}};
    for (const UsbAlternateSetting& setting : layout.alternateSettings)
        endpoints.push_back({setting.bulkOutEndpoint, setting.bulkInEndpoint});
    return endpoints;
}

std::vector<uint8_t> NodeDescriptors(const UsbDeviceDescription& description)
{
    std::vector<uint8_t> out = DeviceDescriptor(description.identity);
    const std::vector<uint8_t> configuration = ConfigurationDescriptor(description.layout);
    out.insert(out.end(), configuration.begin(), configuration.end());
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
    std::vector<uint16_t> units = Utf16Units(text);
    if (units.size() > kMaxStringUnits) {
        units.resize(kMaxStringUnits);
        if (units.back() >= 0xD800 && units.back() <= 0xDBFF)
            units.pop_back(); // a high surrogate without its partner
    }
    std::vector<uint8_t> out{static_cast<uint8_t>(2 + 2 * units.size()), kDescriptorTypeString};
    for (uint16_t unit : units)
        AppendLe16(out, unit);
    return out;
}

} // namespace ovraemu
