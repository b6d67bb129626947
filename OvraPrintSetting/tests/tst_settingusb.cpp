// The task pages against emulated USB printers (umockdev's usbfs, real libusb): the
// network page's probe, read and write with both tag blocks and malformed replies, and
// the cleaning and calibration commands. Message boxes are answered as they come up.
#include "alignmentform.h"
#include "cleanform.h"
#include "homeform.h"
#include "netform.h"
#include "pageindex.h"
#include "printerfiles.h"
#include "settingfixture.h"
#include "settingsrecords.h"
#include "settingsresponder.h"
#include "translation.h"
#include "ui_alignmentform.h"
#include "ui_baseform.h"
#include "ui_cleanform.h"
#include "ui_netform.h"
#include "widget.h"

#include "ovraemu/usbprinterbed.h"
#include "usbprinters.h"

#include <QLineEdit>
#include <QSpinBox>
#include <QtTest>

#include <memory>

using ovraemu::BulkReply;
using ovraemu::SettingsRecord;
using ovraemu::SettingsRequestKind;
using ovraemu::SettingsResponder;
using ovraemu::UsbFault;
using ovraemu::UsbPrinterBed;
using ovraemu::UsbPrinterConfig;
using Bytes = std::vector<uint8_t>;

namespace {

const char* const c_szAddresses[7] = {"192.168.10.20", "255.255.255.0", "192.168.10.1", "192.168.10.2",
                                      "8.8.4.4",       "192.168.10.3",  "192.168.10.4"};

Bytes FromHex(const char* hex)
{
    const QByteArray bytes = QByteArray::fromHex(hex);
    return Bytes(bytes.begin(), bytes.end());
}

// The bytes from the tags of one read request ("4000" ... "4007").
QStringList TagsOf(const Bytes& request)
{
    QStringList tags;
    for (size_t pos = 12; pos + 2 <= request.size(); pos += 2)
        tags << QString::asprintf("%02X%02X", request[pos], request[pos + 1]);
    return tags;
}

QList<SettingsRequestKind> Kinds(const SettingsResponder& responder)
{
    QList<SettingsRequestKind> kinds;
    for (const ovraemu::SettingsRequest& request : responder.Requests())
        kinds << request.kind;
    return kinds;
}

// A 1024-byte read reply: all records, values padded with zeros so that the payload
// fills sixteen 64-byte blocks exactly (16 x 59 = 944 bytes).
Bytes FullBlockReply(int iBlock)
{
    const uint16_t base = iBlock == 1 ? ovraemu::kTagModeBlock1 : ovraemu::kTagModeBlock0;
    std::vector<Bytes> records;
    Bytes mode = ovraemu::TextValue("Static");
    mode.resize(52, 0);
    records.push_back(ovraemu::LongRecord(base, mode));
    for (int k = 1; k <= 7; ++k) {
        Bytes value = ovraemu::TextValue(c_szAddresses[k - 1]);
        value.resize(110, 0);
        records.push_back(ovraemu::ShortRecord(uint16_t(base + k), value));
    }
    return ovraemu::SplitIntoBlocks(ovraemu::SettingsPayload(0x02, 8, records));
}

} // namespace

class TestSettingUsb : public QObject
{
    Q_OBJECT
    std::unique_ptr<PrinterFiles> m_files;
    std::unique_ptr<UsbPrinterBed> m_bed;
    std::unique_ptr<SettingsResponder> m_responder;
    std::unique_ptr<MessageBoxAnswerer> m_answerer;
    int m_id = 0;

    UsbPrinterConfig Config(const std::string& serial) { return UsbPrinterOfModel("Ovra P2200DN", serial); }

    QStringList Fields(NetForm& net)
    {
        QStringList addresses;
        for (int k = 1; k <= 7; ++k) {
            QStringList octets;
            for (int o = 0; o < 4; ++o)
                octets << net.Field(k, o)->text();
            addresses << octets.join('.');
        }
        return addresses;
    }

    NetForm& NetPage(Widget& window)
    {
        window.SlotChangeForm(en_Page_Net);
        return *window.pNetForm;
    }

private slots:
    void initTestCase() { InitSettingResources(); }

    void init()
    {
        m_files.reset(new PrinterFiles);
        m_bed.reset(new UsbPrinterBed);
        m_responder.reset(new SettingsResponder);
        m_id = m_bed->AddPrinter(Config("K246SN0001"));
        SettingsResponder* pResponder = m_responder.get();
        m_bed->SetBulkHandler(m_id, [pResponder](const Bytes& request) { return pResponder->Answer(request); });
        m_responder->SetModeText(std::string("Static"));
        for (int k = 1; k <= 7; ++k)
            m_responder->SetAddress(k, c_szAddresses[k - 1]);
        m_files->WriteList({PrinterFiles::Usb("desk", "K246SN0001"), PrinterFiles::Usb("other", "NOPE"),
                            PrinterFiles::Network("office", "127.0.0.190")});
        m_answerer.reset(new MessageBoxAnswerer);
    }

