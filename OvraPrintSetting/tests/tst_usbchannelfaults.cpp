// The USB printer channel against printers that do not behave like the common one:
// a printer-class interface whose bulk OUT endpoint is not 0x01, and a printer that
// takes only part of a request. The channel's log is switched on in a temporary
// install root and read back.
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
using ovraemu::UsbAlternateSetting;
using ovraemu::UsbPrinterBed;
using ovraemu::UsbPrinterConfig;

namespace {

const stModelInfo& Model() { return *FindModelByDisplayName("Ovra P2200DN"); }

const char* const c_szURI = "Ovra/P2200DN?serial=K246SN0001";

UsbPrinterConfig Printer() { return UsbPrinterOfModel("Ovra P2200DN", "K246SN0001"); }

UsbAlternateSetting PrinterSetting(uint8_t outEndpoint, uint8_t inEndpoint)
{
    UsbAlternateSetting setting;
    setting.interfaceClass = 7;
    setting.interfaceSubClass = 1;
    setting.interfaceProtocol = 2;
    setting.bulkOutEndpoint = outEndpoint;
    setting.bulkInEndpoint = inEndpoint;
    return setting;
}

const std::vector<uint8_t> c_request = {0xA5, 0x00, 0x07, 0x50, 0xE0, 0x2E, 0x02, 0x01, 0x01, 0x01};

struct Exchange {
    int iResult = 1;
    int iReplyLength = -100;
    std::vector<unsigned char> reply = std::vector<unsigned char>(1024, 0);

    Exchange()
    {
        std::vector<unsigned char> request(c_request.begin(), c_request.end());
        iResult = USBSendRecvData(Model().iVendorId, Model().iProductId, c_szURI, request.data(), int(request.size()),
                                  reply.data(), int(reply.size()), &iReplyLength);
    }
};

} // namespace

class TestUsbChannelFaults : public QObject
{
    Q_OBJECT
    TestInstallRoot m_root{"usbchannel"};
    QScopedPointer<UsbPrinterBed> m_bed;

    // The messages of the lines written since the last call, without time stamp and
    // source; a line of another source or function stays whole.
    QStringList TakeMessages()
    {
        QFile file(CurrentLogFileName());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QStringList lines = QString::fromLocal8Bit(file.readAll()).split('\n', Qt::SkipEmptyParts);
        file.remove();
        const QRegularExpression source("^\\[[-0-9 :.]+\\] \\(OvraPrintSetting/UtilLibusb@\\d+ "
                                        "(init_libusb|get_device_descriptor|get_device_endpoint|USBSendRecvData)\\) ");
        QStringList messages;
        for (const QString& line : lines) {
            const QRegularExpressionMatch match = source.match(line);
            messages << (match.hasMatch() ? line.mid(match.capturedLength()) : line);
        }
        return messages;
    }

