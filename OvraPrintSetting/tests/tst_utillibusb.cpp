// The USB printer channel against emulated printers (umockdev's usbfs, real libusb):
// device search by IDs and serial prefix, endpoint choice, claim and kernel driver,
// the transfers and their result codes, and the channel's log lines.
#include "modelinfo.h"
#include "ovralog.h"
#include "ovraprogram.h"
#include "usbprintersession.h"
#include "utillibusb.h"

#include "ovraemu/usbprinterbed.h"
#include "usbprinters.h"
#include "installroot.h"

#include <libusb-1.0/libusb.h>

#include <QFile>
#include <QRegularExpression>
#include <QtTest>

using ovraemu::BulkReply;
using ovraemu::UsbFault;
using ovraemu::UsbPrinterBed;
using ovraemu::UsbPrinterConfig;

namespace {

const stModelInfo& Model() { return *FindModelByDisplayName("Ovra P2200DN"); }

UsbPrinterConfig Printer(const std::string& serial, bool hasSerial = true)
{
    return UsbPrinterOfModel("Ovra P2200DN", serial, hasSerial);
}

const std::vector<uint8_t> c_request = {0xA5, 0x00, 0x07, 0x50, 0xE0, 0x2E, 0x02, 0x01, 0x01, 0x01};

// One exchange with the request above; the reply goes to reply/replyLength.
struct Exchange {
    int iResult = 1;
    int iReplyLength = -100;
    std::vector<unsigned char> reply = std::vector<unsigned char>(1024, 0);

    Exchange(const QString& uri, int vid = Model().iVendorId, int pid = Model().iProductId)
    {
        std::vector<unsigned char> request(c_request.begin(), c_request.end());
        iResult = USBSendRecvData(vid, pid, uri, request.data(), int(request.size()), reply.data(), int(reply.size()),
                                  &iReplyLength);
    }
};

// The serial of the first device of the model in libusb's device list.
std::string FirstSerialInList()
{
    std::string serial;
    libusb_context* pContext = nullptr;
    if (libusb_init(&pContext) != 0)
        return serial;
    libusb_device** ppList = nullptr;
    const ssize_t count = libusb_get_device_list(pContext, &ppList);
    for (ssize_t i = 0; i < count && serial.empty(); ++i) {
        libusb_device_descriptor descriptor{};
        libusb_device_handle* pHandle = nullptr;
        if (libusb_get_device_descriptor(ppList[i], &descriptor) != 0 || descriptor.idProduct != Model().iProductId
            || libusb_open(ppList[i], &pHandle) != 0)
            continue;
        unsigned char text[64] = {0};
        if (libusb_get_string_descriptor_ascii(pHandle, descriptor.iSerialNumber, text, sizeof(text)) > 0)
            serial = reinterpret_cast<const char*>(text);
        libusb_close(pHandle);
    }
    if (count >= 0)
        libusb_free_device_list(ppList, 1);
    libusb_exit(pContext);
    return serial;
}

void Answer(UsbPrinterBed& bed, int id, const std::vector<uint8_t>& reply)
{
    bed.SetBulkHandler(id, [reply](const std::vector<uint8_t>&) { return BulkReply(reply); });
}

} // namespace

class TestUtilLibusb : public QObject
{
    Q_OBJECT
    TestInstallRoot m_root{"utillibusb"};
    QScopedPointer<UsbPrinterBed> m_bed;

