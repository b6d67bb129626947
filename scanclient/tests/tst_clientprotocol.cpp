// ScanClient on the wire against a stand-in daemon: each command's code and request
// record, each reply record read back, and the transport failures.
#include "fakedaemon.h"

#include "ovrascan/scanclient.h"

#include <QtTest>

#include <optional>

using namespace ovrascan;
using namespace clienttest;
using namespace std::chrono_literals;

namespace {

std::string Int(int32_t value) { return Bytes(value); }

} // namespace

class TestClientProtocol : public QObject
{
    Q_OBJECT

    // A new stand-in daemon for every case, and a client connected to it.
    std::optional<FakeDaemon> m_daemon;
    std::optional<ScanClient> m_client;

private slots:
    void init()
    {
        m_daemon.emplace();
        QVERIFY(m_daemon->Start());
        std::string error;
        m_client.emplace(DaemonConnection::ConnectLocal(m_daemon->Port(), &error));
        m_client->SetReplyTimeout(2s);
    }

    void findDevicesReadsCountAndRecords()
    {
        m_daemon->Reply(USB_FIND_DEV,
                        FindDevReply({FoundUsbDevice(5, 0x3A53, 0x0101, "A1"), FoundUsbDevice(6, 0, 0, "")}));

        const Reply<FoundDevices> found = m_client->FindUsbDevices(0x3A53, 0x0101, true);

        QVERIFY2(found.Ok(), found.transportError.c_str());
        QCOMPARE(found.value.count, 2);
        QCOMPARE(found.value.devices.size(), size_t(2));
        QCOMPARE(found.value.devices[0].fd, 5);
        QCOMPARE(WireText(found.value.devices[0].SerialNumber), std::string("A1"));
        QCOMPARE(found.value.devices[1].fd, 6);
        const ReceivedCommand sent = m_daemon->Commands().at(0);
        QCOMPARE(sent.code, int32_t(USB_FIND_DEV));
        const USBFindDevReq request = RecordFrom<USBFindDevReq>(sent.request);
        QCOMPARE(request.vid, 0x3A53);
        QCOMPARE(request.pid, 0x0101);
        QCOMPARE(int(request.compareWithPID), 1);
    }

    void findDevicesWithoutUsbDirectory()
    {
        m_daemon->Reply(USB_FIND_DEV, Int(-1));

        const Reply<FoundDevices> found = m_client->FindUsbDevices(0x3A53, 0, false);

        QVERIFY(found.Ok());
        QCOMPARE(found.value.count, -1);
        QVERIFY(found.value.devices.empty());
    }

    void usbDeviceCommands()
    {
        m_daemon->Reply(USB_OPEN_DEV, Int(0));
        m_daemon->Reply(USB_SCAN_LOCK, Int(3));
        m_daemon->Reply(USB_SCAN_POWERON, Int(0));
        m_daemon->Reply(USB_SCAN_ADFSTATUS, Bytes(USBScanAdfStatusRes{ADF_STATUS_LOADED, 0}));
        m_daemon->Reply(USB_SCAN_UNLOCK, Int(9));
        m_daemon->Reply(USB_CLOSE_DEV, Int(0));
        m_daemon->Reply(USB_SCAN_ABORT, Int(0));
        SettingInfo settings{};
        settings.bitDepth = 8;
        settings.xResolution = 600;

        QCOMPARE(m_client->OpenDevice(11).value, 0);
        QCOMPARE(m_client->Lock(11, settings).value, 3);
        QCOMPARE(m_client->PowerOn(11).value, 0);
        const Reply<USBScanAdfStatusRes> feeder = m_client->UsbFeederStatus(11);
        QCOMPARE(m_client->Unlock(11).value, 9);
        QCOMPARE(m_client->CloseDevice(11).value, 0);
        QCOMPARE(m_client->UsbAbort(11, "/scan/ovrascandata_1_0").value, 0);

        QCOMPARE(feeder.value.st, ADF_STATUS_LOADED);
        QCOMPARE(m_daemon->Codes(),
                 (std::vector<int32_t>{USB_OPEN_DEV, USB_SCAN_LOCK, USB_SCAN_POWERON, USB_SCAN_ADFSTATUS,
                                       USB_SCAN_UNLOCK, USB_CLOSE_DEV, USB_SCAN_ABORT}));
        const std::vector<ReceivedCommand> sent = m_daemon->Commands();
        QCOMPARE(RecordFrom<USBCommonReq>(sent[0].request).devfd, 11);
        const USBScanLockReq lock = RecordFrom<USBScanLockReq>(sent[1].request);
        QCOMPARE(lock.devfd, 11);
        QCOMPARE(int(lock.info.bitDepth), 8);
        QCOMPARE(int(lock.info.xResolution), 600);
        const USBScanAbortReq abort = RecordFrom<USBScanAbortReq>(sent[6].request);
        QCOMPARE(abort.devfd, 11);
        QCOMPARE(WireText(abort.fileName), std::string("/scan/ovrascandata_1_0"));
    }

