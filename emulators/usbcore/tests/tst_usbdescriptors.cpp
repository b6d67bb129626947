// Descriptors, strings and standard requests of the emulated devices.
#include "ovraemu/usbcore/standardrequests.h"
#include "ovraemu/usbcore/sysfsrecord.h"
#include "ovraemu/usbcore/usbdescriptors.h"

#include <QtTest>

using namespace ovraemu;

namespace {

std::vector<uint16_t> Units(const std::vector<uint8_t>& descriptor)
{
    std::vector<uint16_t> units;
    for (size_t i = 2; i + 1 < descriptor.size(); i += 2)
        units.push_back(static_cast<uint16_t>(descriptor[i] | descriptor[i + 1] << 8));
    return units;
}

UsbDeviceDescription Description()
{
    UsbDeviceDescription description;
    description.identity = {0x1234, 0xABCD, "Maker", "Thing", "SN9", true};
    description.layout.interfaceClass = 0xFF;
    description.layout.bulkOutEndpoint = 0x02;
    description.layout.bulkInEndpoint = 0x82;
    return description;
}

} // namespace

class UsbDescriptorsTest : public QObject
{
    Q_OBJECT

private slots:
    void stringsAreUtf8AsUtf16()
    {
        QCOMPARE(StringDescriptor("AB"), (std::vector<uint8_t>{6, 3, 'A', 0, 'B', 0}));
        QCOMPARE(Units(StringDescriptor("Жü€")), (std::vector<uint16_t>{0x0416, 0x00FC, 0x20AC}));
        QCOMPARE(Units(StringDescriptor("\xF0\x9F\x96\xA8")), (std::vector<uint16_t>{0xD83D, 0xDDA8})); // printer emoji
        // Bytes that are not UTF-8 are taken as Latin-1.
        QCOMPARE(Units(StringDescriptor("a\xE9z")), (std::vector<uint16_t>{'a', 0xE9, 'z'}));
        QCOMPARE(Units(StringDescriptor("\xD0")), (std::vector<uint16_t>{0xD0}));
    }

    void longStringsAreCutWithoutSplittingAPair()
    {
        QCOMPARE(StringDescriptor(std::string(300, 'x')).size(), size_t(254));
        const std::string text = std::string(125, 'x') + "\xF0\x9F\x96\xA8"; // the pair would be units 126 and 127
        const std::vector<uint8_t> cut = StringDescriptor(text);
        QCOMPARE(cut.size(), size_t(2 + 2 * 125));
        QCOMPARE(cut[0], uint8_t(cut.size()));
    }

    void nodeDescriptorsAreDeviceThenConfiguration()
    {
        const std::vector<uint8_t> node = NodeDescriptors(Description());
        QCOMPARE(node.size(), size_t(18 + 32));
        QCOMPARE(std::vector<uint8_t>(node.begin(), node.begin() + 18), DeviceDescriptor(Description().identity));
        QCOMPARE(node[18 + 9 + 5], uint8_t(0xFF));
        QCOMPARE(node[18 + 18 + 2], uint8_t(0x02));
        QCOMPARE(node[18 + 25 + 2], uint8_t(0x82));
        QCOMPARE(node[18 + 18 + 4] | node[18 + 18 + 5] << 8, 512);
    }

    void alternateSettingsFollowSettingZero()
    {
        UsbDeviceDescription description = Description();
        UsbAlternateSetting second;
        second.interfaceClass = 7;
        second.interfaceProtocol = 2;
        second.bulkOutEndpoint = 0x01;
        second.bulkInEndpoint = 0x81;
        description.layout.alternateSettings = {second};
        const std::vector<uint8_t> c = ConfigurationDescriptor(description.layout);
        QCOMPARE(c.size(), size_t(9 + 23 + 23));
        QCOMPARE(size_t(c[2] | c[3] << 8), c.size());
        QCOMPARE(c[4], uint8_t(1)); // alternate settings are no interfaces of their own
        const std::vector<uint8_t> setting(c.begin() + 32, c.begin() + 41);
        QCOMPARE(setting, (std::vector<uint8_t>{9, 4, 0, 1, 2, 7, 0, 2, 0}));
        QCOMPARE(c[41 + 2], uint8_t(0x01));
        QCOMPARE(c[48 + 2], uint8_t(0x81));
        QCOMPARE(SettingEndpoints(description.layout), (std::vector<std::vector<uint8_t>>{{0x02, 0x82}, {0x01, 0x81}}));
    }

    void standardRequestsAreAnswered()
    {
        const UsbDeviceDescription description = Description();
        QVERIFY(IsStandardRequest({0x80, 6, 0x0100, 0, 18}));
        QVERIFY(!IsStandardRequest({0xC0, 6, 0x0100, 0, 18}));
        QCOMPARE(AnswerStandardRequest(description, {0x80, 6, 0x0100, 0, 8}).data.size(), size_t(8));
        QCOMPARE(AnswerStandardRequest(description, {0x80, 6, 0x0303, 0x0409, 255}).data, StringDescriptor("SN9"));
        QCOMPARE(AnswerStandardRequest(description, {0x80, 0, 0, 0, 2}).data, (std::vector<uint8_t>{0, 0}));
        QVERIFY(AnswerStandardRequest(description, {0x80, 6, 0x0304, 0x0409, 255}).stall);
        QVERIFY(AnswerStandardRequest(description, {0x80, 6, 0x0600, 0, 10}).stall);
        QVERIFY(AnswerStandardRequest(description, {0x80, 8, 0, 0, 1}).stall);
        QVERIFY(!AnswerStandardRequest(description, {0x00, 9, 1, 0, 0}).stall); // SET_CONFIGURATION
        UsbDeviceDescription noSerial = description;
        noSerial.identity.hasSerial = false;
        QVERIFY(AnswerStandardRequest(noSerial, {0x80, 6, 0x0303, 0x0409, 255}).stall);
        QCOMPARE(DeviceDescriptor(noSerial.identity)[16], uint8_t(0));
    }

    void sysfsRecordCarriesIdsAndStrings()
    {
        UsbAddress address;
        address.device = 7;
        UsbDeviceDescription description = Description();
        description.identity.product = "Two\nLines";
        const std::string record = SysfsRecord(address, description);
        for (const char* line : {"\nN: bus/usb/001/007\n", "\nA: idVendor=1234\n", "\nA: idProduct=abcd\n",
                                 "\nA: product=Two Lines\n", "\nA: serial=SN9\n", "\nH: descriptors=12010002"})
            QVERIFY2(record.find(line) != std::string::npos, line);
    }
};

QTEST_GUILESS_MAIN(UsbDescriptorsTest)
#include "tst_usbdescriptors.moc"
