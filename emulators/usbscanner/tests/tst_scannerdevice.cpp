// The scanner behind the cable without usbfs: command assembly, answers and
// their flags, the record stream, pacing, resets and the wire layouts.
#include "commandassembler.h"
#include "ovraemu/usbcore/usbdescriptors.h"
#include "rawusbfs.h"
#include "scannerdevice.h"
#include "scannerlayout.h"

#include <QtTest>

#include <cstring>
#include <thread>

using namespace ovraemu;

namespace {

using test::CommandBytes;

std::vector<uint8_t> LockBytes(uint8_t source = 1)
{
    std::vector<uint8_t> payload(kLockSettingsSize, 0);
    payload[0] = 2;
    payload[24] = source;
    return CommandBytes(ScannerCommand::Lock, payload);
}

UsbScannerConfig Config()
{
    UsbScannerConfig config;
    config.vendorId = 0x2D8A;
    config.productId = 0x1F07;
    config.serial = "S1";
    return config;
}

// Sends a command and returns the next transfer the scanner has for a 200-byte read.
std::vector<uint8_t> Ask(ScannerDevice& device, const std::vector<uint8_t>& command)
{
    device.BulkOut(kScannerBulkOut, command);
    return device.BulkIn(kScannerBulkIn, 200).value_or(std::vector<uint8_t>{0xEE});
}

uint8_t Flag(const std::vector<uint8_t>& answer) { return answer.size() >= 8 ? answer[6] : 0; }

// A scanner given the job, then locked and started.
struct ScanningDevice : ScannerDevice {
    explicit ScanningDevice(const ScanJob& job) : ScannerDevice(Config())
    {
        SetJob(job);
        Ask(*this, LockBytes());
        Ask(*this, CommandBytes(ScannerCommand::Start));
    }
};

} // namespace

class ScannerDeviceTest : public QObject
{
    Q_OBJECT

private slots:
    void commandsAreCutFromPiecesAndBatches()
    {
        CommandAssembler assembler;
        const std::vector<uint8_t> lock = LockBytes();
        QVERIFY(assembler.Feed({lock.begin(), lock.begin() + 3}).empty());
        QVERIFY(assembler.Feed({lock.begin() + 3, lock.begin() + 30}).empty());
        const auto first = assembler.Feed({lock.begin() + 30, lock.end()});
        QCOMPARE(first.size(), size_t(1));
        QVERIFY(first[0].Is(ScannerCommand::Lock));
        QCOMPARE(first[0].payload.size(), kLockSettingsSize);
        QCOMPARE(assembler.PendingBytes(), size_t(0));

        std::vector<uint8_t> two = CommandBytes(ScannerCommand::Start);
        const std::vector<uint8_t> unlock = CommandBytes(ScannerCommand::Unlock);
        two.insert(two.end(), unlock.begin(), unlock.end());
        const auto batch = assembler.Feed(two);
        QCOMPARE(batch.size(), size_t(2));
        QVERIFY(batch[0].Is(ScannerCommand::Start));
        QVERIFY(batch[1].Is(ScannerCommand::Unlock));

        const auto garbage = assembler.Feed({0x00, 0x53, 0x01});
        QCOMPARE(garbage.size(), size_t(1));
        QVERIFY(!garbage[0].valid);
        QCOMPARE(garbage[0].payload, (std::vector<uint8_t>{0x00, 0x53, 0x01}));
    }

    void recordHeaderIsPackedLittleEndian()
    {
        const std::vector<uint8_t> header = EncodeRecordHeader(9, 23 + 1000, 640, 480);
        QCOMPARE(header.size(), size_t(31));
        QCOMPARE(std::vector<uint8_t>(header.begin(), header.begin() + 8),
                 (std::vector<uint8_t>{0x1B, 0x53, 0x02, 0x00, 0xFF, 0x03, 0x80, 0x00}));
        QCOMPARE(header[8], uint8_t(9));
        QCOMPARE(header[11] | header[12] << 8, 640);
        QCOMPARE(header[15] | header[16] << 8, 480);
        QCOMPARE(EncodeDeviceAbort(), (std::vector<uint8_t>{0x1B, 0x53, 0x0F, 0, 0, 0, 0x80, 0}));
    }

