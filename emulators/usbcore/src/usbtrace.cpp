#include "usbtrace.h"

#include <sys/ioctl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ovraemu {
namespace {

bool Set(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value && std::strcmp(value, "0") != 0;
}

} // namespace

bool TraceEnabled()
{
    static const bool enabled = Set("OVRA_USB_EMU_TRACE") || Set("OVRA_USBPRINTER_EMU_TRACE");
    return enabled;
}

void TraceRequest(const char* devnode, unsigned long request, long result, int error, bool deferred)
{
    if (!TraceEnabled())
        return;
    if (deferred)
        std::fprintf(stderr, "usb emulator: %s ioctl 'U' %lu waits\n", devnode, _IOC_NR(request));
    else
        std::fprintf(stderr, "usb emulator: %s ioctl 'U' %lu -> %ld errno %d\n", devnode, _IOC_NR(request), result,
                     error);
}

} // namespace ovraemu