    void cleanup()
    {
        m_answerer.reset();
        m_bed.reset();
        m_responder.reset();
        m_files.reset();
    }

    void readAndSetWithTagBlock1()
    {
        Widget window;
        NetForm& net = NetPage(window);
        QCOMPARE(m_answerer->Click(net.ui->pushButtonRead), QStringList()); // a successful Read says nothing
        QCOMPARE(Kinds(*m_responder),
                 QList<SettingsRequestKind>({SettingsRequestKind::Probe, SettingsRequestKind::Read}));
        QCOMPARE(TagsOf(m_responder->Requests().at(1).bytes),
                 QStringList({"4000", "4001", "4002", "4003", "4004", "4005", "4006", "4007"}));
        QCOMPARE(net.ui->comboBoxSource->currentIndex(), 1);
        QVERIFY(net.Field(7, 3)->isEnabled());
        QCOMPARE(Fields(net).join(' '), QString("192.168.10.20 255.255.255.0 192.168.10.1 192.168.10.2 8.8.4.4 "
                                                "192.168.10.3 192.168.10.4"));
        QCOMPARE(net.iTagBlock, 1);

        net.Field(1, 3)->setText("99");
        QCOMPARE(m_answerer->Click(net.ui->pushButtonSet), QStringList({"NetForm.Message.Success_Setting"}));
        const Bytes write = m_responder->Requests().at(2).bytes;
        QCOMPARE(write, FromHex("A5004850E0B2030009"
                                "4000000101"
                                "40010004C0A80A63"
                                "40020004FFFFFF00"
                                "40030004C0A80A01"
                                "40040004C0A80A02"
                                "4005000408080404"
                                "40060004C0A80A03"
                                "40070004C0A80A04"
                                "400F000100"));
        QCOMPARE(m_responder->Address(1), std::string("192.168.10.99"));
    }

    void readAndSetWithTagBlock0()
    {
        m_responder->SetProbeText(std::string(""));
        m_responder->SetModeText(std::string("DHCP"));
        Widget window;
        NetForm& net = NetPage(window);
        QCOMPARE(m_answerer->Click(net.ui->pushButtonRead), QStringList());
        QCOMPARE(TagsOf(m_responder->Requests().at(1).bytes),
                 QStringList({"4010", "4011", "4012", "4013", "4014", "4015", "4016", "4017"}));
        QCOMPARE(net.ui->comboBoxSource->currentIndex(), 0);
        QVERIFY(!net.Field(1, 0)->isEnabled());
        QCOMPARE(Fields(net).first(), QString("192.168.10.20"));
        QCOMPARE(net.iTagBlock, 0);

        // Set sends the addresses shown (DHCP keeps them) with the block's tags.
        QCOMPARE(m_answerer->Click(net.ui->pushButtonSet), QStringList({"NetForm.Message.Success_Setting"}));
        QCOMPARE(m_responder->Requests().at(2).bytes, FromHex("A5004850E0B2030009"
                                                              "4010000100"
                                                              "40110004C0A80A14"
                                                              "40120004FFFFFF00"
                                                              "40130004C0A80A01"
                                                              "40140004C0A80A02"
                                                              "4015000408080404"
                                                              "40160004C0A80A03"
                                                              "40170004C0A80A04"
                                                              "401F000100"));

        // Choosing another printer forgets the block: the next Set probes again and
        // writes with the tags of the block the printer now reports.
        net.baseUi->comboBoxDevice->setCurrentIndex(1);
        net.baseUi->comboBoxDevice->setCurrentIndex(0);
        m_responder->SetProbeText(std::nullopt);
        QCOMPARE(m_answerer->Click(net.ui->pushButtonSet), QStringList({"NetForm.Message.Success_Setting"}));
        QCOMPARE(Kinds(*m_responder).mid(3),
                 QList<SettingsRequestKind>({SettingsRequestKind::Probe, SettingsRequestKind::Write}));
        QCOMPARE(net.iTagBlock, 1);
        const Bytes write = m_responder->Requests().back().bytes;
        const Bytes address1 = FromHex("40010004"); // block 1's tag of address 1
        QVERIFY(std::search(write.begin(), write.end(), address1.begin(), address1.end()) != write.end());
    }

