// Whole scans through a stand-in daemon: records followed, pages copied and deleted in
// the scan directory, and every failure result turned into a clear outcome.
#include "fakedaemon.h"

#include "ovrascan/scanrunner.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

using namespace ovrascan;
using namespace clienttest;
using namespace std::chrono_literals;

namespace {

const std::string kScanner = "127.0.0.164";

DeviceAddress UsbAddress(int bus, int device)
{
    DeviceAddress address;
    address.kind = DeviceAddress::Kind::Usb;
    address.bus = bus;
    address.device = device;
    return address;
}

std::string Pattern(size_t bytes, int seed)
{
    std::string page(bytes, '\0');
    for (size_t i = 0; i < bytes; ++i)
        page[i] = char(i * 7 + size_t(seed) * 13);
    return page;
}

struct ScanBench {
    QTemporaryDir scanDir;
    QTemporaryDir outDir;
    FakeDaemon daemon;
    std::vector<std::string> progress;

    std::string Base(int index = 0) const
    {
        return scanDir.filePath(QString("ovrascandata_77_%1").arg(index)).toStdString();
    }
    std::string Out() const { return outDir.filePath("pages").toStdString(); }
    std::string OutPage(int n, const char* extension = "jpg") const
    {
        return Out() + QString("/page-%1.%2").arg(n, 3, 10, QChar('0')).arg(extension).toStdString();
    }

    ScanJobOptions Options(ScanSource source = ScanSource::Flatbed)
    {
        ScanJobOptions options;
        options.settings.source = source;
        options.outputFolder = Out();
        options.recordTimeout = 2s;
        options.settleLimit = 5s;
        options.sysfsRoot = scanDir.filePath("sysfs").toStdString();
        options.progress = [this](const std::string& line) { progress.push_back(line); };
        return options;
    }

    ScanOutcome Run(const DeviceAddress& device, const ScanJobOptions& options)
    {
        std::string error;
        ScanClient client(DaemonConnection::ConnectLocal(daemon.Port(), &error));
        client.SetReplyTimeout(2s);
        return RunScan(client, device, options);
    }

    ScanOutcome RunNet(const ScanJobOptions& options)
    {
        DeviceAddress scanner;
        scanner.address = kScanner;
        return Run(scanner, options);
    }

    // The first of PlugUsbScanners.
    ScanOutcome RunUsb(const ScanJobOptions& options) { return Run(UsbAddress(1, 5), options); }

    // A USB scanner on bus 1 as device 5 (serial SER1), and another one (SER2).
    void PlugUsbScanners()
    {
        for (const auto& [name, dev, serial] : {std::tuple{"1-1", "5", "SER1"}, std::tuple{"1-2", "6", "SER2"}})
            WriteSysfsDevice(
                scanDir.filePath("sysfs/").toStdString() + name,
                {{"busnum", "1"}, {"devnum", dev}, {"idVendor", "3a53"}, {"idProduct", "0101"}, {"serial", serial}});
        daemon.Reply(USB_FIND_DEV, FindDevReply({FoundUsbDevice(8, 0x3A53, 0x0101, "SER2"),
                                                 FoundUsbDevice(9, 0x3A53, 0x0101, "SER1")}));
        for (scanCommandType command : {USB_OPEN_DEV, USB_SCAN_LOCK, USB_SCAN_POWERON, USB_SCAN_UNLOCK, USB_CLOSE_DEV})
            daemon.Reply(command, Bytes(int32_t(0)));
    }

    bool HasProgress(const std::string& part) const
    {
        return std::any_of(progress.begin(), progress.end(),
                           [&](const std::string& line) { return line.find(part) != std::string::npos; });
    }
};

} // namespace

class TestClientScan : public QObject
{
    Q_OBJECT

    std::optional<ScanBench> m_bench; // a new one, its daemon started, for every case

private slots:
    void init()
    {
        m_bench.emplace();
        QVERIFY(m_bench->daemon.Start());
    }

