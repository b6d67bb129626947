// The client's pieces without a daemon: status texts, settings records, device names,
// record following, sysfs devices.
#include "fakedaemon.h"

#include "ovrascan/deviceaddress.h"
#include "ovrascan/devicelisting.h"
#include "ovrascan/pagetracker.h"
#include "ovrascan/scanclient.h"
#include "ovrascan/scansettings.h"
#include "ovrascan/scanstatus.h"
#include "ovrascan/usbdevices.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace ovrascan;
using namespace clienttest;

class TestClientParts : public QObject
{
    Q_OBJECT

private slots:
    void statusTexts_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("name");
        const char* const names[] = {"GOOD",   "UNSUPPORTED", "CANCELLED",  "DEVICE_BUSY", "INVAL",  "EOF",
                                     "JAMMED", "NO_DOCS",     "COVER_OPEN", "IO_ERROR",    "NO_MEM", "ACCESS_DENIED"};
        for (int status = 0; status <= 11; ++status)
            QTest::newRow(qPrintable(QString::number(status))) << status << QString("SANE_STATUS_") + names[status];
        QTest::newRow("negative") << -4 << "USB transfer failure";
        QTest::newRow("beyond") << 12 << "status 12";
    }

    void statusTexts()
    {
        QFETCH(int, status);
        QFETCH(QString, name);
        QCOMPARE(QString::fromStdString(StatusName(status)), name);
        const std::string description = DescribeStatus(status);
        QVERIFY(description.find(name.toStdString() + ", " + std::to_string(status) + ")") != std::string::npos);
        QVERIFY(!StatusMeaning(status).empty());
    }

    void settingInfoRecord()
    {
        ScanSettings settings;
        settings.source = ScanSource::FeederMultiPage;
        settings.mode = ColorMode::Gray;
        settings.resolution = 600;
        settings.area = {25.4, 12.7, 203.2, 254.0};
        settings.brightness = 10;
        settings.contrast = 20;
        settings.backgroundRemoval = 3;

        const SettingInfo info = ToSettingInfo(settings);

        QCOMPARE(int(info.bitDepth), 8);
        QCOMPARE(info.compType, COMPRESSION_JPEG);
        QCOMPARE(info.xStart, 600u);
        QCOMPARE(info.yStart, 300u);
        QCOMPARE(info.width, 4800u);
        QCOMPARE(info.height, 6000u);
        QCOMPARE(int(info.xResolution), 600);
        QCOMPARE(int(info.yResolution), 600);
        QCOMPARE(int(info.feederEnabled), 1);
        QCOMPARE(int(info.isClient), 1);
        QCOMPARE(int(info.backgroundRemoval), 1);
        QCOMPARE(int(info.backgroundRemovalParam), 3);
        QCOMPARE(int(info.BrightnessParam), 10);
        QCOMPARE(int(info.ContrastParam), 20);
    }

    void settingSourcesModesFormats()
    {
        ScanSettings settings;
        SettingInfo info = ToSettingInfo(settings);
        QCOMPARE(int(info.bitDepth), 24);
        QCOMPARE(int(info.feederEnabled), 0);
        QCOMPARE(int(info.isClient), 0);
        QCOMPARE(int(info.backgroundRemoval), 0);
        settings.source = ScanSource::FeederSinglePage;
        settings.mode = ColorMode::BlackAndWhite;
        info = ToSettingInfo(settings);
        QCOMPARE(int(info.bitDepth), 1);
        QCOMPARE(info.compType, COMPRESSION_NONE);
        QCOMPARE(int(info.feederEnabled), 1);
        QCOMPARE(int(info.isClient), 0);
        QCOMPARE(EffectiveFormat(settings), ImageFormat::Raw);
        QCOMPARE(std::string(PageExtension(EffectiveFormat(settings))), std::string("raw"));
        settings.mode = ColorMode::Color;
        settings.format = ImageFormat::Raw;
        QCOMPARE(ToSettingInfo(settings).compType, COMPRESSION_NONE);
    }

    void settingChecks_data()
    {
        QTest::addColumn<int>("resolution");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("format"); // -1 unset
        QTest::addColumn<double>("width");
        QTest::addColumn<QString>("problem");
        QTest::newRow("good") << 300 << int(ColorMode::Color) << -1 << 100.0 << "";
        QTest::newRow("too fine") << 2400 << int(ColorMode::Color) << -1 << 100.0 << "resolution";
        QTest::newRow("too coarse") << 10 << int(ColorMode::Color) << -1 << 100.0 << "resolution";
        QTest::newRow("bw jpeg") << 300 << int(ColorMode::BlackAndWhite) << int(ImageFormat::Jpeg) << 100.0 << "JPEG";
        QTest::newRow("bw raw") << 300 << int(ColorMode::BlackAndWhite) << int(ImageFormat::Raw) << 100.0 << "";
        QTest::newRow("no width") << 300 << int(ColorMode::Gray) << -1 << 0.0 << "area";
    }

    void settingChecks()
    {
        QFETCH(int, resolution);
        QFETCH(int, mode);
        QFETCH(int, format);
        QFETCH(double, width);
        QFETCH(QString, problem);
        ScanSettings settings;
        settings.resolution = resolution;
        settings.mode = ColorMode(mode);
        if (format >= 0)
            settings.format = ImageFormat(format);
        settings.area.width = width;
        const std::string found = CheckSettings(settings);
        QCOMPARE(found.empty(), problem.isEmpty());
        QVERIFY(found.find(problem.toStdString()) != std::string::npos);
    }

    void deviceAddresses()
    {
        std::string error;
        auto usb = ParseDeviceAddress("usb:1:5", error);
        QVERIFY(usb);
        QCOMPARE(usb->kind, DeviceAddress::Kind::Usb);
        QCOMPARE(usb->bus, 1);
        QCOMPARE(usb->device, 5);
        QCOMPARE(usb->ToString(), std::string("usb:001:005"));
        auto net = ParseDeviceAddress("net:127.0.0.150", error);
        QVERIFY(net);
        QCOMPARE(net->kind, DeviceAddress::Kind::Net);
        QCOMPARE(net->address, std::string("127.0.0.150"));
        QCOMPARE(net->ToString(), std::string("net:127.0.0.150"));
        for (const char* bad : {"usb:1", "usb:a:b", "usb:0:3", "net:printer.local", "net:1.2.3", "lpt:1", ""}) {
            error.clear();
            QVERIFY2(!ParseDeviceAddress(bad, error), bad);
            QVERIFY(!error.empty());
        }
    }

    void networkRecordsOpenAndFinishPages()
    {
        PageTracker tracker;
        QVERIFY(tracker.Handle({0, SCAN_STATUS_BEGIN_OF_PAGE, 0, 0}).finishedPages.empty());
        tracker.Handle({0, 0, 1, 100});
        tracker.Handle({0, 0, 1, 50});
        const auto second = tracker.Handle({0, SCAN_STATUS_BEGIN_OF_PAGE, 1, 0});
        QCOMPARE(second.finishedPages, std::vector<int>{0});
        tracker.Handle({0, 0, 2, 70});
        const auto end = tracker.Handle({OVRA_STATUS_EOF, SCAN_STATUS_END_OF_DATA, 2, 0});
        QCOMPARE(end.finishedPages, std::vector<int>{1});
        QCOMPARE(tracker.Current(), PageTracker::State::Done);
        QCOMPARE(tracker.BytesOf(0), int64_t(150));
        QCOMPARE(tracker.BytesOf(1), int64_t(70));
        QCOMPARE(tracker.PagesOpened(), 2);
        QVERIFY(tracker.OpenPages().empty());
        QVERIFY(tracker.Handle({0, SCAN_STATUS_BEGIN_OF_PAGE, 2, 0}).finishedPages.empty()); // over
        QCOMPARE(tracker.Records(), 6);
    }

    void firstRecordWithDataBelongsToTheNewPage()
    {
        // A network scan whose first block is image data: the daemon marks the first
        // record as begin of page and writes its bytes into page 0.
        PageTracker tracker;
        tracker.Handle({0, SCAN_STATUS_BEGIN_OF_PAGE, 0, 400});
        tracker.Handle({0, 0, 1, 100});
        tracker.Handle({OVRA_STATUS_EOF, SCAN_STATUS_END_OF_DATA, 1, 0});
        QCOMPARE(tracker.BytesOf(0), int64_t(500));
    }

    void usbRecordsWithScanAndPageMarks()
    {
        PageTracker tracker;
        tracker.Handle(FromUsbRecord({SCAN_STATUS_BEGIN_OF_SCAN, 0, 0, 0}));
        tracker.Handle(FromUsbRecord({SCAN_STATUS_OPERATION_CONTINUOUS, 0, 99, 0})); // no page yet: not written
        tracker.Handle(FromUsbRecord({SCAN_STATUS_BEGIN_OF_PAGE, 0, 0, 0}));
        tracker.Handle(FromUsbRecord({SCAN_STATUS_OPERATION_CONTINUOUS, 1, 300, 0}));
        tracker.Handle(FromUsbRecord({SCAN_STATUS_END_OF_PAGE, 1, 0, 0}));
        const auto end = tracker.Handle(FromUsbRecord({SCAN_STATUS_END_OF_DATA, 1, 0, OVRA_STATUS_EOF}));
        QCOMPARE(end.finishedPages, std::vector<int>{0});
        QCOMPARE(tracker.BytesOf(0), int64_t(300));
        QCOMPARE(tracker.PagesOpened(), 1);
    }

    void failureLeavesTheOpenPage()
    {
        PageTracker tracker;
        tracker.Handle({0, SCAN_STATUS_BEGIN_OF_PAGE, 0, 0});
        tracker.Handle({0, 0, 1, 10});
        tracker.Handle({0, SCAN_STATUS_BEGIN_OF_PAGE, 1, 0});
        tracker.Handle({0, 0, 2, 10});
        const auto failed = tracker.Handle({OVRA_STATUS_IO_ERROR, 0, 2, 0});
        QVERIFY(failed.finishedPages.empty());
        QCOMPARE(tracker.Current(), PageTracker::State::Failed);
        QCOMPARE(tracker.FailureStatus(), OVRA_STATUS_IO_ERROR);
        QCOMPARE(tracker.OpenPages(), std::vector<int>{1});
        // Bytes of a failed record do not count.
        PageTracker partial;
        partial.Handle({0, SCAN_STATUS_BEGIN_OF_PAGE, 0, 0});
        partial.Handle({OVRA_STATUS_IO_ERROR, 0, 1, 500});
        QCOMPARE(partial.BytesOf(0), int64_t(0));
    }

    void recordConversions()
    {
        TCPRecordRes net{};
        net.result = 5;
        net.bufferLen = 12;
        net.fileIndex = 3;
        net.st = SCAN_STATUS_END_OF_DATA;
        const ScanRecord fromNet = FromNetRecord(net);
        QCOMPARE(fromNet.result, 5);
        QCOMPARE(fromNet.dataSize, 12);
        QCOMPARE(fromNet.fileIndex, 3);
        QCOMPARE(fromNet.status, 1);
        const ScanRecord fromUsb = FromUsbRecord({SCAN_STATUS_BEGIN_OF_PAGE, 4, 8, 0});
        QCOMPARE(fromUsb.status, 9);
        QCOMPARE(fromUsb.fileIndex, 4);
        QCOMPARE(fromUsb.dataSize, 8);
        QCOMPARE(fromUsb.result, 0);
    }

    void sysfsDevicesAndMatching()
    {
        QTemporaryDir root;
        const std::string folder = root.path().toStdString() + "/";
        WriteSysfsDevice(
            folder + "1-1",
            {{"busnum", "1"}, {"devnum", "5"}, {"idVendor", "3a53"}, {"idProduct", "0101"}, {"serial", "SER1"}});
        WriteSysfsDevice(
            folder + "1-2",
            {{"busnum", "1"}, {"devnum", "6"}, {"idVendor", "3a53"}, {"idProduct", "0101"}, {"serial", "SER2"}});
        WriteSysfsDevice(folder + "2-1",
                         {{"busnum", "2"}, {"devnum", "3"}, {"idVendor", "3a53"}, {"idProduct", "0202"}});
        WriteSysfsDevice(folder + "1-1:1.0", {{"bInterfaceClass", "07"}});
        const std::vector<SysfsUsbDevice> devices = ReadSysfsUsbDevices(root.path().toStdString());
        QCOMPARE(devices.size(), size_t(3));
        const auto second = FindByBusDevice(devices, 1, 6);
        QVERIFY(second);
        QCOMPARE(second->serial, std::string("SER2"));
        QCOMPARE(second->vid, uint16_t(0x3A53));
        QCOMPARE(second->pid, uint16_t(0x0101));
        QVERIFY(!FindByBusDevice(devices, 3, 1));

        const std::vector<USBFindDevRes> found = {FoundUsbDevice(5, 0x3A53, 0x0101, "SER1"),
                                                  FoundUsbDevice(6, 0x3A53, 0x0101, "SER2"),
                                                  FoundUsbDevice(7, 0x3A53, 0x0202, "")};
        QCOMPARE(MatchDaemonDevice(found, *second)->fd, 6);
        QCOMPARE(MatchDaemonDevice(found, *FindByBusDevice(devices, 2, 3))->fd, 7);
        QVERIFY(!MatchDaemonDevice({found[0]}, *second));
        QCOMPARE(MatchSysfsDevice(devices, found[0])->device, 5);
        QVERIFY(!MatchSysfsDevice(devices, FoundUsbDevice(8, 0x3A53, 0x0101, "OTHER")));
        QVERIFY(ReadSysfsUsbDevices(root.filePath("missing").toStdString()).empty());
    }

    void listingTexts()
    {
        ScannerCapabilities capabilities{};
        capabilities.color = 1;
        capabilities.minres = 75;
        capabilities.maxres = 1200;
        QCOMPARE(DescribeCapabilities(capabilities), std::string("colour, 75-1200 dpi, simplex"));
        capabilities.color = 0;
        capabilities.duplex = 1;
        QCOMPARE(DescribeCapabilities(capabilities), std::string("black and white, 75-1200 dpi, duplex"));
        QCOMPARE(FeederStateName(ADF_STATUS_EMPTY), std::string("empty"));
        QCOMPARE(FeederStateName(ADF_STATUS_LOADED), std::string("loaded"));
        QCOMPARE(FeederStateName(ADF_STATUS_PAPER_JAM), std::string("jammed"));
        QCOMPARE(FeederStateName(0), std::string("unknown"));
    }

    void wireTexts()
    {
        char field[8];
        QVERIFY(SetWireText(field, "1234567"));
        QCOMPARE(WireText(field), std::string("1234567"));
        QVERIFY(!SetWireText(field, "123456789"));
        QCOMPARE(WireText(field), std::string("1234567"));
        const OvraSocket scanner = NetScannerSocket("127.0.0.160");
        QCOMPARE(scanner.tcpFromScanner, -1);
        QCOMPARE(WireText(scanner.szScannerIP), std::string("127.0.0.160"));
    }
};

QTEST_GUILESS_MAIN(TestClientParts)
#include "tst_clientparts.moc"
