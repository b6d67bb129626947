// The firmware transfer against emulated printers (umockdev's usbfs, real libusb): the
// image in one bulk OUT transfer, every failing step and its code, the log lines,
// the three attempts and the message for each result.
#include "fwfixture.h"
#include "fwupdatetask.h"
#include "ovralog.h"
#include "ovraprogram.h"
#include "updateattempts.h"
#include "installroot.h"

#include <libusb-1.0/libusb.h>

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(UsbResult)

using ovraemu::UsbFault;
using ovraemu::UsbPrinterBed;

namespace {

const char* const c_szModel = "Ovra K246";
const char* const c_szURI = "Ovra/K246?serial=K246FW0001";

struct stModelIds {
    int vid = 0;
    int pid = 0;
};

stModelIds Ids()
{
    const ovraemu::UsbPrinterConfig config = UsbPrinterOfModel(c_szModel, "");
    return {config.vendorId, config.productId};
}

// One transfer, or with bAttempts the helper's up to three with their pauses.
int Send(std::vector<uint8_t>& image, bool bAttempts = false)
{
    char* pData = reinterpret_cast<char*>(image.data());
    return bAttempts ? RunFWUpdateAttempts(Ids().vid, Ids().pid, c_szURI, pData, int(image.size()))
                     : FWUpdateTask(Ids().vid, Ids().pid, c_szURI, pData, int(image.size()));
}

} // namespace

class TestFWUpdateTask : public QObject
{
    Q_OBJECT
    TestInstallRoot m_root{"fwupdatetask"};
    std::unique_ptr<UsbPrinterBed> m_bed;

    int AddPrinter(const std::string& serial = "K246FW0001")
    {
        return m_bed->AddPrinter(UsbPrinterOfModel(c_szModel, serial));
    }

    // The messages of the transfer's lines since the last call; a line of another
    // source or function stays whole.
    QStringList TakeMessages()
    {
        QFile file(CurrentLogFileName());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QStringList lines = QString::fromLocal8Bit(file.readAll()).split('\n', Qt::SkipEmptyParts);
        file.remove();
        const QRegularExpression source("^\\[[-0-9 :.]+\\] \\(OvraFWUpdate/UtilLibusb@\\d+ FWUpdateTask\\) ");
        QStringList messages;
        for (const QString& line : lines) {
            const QRegularExpressionMatch match = source.match(line);
            messages << (match.hasMatch() ? line.mid(match.capturedLength()) : line);
        }
        return messages;
    }

private slots:
    void initTestCase()
    {
        SetOvraProgram(en_Program_FWUpdate);
        SetLogEnable(true);
        QVERIFY(Ids().vid != 0);
    }

    void init()
    {
        m_bed.reset(); // one bed at a time
        m_bed.reset(new UsbPrinterBed);
        QFile::remove(CurrentLogFileName());
    }

    void cleanupTestCase() { m_bed.reset(); }

    void imageOfSeveralMegabytesArrivesAsOneTransfer()
    {
        const int id = AddPrinter();
        AddPrinter("K246FW0002");
        std::vector<uint8_t> image = FirmwareImage(5 * 1024 * 1024 + 333);
        QCOMPARE(Send(image), int(en_FW_OK));
        const std::vector<std::vector<uint8_t>> transfers = m_bed->BulkOutTransfers(id);
        QCOMPARE(transfers.size(), size_t(1));
        QVERIFY(transfers.front() == image);
        QCOMPARE(TakeMessages(), QStringList({QString("*** length = %1 ").arg(image.size()), "*** success! "}));
        // The serial prefix tells the two printers apart: the other got nothing.
        QVERIFY(m_bed->BulkOutTransfers(id + 1).empty());
    }

    void emptyImageIsOneZeroByteTransfer()
    {
        const int id = AddPrinter();
        char byUnused = 0;
        QCOMPARE(FWUpdateTask(Ids().vid, Ids().pid, c_szURI, &byUnused, 0), int(en_FW_OK));
        QCOMPARE(m_bed->BulkOutTransfers(id), std::vector<std::vector<uint8_t>>{{}});
        QCOMPARE(TakeMessages(), QStringList({"*** length = 0 ", "*** success! "}));
    }

