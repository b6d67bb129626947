// The service binary end to end with an emulated USB printer in another process: the
// service runs under umockdev's preload library, a private cupsd holds the queue.
#include "servicefixture.h"

#include <QtTest>

class TestServiceUsbE2E : public QObject
{
    Q_OBJECT
private slots:
    void usbPrinterLifeCycle()
    {
        ServiceFixture fixture;
        QString error;
        QVERIFY2(fixture.StartCups(&error), qPrintable(error));
        QVERIFY(fixture.AddQueue("ovra-usb", "usb://Ovra/P2200DN?serial=USBE2E01", "ovra-p2200dn"));

        UsbEmulator usb(fixture.Root());
        QVERIFY(usb.Start("3a53:0122:USBE2E01"));
        const std::vector<uint8_t> body = ovraemu::BuildStatusBody(EmuState("Ovra P2200DN", "USBE2E01", 0x10, 5000));
        QCOMPARE(usb.Command("status 2 " + HexBytes(body)), QString("ok"));
        QVERIFY(fixture.StartService(usb.PreloadEnvironment()));

        // The status file: seven zero bytes, then the printer's reply.
        const QByteArray expected = QByteArray(7, '\0') + QByteArray::fromHex(HexBytes(body).toLatin1());
        QTRY_COMPARE_WITH_TIMEOUT(fixture.StatusFileBytes("ovra-usb"), expected, 15000);
        QCOMPARE(fixture.PublishedPrinters().first().strPort, QString("Ovra/P2200DN?serial=USBE2E01"));

        // A job prints, the user cancels it in CUPS: one cancel request reaches the printer.
        const QString jobId = fixture.Cups().Print("ovra-usb", "job data", &error);
        QVERIFY2(!jobId.isEmpty(), qPrintable(error));
        QTest::qWait(5000); // a few job checks see it printing
        QCOMPARE(usb.Count(2, "34"), 0);
        QVERIFY2(fixture.Cups().Cancel(jobId, &error), qPrintable(error));
        QTRY_COMPARE_WITH_TIMEOUT(usb.Count(2, "34"), 1, 10000);
        QTest::qWait(4000);
        QCOMPARE(usb.Count(2, "34"), 1);

        // Unplugged: the status file goes at the next poll.
        QCOMPARE(usb.Command("unplug 2"), QString("ok"));
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.StatusFileExists("ovra-usb"), 10000);
        QCOMPARE(fixture.Service().state(), QProcess::Running);
    }
};

QTEST_GUILESS_MAIN(TestServiceUsbE2E)
#include "tst_service_usb_e2e.moc"
