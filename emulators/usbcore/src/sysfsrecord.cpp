#include "ovraemu/usbcore/sysfsrecord.h"

#include "ovraemu/usbcore/usbdescriptors.h"

#include <cstdio>
#include <sstream>

namespace ovraemu {
namespace {

constexpr int kUsbDeviceMajor = 189;
constexpr char kHostControllerPath[] = "/devices/pci0000:00/0000:00:14.0";

std::string Format(const char* format, int a, int b)
{
    char text[64];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

std::string Hex(const std::vector<uint8_t>& bytes)
{
    std::string out;
    char pair[3];
    for (uint8_t byte : bytes) {
        std::snprintf(pair, sizeof pair, "%02X", byte);
        out += pair;
    }
    return out;
}

// Attribute values are one line each in the record.
std::string OneLine(std::string text)
{
    for (char& c : text) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    return text;
}

} // namespace

std::string UsbAddress::SysName() const { return Format("%d-%d", bus, device - 1); }

std::string UsbAddress::SysPath() const
{
    return "/sys" + std::string(kHostControllerPath) + Format("/usb%d", bus, 0) + "/" + SysName();
}

std::string UsbAddress::DevNode() const { return Format("/dev/bus/usb/%03d/%03d", bus, device); }

std::string SysfsRecord(const UsbAddress& address, const UsbDeviceDescription& description)
{
    const UsbDeviceIdentity& identity = description.identity;
    const int minor = (address.bus - 1) * 128 + (address.device - 1);
    const std::string devNode = address.DevNode();
    std::ostringstream out;
    out << "P: " << address.SysPath().substr(4) << "\n"
        << "N: " << devNode.substr(5) << "\n"
        << "E: DEVNAME=" << devNode << "\n"
        << "E: DEVTYPE=usb_device\n"
        << "E: DRIVER=usb\n"
        << "E: SUBSYSTEM=usb\n"
        << "E: PRODUCT=" << std::hex << identity.vendorId << "/" << identity.productId << "/100" << std::dec << "\n"
        << "E: BUSNUM=" << Format("%03d", address.bus, 0) << "\n"
        << "E: DEVNUM=" << Format("%03d", address.device, 0) << "\n"
        << "E: MAJOR=" << kUsbDeviceMajor << "\n"
        << "E: MINOR=" << minor << "\n"
        << "A: busnum=" << address.bus << "\n"
        << "A: devnum=" << address.device << "\n"
        << "A: dev=" << kUsbDeviceMajor << ":" << minor << "\n"
        << "A: speed=480\n"
        << "A: bConfigurationValue=1\n"
        << "A: bNumConfigurations=1\n"
        << "A: bNumInterfaces= 1\n"
        << "A: idVendor=" << Format("%04x", identity.vendorId, 0) << "\n"
        << "A: idProduct=" << Format("%04x", identity.productId, 0) << "\n"
        << "A: bcdDevice=0100\n"
        << "A: manufacturer=" << OneLine(identity.manufacturer) << "\n"
        << "A: product=" << OneLine(identity.product) << "\n";
    if (identity.hasSerial)
        out << "A: serial=" << OneLine(identity.serial) << "\n";
    out << "H: descriptors=" << Hex(NodeDescriptors(description)) << "\n";
    return out.str();
}

} // namespace ovraemu