    void usbScanStartAndRecords()
    {
        USBScanStartRes start{};
        snprintf(start.fileName, sizeof start.fileName, "/scan/ovrascandata_9_0");
        m_daemon->Reply(USB_SCAN_START, Bytes(start) + Bytes(UsbRecord(SCAN_STATUS_BEGIN_OF_PAGE, 0, 0, 0))
                                            + Bytes(UsbRecord(0, 1, 4096, 0)));

        const Reply<USBScanStartRes> started = m_client->UsbScanStart(3);
        const Reply<USBScanRecordRes> first = m_client->NextUsbRecord(1s);
        const Reply<USBScanRecordRes> second = m_client->NextUsbRecord(1s);
        const Reply<USBScanRecordRes> none = m_client->NextUsbRecord(200ms);

        QCOMPARE(WireText(started.value.fileName), std::string("/scan/ovrascandata_9_0"));
        QCOMPARE(first.value.st, SCAN_STATUS_BEGIN_OF_PAGE);
        QCOMPARE(second.value.fileIndex, 1);
        QCOMPARE(second.value.dataSize, 4096);
        QVERIFY(!none.Ok());
        QCOMPARE(none.transportError, std::string("no reply from the daemon in time"));
    }

    void networkCommands()
    {
        TCPDevPropertiesRes properties{};
        properties.devPro.maxres = 1200;
        properties.devPro.color = 1;
        m_daemon->Reply(TCP_SCAN_DEVPROPERTIES, Bytes(properties));
        m_daemon->Reply(TCP_SCAN_ADFST, Bytes(TCPADFStatusRes{0, ADF_STATUS_PAPER_JAM}));
        m_daemon->Reply(TCP_SEND_OSL, Bytes(TCPOSLRes{0, 5}) + "K246!");
        m_daemon->Reply(TCP_SCAN_ABORT, Int(0));
        const OvraSocket scanner = NetScannerSocket("127.0.0.161", 12);

        const Reply<TCPDevPropertiesRes> caps = m_client->NetProperties(scanner);
        const Reply<TCPADFStatusRes> feeder = m_client->NetFeederStatus(scanner);
        const Reply<AttributeReply> family = m_client->NetAttribute(scanner, OSL_CMD_SUMMARY);
        const Reply<int> abort = m_client->NetAbort(scanner, "/scan/ovrascandata_2_1");

        QCOMPARE(caps.value.devPro.maxres, 1200u);
        QCOMPARE(int(caps.value.devPro.color), 1);
        QCOMPARE(feeder.value.st, ADF_STATUS_PAPER_JAM);
        QCOMPARE(family.value.text, std::string("K246!"));
        QVERIFY(abort.Ok());
        const std::vector<ReceivedCommand> sent = m_daemon->Commands();
        for (const ReceivedCommand& command : sent) {
            const TCPCommonReq common = RecordFrom<TCPCommonReq>(command.request);
            QCOMPARE(common.socket.tcpFromScanner, 12);
            QCOMPARE(WireText(common.socket.szScannerIP), std::string("127.0.0.161"));
        }
        QCOMPARE(RecordFrom<TCPOSLReq>(sent[2].request).type, OSL_CMD_SUMMARY);
        QCOMPARE(WireText(RecordFrom<TCPScanAbortReq>(sent[3].request).fileName),
                 std::string("/scan/ovrascandata_2_1"));
    }

