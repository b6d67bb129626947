// The control commands of the standalone scanner emulator, the job words and
// the command-line words, without usbfs traffic.
#include "jobspec.h"
#include "scannercommands.h"
#include "scannerwords.h"

#include <QtTest>

#include <fstream>

using namespace ovraemu;

namespace {

std::vector<std::string> Steps(const ScanJob& job)
{
    std::vector<std::string> steps;
    for (const JobStep& step : job.steps)
        steps.push_back(step.Describe());
    return steps;
}

} // namespace

class ScannerCommandsTest : public QObject
{
    Q_OBJECT

private slots:
    void jobWordsBuildPatternPagesWithFaults()
    {
        const auto parsed =
            ParseJobSpec("content=pattern,pages=2,width=8,height=4,mode=color,record=40,chunk=16,delay=5");
        QVERIFY(std::holds_alternative<ScanJob>(parsed));
        const ScanJob& job = std::get<ScanJob>(parsed);
        QCOMPARE(job.pages.size(), size_t(2));
        QCOMPARE(job.pages[1], PatternPage(1, PageGeometry{8, 4, PixelMode::Color}));
        QCOMPARE(Steps(job), (std::vector<std::string>{"8", "9", "0:40", "0:40", "0:16", "7", "9", "0:40", "0:40",
                                                       "0:16", "7", "1"}));
        QCOMPARE(job.steps[2].chunk, size_t(16));
        QCOMPARE(job.steps[2].delayMs, 5);

        const auto faulty =
            ParseJobSpec("content=pattern pages=1 width=2 height=2 datasize=2:10 status=2:6 device-abort=4 unplug=5");
        QVERIFY(std::holds_alternative<ScanJob>(faulty));
        QCOMPARE(Steps(std::get<ScanJob>(faulty)), (std::vector<std::string>{"8", "9", "0/size=10", "6/size=23", "0:4",
                                                                             "7", "device-abort", "1", "unplug"}));

        // Without content=pattern the pages are charts, drawn at scan time.
        const auto chart = ParseJobSpec("pages=2,record=1000,chunk=100 unplug=3");
        QVERIFY(std::holds_alternative<ScanJob>(chart));
        QCOMPARE(Steps(std::get<ScanJob>(chart)),
                 (std::vector<std::string>{"8", "9", "chart", "unplug", "7", "9", "chart", "7", "1"}));
        QCOMPARE(std::get<ScanJob>(chart).chartPages, 2u);
        QCOMPARE(std::get<ScanJob>(chart).steps[2].recordBytes, size_t(1000));
        QCOMPARE(std::get<ScanJob>(chart).steps[2].chunk, size_t(100));
    }

    void badJobWordsAreNamed()
    {
        QCOMPARE(std::get<std::string>(ParseJobSpec("pages=x")), std::string("bad number for pages: x"));
        QCOMPARE(std::get<std::string>(ParseJobSpec("content=pattern mode=sepia")),
                 std::string("mode must be gray or color"));
        QCOMPARE(std::get<std::string>(ParseJobSpec("content=photo")), std::string("content must be chart or pattern"));
        QCOMPARE(std::get<std::string>(ParseJobSpec("width=8")),
                 std::string("width, height and mode are for pattern pages: add content=pattern"));
        QCOMPARE(std::get<std::string>(ParseJobSpec("colour=1")), std::string("unknown job word colour"));
        QCOMPARE(std::get<std::string>(ParseJobSpec("pages")), std::string("job words are key=value: pages"));
        QCOMPARE(std::get<std::string>(ParseJobSpec("status=3")), std::string("bad value for status: 3"));
        QCOMPARE(std::get<std::string>(ParseJobSpec("unplug=9")),
                 std::string("fault position 9 beyond the job's 5 steps"));
        QVERIFY(std::holds_alternative<std::string>(ParseJobSpec("record=0")));
    }

    void scannerArgumentsCarryOptionalStrings()
    {
        const auto full = ParseScannerArgument("2d8a:1f07:SN1:Овра:MFP X");
        QVERIFY(full);
        QCOMPARE(full->vendorId, uint16_t(0x2D8A));
        QCOMPARE(full->productId, uint16_t(0x1F07));
        QCOMPARE(full->serial, std::string("SN1"));
        QCOMPARE(full->manufacturer, std::string("Овра"));
        QCOMPARE(full->product, std::string("MFP X"));
        const auto bare = ParseScannerArgument("2d8a:1f07");
        QVERIFY(bare);
        QVERIFY(!bare->hasSerial);
        QVERIFY(!ParseScannerArgument("2d8a"));
        QVERIFY(!ParseScannerArgument("2d8a:zz:S"));
    }

