#include "ovraemu/usbcore/standardrequests.h"

#include "ovraemu/usbcore/usbdescriptors.h"

namespace ovraemu {
namespace {

constexpr uint8_t kDirectionIn = 0x80;
constexpr uint8_t kTypeMask = 0x60;
constexpr uint8_t kTypeStandard = 0x00;
constexpr uint8_t kRequestGetStatus = 0;
constexpr uint8_t kRequestGetDescriptor = 6;

std::vector<uint8_t> CutTo(std::vector<uint8_t> data, size_t length)
{
    if (data.size() > length)
        data.resize(length);
    return data;
}

std::optional<std::vector<uint8_t>> StringByIndex(const UsbDeviceIdentity& identity, uint8_t index)
{
    switch (index) {
    case 0: return LanguageTable();
    case kManufacturerStringIndex: return StringDescriptor(identity.manufacturer);
    case kProductStringIndex: return StringDescriptor(identity.product);
    case kSerialStringIndex:
        if (identity.hasSerial)
            return StringDescriptor(identity.serial);
        return std::nullopt;
    default: return std::nullopt;
    }
}

ControlOutcome DescriptorRequest(const UsbDeviceDescription& description, const ControlRequest& setup)
{
    const uint8_t type = setup.value >> 8;
    const uint8_t index = setup.value & 0xFF;
    std::optional<std::vector<uint8_t>> descriptor;
    if (type == kDescriptorTypeDevice && index == 0)
        descriptor = DeviceDescriptor(description.identity);
    else if (type == kDescriptorTypeConfiguration && index == 0)
        descriptor = ConfigurationDescriptor(description.layout);
    else if (type == kDescriptorTypeString)
        descriptor = StringByIndex(description.identity, index);
    if (!descriptor)
        return {true, {}};
    return {false, CutTo(std::move(*descriptor), setup.length)};
}

} // namespace

bool IsStandardRequest(const ControlRequest& setup) { return (setup.requestType & kTypeMask) == kTypeStandard; }

ControlOutcome AnswerStandardRequest(const UsbDeviceDescription& description, const ControlRequest& setup)
{
    if (!(setup.requestType & kDirectionIn))
        return {}; // SET_CONFIGURATION, SET_INTERFACE, CLEAR_FEATURE and the like are accepted
    if (setup.request == kRequestGetDescriptor)
        return DescriptorRequest(description, setup);
    if (setup.request == kRequestGetStatus)
        return {false, CutTo({0, 0}, setup.length)};
    return {true, {}};
}

} // namespace ovraemu
