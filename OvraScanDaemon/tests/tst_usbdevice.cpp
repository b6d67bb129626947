// USB access through usbfs against fake devices: bulk pieces, string
// descriptors, the device search and the client's device record.
#include "fakeusb.h"
#include "scanlog.h"
#include "scanpaths.h"
#include "testcheck.h"
#include "testsupport.h"
#include "usbfind.h"
#include "usbfs.h"

#include <unistd.h>

namespace {

std::string g_root;

void bulkReadStopsAtShortPiece()
{
    stAttachedDevice f;
    f.dev->scanStream.push_back(Bytes(512, 1));
    f.dev->scanStream.push_back(Bytes(100, 2));
    f.dev->scanStream.push_back(Bytes(388, 3));
    char data[1000];
    CHECK_EQ(ovra_bulk_read(f.fd, data, sizeof(data), 1000), 612);
    CHECK_EQ(data[511], 1);
    CHECK_EQ(data[611], 2);
    CHECK_EQ(ovra_bulk_read(f.fd, data, sizeof(data), 1000), 388);
}

void bulkWriteInPieces()
{
    stAttachedDevice f;
    Bytes data = pageImage(1, 1, 1300);
    CHECK_EQ(ovra_bulk_write(f.fd, reinterpret_cast<const char*>(data.data()), 1300, 1000), 1300);
    CHECK_EQ(f.dev->writes.size(), 3u);
    CHECK_EQ(f.dev->writes[0].size(), 512u);
    CHECK_EQ(f.dev->writes[2].size(), 276u);
    CHECK(f.dev->bulkOut == data);
    CHECK_EQ(ovra_bulk_write(0, "x", 1, 1000), -1);
    CHECK_EQ(ovra_bulk_read(f.fd, nullptr, 1, 1000), -1);
}

void bulkFailureStillThereOrGone()
{
    stAttachedDevice f;
    char data[64];
    f.dev->failBulk = true;
    CHECK_EQ(ovra_bulk_read(f.fd, data, sizeof(data), 1000), 0);
    f.dev->scanStream.push_back(Bytes(512, 1));
    f.dev->failBulk = false;
    f.dev->gone = true;
    CHECK(ovra_bulk_read(f.fd, data, sizeof(data), 1000) < 0);
    CHECK(logContains(scanErrLogPath(), "[OvraScanSDK] ** ovra_get_string ret:-1\n"));
}

void endpointRequests()
{
    stAttachedDevice f;
    CHECK_EQ(ovra_clear_halt(f.fd, 0x82), 0);
    CHECK_EQ(ovra_resetep(f.fd, 0x02), 0);
    f.dev->failEndpointRequests = true;
    CHECK_EQ(ovra_clear_halt(f.fd, 0x82), 9);
    CHECK_EQ(ovra_resetep(f.fd, 0x02), 9);
    CHECK_EQ(f.dev->clearHalts, 2);
    CHECK_EQ(f.dev->resetEps, 2);
    CHECK(logContains(scanInfoLogPath(), "[OvraScanSDK] ovra_clear_halt ret:0[OvraScanSDK]"));
    CHECK_EQ(ovra_init(f.fd), 0);
    CHECK_EQ(ovra_open_device(f.fd), 0);
}

void stringDescriptorsAsAscii()
{
    stAttachedDevice f;
    f.dev->strings[1] = u"Ovra";
    f.dev->strings[2] = u"Сканер MFP"; // Cyrillic
    f.dev->strings[3] = u"ABCDEFGHIJ";
    char text[64];
    CHECK_EQ(ovra_get_string_simple(f.fd, 1, text, sizeof(text)), 4);
    CHECK_STR(text, "Ovra");
    CHECK_EQ(ovra_get_string_simple(f.fd, 2, text, sizeof(text)), 10);
    CHECK_STR(text, "?????? MFP");
    char small[5];
    CHECK_EQ(ovra_get_string_simple(f.fd, 3, small, sizeof(small)), 4);
    CHECK_STR(small, "ABCD");
    CHECK(ovra_get_string_simple(f.fd, 9, text, sizeof(text)) < 0); // no such string
    f.dev->badStringType = true;
    CHECK_EQ(ovra_get_string_simple(f.fd, 1, text, sizeof(text)), -5);
    f.dev->badStringType = false;
    f.dev->overlongString = true;
    CHECK_EQ(ovra_get_string_simple(f.fd, 1, text, sizeof(text)), -27);

    const unsigned char odd[] = {5, 3, 'A', 0, 'B'};
    CHECK_EQ(usbStringToAscii(odd, 5, text, sizeof(text)), 1);
    CHECK_STR(text, "A");
}

void findDevicesByVendorAndProduct()
{
    FakeUsbBed bed;
    bed.useAsUsbPath();
    OvraInitDbg();
    bed.addDevice("001", "001", fakeScanner(0x1234, 0x0001, u"A1"));
    bed.addDevice("001", "002", fakeScanner(0x1234, 0x0002, u"B2"));
    bed.addDevice("002", "005", fakeScanner(0x9999, 0x0001, u"C3"));
    bed.addDevice("002", "x07", fakeScanner(0x1234, 0x0001, u"D4"));     // not a device node name
    bed.addDevice("devices", "001", fakeScanner(0x1234, 0x0001, u"E5")); // not a bus
    OVRA_USB_DEV list[OVRA_USB_DEV_MAX] = {};

    int count = ovra_find_device(0x1234, 0x0001, list, true);
    CHECK_EQ(count, 1);
    USBFindDevRes res = converToDevRes(list[0].fd, list[0].dev_des);
    CHECK_EQ(res.fd, list[0].fd);
    CHECK_EQ(res.vid, 0x1234);
    CHECK_EQ(res.pid, 1);
    CHECK_STR(res.Manufacturer, "Ovra");
    CHECK_STR(res.Product, "Ovra MFP");
    CHECK_STR(res.SerialNumber, "A1");
    CHECK(logContains(scanInfoLogPath(), "[OvraScanSDK] - Serial Number: A1\n"));
    CHECK(logContains(scanInfoLogPath(), "[OvraScanSDK] - Manufacturer : Ovra\n"));
    close(list[0].fd);

    count = ovra_find_device(0x1234, 0x0001, list, false);
    CHECK_EQ(count, 2);
    for (int i = 0; i < count; ++i)
        close(list[i].fd);
    CHECK_EQ(ovra_find_device(0x1234, 0x0001, nullptr, false), -1);
    CHECK(logContains(scanInfoLogPath(), "[OvraScanSDK] dev_des is NULL \n"));
}

void deviceWithoutSerial()
{
    FakeUsbBed bed;
    bed.useAsUsbPath();
    bed.addDevice("003", "001", fakeScanner(0x1234, 0x0003, nullptr));
    OVRA_USB_DEV list[OVRA_USB_DEV_MAX] = {};
    CHECK_EQ(ovra_find_device(0x1234, 0x0003, list, true), 1);
    USBFindDevRes res = converToDevRes(list[0].fd, list[0].dev_des);
    CHECK_STR(res.SerialNumber, "");
    CHECK_STR(res.Product, "Ovra MFP");
    close(list[0].fd);
}

void deviceListIsBounded()
{
    FakeUsbBed bed;
    bed.useAsUsbPath();
    for (int i = 1; i <= 70; ++i)
        bed.addDevice("004", std::to_string(i), fakeScanner(0x4321, 0x0001, u"S"));
    OVRA_USB_DEV list[OVRA_USB_DEV_MAX + 1] = {};
    list[OVRA_USB_DEV_MAX].fd = -77; // guard entry past the end
    int count = ovra_find_device(0x4321, 0x0001, list, true);
    CHECK_EQ(count, OVRA_USB_DEV_MAX);
    CHECK_EQ(list[OVRA_USB_DEV_MAX].fd, -77);
    for (int i = 0; i < count; ++i)
        close(list[i].fd);
}

void noUsbDirectory()
{
    OvraInitDbg();
    ovra_set_usb_paths({g_root + "/no-such-usb", g_root + "/nor-this"});
    OVRA_USB_DEV list[4] = {};
    CHECK_EQ(ovra_find_device(0x1234, 0x0001, list, true), -1);
    CHECK(logContains(scanErrLogPath(), "[OvraScanSDK] find busdir err:" + g_root + "/nor-this\n"));
    CHECK(logContains(scanErrLogPath(), "[OvraScanSDK] open dir err:" + g_root + "/no-such-usb\n"));
    ovra_set_usb_paths({});
}

} // namespace

int main()
{
    const TestInstallRoot root("usbdev", {"scan"});
    g_root = root.Path();
    int ret = testcheck::run({
        TEST_CASE(bulkReadStopsAtShortPiece),
        TEST_CASE(bulkWriteInPieces),
        TEST_CASE(bulkFailureStillThereOrGone),
        TEST_CASE(endpointRequests),
        TEST_CASE(stringDescriptorsAsAscii),
        TEST_CASE(findDevicesByVendorAndProduct),
        TEST_CASE(deviceWithoutSerial),
        TEST_CASE(deviceListIsBounded),
        TEST_CASE(noUsbDirectory),
    });
    OvraCloseDbg();
    return ret;
}