    void lockSettingsAreReadAtTheirOffsets()
    {
        std::vector<uint8_t> payload(kLockSettingsSize);
        for (size_t i = 0; i < payload.size(); ++i)
            payload[i] = static_cast<uint8_t>(i + 1);
        const auto s = DecodeLockSettings(payload);
        QVERIFY(s);
        QCOMPARE(s->depth, uint8_t(1));
        QCOMPARE(s->compressionMode, uint8_t(2));
        QCOMPARE(s->compressionLevel, uint8_t(3));
        QCOMPARE(s->filter, uint8_t(4));
        QCOMPARE(s->width, 0x08070605u);
        QCOMPARE(s->yOffset, 0x14131211u);
        QCOMPARE(s->xResolution, uint16_t(0x1615));
        QCOMPARE(s->yResolution, uint16_t(0x1817));
        QCOMPARE(s->scanSource, uint8_t(25));
        QCOMPARE(s->duplex, uint8_t(26));
        QCOMPARE(s->backgroundRemoval, uint8_t(34));
        QCOMPARE(s->backgroundRemovalParam, uint8_t(35));
        QCOMPARE(s->brightness, uint8_t(38));
        QCOMPARE(s->contrast, uint8_t(39));
        payload.pop_back();
        QVERIFY(!DecodeLockSettings(payload));
    }

    void scanStreamsRecordsInSeparateTransfersAfterTheStartAnswer()
    {
        ScannerDevice device(Config());
        JobShape shape;
        shape.recordBytes = 1000;
        shape.chunk = 400;
        device.SetJob(MakeScanJob({std::vector<uint8_t>(1500, 7)}, shape));
        QCOMPARE(Flag(Ask(device, LockBytes())), flag::kSuccess);
        QCOMPARE(Ask(device, CommandBytes(ScannerCommand::Start)),
                 (std::vector<uint8_t>{0x1B, 0x53, 0x01, 0, 0, 0, 0x80, 0}));
        std::vector<size_t> sizes;
        std::vector<uint8_t> statuses;
        while (auto transfer = device.BulkIn(kScannerBulkIn, 512)) {
            sizes.push_back(transfer->size());
            if (transfer->size() == 31)
                statuses.push_back((*transfer)[8]);
        }
        // begin of scan, begin of page, 1000 bytes in 400 + 400 + 200, 500 in 400 + 100, end of page, end of data
        QCOMPARE(sizes, (std::vector<size_t>{31, 31, 31, 400, 400, 200, 31, 400, 100, 31, 31}));
        QCOMPARE(statuses, (std::vector<uint8_t>{8, 9, 0, 0, 7, 1}));
        QVERIFY(!device.Progress().running);
        QCOMPARE(device.Progress().stepsSent, size_t(6));
    }

    void readsShorterThanATransferReadItOnWithoutCrossingIntoTheNext()
    {
        ScanningDevice device(MakeScanJob({std::vector<uint8_t>(700, 1)}));
        QCOMPARE(device.BulkIn(kScannerBulkIn, 20)->size(), size_t(20));
        QCOMPARE(device.BulkIn(kScannerBulkIn, 200)->size(), size_t(11)); // the rest of the 31 bytes
        QCOMPARE(device.BulkIn(kScannerBulkIn, 200)->size(), size_t(31));
        QCOMPARE(device.BulkIn(kScannerBulkIn, 200)->size(), size_t(31)); // record header
        QCOMPARE(device.BulkIn(kScannerBulkIn, 512)->size(), size_t(512));
        QCOMPARE(device.BulkIn(kScannerBulkIn, 512)->size(), size_t(188));
    }

    void answerToACommandDuringTheScanWaitsForTheCurrentRecord()
    {
        JobShape shape;
        shape.chunk = 100;
        ScanningDevice device(MakeScanJob({std::vector<uint8_t>(200, 3)}, shape));
        device.BulkIn(kScannerBulkIn, 200);                               // begin of scan
        device.BulkIn(kScannerBulkIn, 200);                               // begin of page
        QCOMPARE(device.BulkIn(kScannerBulkIn, 200)->size(), size_t(31)); // image record header
        device.BulkOut(kScannerBulkOut, CommandBytes(ScannerCommand::AdfStatus));
        QCOMPARE(device.BulkIn(kScannerBulkIn, 200)->size(), size_t(100));
        QCOMPARE(device.BulkIn(kScannerBulkIn, 200)->size(), size_t(100));
        const std::vector<uint8_t> answer = *device.BulkIn(kScannerBulkIn, 200);
        QCOMPARE(answer[2], uint8_t(0x04));
        QCOMPARE(answer[7], uint8_t(AdfStatus::Loaded));
        QCOMPARE((*device.BulkIn(kScannerBulkIn, 200))[8], uint8_t(7));
    }