    QStringList LogLines()
    {
        QFile file(CurrentLogFileName());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromLocal8Bit(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    // The messages of the channel's lines written since the last call.
    QStringList TakeMessages()
    {
        QStringList messages;
        for (const QString& line : LogLines()) {
            // Every line names the channel and one of its functions; others show up whole.
            const QRegularExpression source(
                "^\\[[-0-9 :.]+\\] \\(OvraPrintSetting/UtilLibusb@\\d+ "
                "(init_libusb|get_device_descriptor|get_device_endpoint|USBSendRecvData)\\) ");
            const QRegularExpressionMatch match = source.match(line);
            messages << (match.hasMatch() ? line.mid(match.capturedLength()) : line);
        }
        QFile::remove(CurrentLogFileName());
        return messages;
    }

private slots:
    void initTestCase()
    {
        SetOvraProgram(en_Program_PrintSetting);
        SetLogEnable(true);
    }

    void init()
    {
        m_bed.reset(); // one bed at a time
        m_bed.reset(new UsbPrinterBed);
        QFile::remove(CurrentLogFileName());
    }

    void cleanupTestCase() { m_bed.reset(); }

    void serialPrefixTellsTwoPrintersApart()
    {
        const int first = m_bed->AddPrinter(Printer("K246SN0001"));
        const int second = m_bed->AddPrinter(Printer("K246SN0002"));
        Answer(*m_bed, first, {0x01});
        Answer(*m_bed, second, {0x02, 0x02});

        Exchange toSecond("Ovra/P2200DN?serial=K246SN0002");
        QCOMPARE(toSecond.iResult, int(en_Usb_OK));
        QCOMPARE(toSecond.iReplyLength, 2);
        QCOMPARE(m_bed->BulkOutData(second), c_request);
        QVERIFY(m_bed->BulkOutData(first).empty());

        // A prefix reaches the first device it fits, in the order of the device list.
        const bool bFirstListedFirst = FirstSerialInList() == "K246SN0001";
        QVERIFY(bFirstListedFirst || FirstSerialInList() == "K246SN0002");
        Exchange byPrefix("Ovra/P2200DN?serial=K246SN000");
        QCOMPARE(byPrefix.iResult, int(en_Usb_OK));
        QCOMPARE(byPrefix.iReplyLength, bFirstListedFirst ? 1 : 2);
        QCOMPARE(m_bed->BulkOutData(first).size(), bFirstListedFirst ? c_request.size() : 0);
        QCOMPARE(m_bed->BulkOutData(second).size(), bFirstListedFirst ? c_request.size() : 2 * c_request.size());

        // Longer than any device's serial, other case, other IDs: nobody.
        QCOMPARE(Exchange("Ovra/P2200DN?serial=K246SN00021").iResult, int(en_Usb_NoDevice));
        QCOMPARE(Exchange("Ovra/P2200DN?serial=k246sn0002").iResult, int(en_Usb_NoDevice));
        QCOMPARE(Exchange("Ovra/P2200DN?serial=K246SN0002", Model().iVendorId, Model().iProductId + 1).iResult,
                 int(en_Usb_NoDevice));
        QCOMPARE(m_bed->BulkOutData(first).size() + m_bed->BulkOutData(second).size(), 2 * c_request.size());
    }

    void withoutSerialItemTheFirstReadableDeviceAnswers()
    {
        const int unreadable = m_bed->AddPrinter(Printer("", false));
        const int refusing = m_bed->AddPrinter(Printer("A-REFUSES"));
        const int readable = m_bed->AddPrinter(Printer("B-READABLE"));
        m_bed->SetFault(refusing, UsbFault::RefuseOpen);
        Answer(*m_bed, readable, {0x10, 0x20, 0x30});

        Exchange exchange("Ovra/P2200DN?interface=0");
        QCOMPARE(exchange.iResult, int(en_Usb_OK));
        QCOMPARE(exchange.iReplyLength, 3);
        QCOMPARE(exchange.reply[2], (unsigned char)0x30);
        QVERIFY(m_bed->BulkOutData(unreadable).empty());
        QVERIFY(m_bed->BulkOutData(refusing).empty());
        QCOMPARE(m_bed->BulkOutData(readable), c_request);
    }

    void devicesPassedOverGiveNoDevice()
    {
        m_bed->AddPrinter(Printer("", false));
        const int refusing = m_bed->AddPrinter(Printer("K246SN0001"));
        m_bed->SetFault(refusing, UsbFault::RefuseOpen);

        Exchange exchange("Ovra/P2200DN?serial=K246SN0001");
        QCOMPARE(exchange.iResult, int(en_Usb_NoDevice));
        QCOMPARE(exchange.iReplyLength, 0);
        QVERIFY(m_bed->BulkOutData(refusing).empty());
        QCOMPARE(TakeMessages(), QStringList({"*** get_device_descriptor failed! ",
                                              QString("*** error=%1 ").arg(libusb_error_name(-2)), "*** success! "}));
    }

    void kernelDriverIsDetachedAndStaysDetached()
    {
        const int id = m_bed->AddPrinter(Printer("K246SN0001"));
        m_bed->SetFault(id, UsbFault::KernelDriverActive);
        Answer(*m_bed, id, {0x00, 0x01});
        QCOMPARE(Exchange("Ovra/P2200DN?serial=K246SN0001").iResult, int(en_Usb_OK));
        QVERIFY(m_bed->KernelDriverDetached(id));
        // Still detached for the next exchange, which claims at once.
        QCOMPARE(Exchange("Ovra/P2200DN?serial=K246SN0001").iResult, int(en_Usb_OK));
        QVERIFY(m_bed->KernelDriverDetached(id));
        QCOMPARE(m_bed->BulkOutData(id).size(), 2 * c_request.size());
    }

    void claimThatCannotBeHadGivesMinus5()
    {
        const int id = m_bed->AddPrinter(Printer("K246SN0001"));
        m_bed->SetFault(id, UsbFault::FailClaim);
        QCOMPARE(Exchange("Ovra/P2200DN?serial=K246SN0001").iResult, int(en_Usb_ClaimFailed));
        QVERIFY(m_bed->BulkOutData(id).empty());
        const QStringList messages = TakeMessages();
        QCOMPARE(messages.size(), 3);
        QVERIFY2(messages.at(0).startsWith("*** libusb_detach_kernel_driver failed! rv-"), qPrintable(messages.at(0)));
        QVERIFY(messages.at(1).startsWith("*** error=LIBUSB_ERROR_"));
        QCOMPARE(messages.at(2), QString("*** success! "));
    }

    void silentPrinterGivesMinus7AfterTakingTheRequest()
    {
        const int id = m_bed->AddPrinter(Printer("K246SN0001"));
        m_bed->SetBulkHandler(id, [](const std::vector<uint8_t>&) { return BulkReply(); });
        QElapsedTimer timer;
        timer.start();
        Exchange exchange("Ovra/P2200DN?serial=K246SN0001");
        QCOMPARE(exchange.iResult, int(en_Usb_ReadFailed));
        QVERIFY2(timer.elapsed() >= 2900, "the read waits for its 3 s time-out");
        QCOMPARE(exchange.iReplyLength, 0);
        QCOMPARE(m_bed->BulkOutData(id), c_request);
        QCOMPARE(TakeMessages(),
                 QStringList({"*** bulk_transfer failed! ", "*** error=LIBUSB_ERROR_TIMEOUT ", "*** success! "}));
    }

    void zeroByteReplyIsSuccess()
    {
        const int id = m_bed->AddPrinter(Printer("K246SN0001"));
        Answer(*m_bed, id, {});
        Exchange exchange("Ovra/P2200DN?serial=K246SN0001");
        QCOMPARE(exchange.iResult, int(en_Usb_OK));
        QCOMPARE(exchange.iReplyLength, 0);
        QCOMPARE(exchange.reply, std::vector<unsigned char>(1024, 0));
        QCOMPARE(TakeMessages(), QStringList({"*** iRecvSize = 0 ", "*** success! "}));
    }

    void replyIsCutToTheCapacity()
    {
        const int id = m_bed->AddPrinter(Printer("K246SN0001"));
        Answer(*m_bed, id, std::vector<uint8_t>(100, 0x5A));
        std::vector<unsigned char> request(c_request.begin(), c_request.end());
        std::vector<unsigned char> reply(64 + 8, 0xEE);
        int iReplyLength = -1;
        QCOMPARE(USBSendRecvData(Model().iVendorId, Model().iProductId, "Ovra/P2200DN?serial=K246SN0001",
                                 request.data(), int(request.size()), reply.data(), 64, &iReplyLength),
                 int(en_Usb_OK));
        QCOMPARE(iReplyLength, 64);
        QCOMPARE(reply[63], (unsigned char)0x5A);
        QCOMPARE(reply[64], (unsigned char)0xEE); // nothing written past the capacity
    }

    void unpluggedPrinterIsNotFound()
    {
        const int id = m_bed->AddPrinter(Printer("K246SN0001"));
        m_bed->Unplug(id);
        QCOMPARE(Exchange("Ovra/P2200DN?serial=K246SN0001").iResult, int(en_Usb_NoDevice));
        QCOMPARE(Exchange("Ovra/P2200DN").iResult, int(en_Usb_NoDevice));
    }

    // The search and endpoint choice the firmware helper shares with this channel: the
    // library's session, with the channel's choices.
    void searchAndEndpointChoiceForTheFirmwareHelper()
    {
        m_bed->AddPrinter(Printer("K246SN0001"));
        {
            UsbPrinterSession session;
            QCOMPARE(session.Open(uint16_t(Model().iVendorId), uint16_t(Model().iProductId),
                                  SerialOfPort("Ovra/P2200DN?serial=K246SN0001"), UsbSerialRule::StartsWith,
                                  UsbInterface::PrinterBulk),
                     UsbResult::Ok);
            QVERIFY(session.IsOpen());
            QCOMPARE(session.BulkOutEndpoint(), uint8_t(0x01));
            QCOMPARE(session.BulkInEndpoint(), uint8_t(0x81));
            QCOMPARE(session.InterfaceNumber(), uint8_t(0));
        }

        UsbPrinterSession nobody;
        QCOMPARE(nobody.Open(0x1234, uint16_t(Model().iProductId), SerialOfPort("x?serial=K246SN0001"),
                             UsbSerialRule::StartsWith, UsbInterface::PrinterBulk),
                 UsbResult::NoDevice);
        QVERIFY(!nobody.IsOpen());
        QCOMPARE(SettingUsbCode(UsbResult::NoDevice), int(en_Usb_NoDevice));
    }
};

QTEST_GUILESS_MAIN(TestUtilLibusb)
#include "tst_utillibusb.moc"
