// The service binary in the languages of the desk: CUPS translates what its commands
// print, but the service asks it over IPP, whose answers are keywords. Under each LANG
// (and without HOME, as systemd starts the service) a "Ready" network printer is polled
// while CUPS prints on it, and a USB job seen printing, then cancelled in CUPS, sends the
// printer exactly one cancel request.
#include "servicefixture.h"

#include "ovraemu/netprinter.h"

#include <QtTest>

namespace {

const char c_szNetAddress[] = "127.0.0.71";

} // namespace

class TestServiceLanguages : public QObject
{
    Q_OBJECT
private slots:
    void jobsFollowedInEveryLanguage_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<bool>("home");
        QTest::newRow("C") << QString("C") << true;
        QTest::newRow("German") << QString("de_DE.UTF-8") << true;
        QTest::newRow("Spanish") << QString("es_ES.UTF-8") << true;
        QTest::newRow("German, no HOME") << QString("de_DE.UTF-8") << false;
    }

    void jobsFollowedInEveryLanguage()
    {
        QFETCH(QString, lang);
        QFETCH(bool, home);
        ServiceFixture fixture;
        QString error;
        QVERIFY2(fixture.StartCups(&error), qPrintable(error));
        QVERIFY(fixture.AddQueue("lang-net", QString("socket://%1:9100").arg(c_szNetAddress), "ovra-mk246"));
        QVERIFY(fixture.AddQueue("lang-usb", "usb://Ovra/P2200DN?serial=LANG0001", "ovra-p2200dn"));
        ovraemu::NetPrinter printer(c_szNetAddress, EmuState("Ovra MK246", "NET71", 0x00, 6000));
        std::string bindError;
        QVERIFY2(printer.Start(&bindError), bindError.c_str());
        UsbEmulator usb(fixture.Root());
        QVERIFY(usb.Start("3a53:0122:LANG0001"));
        const std::vector<uint8_t> body = ovraemu::BuildStatusBody(EmuState("Ovra P2200DN", "LANG0001", 0x00, 6000));
        QCOMPARE(usb.Command("status 2 " + HexBytes(body)), QString("ok"));

        QProcessEnvironment env = usb.PreloadEnvironment();
        env.insert("LANG", lang);
        QStringList unset{"LC_ALL", "LC_MESSAGES", "LANGUAGE"};
        if (!home)
            unset << "HOME";
        QVERIFY(fixture.StartService(env, unset));
        QTRY_VERIFY_WITH_TIMEOUT(fixture.StatusFileExists("lang-net") && fixture.StatusFileExists("lang-usb"), 15000);
        // The first poll found the network printer "Ready": it is polled again only while
        // CUPS prints on its queue.
        QCOMPARE(printer.StatusRequests(), 1);

        const QString netJob = fixture.Cups().Print("lang-net", "job data", &error);
        QVERIFY2(!netJob.isEmpty(), qPrintable(error));
        const QString usbJob = fixture.Cups().Print("lang-usb", "job data", &error);
        QVERIFY2(!usbJob.isEmpty(), qPrintable(error));
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.Cups().JobData(usbJob).isEmpty(), 15000); // the backend holds it
        QTRY_VERIFY_WITH_TIMEOUT(printer.StatusRequests() > 1, 20000);

        // Two more status polls: a whole cycle of job checks has seen the USB job printing.
        const int polls = usb.Count(2, "33");
        QTRY_VERIFY_WITH_TIMEOUT(usb.Count(2, "33") >= polls + 2, 20000);
        QCOMPARE(usb.Count(2, "34"), 0);
        QVERIFY2(fixture.Cups().Cancel(usbJob, &error), qPrintable(error));
        QTRY_COMPARE_WITH_TIMEOUT(usb.Count(2, "34"), 1, 15000);
        QTest::qWait(4000);
        QCOMPARE(usb.Count(2, "34"), 1);
        QCOMPARE(fixture.Service().state(), QProcess::Running);
    }
};

QTEST_GUILESS_MAIN(TestServiceLanguages)
#include "tst_service_languages.moc"
