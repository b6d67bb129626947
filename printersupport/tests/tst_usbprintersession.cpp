// The library's USB printer session against emulated printers (umockdev's usbfs, real
// libusb): the two serial rules on the bus, the two interface choices, the claim with a
// kernel driver and a refused one, and the interface the destructor gives back. (The walk's
// results and the transfers through the programs: tst_utillibusb, tst_usbchannelfaults,
// tst_fwupdatetask, tst_statusworker_usb.)
#include "modelinfo.h"
#include "usbprintersession.h"

#include "ovraemu/usbprinterbed.h"
#include "usbprinters.h"

#include <libusb-1.0/libusb.h>

#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(UsbResult)

using ovraemu::BulkReply;
using ovraemu::UsbFault;
using ovraemu::UsbPrinterBed;
using ovraemu::UsbPrinterConfig;

namespace {

const stModelInfo& Model() { return *FindModelByDisplayName("Ovra P2200DN"); }
uint16_t Vid() { return uint16_t(Model().iVendorId); }
uint16_t Pid() { return uint16_t(Model().iProductId); }

UsbPrinterConfig Printer(const std::string& serial) { return UsbPrinterOfModel("Ovra P2200DN", serial); }

UsbResult OpenBulk(UsbPrinterSession& session, const QString& serial, UsbSerialRule rule = UsbSerialRule::StartsWith)
{
    return session.Open(Vid(), Pid(), serial, rule, UsbInterface::PrinterBulk);
}

const std::vector<unsigned char> c_request = {0xA5, 0x00, 0x07, 0x50};
const uint8_t c_byClassIn = LIBUSB_ENDPOINT_IN | LIBUSB_REQUEST_TYPE_CLASS | LIBUSB_RECIPIENT_INTERFACE;

} // namespace

class TestUsbPrinterSession : public QObject
{
    Q_OBJECT
    std::unique_ptr<UsbPrinterBed> m_bed;

private slots:
    void init()
    {
        m_bed.reset(); // one bed at a time
        m_bed.reset(new UsbPrinterBed);
    }

    void cleanupTestCase() { m_bed.reset(); }

    // The same bus, the same wanted serial: which printer each rule finds.
    void serialRulesOnTheBus_data()
    {
        QTest::addColumn<QString>("wanted");
        QTest::addColumn<int>("rule");
        QTest::addColumn<UsbResult>("result");
        QTest::addColumn<int>("printer"); // 0 or 1: the one that got the request; -1: none
        const int startsWith = int(UsbSerialRule::StartsWith);
        const int ignoringCase = int(UsbSerialRule::StartsWithIgnoringCase);
        QTest::newRow("whole, StartsWith") << "K246SN0002" << startsWith << UsbResult::Ok << 1;
        QTest::newRow("lower case, StartsWith") << "k246sn0002" << startsWith << UsbResult::NoDevice << -1;
        QTest::newRow("lower case, IgnoringCase") << "k246sn0002" << ignoringCase << UsbResult::Ok << 1;
        QTest::newRow("lower-case prefix, IgnoringCase") << "k246sn0001" << ignoringCase << UsbResult::Ok << 0;
    }

    void serialRulesOnTheBus()
    {
        QFETCH(QString, wanted);
        QFETCH(int, rule);
        QFETCH(UsbResult, result);
        QFETCH(int, printer);
        const int ids[] = {m_bed->AddPrinter(Printer("K246SN0001")), m_bed->AddPrinter(Printer("K246SN0002"))};
        UsbPrinterSession session;
        QCOMPARE(OpenBulk(session, wanted, UsbSerialRule(rule)), result);
        QCOMPARE(session.IsOpen(), result == UsbResult::Ok);
        if (result != UsbResult::Ok)
            return;
        QCOMPARE(session.BulkOut(c_request.data(), int(c_request.size()), 3000), UsbResult::Ok);
        QCOMPARE(m_bed->BulkOutData(ids[printer]), c_request);
        QVERIFY(m_bed->BulkOutData(ids[1 - printer]).empty());
    }