    void Answer(int id, const std::vector<uint8_t>& reply)
    {
        m_bed->SetBulkHandler(id, [reply](const std::vector<uint8_t>&) { return BulkReply(reply); });
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

    void outEndpointOtherThan0x01GivesMinus3()
    {
        UsbPrinterConfig config = Printer();
        config.bulkOutEndpoint = 0x02;
        const int id = m_bed->AddPrinter(config);
        Answer(id, {0x01});

        const Exchange exchange;
        QCOMPARE(exchange.iResult, int(en_Usb_NoEndpoint));
        QCOMPARE(exchange.iReplyLength, 0);
        QVERIFY(m_bed->BulkOutData(id).empty());
        QCOMPARE(TakeMessages(), QStringList({"*** get_device_endpoint failed! rv:-2 ",
                                              QString("*** error=%1 ").arg(libusb_error_name(-2)), "*** success! "}));
    }

    void noSettingWithOut0x01GivesMinus3()
    {
        UsbPrinterConfig config = Printer();
        config.bulkOutEndpoint = 0x03;
        config.bulkInEndpoint = 0x83;
        config.alternateSettings = {PrinterSetting(0x04, 0x84), PrinterSetting(0x02, 0x81)};
        const int id = m_bed->AddPrinter(config);
        QCOMPARE(Exchange().iResult, int(en_Usb_NoEndpoint));
        QVERIFY(m_bed->BulkOutData(id).empty());
    }

    // The channel takes the first setting with OUT 0x01 but never selects it: the
    // device stays in its default setting, which has no endpoint 0x01, so the write
    // cannot be made.
    void out0x01OnlyInAnAlternateSettingIsChosenButNotSelected()
    {
        UsbPrinterConfig config = Printer();
        config.bulkOutEndpoint = 0x02;
        config.bulkInEndpoint = 0x82;
        config.alternateSettings = {PrinterSetting(0x01, 0x81)};
        const int id = m_bed->AddPrinter(config);
        Answer(id, {0x01});

        {
            UsbPrinterSession session;
            QCOMPARE(session.Open(uint16_t(Model().iVendorId), uint16_t(Model().iProductId), SerialOfPort(c_szURI),
                                  UsbSerialRule::StartsWith, UsbInterface::PrinterBulk),
                     UsbResult::Ok);
            QCOMPARE(session.BulkOutEndpoint(), uint8_t(0x01));
            QCOMPARE(session.BulkInEndpoint(), uint8_t(0x81));
            QCOMPARE(session.InterfaceNumber(), uint8_t(0));
        }
        TakeMessages();

        QCOMPARE(Exchange().iResult, int(en_Usb_WriteFailed));
        QVERIFY(m_bed->BulkOutData(id).empty());
        const QStringList messages = TakeMessages();
        QCOMPARE(messages.size(), 3);
        QCOMPARE(messages.at(0), QString("*** bulk_transfer failed! "));
        QVERIFY2(messages.at(1).startsWith("*** error=LIBUSB_ERROR_"), qPrintable(messages.at(1)));
        QCOMPARE(messages.at(2), QString("*** success! "));
    }

    void shortWriteGivesMinus6WithoutErrorLine()
    {
        const int id = m_bed->AddPrinter(Printer());
        m_bed->ShortenBulkOut(id, 6);
        Answer(id, {0x01, 0x02});

        const Exchange exchange;
        QCOMPARE(exchange.iResult, int(en_Usb_WriteFailed));
        QCOMPARE(exchange.iReplyLength, 0); // no read after a short write
        QCOMPARE(exchange.reply, std::vector<unsigned char>(1024, 0));
        QCOMPARE(m_bed->BulkOutData(id), std::vector<uint8_t>(c_request.begin(), c_request.begin() + 6));
        const QStringList messages = TakeMessages();
        QCOMPARE(messages, QStringList({"*** bulk_transfer failed! ", "*** success! "}));
        QVERIFY(messages.filter("error=").isEmpty());

        // Taken whole again: the same printer answers.
        m_bed->ShortenBulkOut(id, std::nullopt);
        const Exchange again;
        QCOMPARE(again.iResult, int(en_Usb_OK));
        QCOMPARE(again.iReplyLength, 2);
        QCOMPARE(TakeMessages(), QStringList({"*** iRecvSize = 2 ", "*** success! "}));
    }

    void failedWriteGivesMinus6WithErrorLine()
    {
        const int id = m_bed->AddPrinter(Printer());
        m_bed->FailBulkOut(id, 1);
        Answer(id, {0x01});
        QCOMPARE(Exchange().iResult, int(en_Usb_WriteFailed));
        QCOMPARE(TakeMessages(),
                 QStringList({"*** bulk_transfer failed! ", "*** error=LIBUSB_ERROR_PIPE ", "*** success! "}));
        QCOMPARE(Exchange().iResult, int(en_Usb_OK));
    }
};

QTEST_GUILESS_MAIN(TestUsbChannelFaults)
#include "tst_usbchannelfaults.moc"