    void flagsFollowTheScannerState()
    {
        ScannerDevice device(Config());
        QCOMPARE(Flag(Ask(device, CommandBytes(ScannerCommand::Start))), flag::kLockRequired);
        QCOMPARE(Flag(Ask(device, LockBytes(3))), flag::kSuccess);
        QCOMPARE(Flag(Ask(device, LockBytes(3))), flag::kBusyOrBadRequest); // held already
        device.SetFeeder(AdfStatus::PaperJam);
        QCOMPARE(Flag(Ask(device, CommandBytes(ScannerCommand::Start))), flag::kFailed);
        device.SetFeeder(AdfStatus::Loaded);
        QCOMPARE(Flag(Ask(device, CommandBytes(ScannerCommand::Start))), flag::kSuccess);
        QCOMPARE(Flag(Ask(device, CommandBytes(ScannerCommand::Start))), flag::kFailed); // a scan runs already
        QCOMPARE((*device.BulkIn(kScannerBulkIn, 200))[8], uint8_t(8));
    }

    void scriptsAnswerInTurnAndRunOut()
    {
        ScannerDevice device(Config());
        ScriptedResponse noMemory;
        noMemory.flag = flag::kNoMemory;
        ScriptedResponse catastrophic;
        catastrophic.flag = flag::kCatastrophic;
        device.Script(ScannerCommand::Lock, noMemory, 2);
        device.Script(ScannerCommand::Lock, catastrophic, 1);
        QCOMPARE(Flag(Ask(device, LockBytes())), flag::kNoMemory);
        QCOMPARE(Flag(Ask(device, LockBytes())), flag::kNoMemory);
        QCOMPARE(Flag(Ask(device, LockBytes())), flag::kCatastrophic);
        QVERIFY(!device.IsLocked());
        QCOMPARE(Flag(Ask(device, LockBytes())), flag::kSuccess);
        QVERIFY(device.IsLocked());

        ScriptedResponse always;
        always.flag = flag::kCommunication;
        device.Script(ScannerCommand::Properties, always, 0);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(Flag(Ask(device, CommandBytes(ScannerCommand::Properties))), flag::kCommunication);
        device.ClearScripts();
        QCOMPARE(Ask(device, CommandBytes(ScannerCommand::Properties)).size(), size_t(24));
    }

    void silentScriptRecordsTheCommandButSendsNothing()
    {
        ScannerDevice device(Config());
        ScriptedResponse silent;
        silent.silent = true;
        device.Script(ScannerCommand::PowerOn, silent, 1);
        device.BulkOut(kScannerBulkOut, CommandBytes(ScannerCommand::PowerOn));
        QVERIFY(!device.BulkIn(kScannerBulkIn, 200));
        QCOMPARE(device.Commands().size(), size_t(1));
    }

    void abortIsAnsweredOnlyWhenTheScannerDoesSo()
    {
        ScannerDevice device(Config());
        device.BulkOut(kScannerBulkOut, CommandBytes(ScannerCommand::Abort));
        QCOMPARE(*device.BulkIn(kScannerBulkIn, 200), EncodeDeviceAbort());
        device.SetAnswerAbort(false);
        device.BulkOut(kScannerBulkOut, CommandBytes(ScannerCommand::Abort));
        QVERIFY(!device.BulkIn(kScannerBulkIn, 200));
    }

    void resetEndsTheScanAndDropsItsTransfersOnly()
    {
        ScanningDevice device(MakeScanJob({std::vector<uint8_t>(100, 9)}));
        device.BulkIn(kScannerBulkIn, 10); // part of the begin-of-scan record
        device.BulkOut(kScannerBulkOut, CommandBytes(ScannerCommand::GetScanSizes));
        device.BulkOut(kScannerBulkOut, {0x1B, 0x53}); // part of a command
        device.OnReset();
        const std::vector<uint8_t> sizes = *device.BulkIn(kScannerBulkIn, 200);
        QCOMPARE(sizes.size(), size_t(10));
        QCOMPARE(sizes[2], uint8_t(0x0A));
        QVERIFY(!device.BulkIn(kScannerBulkIn, 200)); // nothing of the scan, not even the record begun
        QVERIFY(device.IsLocked());
        QCOMPARE(device.Events().back(), std::string("job ended by reset"));
        QCOMPARE(Flag(Ask(device, CommandBytes(ScannerCommand::Unlock))), flag::kSuccess); // nothing half-read is left
    }