    // A printer whose printer-class interface has no bulk OUT 0x01: no interface for bulk
    // transfers, while interface 0 serves class requests all the same.
    void interfaceChoices()
    {
        UsbPrinterConfig config = Printer("K246SN0001");
        config.bulkOutEndpoint = 0x02;
        const int id = m_bed->AddPrinter(config);
        m_bed->SetStatusReply(id, std::vector<uint8_t>(40, 0x5A));

        UsbPrinterSession bulk;
        QCOMPARE(OpenBulk(bulk, "K246SN0001"), UsbResult::NoInterface);
        QVERIFY(!bulk.IsOpen());

        UsbPrinterSession control;
        QCOMPARE(control.Open(Vid(), Pid(), "K246SN0001", UsbSerialRule::StartsWithIgnoringCase,
                              UsbInterface::Interface0),
                 UsbResult::Ok);
        QCOMPARE(control.InterfaceNumber(), uint8_t(0));
        std::vector<unsigned char> reply(1024, 0);
        QCOMPARE(control.ControlIn(c_byClassIn, ovraemu::kStatusRequest, 0, 0, reply.data(), uint16_t(reply.size()),
                                   2000),
                 40);
        QCOMPARE(control.LibusbError(), 40);
        QCOMPARE(reply[39], (unsigned char)0x5A);
        QCOMPARE(m_bed->CountRequests(id, ovraemu::kStatusRequest), 1);
    }

    void kernelDriverIsDetached_data()
    {
        QTest::addColumn<int>("choice");
        QTest::newRow("Interface0") << int(UsbInterface::Interface0);
        QTest::newRow("PrinterBulk") << int(UsbInterface::PrinterBulk);
    }

    void kernelDriverIsDetached()
    {
        QFETCH(int, choice);
        const int id = m_bed->AddPrinter(Printer("K246SN0001"));
        m_bed->SetFault(id, UsbFault::KernelDriverActive);
        UsbPrinterSession session;
        QCOMPARE(session.Open(Vid(), Pid(), "K246SN0001", UsbSerialRule::StartsWith, UsbInterface(choice)),
                 UsbResult::Ok);
        QVERIFY(session.KernelDriverWasActive());
        QVERIFY(session.KernelDriverDetached());
        QCOMPARE(session.DetachError(), 0);
        QVERIFY(m_bed->KernelDriverDetached(id));
    }

    // A claim refused with no kernel driver to take it from: the claim's error is told,
    // and the detach tried after it apart.
    void refusedClaim()
    {
        const int id = m_bed->AddPrinter(Printer("K246SN0001"));
        m_bed->SetFault(id, UsbFault::FailClaim);
        UsbPrinterSession session;
        QCOMPARE(OpenBulk(session, "K246SN0001"), UsbResult::ClaimFailed);
        QCOMPARE(session.LibusbError(), int(LIBUSB_ERROR_BUSY));
        QVERIFY(session.DetachError() < 0);
        QVERIFY(!session.KernelDriverWasActive());
        QVERIFY(!session.KernelDriverDetached());
        QVERIFY(!session.IsOpen());
    }

    // The interface is given back when a session ends: until then another session cannot
    // claim it.
    void destructorReleasesTheInterface()
    {
        const int id = m_bed->AddPrinter(Printer("K246SN0001"));
        m_bed->SetBulkHandler(id, [](const std::vector<uint8_t>&) { return BulkReply(std::vector<uint8_t>{1, 2}); });
        auto first = std::make_unique<UsbPrinterSession>();
        QCOMPARE(OpenBulk(*first, "K246SN0001"), UsbResult::Ok);
        {
            UsbPrinterSession second;
            QCOMPARE(OpenBulk(second, "K246SN0001"), UsbResult::ClaimFailed);
        }
        first.reset();
        UsbPrinterSession third;
        QCOMPARE(OpenBulk(third, "K246SN0001"), UsbResult::Ok);
        QCOMPARE(third.BulkOut(c_request.data(), int(c_request.size()), 3000), UsbResult::Ok);
        std::vector<unsigned char> reply(16, 0);
        int iReceived = -1;
        QCOMPARE(third.BulkIn(reply.data(), int(reply.size()), 3000, &iReceived), UsbResult::Ok);
        QCOMPARE(iReceived, 2);
        QCOMPARE(reply[1], (unsigned char)2);
    }
};

QTEST_GUILESS_MAIN(TestUsbPrinterSession)
#include "tst_usbprintersession.moc"
