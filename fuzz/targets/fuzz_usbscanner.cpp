// A USB scanner's side of the scanner command protocol: responses to every command,
// the record stream of a scan (also as the data process writes it into page files),
// and the string descriptors of a found device.
//
// Input: n = byte 0 % 16 + 1, then n operation bytes, then the 36-byte scan settings
// of a lock, then the device's script (see fakeusb.h).
#include "clientlink.h"
#include "dataprocess.h"
#include "fakeusb.h"
#include "fuzzenv.h"
#include "scannerscripts.h"
#include "scanpaths.h"
#include "usbfind.h"
#include "usbscanner.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>

namespace {

using ovrafuzz::Check;

const size_t c_uMaxOperations = 16;

enum enOperation {
    en_Op_Start,
    en_Op_Properties,
    en_Op_AdfStatus,
    en_Op_Lock,
    en_Op_Unlock,
    en_Op_ScanSizes,
    en_Op_PowerOn,
    en_Op_Abort,
    en_Op_Record,
    en_Op_DataProcess,
    en_Op_DeviceRecord,
    en_Op_Count
};

// A status of the daemon's numbering, or a failed transfer passed through.
void CheckStatus(int status) { Check(status <= OVRA_STATUS_ACCESS_DENIED, "status beyond the numbering"); }

// The handle of the scripted device: any open descriptor above 0 will do.
int DeviceHandle()
{
    static const int fd = open("/dev/null", O_RDWR | O_CLOEXEC);
    return fd;
}

void Record(int fd)
{
    ScanStatus st = SCAN_STATUS_OPERATION_CONTINUOUS;
    unsigned char* buffer = nullptr;
    uint16_t bufSize = 0, readSize = 0;
    CheckStatus(ScanRecord(fd, &st, &buffer, &bufSize, &readSize));
    Check(readSize <= bufSize, "record read beyond its buffer");
    free(buffer);
}

void DataProcess(int fd)
{
    ovrafuzz::ClientLink link;
    runUsbDataProcess(link.DaemonFd(), fd, scanBaseName(1, 0));
    link.Finish();
    ovrafuzz::RemovePageFiles();
}

void DeviceRecord(int fd)
{
    usb_device_descriptor descriptor = {};
    descriptor.iManufacturer = 1;
    descriptor.iProduct = 2;
    descriptor.iSerialNumber = 3;
    const USBFindDevRes res = converToDevRes(fd, descriptor);
    for (const char* text : {res.Manufacturer, res.Product, res.SerialNumber})
        Check(memchr(text, '\0', OVRA_USB_STRING_SIZE) != nullptr, "device string not terminated");
}

void Run(enOperation op, const SettingInfo& settings)
{
    const int fd = DeviceHandle();
    ResScanDeviceProperties properties;
    ADFStatus adf = ADF_STATUS_EMPTY;
    switch (op) {
    case en_Op_Start: CheckStatus(ScanStart(fd)); break;
    case en_Op_Properties: CheckStatus(ScanDeviceProperties(fd, &properties)); break;
    case en_Op_AdfStatus: CheckStatus(ScanADFStatus(fd, &adf)); break;
    case en_Op_Lock: CheckStatus(ScanLock(fd, &settings)); break;
    case en_Op_Unlock: CheckStatus(ScanUnlock(fd)); break;
    case en_Op_ScanSizes: CheckStatus(ScanGetScanSizes(fd)); break;
    case en_Op_PowerOn: CheckStatus(ScanPowerOn(fd)); break;
    case en_Op_Abort: CheckStatus(ScanAbort(fd)); break;
    case en_Op_Record: Record(fd); break;
    case en_Op_DataProcess: DataProcess(fd); break;
    case en_Op_DeviceRecord: DeviceRecord(fd); break;
    case en_Op_Count: break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ovrafuzz::OpenScanLogs();
    if (size == 0)
        return 0;
    const size_t count = std::min<size_t>(data[0] % c_uMaxOperations + 1, size - 1);
    const uint8_t* ops = data + 1;
    size_t pos = 1 + count;
    SettingInfo settings = {};
    const size_t settingBytes = std::min(sizeof(settings), size - pos);
    memcpy(&settings, data + pos, settingBytes);
    pos += settingBytes;
    ovrafuzz::PlayUsbScript(data + pos, size - pos);
    for (size_t i = 0; i < count; ++i)
        Run(static_cast<enOperation>(ops[i] % en_Op_Count), settings);
    ovrafuzz::CapScanLogs();
    return 0;
}