    void networkScanCollectsEveryPage()
    {
        const PageScript script{m_bench->Base(), {Pattern(5000, 1), Pattern(2500, 2), Pattern(7, 3)}, 1000};
        m_bench->daemon.Reply(TCP_SCAN_ADFST, Bytes(TCPADFStatusRes{0, ADF_STATUS_LOADED}));
        m_bench->daemon.Reply(TCP_SCAN_START, NetScanReply(script));

        const ScanOutcome outcome = m_bench->RunNet(m_bench->Options(ScanSource::FeederMultiPage));

        QVERIFY2(outcome.Ok(), outcome.message.c_str());
        QCOMPARE(outcome.pages.size(), size_t(3));
        for (int page = 0; page < 3; ++page) {
            QCOMPARE(outcome.pages[size_t(page)].path, m_bench->OutPage(page + 1));
            QVERIFY(ReadFile(m_bench->OutPage(page + 1)) == script.pages[size_t(page)]);
            QCOMPARE(outcome.pages[size_t(page)].bytes, int64_t(script.pages[size_t(page)].size()));
        }
        QVERIFY(m_bench->daemon.WaitForCommands(5, 2s));
        QCOMPARE(m_bench->daemon.Codes(), (std::vector<int32_t>{TCP_SCAN_ADFST, TCP_SCAN_START, CMD_DELETE_FILE,
                                                                CMD_DELETE_FILE, CMD_DELETE_FILE}));
        QCOMPARE(m_bench->daemon.DeleteRequests(),
                 (std::vector<std::string>{m_bench->Base() + "_0.tmp", m_bench->Base() + "_1.tmp",
                                           m_bench->Base() + "_2.tmp"}));
        QVERIFY(QDir(m_bench->scanDir.path()).entryList({"*.tmp"}).isEmpty());
        QVERIFY(m_bench->HasProgress("page 3: " + m_bench->OutPage(3) + " (7 bytes)"));
    }

    void flatbedScanSkipsTheFeederAndSendsTheSettings()
    {
        m_bench->daemon.Reply(TCP_SCAN_START, NetScanReply({m_bench->Base(), {Pattern(300, 4)}, 100}));
        ScanJobOptions options = m_bench->Options();
        options.settings.mode = ColorMode::BlackAndWhite;
        options.settings.resolution = 600;

        const ScanOutcome outcome = m_bench->RunNet(options);

        QVERIFY2(outcome.Ok(), outcome.message.c_str());
        QCOMPARE(outcome.pages.at(0).path, m_bench->OutPage(1, "raw"));
        const ReceivedCommand start = m_bench->daemon.Commands().at(0);
        QCOMPARE(start.code, int32_t(TCP_SCAN_START));
        const TCPScanStartReq request = RecordFrom<TCPScanStartReq>(start.request);
        QCOMPARE(WireText(request.socket.szScannerIP), kScanner);
        QCOMPARE(int(request.info.bitDepth), 1);
        QCOMPARE(request.info.compType, COMPRESSION_NONE);
        QCOMPARE(int(request.info.xResolution), 600);
        QCOMPARE(int(request.info.feederEnabled), 0);
    }

    void pageFileStillBeingWrittenIsAwaited()
    {
        const std::string page = Pattern(4000, 5);
        std::thread lateWriter;
        m_bench->daemon.On(TCP_SCAN_START, [&](const std::string&) {
            const std::string reply = NetScanReply({m_bench->Base(), {page}, 1000});
            WritePageFile(m_bench->Base() + "_0.tmp", page.substr(0, 1500)); // the rest comes late
            lateWriter = std::thread([&] {
                std::this_thread::sleep_for(300ms);
                WritePageFile(m_bench->Base() + "_0.tmp", page);
            });
            return reply;
        });

        const ScanOutcome outcome = m_bench->RunNet(m_bench->Options());

        lateWriter.join();
        QVERIFY2(outcome.Ok(), outcome.message.c_str());
        QVERIFY(ReadFile(m_bench->OutPage(1)) == page);
    }

    void pageFileThatNeverFillsUpFails()
    {
        m_bench->daemon.On(TCP_SCAN_START, [&](const std::string&) {
            const std::string reply = NetScanReply({m_bench->Base(), {Pattern(900, 6)}, 300});
            WritePageFile(m_bench->Base() + "_0.tmp", "short");
            return reply;
        });
        ScanJobOptions options = m_bench->Options();
        options.settleLimit = 200ms;

        const ScanOutcome outcome = m_bench->RunNet(options);

        QVERIFY(!outcome.Ok());
        QCOMPARE(outcome.status, int(OVRA_STATUS_IO_ERROR));
        QVERIFY2(outcome.message.find("holds 5 of 900 bytes") != std::string::npos, outcome.message.c_str());
        QVERIFY(m_bench->daemon.WaitForCommands(2, 2s));
        QCOMPARE(m_bench->daemon.DeleteRequests(), std::vector<std::string>{m_bench->Base() + "_0.tmp"});
    }

