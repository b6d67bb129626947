// The endpoint test of the USB channel on hand-made interface settings: bulk endpoints
// both ways, the last of each direction, other transfer types.
#include "utillibusb.h"

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
        userDevice device;
        QCOMPARE(match_with_endpoint(&setting, &device), 1);
        QCOMPARE(device.bOutEndpoint, uint8_t(0x01));
        QCOMPARE(device.bInEndpoint, uint8_t(0x82));

        // Only IN: no match, but the address found is kept.
        const std::vector<libusb_endpoint_descriptor> inOnly = {Endpoint(0x83, c_byBulk),
                                                                Endpoint(0x04, c_byInterrupt)};
        const libusb_interface_descriptor inSetting = Setting(inOnly);
        userDevice other;
        QCOMPARE(match_with_endpoint(&inSetting, &other), 0);
        QCOMPARE(other.bInEndpoint, uint8_t(0x83));
        QCOMPARE(other.bOutEndpoint, uint8_t(0));

        const libusb_interface_descriptor none = Setting({});
        QCOMPARE(match_with_endpoint(&none, &other), 0);
    }

    void lastOfEachDirectionWinsAndTypeBitsCount()
    {
        // 0x06 is bulk in its low two bits (synchronisation bits set): it counts.
        const std::vector<libusb_endpoint_descriptor> endpoints = {
            Endpoint(0x01, c_byBulk), Endpoint(0x81, c_byBulk), Endpoint(0x02, c_byBulk | 0x04),
            Endpoint(0x85, c_byInterrupt), Endpoint(0x03, c_byInterrupt)};
        const libusb_interface_descriptor setting = Setting(endpoints);
        userDevice device;
        QCOMPARE(match_with_endpoint(&setting, &device), 1);
        QCOMPARE(device.bOutEndpoint, uint8_t(0x02));   // not 0x01: the channel does not take this setting
        QCOMPARE(device.bInEndpoint, uint8_t(0x81));
    }
};

QTEST_APPLESS_MAIN(TestUsbEndpoints)
#include "tst_usbendpoints.moc"
