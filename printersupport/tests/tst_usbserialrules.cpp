// The serial of a device URI and the two rules that compare it with the serial a device
// reports (the table that stood in the print service's tst_jobwatch, with the rule of the
// settings tool and the firmware helper beside it).
#include "usbprintersession.h"

#include <QtTest>

class TestUsbSerialRules : public QObject
{
    Q_OBJECT
private slots:
    void serialOfPort_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("serial");
        QTest::newRow("plain") << "Ovra/P2200DN?serial=AB12"
                               << "AB12";
        QTest::newRow("percent-encoded, other items") << "Ovra/P2200DN?serial=AB%3D12&interface=1"
                                                      << "AB=12";
        QTest::newRow("no serial item") << "Ovra/P2200DN" << QString();
        QTest::newRow("other items only") << "Ovra/P2200DN?interface=0" << QString();
    }

    void serialOfPort()
    {
        QFETCH(QString, port);
        QFETCH(QString, serial);
        QCOMPARE(SerialOfPort(port), serial);
    }

    // deviceSerial as the device reports it, wanted as the URI names it; whether each
    // rule finds the device.
    void rules_data()
    {
        QTest::addColumn<QString>("deviceSerial");
        QTest::addColumn<QString>("wanted");
        QTest::addColumn<bool>("startsWith");
        QTest::addColumn<bool>("startsWithIgnoringCase");
        QTest::newRow("prefix in other case") << "ab12345"
                                              << "AB12" << false << true;
        QTest::newRow("equal") << "AB12"
                               << "AB12" << true << true;
        QTest::newRow("prefix") << "AB12345"
                                << "AB12" << true << true;
        QTest::newRow("device serial shorter") << "AB1"
                                               << "AB12" << false << false;
        QTest::newRow("not at the start") << "XAB12"
                                          << "AB12" << false << false;
        QTest::newRow("nothing wanted") << "anything" << QString() << true << true;
        QTest::newRow("nothing wanted, empty serial") << QString("") << QString() << true << true;
        QTest::newRow("equal but for case") << "K246SN0002"
                                            << "k246sn0002" << false << true;
        QTest::newRow("longer than the serial") << "K246SN0002"
                                                << "K246SN00021" << false << false;
    }

    void rules()
    {
        QFETCH(QString, deviceSerial);
        QFETCH(QString, wanted);
        QFETCH(bool, startsWith);
        QFETCH(bool, startsWithIgnoringCase);
        QCOMPARE(SerialStartsWith(deviceSerial.toLatin1(), wanted.toLatin1()), startsWith);
        QCOMPARE(SerialStartsWithIgnoringCase(deviceSerial, wanted), startsWithIgnoringCase);
    }
};

QTEST_APPLESS_MAIN(TestUsbSerialRules)
#include "tst_usbserialrules.moc"
