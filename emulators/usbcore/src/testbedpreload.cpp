#include "ovraemu/usbcore/testbedpreload.h"

#include <cstdlib>

namespace ovraemu {

std::string UsbfsSerialLibrary()
{
    const char* chosen = std::getenv("OVRA_USBFS_SERIAL_LIBRARY");
    if (chosen && *chosen)
        return chosen;
    return OVRA_USBFS_SERIAL_LIBRARY;
}

std::string ForkSafePreload(const std::string& existing)
{
    std::string preload = UsbfsSerialLibrary() + ":" + kUmockdevPreload;
    if (!existing.empty())
        preload += ":" + existing;
    return preload;
}

} // namespace ovraemu
