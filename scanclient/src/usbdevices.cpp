#include "ovrascan/usbdevices.h"

#include "ovrascan/scanclient.h"

#include <dirent.h>

#include <cstdlib>
#include <fstream>

namespace ovrascan {

const char* const kSysfsUsbDevices = "/sys/bus/usb/devices";

namespace {

std::optional<std::string> ReadLine(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line))
        return std::nullopt;
    return line;
}

std::optional<SysfsUsbDevice> ReadEntry(const std::string& folder)
{
    const auto bus = ReadLine(folder + "/busnum");
    const auto device = ReadLine(folder + "/devnum");
    const auto vid = ReadLine(folder + "/idVendor");
    const auto pid = ReadLine(folder + "/idProduct");
    if (!bus || !device || !vid || !pid)
        return std::nullopt; // an interface, or not a device at all
    SysfsUsbDevice entry;
    entry.bus = atoi(bus->c_str());
    entry.device = atoi(device->c_str());
    entry.vid = uint16_t(strtoul(vid->c_str(), nullptr, 16));
    entry.pid = uint16_t(strtoul(pid->c_str(), nullptr, 16));
    entry.serial = ReadLine(folder + "/serial").value_or(std::string());
    return entry;
}

bool SameDevice(const SysfsUsbDevice& device, const USBFindDevRes& found)
{
    return uint16_t(found.vid) == device.vid && uint16_t(found.pid) == device.pid
           && WireText(found.SerialNumber) == device.serial;
}

} // namespace

std::vector<SysfsUsbDevice> ReadSysfsUsbDevices(const std::string& root)
{
    std::vector<SysfsUsbDevice> devices;
    DIR* folder = opendir(root.c_str());
    if (!folder)
        return devices;
    while (const dirent* entry = readdir(folder)) {
        if (entry->d_name[0] == '.')
            continue;
        if (auto device = ReadEntry(root + "/" + entry->d_name))
            devices.push_back(*device);
    }
    closedir(folder);
    return devices;
}

std::optional<SysfsUsbDevice> FindByBusDevice(const std::vector<SysfsUsbDevice>& devices, int bus, int device)
{
    for (const SysfsUsbDevice& entry : devices)
        if (entry.bus == bus && entry.device == device)
            return entry;
    return std::nullopt;
}

std::optional<USBFindDevRes> MatchDaemonDevice(const std::vector<USBFindDevRes>& found, const SysfsUsbDevice& device)
{
    for (const USBFindDevRes& candidate : found)
        if (SameDevice(device, candidate))
            return candidate;
    return std::nullopt;
}

std::optional<SysfsUsbDevice> MatchSysfsDevice(const std::vector<SysfsUsbDevice>& devices, const USBFindDevRes& found)
{
    for (const SysfsUsbDevice& entry : devices)
        if (SameDevice(entry, found))
            return entry;
    return std::nullopt;
}

} // namespace ovrascan