    void abortLetsTheImageOfARecordBegunFollowItsHeader()
    {
        JobShape shape;
        shape.chunk = 50;
        ScanningDevice device(MakeScanJob({std::vector<uint8_t>(150, 4), std::vector<uint8_t>(150, 5)}, shape));
        device.BulkIn(kScannerBulkIn, 200);                               // begin of scan
        device.BulkIn(kScannerBulkIn, 200);                               // begin of page
        QCOMPARE(device.BulkIn(kScannerBulkIn, 200)->size(), size_t(31)); // image record header
        device.BulkOut(kScannerBulkOut, CommandBytes(ScannerCommand::Abort));
        for (int chunk = 0; chunk < 3; ++chunk)
            QCOMPARE(*device.BulkIn(kScannerBulkIn, 200), std::vector<uint8_t>(50, 4));
        QCOMPARE(*device.BulkIn(kScannerBulkIn, 200), EncodeDeviceAbort());
        QVERIFY(!device.BulkIn(kScannerBulkIn, 200));
        QVERIFY(!device.Progress().running);
    }

    void pacedStepsWaitForTheirTime()
    {
        JobShape shape;
        shape.delayMs = 80;
        ScanningDevice device(MakeScanJob({}, shape));
        QVERIFY(!device.BulkIn(kScannerBulkIn, 200));
        const auto due = device.NextDataTime();
        QVERIFY(due);
        QVERIFY(*due > UsbDeviceModel::Clock::now());
        std::this_thread::sleep_until(*due);
        QCOMPARE((*device.BulkIn(kScannerBulkIn, 200))[8], uint8_t(8));
        QVERIFY(!device.BulkIn(kScannerBulkIn, 200));
        std::this_thread::sleep_until(*device.NextDataTime());
        QCOMPARE((*device.BulkIn(kScannerBulkIn, 200))[8], uint8_t(1));
        QVERIFY(!device.NextDataTime());
    }

    void unplugStepLeavesTheBusAfterEverythingBeforeWasRead()
    {
        ScanJob job;
        job.steps = {JobStep::Record(ScanStatus::BeginOfScan), JobStep::Unplug(),
                     JobStep::Record(ScanStatus::EndOfData)};
        ScanningDevice device(job);
        QVERIFY(device.BulkIn(kScannerBulkIn, 200));
        QVERIFY(!device.HasLeftBus());
        QVERIFY(!device.BulkIn(kScannerBulkIn, 200));
        QVERIFY(device.HasLeftBus());
        QVERIFY(!device.BulkIn(kScannerBulkIn, 200));
    }

    void refusedWritesAreNotTaken()
    {
        ScannerDevice device(Config());
        device.SetRefuseWrites(true);
        QVERIFY(!device.BulkOut(kScannerBulkOut, CommandBytes(ScannerCommand::Properties)));
        QVERIFY(device.Commands().empty());
        device.SetRefuseWrites(false);
        QVERIFY(device.BulkOut(kScannerBulkOut, CommandBytes(ScannerCommand::Properties)));
        QCOMPARE(device.Commands().size(), size_t(1));
    }

    void descriptorsAndStringsAreStandard()
    {
        UsbScannerConfig config = Config();
        config.product = "Сканер";
        ScannerDevice device(config);
        const ControlOutcome product = device.Control({0x80, 6, 0x0302, 0x0409, 255}, {});
        QVERIFY(!product.stall);
        QCOMPARE(product.data, StringDescriptor("Сканер"));
        QCOMPARE(product.data.size(), size_t(14));
        QCOMPARE(product.data[2] | product.data[3] << 8, 0x0421);
        const ControlOutcome configuration = device.Control({0x80, 6, 0x0200, 0, 255}, {});
        QCOMPARE(configuration.data, ConfigurationDescriptor(device.Description().layout));
        QVERIFY(device.Control({0xC0, 0x01, 0, 0, 4}, {}).stall); // no vendor requests
        QCOMPARE(device.Events(), std::vector<std::string>{"control C0:01:0000:0000:0004"});
        QVERIFY(device.HasBulkEndpoint(0x02));
        QVERIFY(device.HasBulkEndpoint(0x82));
        QVERIFY(!device.HasBulkEndpoint(0x81));
    }

