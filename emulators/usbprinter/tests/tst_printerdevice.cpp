// The printer's descriptors, control answers and bulk pipe, without usbfs.
#include "ovraemu/usbcore/sysfsrecord.h"
#include "ovraemu/usbcore/usbdescriptors.h"
#include "printerdevice.h"
#include "printerlayout.h"

#include <QtTest>

using namespace ovraemu;

namespace {

UsbPrinterConfig Config()
{
    UsbPrinterConfig config;
    config.vendorId = 0x3A53;
    config.productId = 0x0122;
    config.serial = "SN42";
    return config;
}

UsbDeviceIdentity Identity(const UsbPrinterConfig& config) { return PrinterDescription(config).identity; }

ControlRequest GetDescriptor(uint8_t type, uint8_t index, uint16_t length)
{
    return {0x80, 6, static_cast<uint16_t>(type << 8 | index), 0, length};
}

} // namespace

class PrinterDeviceTest : public QObject
{
    Q_OBJECT

private slots:
    void deviceDescriptorCarriesIdsAndStringIndexes()
    {
        const std::vector<uint8_t> d = DeviceDescriptor(Identity(Config()));
        QCOMPARE(d.size(), size_t(18));
        QCOMPARE(d[0], uint8_t(18));
        QCOMPARE(d[1], uint8_t(1));
        QCOMPARE(d[8] | d[9] << 8, 0x3A53);
        QCOMPARE(d[10] | d[11] << 8, 0x0122);
        QCOMPARE(d[16], kSerialStringIndex);
        QCOMPARE(d[17], uint8_t(1)); // one configuration

        UsbPrinterConfig noSerial = Config();
        noSerial.hasSerial = false;
        QCOMPARE(DeviceDescriptor(Identity(noSerial))[16], uint8_t(0));
    }

    void configurationHasPrinterInterfaceWithBulkPair()
    {
        const std::vector<uint8_t> c = ConfigurationDescriptor(PrinterDescription(Config()).layout);
        QCOMPARE(size_t(c[2] | c[3] << 8), c.size());
        QCOMPARE(c[4], uint8_t(1));                 // interfaces
        QCOMPARE(c[9 + 5], kPrinterInterfaceClass); // bInterfaceClass
        QCOMPARE(c[9 + 4], uint8_t(2));             // endpoints
        const std::vector<uint8_t> out(c.begin() + 18, c.begin() + 25);
        const std::vector<uint8_t> in(c.begin() + 25, c.end());
        QCOMPARE(out, (std::vector<uint8_t>{7, 5, 0x01, 2, 0x00, 0x02, 0}));
        QCOMPARE(in, (std::vector<uint8_t>{7, 5, 0x81, 2, 0x00, 0x02, 0}));
    }

    void stringDescriptorsAreUtf16()
    {
        QCOMPARE(LanguageTable(), (std::vector<uint8_t>{4, 3, 0x09, 0x04}));
        QCOMPARE(StringDescriptor("AB"), (std::vector<uint8_t>{6, 3, 'A', 0, 'B', 0}));
        QCOMPARE(StringDescriptor(std::string(300, 'x')).size(), size_t(254));
    }

    void descriptorRequestsAreAnsweredAndCut()
    {
        PrinterDevice device(Config());
        QCOMPARE(device.Control(GetDescriptor(1, 0, 64), {}).data, DeviceDescriptor(Identity(Config())));
        QCOMPARE(device.Control(GetDescriptor(2, 0, 9), {}).data.size(), size_t(9));
        QCOMPARE(device.Control(GetDescriptor(3, 0, 255), {}).data, LanguageTable());
        QCOMPARE(device.Control(GetDescriptor(3, kSerialStringIndex, 255), {}).data, StringDescriptor("SN42"));
        QVERIFY(device.Control(GetDescriptor(3, 9, 255), {}).stall);
        QVERIFY(device.Control(GetDescriptor(6, 0, 10), {}).stall);
        QVERIFY(device.ClassRequests().empty()); // standard requests are not recorded
    }

    void missingSerialStringIsStalled()
    {
        UsbPrinterConfig config = Config();
        config.hasSerial = false;
        PrinterDevice device(config);
        QVERIFY(device.Control(GetDescriptor(3, kSerialStringIndex, 255), {}).stall);
    }

    void classRequestsAreRecordedAndAnswered()
    {
        PrinterDevice device(Config());
        device.SetClassReply(0x33, {1, 2, 3, 4});
        const ControlOutcome status = device.Control({0xA1, 0x33, 0, 0, 2}, {});
        QVERIFY(!status.stall);
        QCOMPARE(status.data, (std::vector<uint8_t>{1, 2}));
        const ControlOutcome cancel = device.Control({0xA1, 0x34, 0, 0, 1017}, {});
        QVERIFY(!cancel.stall);
        QVERIFY(cancel.data.empty());
        QVERIFY(device.Control({0xC1, 0x10, 0, 0, 4}, {}).stall); // vendor request without a reply

        device.SetStallClassRequests(true);
        QVERIFY(device.Control({0xA1, 0x33, 0, 0, 1024}, {}).stall);
        QCOMPARE(device.ClassRequests().size(), size_t(4));
        QCOMPARE(device.ClassRequests()[2], (ControlRequest{0xC1, 0x10, 0, 0, 4}));
    }

