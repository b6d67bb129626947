#include "ovrascan/deviceaddress.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstdlib>

namespace ovrascan {

namespace {

bool ParseNumber(const std::string& text, int& value)
{
    char* end = nullptr;
    const long number = strtol(text.c_str(), &end, 10);
    value = int(number);
    return !text.empty() && *end == '\0' && number > 0 && number < 1000;
}

} // namespace

std::string DeviceAddress::ToString() const
{
    if (kind == Kind::Net)
        return "net:" + address;
    char text[32];
    snprintf(text, sizeof text, "usb:%03d:%03d", bus, device);
    return text;
}

std::optional<DeviceAddress> ParseDeviceAddress(const std::string& text, std::string& error)
{
    DeviceAddress device;
    if (text.rfind("net:", 0) == 0) {
        device.address = text.substr(4);
        in_addr parsed{};
        if (inet_pton(AF_INET, device.address.c_str(), &parsed) != 1) {
            error = "not a dotted IPv4 address: " + device.address;
            return std::nullopt;
        }
        return device;
    }
    if (text.rfind("usb:", 0) == 0) {
        const size_t colon = text.find(':', 4);
        device.kind = DeviceAddress::Kind::Usb;
        if (colon != std::string::npos && ParseNumber(text.substr(4, colon - 4), device.bus)
            && ParseNumber(text.substr(colon + 1), device.device))
            return device;
        error = "a USB scanner is named usb:BUS:DEV with the bus and device numbers, not " + text;
        return std::nullopt;
    }
    error = "a scanner is named usb:BUS:DEV or net:ADDRESS, not " + text;
    return std::nullopt;
}

} // namespace ovrascan