    void patternJobsAreDeterministicAndCutIntoRecords()
    {
        const PageGeometry color{10, 4, PixelMode::Color};
        QCOMPARE(PatternPage(1, color).size(), size_t(120));
        QCOMPARE(PatternPage(1, color), PatternPage(1, color));
        QVERIFY(PatternPage(0, color) != PatternPage(1, color));
        JobShape shape;
        shape.recordBytes = 50;
        const ScanJob job = MakePatternJob(2, color, shape);
        std::vector<std::string> steps;
        for (const JobStep& step : job.steps)
            steps.push_back(step.Describe());
        QCOMPARE(steps, (std::vector<std::string>{"8", "9", "0:50", "0:50", "0:20", "7", "9", "0:50", "0:50", "0:20",
                                                  "7", "1"}));
        QCOMPARE(job.width, 10u);
        shape.recordBytes = 65513;
        QVERIFY_EXCEPTION_THROWN(MakeScanJob({}, shape), std::invalid_argument);
    }

    void chartJobsSendThePageTheLockAsksFor_data()
    {
        QTest::addColumn<int>("depth"); // 1 lineart, 2 grey, 3 colour
        QTest::addColumn<int>("compression");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("resolution");
        QTest::addColumn<int>("bytesPerLine");
        QTest::newRow("grey raw") << 2 << 0 << 250 << 120 << 100 << 250;
        QTest::newRow("colour raw") << 3 << 0 << 90 << 50 << 75 << 270;
        QTest::newRow("lineart raw, odd width") << 1 << 0 << 301 << 80 << 150 << 38;
        QTest::newRow("lineart stays raw under JPEG compression") << 1 << 2 << 64 << 30 << 75 << 8;
        QTest::newRow("grey JPEG") << 2 << 2 << 200 << 150 << 100 << 0;
        QTest::newRow("colour JPEG") << 3 << 2 << 160 << 100 << 75 << 0;
    }

    void chartJobsSendThePageTheLockAsksFor()
    {
        QFETCH(int, depth);
        QFETCH(int, compression);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, resolution);
        QFETCH(int, bytesPerLine);
        ScannerDevice device(Config());
        JobShape shape;
        shape.recordBytes = 1000;
        device.SetJob(MakeChartJob(2, shape));
        std::vector<uint8_t> settings = test::LockPayload(uint8_t(depth), uint32_t(width), uint32_t(height),
                                                          uint16_t(resolution), ScanSource::FlatbedSingle);
        settings[1] = uint8_t(compression);
        QCOMPARE(Flag(Ask(device, CommandBytes(ScannerCommand::Lock, settings))), flag::kSuccess);
        QCOMPARE(Flag(Ask(device, CommandBytes(ScannerCommand::Start))), flag::kSuccess);

        std::vector<std::vector<uint8_t>> pages;
        uint32_t recordWidth = 0;
        while (auto transfer = device.BulkIn(kScannerBulkIn, 65536)) {
            const bool header = transfer->size() == kScanHeaderSize + kRecordFieldsSize && (*transfer)[0] == 0x1B;
            if (header && (*transfer)[8] == uint8_t(ScanStatus::BeginOfPage))
                pages.emplace_back();
            if (header)
                std::memcpy(&recordWidth, transfer->data() + 11, 4);
            else if (!pages.empty())
                pages.back().insert(pages.back().end(), transfer->begin(), transfer->end());
            QVERIFY(header || transfer->size() <= shape.recordBytes);
        }
        QCOMPARE(pages.size(), size_t(2));
        QCOMPARE(recordWidth, uint32_t(width));
        const auto locked = DecodeLockSettings(settings);
        for (int page = 0; page < 2; ++page) {
            // Exactly the chart of that page number for these settings (tst_testchart decodes those).
            ChartStream expected(ChartPageOfLock(locked, page + 1), ChartEncodingOfLock(locked));
            QVERIFY(pages[size_t(page)] == expected.Read(size_t(-1)));
            if (bytesPerLine > 0)
                QCOMPARE(pages[size_t(page)].size(), size_t(bytesPerLine) * size_t(height));
            else
                QVERIFY(pages[size_t(page)].size() > 4 && pages[size_t(page)][0] == 0xFF
                        && pages[size_t(page)][1] == 0xD8);
        }
        QVERIFY(pages[0] != pages[1]);
    }
};

QTEST_GUILESS_MAIN(ScannerDeviceTest)
#include "tst_scannerdevice.moc"
