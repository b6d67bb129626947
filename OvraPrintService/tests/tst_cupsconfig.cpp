// Reading queues from printers.conf texts and model names from PPD texts.
#include "cupsconfig.h"

#include <QtTest>

namespace {

// Accepts the queues whose name says "ovra", as a PPD check would.
bool FakeDriverCheck(const QString& strQueue, QString& strModel)
{
    if (!strQueue.contains("ovra", Qt::CaseInsensitive))
        return false;
    strModel = "Ovra P2200DN";
    return true;
}

const char c_szPrintersConf[] = "# Printer configuration file for CUPS\n"
                                "<DefaultPrinter ovra-usb>\n"
                                "  UUID urn:uuid:1\n"
                                "  DeviceURI usb://Ovra/P2200DN?serial=AB12=3\n"
                                "  State Idle\n"
                                "</DefaultPrinter>\n"
                                "<Printer ovra-net>\n"
                                "DeviceURI socket://192.168.1.20:9100\n"
                                "</Printer>\n"
                                "<Printer ovra-net2>\n"
                                "deviceuri ovrasocket://10.0.0.7\n"
                                "</printer>\n"
                                "<Printer ovra-ipp>\n"
                                "DeviceURI ipp://192.168.1.21/ipp/print\n"
                                "</Printer>\n"
                                "<Printer acme-usb>\n"
                                "DeviceURI usb://Acme/LJ100?serial=9\n"
                                "</Printer>\n"
                                "<Printer ovra-noscheme>\n"
                                "DeviceURI socket:192.168.1.22\n"
                                "</Printer>\n"
                                "<Printer ovra-nouri>\n"
                                "</Printer>\n";

} // namespace

class TestCupsConfig : public QObject
{
    Q_OBJECT
private slots:
    void queuesWithTheirPortsAndModels()
    {
        const QList<stPrinterInfo> list = ParseCupsPrinters(c_szPrintersConf, FakeDriverCheck);
        QCOMPARE(list.size(), 3);
        QCOMPARE(list.at(0).strName, QString("ovra-usb"));
        QCOMPARE(list.at(0).iConnectType, int(en_Connect_USB));
        QCOMPARE(list.at(0).strPort, QString("Ovra/P2200DN?serial=AB12=3"));
        QCOMPARE(list.at(0).strURI, QString("usb://Ovra/P2200DN?serial=AB12=3"));
        QCOMPARE(list.at(0).enType, QString("Ovra P2200DN"));
        QCOMPARE(list.at(1).strName, QString("ovra-net"));
        QCOMPARE(list.at(1).iConnectType, int(en_Connect_Network));
        QCOMPARE(list.at(1).strPort, QString("192.168.1.20"));
        QCOMPARE(list.at(2).strPort, QString("10.0.0.7"));
        QCOMPARE(list.at(2).iConnectType, int(en_Connect_Network));
    }

    void withoutDriverCheckEveryUsbAndSocketQueue()
    {
        const QList<stPrinterInfo> list = ParseCupsPrinters(c_szPrintersConf, DriverMatchFn());
        QStringList names;
        for (const stPrinterInfo& info : list)
            names << info.strName;
        QCOMPARE(names, (QStringList{"ovra-usb", "ovra-net", "ovra-net2", "acme-usb"}));
        QVERIFY(list.at(3).enType.isEmpty());
    }

    void damagedTextsNeverCrash()
    {
        QVERIFY(ParseCupsPrinters(QByteArray(), FakeDriverCheck).isEmpty());
        QVERIFY(
            ParseCupsPrinters("<Printer\nDeviceURI\n</Printer>\n<Printer >\n</Printer>", FakeDriverCheck).isEmpty());
        QVERIFY(ParseCupsPrinters(QByteArray("\xff\xfe\x00<Printer ovra\x00", 15), FakeDriverCheck).isEmpty());
        // A queue cut off before its closing line is not listed.
        QVERIFY(
            ParseCupsPrinters("<Printer ovra-a>\nDeviceURI usb://Ovra/P1100?serial=1\n", FakeDriverCheck).isEmpty());
    }

    void ppdModelNames_data()
    {
        QTest::addColumn<QByteArray>("ppd");
        QTest::addColumn<bool>("match");
        QTest::addColumn<QString>("model");
        QTest::newRow("quoted") << QByteArray("*PPD-Adobe: \"4.3\"\n*ModelName: \"Ovra P2200DN\"\n") << true
                                << "Ovra P2200DN";
        QTest::newRow("own case kept") << QByteArray("*modelname: \"OVRA mk246\"\n") << true << "OVRA mk246";
        QTest::newRow("unquoted") << QByteArray("*ModelName:Ovra K246\n") << true << "Ovra K246";
        QTest::newRow("other maker") << QByteArray("*ModelName: \"Acme LaserJet 100\"\n") << false << "";
        QTest::newRow("second line wins")
            << QByteArray("*ModelName: \"Acme 1\"\n*ModelName: \"Ovra C5100\"\n") << true << "Ovra C5100";
        QTest::newRow("no value") << QByteArray("*ModelName:\n*ModelName\n") << false << "";
        QTest::newRow("nickname only") << QByteArray("*NickName: \"Ovra P2200DN\"\n") << false << "";
    }
    void ppdModelNames()
    {
        QFETCH(QByteArray, ppd);
        QFETCH(bool, match);
        QFETCH(QString, model);
        QString found = "unchanged";
        QCOMPARE(FindModelInPpd(ppd, found), match);
        QCOMPARE(found, match ? model : QString("unchanged"));
    }
};

QTEST_GUILESS_MAIN(TestCupsConfig)
#include "tst_cupsconfig.moc"