    // A start the daemon refuses, and a scan that ends without a page.
    void networkStartFailures_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text");
        QTest::newRow("busy")
            << 3 << 3 << "starting the scan on 127.0.0.164 failed: the device is busy (SANE_STATUS_DEVICE_BUSY, 3)";
        QTest::newRow("refused") << 4 << 4 << "(SANE_STATUS_INVAL, 4)";
        QTest::newRow("unreachable") << 9 << 9 << "(SANE_STATUS_IO_ERROR, 9)";
        QTest::newRow("no memory") << 10 << 10 << "(SANE_STATUS_NO_MEM, 10)";
        QTest::newRow("no pages") << int(OVRA_STATUS_GOOD) << int(OVRA_STATUS_NO_DOCS)
                                  << "delivered no page: the document feeder is empty (SANE_STATUS_NO_DOCS, 7)";
    }

    void networkStartFailures()
    {
        QFETCH(int, result);
        QFETCH(int, status);
        QFETCH(QString, text);
        m_bench->daemon.Reply(TCP_SCAN_START, NetScanReply({m_bench->Base(), {}, 1}, result));

        const ScanOutcome outcome = m_bench->RunNet(m_bench->Options());

        QCOMPARE(outcome.status, status);
        QVERIFY2(outcome.message.find(text.toStdString()) != std::string::npos, outcome.message.c_str());
        QVERIFY(outcome.pages.empty());
        QCOMPARE(m_bench->daemon.Codes(), std::vector<int32_t>{TCP_SCAN_START});
    }

    void recordFailures_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("name");
        QTest::newRow("cancelled") << 2 << "SANE_STATUS_CANCELLED";
        QTest::newRow("invalid") << 4 << "SANE_STATUS_INVAL";
        QTest::newRow("jammed") << 6 << "SANE_STATUS_JAMMED";
        QTest::newRow("io error") << 9 << "SANE_STATUS_IO_ERROR";
        QTest::newRow("no memory") << 10 << "SANE_STATUS_NO_MEM";
        QTest::newRow("access denied") << 11 << "SANE_STATUS_ACCESS_DENIED";
        QTest::newRow("usb transfer") << -7 << "USB transfer failure";
    }

    void recordFailures()
    {
        QFETCH(int, result);
        QFETCH(QString, name);
        // Page 1 whole, page 2 broken off after one block.
        const std::string first = Pattern(2000, 7);
        std::string reply = NetScanReply({m_bench->Base(), {first}, 1000});
        reply.resize(reply.size() - sizeof(TCPRecordRes)); // without the end of data
        QVERIFY(WritePageFile(m_bench->Base() + "_1.tmp", std::string(500, 'x')));
        reply += Bytes(NetRecord(0, 0, 1, SCAN_STATUS_BEGIN_OF_PAGE)) + Bytes(NetRecord(0, 500, 2, 0))
                 + Bytes(NetRecord(result, 0, 2, 0));
        m_bench->daemon.Reply(TCP_SCAN_START, reply);

        const ScanOutcome outcome = m_bench->RunNet(m_bench->Options());

        QCOMPARE(outcome.status, result);
        QVERIFY2(outcome.message.find("the scan failed after 1 page(s) saved: ") == 0, outcome.message.c_str());
        QVERIFY(outcome.message.find(name.toStdString()) != std::string::npos);
        QCOMPARE(outcome.pages.size(), size_t(1));
        QVERIFY(ReadFile(m_bench->OutPage(1)) == first);
        QVERIFY(!QFile::exists(QString::fromStdString(m_bench->OutPage(2))));
        QVERIFY(m_bench->daemon.WaitForCommands(3, 2s));
        QCOMPARE(m_bench->daemon.DeleteRequests(),
                 (std::vector<std::string>{m_bench->Base() + "_0.tmp", m_bench->Base() + "_1.tmp"}));
    }

    void feederThatCannotDeliver_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << int(ADF_STATUS_EMPTY) << 7 << "the document feeder is empty";
        QTest::newRow("jammed") << int(ADF_STATUS_PAPER_JAM) << 6 << "the document feeder is jammed";
    }

    void feederThatCannotDeliver()
    {
        QFETCH(int, state);
        QFETCH(int, status);
        QFETCH(QString, text);
        m_bench->daemon.Reply(TCP_SCAN_ADFST, Bytes(TCPADFStatusRes{0, ADFStatus(state)}));

        const ScanOutcome outcome = m_bench->RunNet(m_bench->Options(ScanSource::FeederSinglePage));

        QCOMPARE(outcome.status, status);
        QVERIFY2(outcome.message.find(text.toStdString()) == 0, outcome.message.c_str());
        QCOMPARE(m_bench->daemon.Codes(), std::vector<int32_t>{TCP_SCAN_ADFST});
    }

    void unreadableFeederStatusDoesNotStopTheScan()
    {
        m_bench->daemon.Reply(TCP_SCAN_ADFST, Bytes(TCPADFStatusRes{9, ADFStatus(0)}));
        m_bench->daemon.Reply(TCP_SCAN_START, NetScanReply({m_bench->Base(), {Pattern(10, 8)}, 10}));

        const ScanOutcome outcome = m_bench->RunNet(m_bench->Options(ScanSource::FeederMultiPage));

        QVERIFY2(outcome.Ok(), outcome.message.c_str());
        QVERIFY(m_bench->HasProgress("the document feeder status is unknown"));
    }

    void daemonGoingAwayMidScan()
    {
        std::string reply = NetScanReply({m_bench->Base(), {Pattern(3000, 9)}, 1000});
        reply.resize(reply.size() - 2 * sizeof(TCPRecordRes)); // the last block and end of data never come
        m_bench->daemon.Reply(TCP_SCAN_START, reply);
        ScanJobOptions options = m_bench->Options();
        options.recordTimeout = 300ms;

        const ScanOutcome outcome = m_bench->RunNet(options);

        QCOMPARE(outcome.status, int(OVRA_STATUS_IO_ERROR));
        QVERIFY2(outcome.message.find("the scan broke off after 0 page(s) saved: no reply from the daemon in time")
                     != std::string::npos,
                 outcome.message.c_str());
        QVERIFY(m_bench->daemon.WaitForCommands(2, 2s));
        QCOMPARE(m_bench->daemon.DeleteRequests(), std::vector<std::string>{m_bench->Base() + "_0.tmp"});
    }

    void unusableSettingsAndFolderStopBeforeTheDaemon()
    {
        ScanJobOptions options = m_bench->Options();
        options.settings.resolution = 5000;
        ScanOutcome outcome = m_bench->RunNet(options);
        QCOMPARE(outcome.status, int(OVRA_STATUS_INVAL));
        QVERIFY(outcome.message.find("unusable scan settings: the resolution") == 0);

        QVERIFY(WritePageFile(m_bench->outDir.filePath("file").toStdString(), "x"));
        options = m_bench->Options();
        options.outputFolder = m_bench->outDir.filePath("file").toStdString();
        outcome = m_bench->RunNet(options);
        QCOMPARE(outcome.status, int(OVRA_STATUS_ACCESS_DENIED));
        QVERIFY(outcome.message.find("cannot create the output folder") == 0);
        QVERIFY(m_bench->daemon.Commands().empty());
    }

    void usbScanLocksScansAndUnlocks()
    {
        m_bench->PlugUsbScanners();
        const PageScript script{m_bench->Base(), {Pattern(3000, 10), Pattern(1200, 11)}, 512};
        m_bench->daemon.Reply(USB_SCAN_START, UsbScanReply(script));
        m_bench->daemon.Reply(USB_SCAN_ADFSTATUS, Bytes(USBScanAdfStatusRes{ADF_STATUS_LOADED, 0}));
        ScanJobOptions options = m_bench->Options(ScanSource::FeederMultiPage);
        options.settings.mode = ColorMode::Gray;

        const ScanOutcome outcome = m_bench->RunUsb(options);

        QVERIFY2(outcome.Ok(), outcome.message.c_str());
        QCOMPARE(outcome.pages.size(), size_t(2));
        QVERIFY(ReadFile(m_bench->OutPage(1)) == script.pages[0]);
        QVERIFY(ReadFile(m_bench->OutPage(2)) == script.pages[1]);
        QVERIFY(m_bench->daemon.WaitForCommands(11, 2s));
        QCOMPARE(m_bench->daemon.Codes(),
                 (std::vector<int32_t>{USB_FIND_DEV, USB_CLOSE_DEV, USB_OPEN_DEV, USB_SCAN_LOCK, USB_SCAN_ADFSTATUS,
                                       USB_SCAN_POWERON, USB_SCAN_START, CMD_DELETE_FILE, CMD_DELETE_FILE,
                                       USB_SCAN_UNLOCK, USB_CLOSE_DEV}));
        const std::vector<ReceivedCommand> sent = m_bench->daemon.Commands();
        const USBFindDevReq find = RecordFrom<USBFindDevReq>(sent[0].request);
        QCOMPARE(find.vid, 0x3A53);
        QCOMPARE(find.pid, 0x0101);
        QCOMPARE(int(find.compareWithPID), 1);
        QCOMPARE(RecordFrom<USBCommonReq>(sent[1].request).devfd, 8); // the other scanner let go
        const USBScanLockReq lock = RecordFrom<USBScanLockReq>(sent[3].request);
        QCOMPARE(lock.devfd, 9);
        QCOMPARE(int(lock.info.bitDepth), 8);
        QCOMPARE(int(lock.info.isClient), 1);
        QCOMPARE(RecordFrom<USBCommonReq>(sent[6].request).devfd, 9);
        QCOMPARE(RecordFrom<USBCommonReq>(sent[10].request).devfd, 9);
    }

    void usbLockRefused_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("text");
        QTest::newRow("busy") << 3 << "locking the scanner failed: the device is busy (SANE_STATUS_DEVICE_BUSY, 3)";
        QTest::newRow("io") << 9 << "locking the scanner failed: input/output error";
        QTest::newRow("device gone") << -19 << "(USB transfer failure, -19)";
    }

    void usbLockRefused()
    {
        QFETCH(int, result);
        QFETCH(QString, text);
        m_bench->PlugUsbScanners();
        m_bench->daemon.Reply(USB_SCAN_LOCK, Bytes(int32_t(result)));

        const ScanOutcome outcome = m_bench->RunUsb(m_bench->Options());

        QCOMPARE(outcome.status, result);
        QVERIFY2(outcome.message.find(text.toStdString()) != std::string::npos, outcome.message.c_str());
        QVERIFY(m_bench->daemon.WaitForCommands(5, 2s));
        const std::vector<int32_t> codes = m_bench->daemon.Codes();
        QVERIFY(std::find(codes.begin(), codes.end(), USB_SCAN_START) == codes.end());
        QCOMPARE(codes.back(), int32_t(USB_CLOSE_DEV));
    }

    void usbStartFailureAndFeederJamUnlock()
    {
        m_bench->PlugUsbScanners();
        USBScanStartRes start{};
        start.result = OVRA_STATUS_IO_ERROR;
        m_bench->daemon.Reply(USB_SCAN_START, Bytes(start));

        ScanOutcome outcome = m_bench->RunUsb(m_bench->Options());

        QCOMPARE(outcome.status, int(OVRA_STATUS_IO_ERROR));
        QVERIFY(outcome.message.find("starting the USB scan failed: ") == 0);
        QVERIFY(m_bench->daemon.WaitForCommands(8, 2s));
        std::vector<int32_t> codes = m_bench->daemon.Codes();
        QCOMPARE(codes[codes.size() - 2], int32_t(USB_SCAN_UNLOCK));

        m_bench->daemon.Reply(USB_SCAN_ADFSTATUS, Bytes(USBScanAdfStatusRes{ADF_STATUS_PAPER_JAM, 0}));
        outcome = m_bench->RunUsb(m_bench->Options(ScanSource::FeederSinglePage));
        QCOMPARE(outcome.status, int(OVRA_STATUS_JAMMED));
        QVERIFY(m_bench->daemon.WaitForCommands(codes.size() + 7, 2s));
        codes = m_bench->daemon.Codes();
        QCOMPARE(codes[codes.size() - 3], int32_t(USB_SCAN_ADFSTATUS));
        QCOMPARE(codes[codes.size() - 2], int32_t(USB_SCAN_UNLOCK));
    }

    void usbDeviceThatIsNotThere()
    {
        m_bench->PlugUsbScanners();

        const ScanOutcome outcome = m_bench->Run(UsbAddress(4, 2), m_bench->Options());

        QCOMPARE(outcome.status, int(OVRA_STATUS_INVAL));
        QCOMPARE(outcome.message, std::string("there is no USB device usb:004:002"));
        QVERIFY(m_bench->daemon.Commands().empty());

        m_bench->daemon.Reply(USB_FIND_DEV, Bytes(int32_t(0)));
        const ScanOutcome unreachable = m_bench->RunUsb(m_bench->Options());
        QVERIFY(unreachable.message.find("the scan daemon does not reach the USB device usb:001:005") == 0);
    }
};

QTEST_GUILESS_MAIN(TestClientScan)
#include "tst_clientscan.moc"
