// Every channel result and the message it gives on the task pages, and the settings
// tool's code for each result of the library's USB session.
#include "channelresult.h"
#include "utillibusb.h"

#include <QtTest>

Q_DECLARE_METATYPE(UsbResult)

class TestChannelResult : public QObject
{
    Q_OBJECT
private slots:
    void codesOfLibraryResults_data()
    {
        QTest::addColumn<UsbResult>("result");
        QTest::addColumn<int>("code");
        QTest::newRow("Ok") << UsbResult::Ok << int(en_Usb_OK);
        QTest::newRow("InitFailed") << UsbResult::InitFailed << int(en_Usb_InitFailed);
        QTest::newRow("ListFailed") << UsbResult::ListFailed << int(en_Usb_NoDevice);
        QTest::newRow("DescriptorFailed") << UsbResult::DescriptorFailed << int(en_Usb_NoDevice);
        QTest::newRow("NoDevice") << UsbResult::NoDevice << int(en_Usb_NoDevice);
        QTest::newRow("ProbeFailed") << UsbResult::ProbeFailed << int(en_Usb_NoDevice);
        QTest::newRow("ConfigFailed") << UsbResult::ConfigFailed << int(en_Usb_NoEndpoint);
        QTest::newRow("NoInterface") << UsbResult::NoInterface << int(en_Usb_NoEndpoint);
        QTest::newRow("OpenFailed") << UsbResult::OpenFailed << int(en_Usb_OpenFailed);
        QTest::newRow("ClaimFailed") << UsbResult::ClaimFailed << int(en_Usb_ClaimFailed);
        QTest::newRow("WriteFailed") << UsbResult::WriteFailed << int(en_Usb_WriteFailed);
        QTest::newRow("ReadFailed") << UsbResult::ReadFailed << int(en_Usb_ReadFailed);
    }
    void codesOfLibraryResults()
    {
        QFETCH(UsbResult, result);
        QFETCH(int, code);
        QCOMPARE(SettingUsbCode(result), code);
    }

    void maintenanceCommands_data()
    {
        QTest::addColumn<bool>("usb");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("message");
        QTest::newRow("usb 0") << true << 0 << QString();
        QTest::newRow("usb -7 written, no reply") << true << -7 << QString();
        QTest::newRow("usb -6") << true << -6 << "Failed_Printer_Ping";
        QTest::newRow("usb -5") << true << -5 << "Failed_Printer_Connection";
        QTest::newRow("usb -4") << true << -4 << "Failed_Printer_Connection";
        QTest::newRow("usb -3") << true << -3 << "Failed_Printer_Connection";
        QTest::newRow("usb -2") << true << -2 << "Failed_Printer_Connection";
        QTest::newRow("usb -1") << true << -1 << "Failed_Device_Interface_Init";
        QTest::newRow("usb -8") << true << -8 << "Error_Unknow";
        QTest::newRow("usb -99") << true << -99 << "Error_Unknow";
        QTest::newRow("usb 5") << true << 5 << "Error_Unknow";
        QTest::newRow("udp 0") << false << 0 << QString();
        QTest::newRow("udp -1") << false << -1 << "Failed_Printer_Connection";
        QTest::newRow("udp -2") << false << -2 << "Failed_Printer_Connection";
        QTest::newRow("udp -3") << false << -3 << "Failed_Printer_Connection";
        QTest::newRow("udp -4") << false << -4 << "Failed_Printer_Connection";
        QTest::newRow("udp -7") << false << -7 << "Failed_Printer_Connection";
    }
    void maintenanceCommands()
    {
        QFETCH(bool, usb);
        QFETCH(int, result);
        QFETCH(QString, message);
        QCOMPARE(MaintenanceResultMessage(usb, result), message);
    }

    void networkPage_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("message");
        QTest::newRow("0") << 0 << QString();
        QTest::newRow("-7") << -7 << "Failed_Printer_Ping";
        QTest::newRow("-6") << -6 << "Failed_Printer_Ping";
        QTest::newRow("-5") << -5 << "Failed_Printer_Connection";
        QTest::newRow("-4") << -4 << "Failed_Printer_Connection";
        QTest::newRow("-3") << -3 << "Failed_Printer_Connection";
        QTest::newRow("-2") << -2 << "Failed_Printer_Connection";
        QTest::newRow("-1") << -1 << "Failed_Device_Interface_Init";
        QTest::newRow("-8") << -8 << "Error_Unknow";
        QTest::newRow("1") << 1 << "Error_Unknow";
    }
    void networkPage()
    {
        QFETCH(int, result);
        QFETCH(QString, message);
        QCOMPARE(NetResultMessage(result), message);
    }
};

QTEST_APPLESS_MAIN(TestChannelResult)
#include "tst_channelresult.moc"