    void setOnAFreshPageSendsZerosInDhcpMode()
    {
        Widget window;
        NetForm& net = NetPage(window);
        QCOMPARE(m_answerer->Click(net.ui->pushButtonSet), QStringList({"NetForm.Message.Success_Setting"}));
        QCOMPARE(Kinds(*m_responder),
                 QList<SettingsRequestKind>({SettingsRequestKind::Probe, SettingsRequestKind::Write}));
        // What the printer took; the request byte for byte: tst_netrecords.
        QCOMPARE(m_responder->ModeText(), std::string("DHCP"));
        for (int k = 1; k <= 7; ++k)
            QCOMPARE(m_responder->Address(k), std::string("0.0.0.0"));
    }

    void readReplyOf1024Bytes()
    {
        m_responder->SetAnswer(SettingsRequestKind::Read, FullBlockReply(1));
        QCOMPARE(FullBlockReply(1).size(), size_t(1024));
        Widget window;
        NetForm& net = NetPage(window);
        QCOMPARE(m_answerer->Click(net.ui->pushButtonRead), QStringList());
        QCOMPARE(net.ui->comboBoxSource->currentIndex(), 1);
        QCOMPARE(Fields(net).last(), QString("192.168.10.4"));
    }

    void probeRepliesThatStopTheRead()
    {
        Widget window;
        NetForm& net = NetPage(window);

        // Fewer than 8 bytes.
        m_responder->SetAnswer(SettingsRequestKind::Probe, FromHex("A50004 50E0B2 02"));
        QTest::mouseClick(net.ui->pushButtonRead, Qt::LeftButton);
        // No reply at all (after the 3 s read time-out).
        m_responder->SetAnswer(SettingsRequestKind::Probe, std::nullopt);
        QCOMPARE(m_answerer->Click(net.ui->pushButtonRead),
                 QStringList({"NetForm.Message.Fail_Get_Printer", "NetForm.Message.Fail_Get_Printer"}));
        QCOMPARE(m_responder->Count(SettingsRequestKind::Probe), 2);
        QCOMPARE(m_responder->Count(SettingsRequestKind::Read), 0);

        // A probe reply without a probe record: block 1.
        m_responder->SetProbeText(std::nullopt);
        m_responder->SetAnswer(SettingsRequestKind::Probe,
                               ovraemu::SplitIntoBlocks(ovraemu::SettingsPayload(0x02, 0, {Bytes(4, 0)})));
        QCOMPARE(m_answerer->Click(net.ui->pushButtonRead), QStringList());
        QCOMPARE(TagsOf(m_responder->Requests().back().bytes).first(), QString("4000"));
    }

    void badReadRepliesKeepTheFields()
    {
        Widget window;
        NetForm& net = NetPage(window);
        QTest::mouseClick(net.ui->pushButtonRead, Qt::LeftButton);
        const QStringList before = Fields(net);

        m_responder->SetModeText(std::string("Manual"));
        m_responder->SetAddress(2, "255.255.255.1");
        QTest::mouseClick(net.ui->pushButtonRead, Qt::LeftButton);
        m_responder->SetModeText(std::string("DHCP"));
        m_responder->SetAddress(3, "192.168.10");
        QCOMPARE(m_answerer->Click(net.ui->pushButtonRead),
                 QStringList({"NetForm.Message.Failed_Data_Obtain", "NetForm.Message.Failed_Data_Obtain"}));
        QCOMPARE(Fields(net), before);
        QCOMPARE(net.ui->comboBoxSource->currentIndex(), 1);

        // A reply without a mode record leaves the mode shown.
        m_responder->SetModeText(std::nullopt);
        m_responder->SetAddress(3, "192.168.10.5");
        QCOMPARE(m_answerer->Click(net.ui->pushButtonRead), QStringList());
        QCOMPARE(net.ui->comboBoxSource->currentIndex(), 1);
        QCOMPARE(Fields(net).at(2), QString("192.168.10.5"));
    }

    void channelFailuresOnTheNetworkPage()
    {
        Widget window;
        NetForm& net = NetPage(window);

        // The read request goes unanswered: -7.
        m_responder->SetAnswer(SettingsRequestKind::Read, std::nullopt);
        QTest::mouseClick(net.ui->pushButtonRead, Qt::LeftButton);
        // The write request is taken but not answered: -7 although it was written.
        m_responder->SetAnswer(SettingsRequestKind::Write, std::nullopt);
        QTest::mouseClick(net.ui->pushButtonSet, Qt::LeftButton);
        QCOMPARE(m_responder->Count(SettingsRequestKind::Write), 1);
        // No device with that serial: -2. The claim fails: -5.
        net.baseUi->comboBoxDevice->setCurrentIndex(1);
        QTest::mouseClick(net.ui->pushButtonSet, Qt::LeftButton);
        QTest::mouseClick(net.ui->pushButtonRead, Qt::LeftButton);
        net.baseUi->comboBoxDevice->setCurrentIndex(0);
        m_bed->SetFault(m_id, UsbFault::FailClaim);
        QCOMPARE(m_answerer->Click(net.ui->pushButtonSet),
                 QStringList({"NetForm.Message.Failed_Printer_Ping", "NetForm.Message.Failed_Printer_Ping",
                              "NetForm.Message.Failed_Printer_Connection", "NetForm.Message.Fail_Get_Printer",
                              "NetForm.Message.Failed_Printer_Connection"}));
    }

