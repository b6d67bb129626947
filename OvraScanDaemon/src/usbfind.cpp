#include "usbfind.h"

#include "scanlog.h"

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

std::vector<std::string> g_usbPaths;

std::vector<std::string> usbpath()
{
    if (!g_usbPaths.empty())
        return g_usbPaths;
    return {"/dev/bus/usb", "/proc/bus/usb"};
}

bool beginsWithDigit(const char* name) { return name[0] != '\0' && strchr("1234567890", name[0]) != nullptr; }

// Opens the first USB directory that can be opened; dirPath names it.
DIR* openUsbDirectory(std::string& dirPath)
{
    for (const std::string& path : usbpath()) {
        dirPath = path;
        DIR* dir = opendir(path.c_str());
        if (dir)
            return dir;
        OvraLogErr("open dir err:%s", path.c_str());
    }
    OvraLogErr("find busdir err:%s", dirPath.c_str());
    return nullptr;
}

bool deviceMatches(const usb_device_descriptor& des, uint16_t vid, uint16_t pid, bool compareWithPID)
{
    return des.idVendor == vid && (!compareWithPID || des.idProduct == pid);
}

// Looks at every device node of one bus; returns the new count of kept devices.
int scanBus(const std::string& busPath, uint16_t vid, uint16_t pid, OVRA_USB_DEV* list, bool compareWithPID, int count,
            int maxDevices)
{
    DIR* bus = opendir(busPath.c_str());
    if (!bus) {
        OvraLogErr("open dir err:%s", busPath.c_str());
        return count;
    }
    while (struct dirent* entry = readdir(bus)) {
        if (!beginsWithDigit(entry->d_name))
            continue;
        std::string nodePath = busPath + "/" + entry->d_name;
        if (count >= maxDevices) {
            OvraLogErr("device list full, skipped:%s", nodePath.c_str());
            continue;
        }
        int fd = open(nodePath.c_str(), O_RDWR);
        if (fd < 0) {
            OvraLogErr("open usb err:%s", nodePath.c_str());
            continue;
        }
        usb_device_descriptor des = {};
        ssize_t got = read(fd, &des, sizeof(des));
        if (got > 0 && deviceMatches(des, vid, pid, compareWithPID)) {
            list[count].fd = fd;
            list[count].dev_des = des;
            ++count;
        } else {
            close(fd);
        }
    }
    closedir(bus);
    return count;
}

void readDeviceString(int dev, int index, char (&field)[OVRA_USB_STRING_SIZE], const char* label)
{
    if (index == 0)
        return;
    int n = ovra_get_string_simple(dev, index, field, sizeof(field));
    if (n > 0)
        OvraLogInfo("- %s: %s", label, logSafe(field).c_str());
    else
        field[0] = '\0';
}

} // namespace

void ovra_set_usb_paths(const std::vector<std::string>& paths) { g_usbPaths = paths; }

int ovra_find_device(uint16_t idVendor, uint16_t idProduct, OVRA_USB_DEV* dev_des, bool compareWithPID, int maxDevices)
{
    OvraLogInfo("** %s", __func__);
    if (!dev_des) {
        OvraLogInfo("dev_des is NULL ");
        return -1;
    }
    std::string dirPath;
    DIR* dir = openUsbDirectory(dirPath);
    if (!dir)
        return -1;
    int count = 0;
    while (struct dirent* entry = readdir(dir)) {
        if (!beginsWithDigit(entry->d_name))
            continue;
        count = scanBus(dirPath + "/" + entry->d_name, idVendor, idProduct, dev_des, compareWithPID, count, maxDevices);
    }
    closedir(dir);
    return count;
}

USBFindDevRes converToDevRes(int usb_dev, const usb_device_descriptor& desp)
{
    OvraLogInfo("** %s", __func__);
    USBFindDevRes res;
    memset(&res, 0, sizeof(res));
    res.fd = usb_dev;
    res.vid = desp.idVendor;
    res.pid = desp.idProduct;
    readDeviceString(usb_dev, desp.iManufacturer, res.Manufacturer, "Manufacturer ");
    readDeviceString(usb_dev, desp.iProduct, res.Product, "Product ");
    readDeviceString(usb_dev, desp.iSerialNumber, res.SerialNumber, "Serial Number");
    return res;
}