    void networkScanStartAndRecords()
    {
        QTemporaryDir dir;
        const PageScript script{dir.filePath("ovrascandata_4_0").toStdString(), {"abc"}, 2};
        m_daemon->Reply(TCP_SCAN_START, NetScanReply(script));
        SettingInfo settings{};
        settings.feederEnabled = 1;
        settings.isClient = 1;

        const Reply<TCPScanStartRes> started = m_client->NetScanStart(NetScannerSocket("127.0.0.162"), settings);
        std::vector<TCPRecordRes> records;
        for (int i = 0; i < 4; ++i)
            records.push_back(m_client->NextNetRecord(1s).value);

        QCOMPARE(started.value.result, 0);
        QCOMPARE(started.value.socketDataFd, 7);
        QCOMPARE(WireText(started.value.fileName), script.baseName);
        QCOMPARE(records[0].st, SCAN_STATUS_BEGIN_OF_PAGE);
        QCOMPARE(records[1].bufferLen, 2);
        QCOMPARE(records[2].bufferLen, 1);
        QCOMPARE(records[3].result, int(OVRA_STATUS_EOF));
        const TCPScanStartReq request = RecordFrom<TCPScanStartReq>(m_daemon->Commands().at(0).request);
        QCOMPARE(request.socket.tcpFromScanner, -1);
        QCOMPARE(WireText(request.socket.szScannerIP), std::string("127.0.0.162"));
        QCOMPARE(int(request.info.feederEnabled), 1);
        QCOMPARE(int(request.info.isClient), 1);
    }

    void deleteFileSendsThePathAndWaitsForNothing()
    {
        m_daemon->Reply(USB_CLOSE_DEV, Int(0));
        QTemporaryDir dir;
        const std::string page = dir.filePath("ovrascandata_1_0_0.tmp").toStdString();
        QVERIFY(WritePageFile(page, "x"));

        QVERIFY(m_client->DeleteFile(page));
        QCOMPARE(m_client->CloseDevice(1).value, 0); // the next reply is the close's

        QCOMPARE(m_daemon->DeleteRequests(), std::vector<std::string>{page});
        QVERIFY(!FileExists(page));
        QVERIFY(!m_client->DeleteFile(std::string(300, 'x'))); // does not fit the record
    }

    void transportFailures()
    {
        m_daemon->Reply(USB_SCAN_LOCK, std::string(2, '\0')); // half a reply
        m_daemon->HangUpOn(USB_SCAN_UNLOCK);
        m_client->SetReplyTimeout(300ms);

        const Reply<int> silent = m_client->OpenDevice(1); // no handler: no reply
        const Reply<int> half = m_client->Lock(1, SettingInfo{});
        const Reply<int> closed = m_client->Unlock(1);

        QCOMPARE(silent.transportError, std::string("USB_OPEN_DEV: no reply from the daemon in time"));
        QCOMPARE(half.transportError, std::string("USB_SCAN_LOCK: no reply from the daemon in time"));
        QCOMPARE(closed.transportError, std::string("USB_SCAN_UNLOCK: the daemon closed the connection"));
        const Reply<int> afterwards = m_client->PowerOn(1);
        QVERIFY(!afterwards.Ok());
    }

    void oversizedAttributeTextIsRefused()
    {
        m_daemon->Reply(TCP_SEND_OSL, Bytes(TCPOSLRes{0, 100000}));

        const Reply<AttributeReply> reply = m_client->NetAttribute(NetScannerSocket("127.0.0.163"), OSL_CMD_GETLIST);

        QVERIFY(!reply.Ok());
        QVERIFY(reply.transportError.find("100000") != std::string::npos);
    }

    void daemonPortFromTheEnvironment()
    {
        qputenv("OVRA_SCAN_DAEMON_PORT", "7123");
        QCOMPARE(DaemonPort(), uint16_t(7123));
        qputenv("OVRA_SCAN_DAEMON_PORT", "70000");
        QCOMPARE(DaemonPort(), uint16_t(7001));
        qputenv("OVRA_SCAN_DAEMON_PORT", "12ab");
        QCOMPARE(DaemonPort(), uint16_t(7001));
        qunsetenv("OVRA_SCAN_DAEMON_PORT");
        QCOMPARE(DaemonPort(), uint16_t(7001));
    }

    void connectionRefusedNamesTheDaemon()
    {
        const uint16_t port = UnusedPort();
        std::string error;

        const DaemonConnection connection = DaemonConnection::ConnectLocal(port, &error);

        QVERIFY(!connection.IsOpen());
        QVERIFY(error.find("127.0.0.1:" + std::to_string(port)) != std::string::npos);
        QVERIFY(error.find("OvraScanDaemon") != std::string::npos);
    }
};

QTEST_GUILESS_MAIN(TestClientProtocol)
#include "tst_clientprotocol.moc"