    void cleaningOverUsb()
    {
        Widget window;
        window.pHomeForm->OnButtonCleanFormClicked();
        CleanForm& clean = *window.pCleanForm;
        QTest::mouseClick(clean.ui->pushButtonClean, Qt::LeftButton);
        // The printer takes the re-cleaning request and never answers: still success.
        m_responder->SetSilent(true);
        QCOMPARE(m_answerer->Click(clean.ui->pushButtonClean),
                 QStringList({"CleanForm.Message.Check_Clean_Before", "CleanForm.Message.Check_Clean_Send",
                              "CleanForm.Message.Check_Clean_Before", "CleanForm.Message.Check_Clean_Send"}));
        QCOMPARE(m_bed->BulkOutData(m_id), FromHex("A5000750E02E020101 01"
                                                   "A5000850E02E02010112 02"));
        QCOMPARE(clean.ui->pushButtonClean->text(), QString("CleanForm.Button.Re_Clean"));

        // The claim fails: connection message, the state stays.
        m_bed->SetFault(m_id, UsbFault::FailClaim);
        QCOMPARE(m_answerer->Click(clean.ui->pushButtonClean),
                 QStringList({"CleanForm.Message.Check_Clean_Before", "CleanForm.Message.Failed_Printer_Connection"}));
        QVERIFY(clean.bCleanSent);

        // A USB printer of no known model is refused before any access.
        m_files->WriteList({PrinterFiles::Usb("odd", "K246SN0001", "Q999")});
        window.SlotChangeForm(en_Page_Clean);
        m_bed->SetFault(m_id, UsbFault::None);
        QCOMPARE(m_answerer->Click(clean.ui->pushButtonClean),
                 QStringList({"CleanForm.Message.Check_Clean_Before", "CleanForm.Message.Check_Printer_Model"}));
        QCOMPARE(m_bed->BulkOutData(m_id).size(), size_t(21));
    }

    void calibrationOverUsb()
    {
        Widget window;
        window.pHomeForm->OnButtonAlignmentFormClicked();
        AlignmentForm& page = *window.pAlignmentForm;
        QTest::mouseClick(page.ui->pushButtonPrint, Qt::LeftButton);
        QVERIFY(!page.ui->pushButtonFinish->isHidden());
        page.Chooser(1)->setValue(-6);
        page.Chooser(7)->setValue(-6);
        m_responder->SetSilent(true); // values taken, no answer: still success
        QTest::mouseClick(page.ui->pushButtonFinish, Qt::LeftButton);
        QVERIFY(page.ui->pushButtonFinish->isHidden());
        QCOMPARE(m_answerer->TakeTexts(), QStringList({"AlignmentForm.Message.Check_Calibration_Before",
                                                       "AlignmentForm.Message.Check_Calibration_Send",
                                                       "AlignmentForm.Message.Calibration_Completed"}));
        // The calibration page request, then the values (byte for byte: tst_netrecords).
        const Bytes sent = m_bed->BulkOutData(m_id);
        QCOMPARE(sent.size(), size_t(10 + 39));
        QCOMPARE(Bytes(sent.begin(), sent.begin() + 10), FromHex("A5000750E02E02010143"));
        QCOMPARE(ovraemu::CalibrationValuesOf(Bytes(sent.begin() + 10, sent.end())),
                 std::vector<int32_t>({-48, 0, 0, 0, 0, 0, -3072}));

        // No device: -2, the page stays where it is.
        QTest::mouseClick(page.ui->pushButtonPrint, Qt::LeftButton);
        m_bed->Unplug(m_id);
        QTest::mouseClick(page.ui->pushButtonFinish, Qt::LeftButton);
        QVERIFY(!page.ui->pushButtonFinish->isHidden());
        QCOMPARE(m_answerer->TakeTexts().last(), QString("AlignmentForm.Message.Failed_Printer_Connection"));
    }
};

QTEST_MAIN(TestSettingUsb)
#include "tst_settingusb.moc"