    void kernelDriverIsDetachedFirst()
    {
        const int id = AddPrinter();
        m_bed->SetFault(id, UsbFault::KernelDriverActive);
        std::vector<uint8_t> image = FirmwareImage(1000);
        QCOMPARE(Send(image), int(en_FW_OK));
        QVERIFY(m_bed->KernelDriverDetached(id));
        QCOMPARE(m_bed->BulkOutData(id), image);
    }

    void stalledTransferGivesMinus7WithErrorName()
    {
        const int id = AddPrinter();
        m_bed->FailBulkOut(id, 1, 70000);
        std::vector<uint8_t> image = FirmwareImage(300000);
        QCOMPARE(Send(image), int(en_FW_TransferFailed));
        QCOMPARE(TakeMessages(),
                 QStringList({"*** bulk_transfer failed! ", "*** error=LIBUSB_ERROR_PIPE ", "*** success! "}));
        QCOMPARE(m_bed->BulkOutData(id).size(), size_t(70000));
    }

    void partlyTakenImageGivesMinus7WithoutErrorName()
    {
        const int id = AddPrinter();
        m_bed->ShortenBulkOut(id, 100000);
        std::vector<uint8_t> image = FirmwareImage(300000);
        QCOMPARE(Send(image), int(en_FW_TransferFailed));
        QCOMPARE(TakeMessages(), QStringList({"*** bulk_transfer failed! ", "*** success! "}));
    }

    void searchAndEndpointFailures()
    {
        std::vector<uint8_t> image = FirmwareImage(16);
        QCOMPARE(Send(image), int(en_FW_NoDevice)); // nothing attached
        QCOMPARE(TakeMessages(), QStringList({"*** get_device_descriptor failed! ",
                                              QString("*** error=%1 ").arg(libusb_error_name(-2)), "*** success! "}));
        AddPrinter("OTHER0001");
        QCOMPARE(Send(image), int(en_FW_NoDevice)); // other serial

        ovraemu::UsbPrinterConfig config = UsbPrinterOfModel(c_szModel, "K246FW0001");
        config.bulkOutEndpoint = 0x02;
        const int id = m_bed->AddPrinter(config);
        TakeMessages();
        QCOMPARE(Send(image), int(en_FW_NoEndpoint));
        QCOMPARE(TakeMessages(), QStringList({"*** get_device_endpoint failed! rv:-2 ",
                                              QString("*** error=%1 ").arg(libusb_error_name(-2)), "*** success! "}));
        QVERIFY(m_bed->BulkOutTransfers(id).empty());
    }

    void claimFailureGivesMinus5()
    {
        const int id = AddPrinter();
        m_bed->SetFault(id, UsbFault::FailClaim);
        std::vector<uint8_t> image = FirmwareImage(16);
        QCOMPARE(Send(image), int(en_FW_ClaimFailed));
        const QStringList messages = TakeMessages();
        QCOMPARE(messages.size(), 3);
        QVERIFY2(messages.at(0).startsWith("*** libusb_detach_kernel_driver failed! rv-"), qPrintable(messages.at(0)));
        QVERIFY(messages.at(1).startsWith("*** error=LIBUSB_ERROR_"));
        QVERIFY(m_bed->BulkOutTransfers(id).empty());
    }

    void imageWithoutBytesBehindItIsRefused()
    {
        const int id = AddPrinter();
        QCOMPARE(FWUpdateTask(Ids().vid, Ids().pid, c_szURI, nullptr, 10), int(en_FW_TransferFailed));
        char byOne = 1;
        QCOMPARE(FWUpdateTask(Ids().vid, Ids().pid, c_szURI, &byOne, -1), int(en_FW_TransferFailed));
        QVERIFY(m_bed->BulkOutTransfers(id).empty());
    }