    void responseWordsFillTheScript()
    {
        int times = 0;
        std::string error;
        const auto response =
            ParseResponseWords(0x88,
                               {"times=3", "datasize=193", "reserved=2", "payload=0102", "stray=record", "stray=abort"},
                               times, error);
        QVERIFY(response);
        QCOMPARE(times, 3);
        QCOMPARE(response->flag, uint8_t(0x88));
        QCOMPARE(*response->dataSize, uint16_t(193));
        QCOMPARE(*response->reserved, uint8_t(2));
        QCOMPARE(*response->payload, (std::vector<uint8_t>{1, 2}));
        QCOMPARE(response->before.size(), size_t(2));
        QCOMPARE(response->before[1], EncodeDeviceAbort());
        QVERIFY(!response->silent);
        QVERIFY(ParseResponseWords(0x80, {"silent"}, times, error)->silent);
        QCOMPARE(times, 1);
        QVERIFY(!ParseResponseWords(0x80, {"reserved=300"}, times, error));
        QCOMPARE(error, std::string("bad response word reserved=300"));
        QCOMPARE(ParseCommandName("adf"), std::optional<ScannerCommand>(ScannerCommand::AdfStatus));
        QCOMPARE(ParseCommandName("4404"), std::optional<ScannerCommand>(ScannerCommand::PowerOn));
        QVERIFY(!ParseCommandName("scan"));
    }

    void commandsSteerTheBed()
    {
        UsbScannerBed bed;
        ScannerCommandInterpreter interpreter(bed);
        QCOMPARE(interpreter.Execute("add 2d8a 1f07 SN1"), std::string("ok 2"));
        QCOMPARE(interpreter.Execute("devnode 2"), std::string("ok /dev/bus/usb/001/002"));
        QCOMPARE(interpreter.Execute("progress 2"), std::string("ok runs=0 steps=0/5 running=0"));
        QCOMPARE(interpreter.Execute("job 2 content=pattern pages=2 width=4 height=4"),
                 std::string("ok steps=8 pages=2 bytes=32"));
        QCOMPARE(interpreter.Execute("steps 2"), std::string("ok 8 9 0:16 7 9 0:16 7 1"));

        QTemporaryDir dir;
        const std::string path = dir.filePath("page1").toStdString();
        QCOMPARE(interpreter.Execute("pagefile 2 1 " + path), std::string("ok 16"));
        std::ifstream in(path, std::ios::binary);
        const std::vector<uint8_t> written{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        QCOMPARE(written, PatternPage(1, PageGeometry{4, 4, PixelMode::Gray}));
        QCOMPARE(interpreter.Execute("pagefile 2 2 " + path), std::string("error no page 2 in the job"));

        QCOMPARE(interpreter.Execute("respond 2 lock 88 times=2"), std::string("ok"));
        QCOMPARE(interpreter.Execute("respond 2 scan 88"),
                 std::string("error usage: respond ID COMMAND FLAG [WORDS...]"));
        QCOMPARE(interpreter.Execute("feeder 2 jam"), std::string("ok"));
        QCOMPARE(interpreter.Execute("feeder 2 full"), std::string("error feeder is empty, loaded or jam"));
        QCOMPARE(interpreter.Execute("asleep 2 1 12"), std::string("ok"));
        QCOMPARE(interpreter.Execute("asleep 2 1 300"), std::string("error warm-up time is 0 to 255 seconds"));
        QCOMPARE(interpreter.Execute("busy 2 yes"), std::string("error busy takes 0 or 1"));
        QCOMPARE(interpreter.Execute("fault 2 stall-control"), std::string("error unknown fault stall-control"));
        QCOMPARE(interpreter.Execute("lock 2"), std::string("error no lock received"));
        QCOMPARE(interpreter.Execute("commands 2"), std::string("ok"));
        QCOMPARE(interpreter.Execute("locked 2"), std::string("ok 0"));
        QCOMPARE(interpreter.Execute("unplug 2"), std::string("ok"));
        QVERIFY(bed.IsUnplugged(2));
        QCOMPARE(interpreter.Execute("events 9"), std::string("error no emulated scanner with id 9"));
        QCOMPARE(interpreter.Execute("steps x"), std::string("error bad scanner id x"));
        QCOMPARE(interpreter.Execute("steps 2 3"), std::string("error wrong number of arguments for steps"));
        QCOMPARE(interpreter.Execute("scan 2"), std::string("error unknown command scan"));
        QVERIFY(!interpreter.QuitRequested());
        QCOMPARE(interpreter.Execute("quit"), std::string("ok"));
        QVERIFY(interpreter.QuitRequested());
    }
};

QTEST_GUILESS_MAIN(ScannerCommandsTest)
#include "tst_scannercommands.moc"