    void bulkHandlerSeesRequestsSinceItsLastCall()
    {
        PrinterDevice device(Config());
        std::vector<std::vector<uint8_t>> seen;
        device.SetBulkHandler([&seen](const std::vector<uint8_t>& request) {
            seen.push_back(request);
            return BulkReply(std::vector<uint8_t>{static_cast<uint8_t>(request.size())});
        });
        QVERIFY(!device.BulkIn(kBulkInEndpoint, 64)); // nothing sent yet: no reply
        device.BulkOut(kBulkOutEndpoint, {1, 2});
        device.BulkOut(kBulkOutEndpoint, {3});
        QCOMPARE(*device.BulkIn(kBulkInEndpoint, 64), std::vector<uint8_t>{3});
        device.BulkOut(kBulkOutEndpoint, {4});
        QCOMPARE(*device.BulkIn(kBulkInEndpoint, 64), std::vector<uint8_t>{1});
        QCOMPARE(seen, (std::vector<std::vector<uint8_t>>{{1, 2, 3}, {4}}));
        QCOMPARE(device.BulkOutData(), (std::vector<uint8_t>{1, 2, 3, 4}));
    }

    void bulkOutFaultsCutTransfersWhereTheyBegin()
    {
        PrinterDevice device(Config());
        using Ending = BulkOutOutcome::Ending;
        device.FailBulkOut(1, 5);
        BulkOutOutcome outcome = device.TakeBulkOut(kBulkOutEndpoint, {1, 2, 3}, false);
        QCOMPARE(int(outcome.ending), int(Ending::Whole));
        outcome = device.TakeBulkOut(kBulkOutEndpoint, {4, 5, 6}, true); // the same transfer reaches 5 bytes
        QCOMPARE(int(outcome.ending), int(Ending::Stall));
        QCOMPARE(outcome.taken, size_t(2));
        outcome = device.TakeBulkOut(kBulkOutEndpoint, {7, 8}, false); // the one failure is used up
        QCOMPARE(int(outcome.ending), int(Ending::Whole));

        device.ShortenBulkOut(4);
        outcome = device.TakeBulkOut(kBulkOutEndpoint, {9, 10, 11}, false);
        QCOMPARE(int(outcome.ending), int(Ending::Whole));
        outcome = device.TakeBulkOut(kBulkOutEndpoint, {12, 13}, true);
        QCOMPARE(int(outcome.ending), int(Ending::Short));
        QCOMPARE(outcome.taken, size_t(1));
        QCOMPARE(int(device.TakeBulkOut(kBulkOutEndpoint, {}, false).ending), int(Ending::Whole));

        QCOMPARE(device.BulkOutTransfers(),
                 (std::vector<std::vector<uint8_t>>{{1, 2, 3, 4, 5}, {7, 8}, {9, 10, 11, 12}, {}}));
        QCOMPARE(device.BulkOutData(), (std::vector<uint8_t>{1, 2, 3, 4, 5, 7, 8, 9, 10, 11, 12}));

        device.ShortenBulkOut(std::nullopt);
        device.FailBulkOut(kEveryTransfer, 0);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(int(device.TakeBulkOut(kBulkOutEndpoint, {1}, false).ending), int(Ending::Stall));
        QCOMPARE(device.BulkOutData().size(), size_t(11));
    }

    void configuredEndpointsAndSettingsAreDescribed()
    {
        UsbPrinterConfig config = Config();
        config.bulkOutEndpoint = 0x02;
        UsbAlternateSetting second;
        second.interfaceClass = kPrinterInterfaceClass;
        second.bulkOutEndpoint = 0x01;
        second.bulkInEndpoint = 0x82;
        config.alternateSettings = {second};
        const std::vector<uint8_t> c = ConfigurationDescriptor(PrinterDescription(config).layout);
        QCOMPARE(size_t(c[2] | c[3] << 8), c.size());
        QCOMPARE(c.size(), size_t(9 + 2 * 23));
        QCOMPARE(c[4], uint8_t(1)); // still one interface
        QCOMPARE(c[18 + 2], uint8_t(0x02));
        QCOMPARE(c[32 + 2], uint8_t(0)); // interface 0 ...
        QCOMPARE(c[32 + 3], uint8_t(1)); // ... in setting 1
        QCOMPARE(c[32 + 9 + 2], uint8_t(0x01));
        QCOMPARE(c[32 + 16 + 2], uint8_t(0x82));

        PrinterDevice device(config);
        for (uint8_t address : {0x02, 0x81, 0x01, 0x82})
            QVERIFY(device.HasBulkEndpoint(address));
        QVERIFY(!device.HasBulkEndpoint(0x03));
    }

    void sysfsRecordNamesNodeAndDescriptors()
    {
        UsbAddress address;
        address.device = 5;
        QCOMPARE(address.DevNode(), std::string("/dev/bus/usb/001/005"));
        QCOMPARE(address.SysName(), std::string("1-4"));
        const QString record = QString::fromStdString(SysfsRecord(address, PrinterDescription(Config())));
        QVERIFY(record.contains("\nN: bus/usb/001/005\n"));
        QVERIFY(record.contains("\nE: DEVNAME=/dev/bus/usb/001/005\n"));
        QVERIFY(record.contains("\nA: busnum=1\n"));
        QVERIFY(record.contains("\nA: devnum=5\n"));
        QVERIFY(record.contains("\nA: dev=189:4\n"));
        QVERIFY(record.contains("\nA: serial=SN42\n"));
        QVERIFY(record.contains("\nH: descriptors=12010002000000"
                                "40533A2201"));
    }
};

QTEST_GUILESS_MAIN(PrinterDeviceTest)
#include "tst_printerdevice.moc"