    void successAtTheSecondAttemptEndsTheAttempts()
    {
        const int id = AddPrinter();
        m_bed->FailBulkOut(id, 1, 5000);
        std::vector<uint8_t> image = FirmwareImage(200000);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(Send(image, true), int(en_FW_OK));
        QVERIFY(timer.elapsed() >= 100); // one pause after the failure
        const std::vector<std::vector<uint8_t>> transfers = m_bed->BulkOutTransfers(id);
        QCOMPARE(transfers.size(), size_t(2));
        QCOMPARE(transfers[0].size(), size_t(5000));
        QVERIFY(transfers[1] == image);
    }

    void threeFailuresGiveTheLastResult()
    {
        const int id = AddPrinter();
        m_bed->FailBulkOut(id, ovraemu::kEveryTransfer);
        std::vector<uint8_t> image = FirmwareImage(1000);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(Send(image, true), int(en_FW_TransferFailed));
        QVERIFY2(timer.elapsed() >= 300, "a pause after each of the three failures");
        QCOMPARE(m_bed->BulkOutTransfers(id).size(), size_t(3));

        m_bed->Unplug(id);
        QCOMPARE(Send(image, true), int(en_FW_NoDevice));
    }

    void everyResultHasItsMessage_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("key");
        QTest::newRow("0") << 0 << "MainWindow.Message.Success";
        QTest::newRow("-7") << -7 << "MainWindow.Message.Failed_Printer_Ping";
        QTest::newRow("-6") << -6 << "MainWindow.Message.Failed_Read_File";
        QTest::newRow("-1") << -1 << "MainWindow.Message.Failed_Device_Interface_Init";
        for (int code = -5; code <= -2; ++code)
            QTest::newRow(qPrintable(QString::number(code))) << code << "MainWindow.Message.Failed_Printer_Connection";
        for (int code : {1, 7, -8, -99})
            QTest::newRow(qPrintable(QString::number(code))) << code << "MainWindow.Message.Error_Unknow";
    }

    void everyResultHasItsMessage()
    {
        QFETCH(int, result);
        QFETCH(QString, key);
        QCOMPARE(QString(UpdateResultKey(result)), key);
    }

    // The firmware helper's code for each result of the library's USB session.
    void codesOfLibraryResults_data()
    {
        QTest::addColumn<UsbResult>("result");
        QTest::addColumn<int>("code");
        QTest::newRow("Ok") << UsbResult::Ok << int(en_FW_OK);
        QTest::newRow("InitFailed") << UsbResult::InitFailed << int(en_FW_InitFailed);
        QTest::newRow("ListFailed") << UsbResult::ListFailed << int(en_FW_NoDevice);
        QTest::newRow("DescriptorFailed") << UsbResult::DescriptorFailed << int(en_FW_NoDevice);
        QTest::newRow("NoDevice") << UsbResult::NoDevice << int(en_FW_NoDevice);
        QTest::newRow("ProbeFailed") << UsbResult::ProbeFailed << int(en_FW_NoDevice);
        QTest::newRow("ConfigFailed") << UsbResult::ConfigFailed << int(en_FW_NoEndpoint);
        QTest::newRow("NoInterface") << UsbResult::NoInterface << int(en_FW_NoEndpoint);
        QTest::newRow("OpenFailed") << UsbResult::OpenFailed << int(en_FW_OpenFailed);
        QTest::newRow("ClaimFailed") << UsbResult::ClaimFailed << int(en_FW_ClaimFailed);
        QTest::newRow("WriteFailed") << UsbResult::WriteFailed << int(en_FW_TransferFailed);
    }

    void codesOfLibraryResults()
    {
        QFETCH(UsbResult, result);
        QFETCH(int, code);
        QCOMPARE(FWUpdateCode(result), code);
    }
};

QTEST_GUILESS_MAIN(TestFWUpdateTask)
#include "tst_fwupdatetask.moc"
