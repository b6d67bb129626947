// The scan daemon's connection process fed what a scan client sends: command codes and
// request records in any order, cut anywhere. Behind it a USB scanner (one device node
// in a USB folder of the fuzz root) and a network scanner answer as healthy ones do; the
// data processes that scan starts fork are followed, and none outlives its input.
#include "children.h"
#include "clientlink.h"
#include "connection.h"
#include "fakepeer.h"
#include "fakeusb.h"
#include "fuzzenv.h"
#include "ovrascannernet.h"
#include "scanlog.h"
#include "scannerscripts.h"
#include "usbfind.h"

#include <unistd.h>

namespace {

// The one device of the USB folder: the maker's vendor ID, a scanner's product ID, no
// strings (an empty serial number).
const uint16_t c_usVendor = 0x3a53;
const uint16_t c_usProduct = 0x0246;
const int c_iChildGraceMs = 5000;
// Descriptors below this are taken before each input: the connection's own ones, its
// device handles and data connections then have the same numbers in every input.
const int c_iDescriptorFloor = 64;

void MakeUsbFolder()
{
    const std::string bus = ovrafuzz::FuzzRoot() + "usb/001";
    ovrafuzz::MakeDirs(bus);
    usb_device_descriptor descriptor = {};
    descriptor.bLength = sizeof(descriptor);
    descriptor.bDescriptorType = 1;
    descriptor.idVendor = c_usVendor;
    descriptor.idProduct = c_usProduct;
    descriptor.bNumConfigurations = 1;
    ovrafuzz::WriteFile(bus + "/002", reinterpret_cast<const uint8_t*>(&descriptor), sizeof(descriptor));
    ovra_set_usb_paths({ovrafuzz::FuzzRoot() + "usb"});
}

void ServeScanners()
{
    const std::string& usb = ovrafuzz::HealthyUsbScanner();
    ovrafuzz::PlayUsbScript(reinterpret_cast<const uint8_t*>(usb.data()), usb.size());
    const ovrafuzz::stNetScannerAnswers& net = ovrafuzz::HealthyNetScanner();
    ovrafuzz::SetPortAnswer(OVRA_NET_HTTP_PORT, net.strAll);
    ovrafuzz::SetPortAnswer(OVRA_NET_DATA_PORT, net.strStream);
    ovrafuzz::SetPortAnswer(OVRA_NET_OSL_PORT, net.strAttribute);
}

// The connection's device handles and data connections stay open until the connection
// process ends; here it does not end, so they are closed for it, with the placeholders
// below the floor (the logs it reopened stay).
void CloseOpenedSince(std::set<int> keep)
{
    for (FILE* log : {outFile, errFile})
        if (log)
            keep.insert(fileno(log));
    for (int fd : ovrafuzz::OpenDescriptors())
        if (!keep.count(fd))
            close(fd);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    ovrafuzz::OpenScanLogs();
    MakeUsbFolder();
    ovrafuzz::WatchChildren();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::set<int> before = ovrafuzz::OpenDescriptors();
    ServeScanners();
    ovrafuzz::ClientLink link(data, size);
    ovrafuzz::FillDescriptorsBelow(c_iDescriptorFloor);
    runConnectionProcess(link.ReleaseDaemonFd());
    ovrafuzz::EndChildren(c_iChildGraceMs);
    ovrafuzz::Check(!ovrafuzz::ChildDiedOfSanitizer(), "a data process died of a sanitizer report");
    link.Finish();
    ovrafuzz::ClearPeers();
    CloseOpenedSince(before);
    ovrafuzz::RemovePageFiles();
    ovrafuzz::CapScanLogs();
    return 0;
}
