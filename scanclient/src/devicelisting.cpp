#include "ovrascan/devicelisting.h"

#include "ovrascan/deviceaddress.h"
#include "ovrascan/scanstatus.h"

namespace ovrascan {

namespace {

std::string UsbLine(const USBFindDevRes& found, const std::vector<SysfsUsbDevice>& sysfs)
{
    const std::optional<SysfsUsbDevice> entry = MatchSysfsDevice(sysfs, found);
    DeviceAddress address;
    address.kind = DeviceAddress::Kind::Usb;
    address.bus = entry ? entry->bus : 0;
    address.device = entry ? entry->device : 0;
    std::string line = entry ? address.ToString() : std::string("usb:?:?");
    line += "  " + WireText(found.Manufacturer) + " " + WireText(found.Product);
    const std::string serial = WireText(found.SerialNumber);
    if (!serial.empty())
        line += "  serial " + serial;
    return line;
}

bool ListUsb(ScanClient& client, const ListOptions& options, std::vector<std::string>& lines, std::string& error)
{
    const Reply<FoundDevices> found = client.FindUsbDevices(options.usbVendorId, 0, false);
    if (!found.Ok()) {
        error = found.transportError;
        return false;
    }
    if (found.value.count < 0)
        lines.push_back("usb: the scan daemon cannot read the USB device directory");
    const std::vector<SysfsUsbDevice> sysfs = ReadSysfsUsbDevices(options.sysfsRoot);
    for (const USBFindDevRes& device : found.value.devices) {
        lines.push_back(UsbLine(device, sysfs));
        client.CloseDevice(device.fd);
    }
    return true;
}

bool ListNet(ScanClient& client, const std::string& address, std::vector<std::string>& lines, std::string& error)
{
    const OvraSocket scanner = NetScannerSocket(address);
    const Reply<TCPDevPropertiesRes> properties = client.NetProperties(scanner);
    if (!properties.Ok()) {
        error = properties.transportError;
        return false;
    }
    const std::string name = "net:" + address + "  ";
    if (properties.value.result != OVRA_STATUS_GOOD) {
        lines.push_back(name + "not reachable: " + DescribeStatus(properties.value.result));
        return true;
    }
    const Reply<TCPADFStatusRes> feeder = client.NetFeederStatus(scanner);
    if (!feeder.Ok()) {
        error = feeder.transportError;
        return false;
    }
    const int state = feeder.value.result == OVRA_STATUS_GOOD ? feeder.value.st : 0;
    lines.push_back(name + DescribeCapabilities(properties.value.devPro) + ", feeder " + FeederStateName(state));
    return true;
}

} // namespace

std::string DescribeCapabilities(const ScannerCapabilities& c)
{
    return std::string(c.color ? "colour" : "black and white") + ", " + std::to_string(c.minres) + "-"
           + std::to_string(c.maxres) + " dpi, " + (c.duplex ? "duplex" : "simplex");
}

std::string FeederStateName(int state)
{
    switch (state) {
    case ADF_STATUS_EMPTY: return "empty";
    case ADF_STATUS_LOADED: return "loaded";
    case ADF_STATUS_PAPER_JAM: return "jammed";
    default: return "unknown";
    }
}

bool ListDevices(ScanClient& client, const ListOptions& options, std::vector<std::string>& lines, std::string& error)
{
    if (!ListUsb(client, options, lines, error))
        return false;
    for (const std::string& address : options.netAddresses)
        if (!ListNet(client, address, lines, error))
            return false;
    return true;
}

} // namespace ovrascan
