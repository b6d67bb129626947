// The control commands of the standalone emulator, applied to a bed.
#include "commandinterpreter.h"
#include "hexbytes.h"

#include <QtTest>

using namespace ovraemu;

class CommandInterpreterTest : public QObject
{
    Q_OBJECT

private slots:
    void hexRoundTripsAndRejectsGarbage()
    {
        QCOMPARE(ToHex({0x00, 0xAB, 0x7F}), std::string("00AB7F"));
        QCOMPARE(*ParseHex("00ab7F"), (std::vector<uint8_t>{0x00, 0xAB, 0x7F}));
        QVERIFY(ParseHex("").has_value());
        QVERIFY(!ParseHex("ABC"));
        QVERIFY(!ParseHex("zz"));
        QCOMPARE(*ParseHexNumber("0x3a53", 0xFFFF), 0x3A53u);
        QVERIFY(!ParseHexNumber("10000", 0xFFFF));
        QVERIFY(!ParseHexNumber("", 0xFF));
    }

    void printerArgumentsNameIdsAndSerial()
    {
        const auto withSerial = ParsePrinterArgument("3a53:0122:AB:C");
        QVERIFY(withSerial);
        QCOMPARE(withSerial->vendorId, uint16_t(0x3A53));
        QCOMPARE(withSerial->productId, uint16_t(0x0122));
        QCOMPARE(withSerial->serial, std::string("AB:C"));
        QVERIFY(withSerial->hasSerial);
        const auto withoutSerial = ParsePrinterArgument("1:2");
        QVERIFY(withoutSerial && !withoutSerial->hasSerial);
        QVERIFY(!ParsePrinterArgument("3a53"));
        QVERIFY(!ParsePrinterArgument("xyz:1"));
    }

    void commandsSteerTheBed()
    {
        UsbPrinterBed bed;
        CommandInterpreter interpreter(bed);
        QCOMPARE(interpreter.Execute("add 3a53 0122 SN1"), std::string("ok 2"));
        QCOMPARE(interpreter.Execute("devnode 2"), std::string("ok /dev/bus/usb/001/002"));
        QCOMPARE(interpreter.Execute("dir"), "ok " + bed.RootDir());
        QCOMPARE(interpreter.Execute("requests 2"), std::string("ok"));
        QCOMPARE(interpreter.Execute("bulksize 2"), std::string("ok 0"));
        QCOMPARE(interpreter.Execute("detached 2"), std::string("ok 0"));
        QCOMPARE(interpreter.Execute("status 2 0102"), std::string("ok"));
        QCOMPARE(interpreter.Execute("reply 2 34 -"), std::string("ok"));
        QCOMPARE(interpreter.Execute("bulkreply 2 none"), std::string("ok"));
        QCOMPARE(interpreter.Execute("fault 2 fail-claim"), std::string("ok"));
        QCOMPARE(interpreter.Execute("unplug 2"), std::string("ok"));
        QVERIFY(!interpreter.QuitRequested());
        QCOMPARE(interpreter.Execute("quit"), std::string("ok"));
        QVERIFY(interpreter.QuitRequested());
    }

    void bulkOutFaultCommands()
    {
        UsbPrinterBed bed;
        CommandInterpreter interpreter(bed);
        QCOMPARE(interpreter.Execute("add 3a53 0122 SN1"), std::string("ok 2"));
        QCOMPARE(interpreter.Execute("transfers 2"), std::string("ok"));
        QCOMPARE(interpreter.Execute("failout 2 always 0"), std::string("ok"));
        QCOMPARE(interpreter.Execute("failout 2 1 4096"), std::string("ok"));
        QCOMPARE(interpreter.Execute("shortout 2 6"), std::string("ok"));
        QCOMPARE(interpreter.Execute("shortout 2 none"), std::string("ok"));
        for (const char* line :
             {"failout 2 1", "failout 2 x 0", "failout 2 -1 0", "shortout 2 -3", "shortout 2", "transfers 2 1"}) {
            const std::string reply = interpreter.Execute(line);
            QVERIFY2(reply.rfind("error ", 0) == 0, line);
        }
    }

    void badCommandsGetErrors()
    {
        UsbPrinterBed bed;
        CommandInterpreter interpreter(bed);
        for (const char* line : {"", "launch", "status", "status 2 01", "status x 01", "add 3a53", "add zz 1",
                                 "fault 2 melted", "count 2", "dir extra"}) {
            const std::string reply = interpreter.Execute(line);
            QVERIFY2(reply.rfind("error ", 0) == 0, line);
        }
        QCOMPARE(interpreter.Execute("add 1 1"), std::string("ok 2"));
        QVERIFY(interpreter.Execute("status 2 0").rfind("error ", 0) == 0);
        QVERIFY(interpreter.Execute("fault 2 melted").rfind("error unknown fault", 0) == 0);
    }
};

QTEST_GUILESS_MAIN(CommandInterpreterTest)
#include "tst_commandinterpreter.moc"
