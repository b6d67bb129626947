// The endpoint test of the USB printer session on hand-made interface settings: bulk
// endpoints both ways, the last of each direction, other transfer types.
#include "usbprintersession.h"

#include <libusb-1.0/libusb.h>

#include <QtTest>

#include <vector>

namespace {

libusb_endpoint_descriptor Endpoint(uint8_t address, uint8_t attributes)
{
    libusb_endpoint_descriptor endpoint{};
    endpoint.bLength = LIBUSB_DT_ENDPOINT_SIZE;
    endpoint.bDescriptorType = LIBUSB_DT_ENDPOINT;
    endpoint.bEndpointAddress = address;
    endpoint.bmAttributes = attributes;
    return endpoint;
}

libusb_interface_descriptor Setting(const std::vector<libusb_endpoint_descriptor>& endpoints)
{
    libusb_interface_descriptor setting{};
    setting.bInterfaceClass = LIBUSB_CLASS_PRINTER;
    setting.bNumEndpoints = uint8_t(endpoints.size());
    setting.endpoint = endpoints.data();
    return setting;
}

const uint8_t c_byBulk = LIBUSB_TRANSFER_TYPE_BULK;
const uint8_t c_byInterrupt = LIBUSB_TRANSFER_TYPE_INTERRUPT;

} // namespace

class TestUsbEndpoints : public QObject
{
    Q_OBJECT
private slots:
    void bothDirectionsNeeded()
    {
        const std::vector<libusb_endpoint_descriptor> both = {Endpoint(0x01, c_byBulk), Endpoint(0x82, c_byBulk)};
        const libusb_interface_descriptor setting = Setting(both);
        const UsbBulkEndpoints endpoints = BulkEndpointsOf(setting);
        QVERIFY(endpoints.BothWays());
        QCOMPARE(endpoints.out, uint8_t(0x01));
        QCOMPARE(endpoints.in, uint8_t(0x82));

        // Only IN: no match, but the address found is told.
        const std::vector<libusb_endpoint_descriptor> inOnly = {Endpoint(0x83, c_byBulk),
                                                                Endpoint(0x04, c_byInterrupt)};
        const libusb_interface_descriptor inSetting = Setting(inOnly);
        const UsbBulkEndpoints other = BulkEndpointsOf(inSetting);
        QVERIFY(!other.BothWays());
        QCOMPARE(other.in, uint8_t(0x83));
        QCOMPARE(other.out, uint8_t(0));

        const libusb_interface_descriptor none = Setting({});
        QVERIFY(!BulkEndpointsOf(none).BothWays());
    }

    void lastOfEachDirectionWinsAndTypeBitsCount()
    {
        // 0x06 is bulk in its low two bits (synchronisation bits set): it counts.
        const std::vector<libusb_endpoint_descriptor> endpoints = {Endpoint(0x01, c_byBulk), Endpoint(0x81, c_byBulk),
                                                                   Endpoint(0x02, c_byBulk | 0x04),
                                                                   Endpoint(0x85, c_byInterrupt),
                                                                   Endpoint(0x03, c_byInterrupt)};
        const libusb_interface_descriptor setting = Setting(endpoints);
        const UsbBulkEndpoints found = BulkEndpointsOf(setting);
        QVERIFY(found.BothWays());
        QCOMPARE(found.out, uint8_t(0x02)); // not 0x01: the session does not take this setting
        QCOMPARE(found.in, uint8_t(0x81));
    }
};

QTEST_APPLESS_MAIN(TestUsbEndpoints)
#include "tst_usbendpoints.moc"
