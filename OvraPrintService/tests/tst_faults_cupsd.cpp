// cupsd stopped while the print service runs, end to end: the service binary in a
// temporary install root, a private cupsd and an emulated USB printer in another
// process. Without cupsd the service goes on (heartbeat, status polls, the list
// file as it was); once cupsd is back, its job watcher cancels the printer's own
// job again when the job is cancelled in CUPS.
#include "servicefixture.h"

#include "ovrapaths.h"
#include "printerstatebuilder.h"

#include <QtTest>

namespace {

const char* const c_szQueue = "ovra-usb";

std::vector<uint8_t> Body(uint8_t statusCode, uint32_t toner)
{
    ovraemu::EmuPrinterState state;
    state.product = "Ovra P2200DN";
    state.serial = "CUPSD00001";
    state.statusCode = statusCode;
    state.SetCounter(0x1000, toner);
    return ovraemu::BuildStatusBody(state);
}

QByteArray FileOf(const std::vector<uint8_t>& body)
{
    return QByteArray(7, '\0') + QByteArray(reinterpret_cast<const char*>(body.data()), int(body.size()));
}

QByteArray Heartbeat()
{
    QFile file(OvraPaths::HeartbeatFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestFaultsCupsd : public QObject
{
    Q_OBJECT
private slots:
    void serviceOutlivesAStoppedCupsd()
    {
        ServiceFixture fixture;
        QString error;
        QVERIFY2(fixture.StartCups(&error), qPrintable(error));
        QVERIFY(fixture.AddQueue(c_szQueue, "usb://Ovra/P2200DN?serial=CUPSD00001", "ovra-p2200dn"));
        UsbEmulator usb(fixture.Root());
        QVERIFY(usb.Start("3a53:0122:CUPSD00001"));
        QCOMPARE(usb.Command("status 2 " + HexBytes(Body(0x00, 9000))), QString("ok"));
        QVERIFY(fixture.StartService(usb.PreloadEnvironment()));
        QTRY_COMPARE_WITH_TIMEOUT(fixture.StatusFileBytes(c_szQueue), FileOf(Body(0x00, 9000)), 15000);

        fixture.Cups().Stop();
        const QByteArray beat = Heartbeat();
        QCOMPARE(usb.Command("status 2 " + HexBytes(Body(0x10, 8800))), QString("ok"));
        // Every job check now asks in vain (ten retries, each refused at once): a cycle of
        // the worker keeps the rhythm of an idle queue.
        QTRY_COMPARE_WITH_TIMEOUT(fixture.StatusFileBytes(c_szQueue), FileOf(Body(0x10, 8800)), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(Heartbeat() != beat, 15000);
        QCOMPARE(fixture.Service().state(), QProcess::Running);
        QCOMPARE(fixture.PublishedPrinters().size(), 1);
        QCOMPARE(fixture.PublishedPrinters().first().strName, QString(c_szQueue));

        // cupsd back with its queues: a job cancelled in CUPS is cancelled on the printer.
        QVERIFY2(fixture.Cups().Start(&error), qPrintable(error));
        const QString jobId = fixture.Cups().Print(c_szQueue, "job data", &error);
        QVERIFY2(!jobId.isEmpty(), qPrintable(error));
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.Cups().JobData(jobId).isEmpty(), 15000); // the backend holds it
        // Two more status polls: a whole cycle of job checks has seen the job printing.
        const int polls = usb.Count(2, "33");
        QTRY_VERIFY_WITH_TIMEOUT(usb.Count(2, "33") >= polls + 2, 20000);
        QCOMPARE(usb.Count(2, "34"), 0);
        QVERIFY2(fixture.Cups().Cancel(jobId, &error), qPrintable(error));
        QTRY_COMPARE_WITH_TIMEOUT(usb.Count(2, "34"), 1, 15000);
        QCOMPARE(fixture.Service().state(), QProcess::Running);
    }
};

QTEST_GUILESS_MAIN(TestFaultsCupsd)
#include "tst_faults_cupsd.moc"
