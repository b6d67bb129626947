// The service binary end to end: a private cupsd with a network queue, an emulated
// network printer, the real threads and files.
#include "servicefixture.h"

#include "ovraemu/netprinter.h"

#include <QtTest>

using ovraemu::EmuPrinterState;
using ovraemu::NetPrinter;
using ovraemu::NetReplyMode;

namespace {

const char c_szAddress[] = "127.0.0.61";

EmuPrinterState Ready()
{
    EmuPrinterState state;
    state.product = "Ovra MK246";
    state.serial = "NET61";
    state.SetCounter(0x1000, 8000);
    return state;
}

int StateOf(ServiceFixture& fixture, const QString& queue)
{
    stPrinterState state;
    return fixture.ReadState(queue, state) ? state.enCurrentStatus : -1;
}

} // namespace

class TestServiceNetE2E : public QObject
{
    Q_OBJECT
private slots:
    void networkPrinterLifeCycle()
    {
        ServiceFixture fixture;
        QString error;
        QVERIFY2(fixture.StartCups(&error), qPrintable(error));
        QVERIFY(fixture.AddQueue("ovra-net", QString("socket://%1:9100").arg(c_szAddress), "ovra-mk246"));
        QVERIFY(fixture.AddQueue("ovra-ipp", "ipp://127.0.0.62/ipp/print", "ovra-p2200dn"));
        QVERIFY(fixture.AddQueue("acme", "socket://127.0.0.63:9100", "acme-laserjet-100"));

        NetPrinter printer(c_szAddress, Ready());
        std::string bindError;
        QVERIFY2(printer.Start(&bindError), bindError.c_str());
        // Started as a user collecting a log for a bug report would start it.
        QProcessEnvironment debugLog;
        debugLog.insert("OVRA_DEBUG_LOG", "1");
        QVERIFY(fixture.StartService(debugLog));

        // Inventory: only the supported socket queue.
        QTRY_COMPARE_WITH_TIMEOUT(fixture.PublishedPrinters().size(), 1, 10000);
        const stPrinterInfo info = fixture.PublishedPrinters().first();
        QCOMPARE(info.strName, QString("ovra-net"));
        QCOMPARE(info.iConnectType, int(en_Connect_Network));
        QCOMPARE(info.strPort, QString(c_szAddress));
        QCOMPARE(info.enType, QString("Ovra MK246"));

        // First poll while "Offline": the reply lands in the status file.
        QTRY_COMPARE_WITH_TIMEOUT(StateOf(fixture, "ovra-net"), int(en_Status_Ready), 15000);

        // A second instance gives way at once.
        QCOMPARE(fixture.RunSecondInstance(10000), 0);
        QCOMPARE(fixture.Service().state(), QProcess::Running);

        // "Ready" and CUPS idle: not polled.
        QTest::qWait(12000); // past the first cycle's job checks
        const int iIdlePolls = printer.StatusRequests();
        QTest::qWait(3000);
        QCOMPARE(printer.StatusRequests(), iIdlePolls);

        // A job prints: CUPS says so, the printer is polled again and its new state shows.
        const QString jobId = fixture.Cups().Print("ovra-net", "job data", &error);
        QVERIFY2(!jobId.isEmpty(), qPrintable(error));
        QTRY_VERIFY_WITH_TIMEOUT(printer.StatusRequests() > iIdlePolls, 10000);
        EmuPrinterState printing = Ready();
        printing.statusCode = 0x10;
        printer.SetState(printing);
        QTRY_COMPARE_WITH_TIMEOUT(StateOf(fixture, "ovra-net"), int(en_Status_Printing), 10000);

        // Silent: the state stays for five failed polls, the sixth drops the status file.
        printer.SetReplyMode(NetReplyMode::Silent);
        const int iBefore = printer.StatusRequests();
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.StatusFileExists("ovra-net"), 40000);
        const int iFailed = printer.StatusRequests() - iBefore;
        QVERIFY2(iFailed == 6 || iFailed == 7, qPrintable(QString::number(iFailed)));

        // Back: the next poll (the service waits 10 s while "Offline") brings the file back.
        printer.SetReplyMode(NetReplyMode::Normal);
        QTRY_COMPARE_WITH_TIMEOUT(StateOf(fixture, "ovra-net"), int(en_Status_Printing), 25000);

        // A cancelled job on a network queue sends the printer nothing but status requests.
        QVERIFY(fixture.Cups().Cancel(jobId, &error));
        QTest::qWait(3000);
        for (const std::vector<uint8_t>& datagram : printer.Received())
            QCOMPARE(datagram.size(), size_t(15));
        QCOMPARE(fixture.Service().state(), QProcess::Running);

        const QStringList logs = QDir(fixture.Root() + "/root/log").entryList({"log_srv_*_0.log"}, QDir::Files);
        QCOMPARE(logs.size(), 1);
        QFile log(fixture.Root() + "/root/log/" + logs.first());
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().contains("Start service, enable log"));
    }
};

QTEST_GUILESS_MAIN(TestServiceNetE2E)
#include "tst_service_net_e2e.moc"
