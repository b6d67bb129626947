// Emulated scanners driven with raw usbfs requests in this process, the way
// the scan daemon drives them (run under libumockdev-preload).
#include "ovraemu/usbscannerbed.h"
#include "rawusbfs.h"

#include <QtTest>

#include <fcntl.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

using namespace ovraemu;
using namespace ovraemu::test;

namespace {

constexpr uint16_t kVendor = 0x2D8A;
constexpr uint16_t kProduct = 0x1F07;

using Clock = std::chrono::steady_clock;

long ElapsedMs(Clock::time_point since)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

// An open device node, closed at the end of the scope.
struct Handle {
    int fd = -1;
    explicit Handle(const std::string& path) : fd(OpenNode(path)) {}
    ~Handle()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

std::vector<uint8_t> GrayLock() { return LockPayload(2, 850, 1100, 300, ScanSource::FlatbedSingle); }

// A bed with one scanner of serial number S1.
struct ScannerBed : UsbScannerBed {
    const int id = AddScanner(kVendor, kProduct, "S1");
};

// The error of a response read that got nothing within the time-out; 0 when one came.
int ReadError(int fd, unsigned timeoutMs)
{
    int error = 0;
    return ReadResponse(fd, timeoutMs, &error) ? 0 : error;
}

// Locks the scanner for a grey flatbed page and starts the scan.
bool LockAndStart(int fd)
{
    return Exchange(fd, ScannerCommand::Lock, GrayLock()) == flag::kSuccess
           && Exchange(fd, ScannerCommand::Start) == flag::kSuccess;
}

int WaitForChild(pid_t child)
{
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

} // namespace

class UsbScannerBedTest : public QObject
{
    Q_OBJECT

private slots:
    void nodeIsFoundByWalkingTheBusAndReadsDescriptors()
    {
        UsbScannerBed bed;
        const int other = bed.AddScanner(kVendor, 0x0001, "OTHER");
        const int id = bed.AddScanner(kVendor, kProduct, "K246S0001");
        const std::vector<std::string> nodes = ListUsbNodes();
        QVERIFY(std::find(nodes.begin(), nodes.end(), bed.DevNode(id).substr(13)) != nodes.end());
        QCOMPARE(FindNode(kVendor, kProduct), bed.DevNode(id));
        QCOMPARE(FindNode(kVendor, 0x0001), bed.DevNode(other));

        Handle node(bed.DevNode(id));
        QVERIFY(node.fd >= 0);
        const auto device = ReadNode(node.fd, 18);
        QVERIFY(device);
        QCOMPARE(device->size(), size_t(18));
        QCOMPARE((*device)[8] | (*device)[9] << 8, int(kVendor));
        QCOMPARE((*device)[10] | (*device)[11] << 8, int(kProduct));
        QCOMPARE((*device)[16], uint8_t(3)); // iSerialNumber
        const auto configuration = ReadNode(node.fd, 512);
        QVERIFY(configuration);
        QCOMPARE(configuration->size(), size_t(32));
        QCOMPARE((*configuration)[9 + 5], uint8_t(0xFF)); // vendor-specific interface
        QCOMPARE((*configuration)[18 + 2], uint8_t(0x02));
        QCOMPARE((*configuration)[25 + 2], uint8_t(0x82));
        std::vector<uint8_t> all = *device;
        all.insert(all.end(), configuration->begin(), configuration->end());
        QCOMPARE(all, bed.NodeDescriptors(id));
        QCOMPARE(ReadNode(node.fd, 18)->size(), size_t(0)); // end of the descriptors
    }

    void stringDescriptorsComeThroughControlTransfers()
    {
        UsbScannerBed bed;
        const int latin = bed.AddScanner(kVendor, kProduct, "K246S0001", "Ovra", "Ovra K246 MFP");
        const int cyrillic = bed.AddScanner(kVendor, kProduct, "SN-Ж1", "Овра", "Сканер X");
        UsbScannerConfig noSerial;
        noSerial.vendorId = kVendor;
        noSerial.productId = kProduct;
        noSerial.hasSerial = false;
        const int bare = bed.AddScanner(noSerial);

        const auto strings = [](const Handle& node) { // manufacturer, product, serial
            std::vector<std::string> texts;
            for (uint8_t index = 1; index <= 3; ++index)
                texts.push_back(ReadAsciiString(node.fd, index).value_or("-"));
            return texts;
        };
        Handle first(bed.DevNode(latin));
        QCOMPARE(strings(first), (std::vector<std::string>{"Ovra", "Ovra K246 MFP", "K246S0001"}));
        Handle second(bed.DevNode(cyrillic));
        QCOMPARE(strings(second), (std::vector<std::string>{"????", "?????? X", "SN-?1"}));
        std::vector<uint8_t> raw;
        QCOMPARE(ReadStringDescriptor(second.fd, 1, raw), 10);
        QCOMPARE(raw[2] | raw[3] << 8, 0x041E); // "О" in UTF-16LE

        Handle third(bed.DevNode(bare));
        QCOMPARE((*ReadNode(third.fd, 18))[16], uint8_t(0));
        QCOMPARE(ReadStringDescriptor(third.fd, 3, raw), -EPIPE);
    }

    void interfaceClaimsAndDriverRequestsBehaveLikeTheKernel()
    {
        ScannerBed bed;
        Handle one(bed.DevNode(bed.id));
        Handle two(bed.DevNode(bed.id));
        unsigned interface = 0;
        QCOMPARE(::ioctl(one.fd, USBDEVFS_CLAIMINTERFACE, &interface), 0);
        QCOMPARE(::ioctl(two.fd, USBDEVFS_CLAIMINTERFACE, &interface), -1);
        QCOMPARE(errno, EBUSY);
        QCOMPARE(SendCommand(two.fd, ScannerCommand::Properties), -EBUSY); // bulk needs the interface
        QCOMPARE(::ioctl(one.fd, USBDEVFS_RELEASEINTERFACE, &interface), 0);
        QCOMPARE(Exchange(two.fd, ScannerCommand::Properties), int(flag::kSuccess)); // claimed on the way

        usbdevfs_ioctl detach{0, USBDEVFS_DISCONNECT, nullptr};
        QCOMPARE(::ioctl(one.fd, USBDEVFS_IOCTL, &detach), -1);
        QCOMPARE(errno, ENODATA); // no kernel driver bound
        bed.SetFault(bed.id, UsbFault::KernelDriverActive);
        Handle three(bed.DevNode(bed.id));
        QCOMPARE(::ioctl(three.fd, USBDEVFS_IOCTL, &detach), 0);
        QVERIFY(bed.KernelDriverDetached(bed.id));
    }

    void commandIsAnsweredInOneShortTransfer()
    {
        ScannerBed bed;
        bed.SetAsleep(bed.id, true, 7);
        Handle scanner(bed.DevNode(bed.id));
        std::vector<uint8_t> response;
        QCOMPARE(Exchange(scanner.fd, ScannerCommand::Properties, {}, &response), int(flag::kPoweredOff));
        QCOMPARE(Exchange(scanner.fd, ScannerCommand::PowerOn, {}, &response), int(flag::kSuccess));
        QCOMPARE(response, (std::vector<uint8_t>{0x1B, 0x44, 0x04, 0x00, 2, 0, 0x80, 0, 7, 0}));
        QCOMPARE(Exchange(scanner.fd, ScannerCommand::Properties, {}, &response), int(flag::kSuccess));
        QCOMPARE(response.size(), size_t(24));
        QCOMPARE(std::vector<uint8_t>(response.begin(), response.begin() + 8),
                 (std::vector<uint8_t>{0x1B, 0x53, 0x03, 0x00, 16, 0, 0x80, 0}));
        QCOMPARE(Exchange(scanner.fd, ScannerCommand::GetScanSizes, {}, &response), int(flag::kSuccess));
        QCOMPARE(response.size(), size_t(10));

        const std::vector<ReceivedCommand> commands = bed.Commands(bed.id);
        QCOMPARE(commands.size(), size_t(4));
        QVERIFY(commands[0].Is(ScannerCommand::Properties));
        QVERIFY(commands[1].Is(ScannerCommand::PowerOn));
        QCOMPARE(commands[1].header.flags, uint8_t(0x80));
        QVERIFY(commands[3].Is(ScannerCommand::GetScanSizes));
    }

    void threePageJobIsReassembledByteForByte()
    {
        ScannerBed bed;
        JobShape shape;
        shape.recordBytes = 1500; // pages of 3700 bytes: records of 1500, 1500 and 700
        shape.chunk = 700;        // image bytes arrive in several transfers
        const ScanJob job = MakePatternJob(3, PageGeometry{100, 37, PixelMode::Gray}, shape);
        bed.SetJob(bed.id, job);

        Handle scanner(bed.DevNode(bed.id));
        QCOMPARE(Exchange(scanner.fd, ScannerCommand::Lock, GrayLock()), int(flag::kSuccess));
        QVERIFY(bed.IsLocked(bed.id));
        QCOMPARE(Exchange(scanner.fd, ScannerCommand::Start), int(flag::kSuccess));
        const ScanReadout scan = ReadScan(scanner.fd);
        QCOMPARE(scan.error, 0);
        QVERIFY(scan.endOfData);
        QCOMPARE(scan.pages.size(), size_t(3));
        for (size_t page = 0; page < 3; ++page)
            QCOMPARE(scan.pages[page], job.pages[page]);
        QVERIFY(scan.pages[0] != scan.pages[1]);
        QCOMPARE(scan.statuses.front(), 8);
        QCOMPARE(scan.statuses.back(), 1);
        QCOMPARE(std::count(scan.statuses.begin(), scan.statuses.end(), 9), 3L);
        QCOMPARE(std::count(scan.statuses.begin(), scan.statuses.end(), 0), 9L);
        QCOMPARE(Exchange(scanner.fd, ScannerCommand::Unlock), int(flag::kSuccess));
        QVERIFY(!bed.IsLocked(bed.id));

        const JobProgress progress = bed.Progress(bed.id);
        QCOMPARE(progress.runs, 1);
        QCOMPARE(progress.stepsSent, job.steps.size());
        QVERIFY(!progress.running);
        const std::vector<std::string> events = bed.Events(bed.id);
        QCOMPARE(events.front(), std::string("command 1B5305 size 47 flag 80"));
        QVERIFY(std::find(events.begin(), events.end(), "job finished") != events.end());
    }

    void lockSettingsAreRecordedFieldByField()
    {
        ScannerBed bed;
        Handle scanner(bed.DevNode(bed.id));
        QCOMPARE(Exchange(scanner.fd, ScannerCommand::Lock, LockPayload(3, 2480, 3508, 600, ScanSource::FeederMulti)),
                 int(flag::kSuccess));
        const auto lock = bed.LastLock(bed.id);
        QVERIFY(lock);
        QCOMPARE(DescribeLockSettings(*lock),
                 std::string("depth=3 compression=0/0 filter=3 area=0,0,2480x3508 dpi=600x600"
                             " source=3 duplex=1 background=0/0 brightness=0 contrast=0"));
        QVERIFY(lock->FromFeeder());
        QCOMPARE(bed.Commands(bed.id).front().payload, lock->raw);
    }

    void everyResponseFlagCanBeScripted_data()
    {
        QTest::addColumn<int>("flag");
        for (int value = 0x80; value <= 0x89; ++value)
            QTest::newRow(QByteArray::number(value, 16).constData()) << value;
        QTest::newRow("00") << 0x00;
    }

    void everyResponseFlagCanBeScripted()
    {
        QFETCH(int, flag);
        ScannerBed bed;
        ScriptedResponse response;
        response.flag = static_cast<uint8_t>(flag);
        bed.ScriptResponse(bed.id, ScannerCommand::Lock, response);
        Handle scanner(bed.DevNode(bed.id));
        QCOMPARE(Exchange(scanner.fd, ScannerCommand::Lock, GrayLock()), flag);
        QCOMPARE(bed.IsLocked(bed.id), flag == 0x80); // a refused lock changes nothing
        // The script was for one answer: the next lock gets the usual one.
        const int expected = flag == 0x80 ? flag::kBusyOrBadRequest : flag::kSuccess;
        QCOMPARE(Exchange(scanner.fd, ScannerCommand::Lock, GrayLock()), expected);
    }

    void scannerStateDecidesTheFlags()
    {
        ScannerBed bed;
        Handle scanner(bed.DevNode(bed.id));
        QCOMPARE(Exchange(scanner.fd, ScannerCommand::Start), int(flag::kLockRequired));
        QCOMPARE(Exchange(scanner.fd, ScannerCommand::Unlock), int(flag::kLockRequired));
        bed.SetLockedElsewhere(bed.id, true);
        QCOMPARE(Exchange(scanner.fd, ScannerCommand::Lock, GrayLock()), int(flag::kBusyOrBadRequest));
        bed.SetLockedElsewhere(bed.id, false);
        QCOMPARE(Exchange(scanner.fd, ScannerCommand::Lock, {1, 2, 3}), int(flag::kInvalidCommand));

        bed.SetFeeder(bed.id, AdfStatus::Empty);
        std::vector<uint8_t> response;
        QCOMPARE(Exchange(scanner.fd, ScannerCommand::AdfStatus, {}, &response), int(flag::kSuccess));
        QCOMPARE(response, (std::vector<uint8_t>{0x1B, 0x53, 0x04, 0, 0, 0, 0x80, 1}));
        QCOMPARE(Exchange(scanner.fd, ScannerCommand::Lock, LockPayload(2, 1, 1, 300, ScanSource::FeederSingle)),
                 int(flag::kSuccess));
        QCOMPARE(Exchange(scanner.fd, ScannerCommand::Start), int(flag::kFailed)); // no paper
        bed.SetFeeder(bed.id, AdfStatus::PaperJam);
        QCOMPARE(Exchange(scanner.fd, ScannerCommand::AdfStatus, {}, &response), int(flag::kSuccess));
        QCOMPARE(response[7], uint8_t(3));
        bed.SetFeeder(bed.id, AdfStatus::Loaded);
        QCOMPARE(Exchange(scanner.fd, ScannerCommand::Start), int(flag::kSuccess));
        QCOMPARE(Exchange(scanner.fd, static_cast<ScannerCommand>(0x5399)), int(flag::kInvalidCommand));
    }

    void scriptedAnswersCarryOddSizesAndStrayTransfers()
    {
        ScannerBed bed;
        ScriptedResponse oversize;
        oversize.dataSize = 193;
        bed.ScriptResponse(bed.id, ScannerCommand::Properties, oversize);
        ScriptedResponse stray;
        stray.before = {EncodeRecordHeader(0, 23, 0, 0), EncodeDeviceAbort()};
        stray.reserved = 2;
        bed.ScriptResponse(bed.id, ScannerCommand::AdfStatus, stray);

        Handle scanner(bed.DevNode(bed.id));
        std::vector<uint8_t> response;
        QCOMPARE(Exchange(scanner.fd, ScannerCommand::Properties, {}, &response), int(flag::kSuccess));
        QCOMPARE(response[4] | response[5] << 8, 193);
        QCOMPARE(response.size(), size_t(24));

        QCOMPARE(SendCommand(scanner.fd, ScannerCommand::AdfStatus), 0);
        QCOMPARE(ReadResponse(scanner.fd, 500)->size(), size_t(31)); // the stray record header
        QCOMPARE(*ReadResponse(scanner.fd, 500), EncodeDeviceAbort());
        response = *ReadResponse(scanner.fd, 500);
        QCOMPARE(response[2], uint8_t(0x04));
        QCOMPARE(response[7], uint8_t(2));
    }

    void silentScannerLetsTheReadTimeOutAfterItsTimeOut()
    {
        ScannerBed bed;
        ScriptedResponse silent;
        silent.silent = true;
        bed.ScriptResponse(bed.id, ScannerCommand::Unlock, silent);
        Handle scanner(bed.DevNode(bed.id));
        QCOMPARE(SendCommand(scanner.fd, ScannerCommand::Unlock), 0);
        const auto start = Clock::now();
        QCOMPARE(ReadError(scanner.fd, 300), ETIMEDOUT);
        QVERIFY2(ElapsedMs(start) >= 290, qPrintable(QString::number(ElapsedMs(start))));
        QVERIFY(ElapsedMs(start) < 2000);
        QCOMPARE(bed.Commands(bed.id).size(), size_t(1));
    }

    void refusedWriteTimesOut()
    {
        ScannerBed bed;
        bed.SetRefuseWrites(bed.id, true);
        Handle scanner(bed.DevNode(bed.id));
        const auto start = Clock::now();
        QCOMPARE(SendCommand(scanner.fd, ScannerCommand::Properties, {}, 250), -ETIMEDOUT);
        QVERIFY(ElapsedMs(start) >= 240);
        QVERIFY(bed.Commands(bed.id).empty());
        QCOMPARE(bed.Events(bed.id), std::vector<std::string>{"refused 8 bytes"});
        bed.SetRefuseWrites(bed.id, false);
        QCOMPARE(Exchange(scanner.fd, ScannerCommand::Properties), int(flag::kSuccess));
    }

    void pacedRecordsArriveWhileTheReadWaits()
    {
        ScannerBed bed;
        JobShape shape;
        shape.delayMs = 150;
        bed.SetJob(bed.id, MakeScanJob({{1, 2, 3}}, shape));
        Handle scanner(bed.DevNode(bed.id));
        QVERIFY(LockAndStart(scanner.fd));
        const auto start = Clock::now();
        const auto first = ReadResponse(scanner.fd, 2000);
        QVERIFY(first);
        QCOMPARE((*first)[8], uint8_t(8));
        QVERIFY(ElapsedMs(start) >= 140);
        QCOMPARE(ReadError(scanner.fd, 50), ETIMEDOUT); // the next record is not due yet
        QCOMPARE((*ReadResponse(scanner.fd, 2000))[8], uint8_t(9));
    }

    void unplugByTheJobFailsTheNextRequestsWithNoDevice()
    {
        ScannerBed bed;
        ScanJob job = MakeScanJob({std::vector<uint8_t>(600, 0x5A), std::vector<uint8_t>(600, 0xA5)});
        job.steps.insert(job.steps.begin() + 4, JobStep::Unplug()); // after the end of page 0
        bed.SetJob(bed.id, job);
        const std::string node = bed.DevNode(bed.id);
        Handle scanner(node);
        QVERIFY(LockAndStart(scanner.fd));
        const ScanReadout scan = ReadScan(scanner.fd);
        QCOMPARE(scan.error, ENODEV);
        QCOMPARE(scan.pages.size(), size_t(1));
        QCOMPARE(scan.pages[0], job.pages[0]);
        QVERIFY(bed.IsUnplugged(bed.id));

        std::vector<uint8_t> probe;
        QCOMPARE(ReadStringDescriptor(scanner.fd, 0, probe), -ENODEV);
        QCOMPARE(SendCommand(scanner.fd, ScannerCommand::Abort), -ENODEV);
        QVERIFY(!ReadNode(scanner.fd, 18));
        QCOMPARE(OpenNode(node), -ENOENT);
        QVERIFY(FindNode(kVendor, kProduct).empty());
    }

    void unplugEndsAReadThatWaits()
    {
        ScannerBed bed;
        Handle scanner(bed.DevNode(bed.id));
        std::thread unplug([&bed] {
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            bed.Unplug(bed.id);
        });
        const auto start = Clock::now();
        const int error = ReadError(scanner.fd, 5000);
        unplug.join();
        QCOMPARE(error, ENODEV);
        QVERIFY(ElapsedMs(start) < 2000);
    }

    void faultyRecordsAreSentAsScripted()
    {
        ScannerBed bed;
        ScanJob job;
        job.steps = {JobStep::Record(ScanStatus::BeginOfScan), JobStep::AnnouncedRecord(0, 10),
                     JobStep::Record(ScanStatus(6)), JobStep::AnnouncedRecord(0, 0), JobStep::DeviceAbort()};
        bed.SetJob(bed.id, job);
        Handle scanner(bed.DevNode(bed.id));
        QVERIFY(LockAndStart(scanner.fd));
        QCOMPARE((*ReadResponse(scanner.fd, 500))[8], uint8_t(8));
        const std::vector<uint8_t> shortRecord = *ReadResponse(scanner.fd, 500);
        QCOMPARE(shortRecord[4] | shortRecord[5] << 8, 10);
        QCOMPARE(shortRecord[8], uint8_t(0));
        QCOMPARE((*ReadResponse(scanner.fd, 500))[8], uint8_t(6));
        QCOMPARE((*ReadResponse(scanner.fd, 500))[4], uint8_t(0));
        QCOMPARE(*ReadResponse(scanner.fd, 500), EncodeDeviceAbort());
        QCOMPARE(ReadError(scanner.fd, 100), ETIMEDOUT);
    }

    void abortEndsTheScanAndIsAnsweredAcrossTheReset()
    {
        ScannerBed bed;
        bed.SetJob(bed.id, MakePatternJob(2, PageGeometry{64, 64, PixelMode::Color}, JobShape{1024, 0, 0}));
        Handle scanner(bed.DevNode(bed.id));
        QVERIFY(LockAndStart(scanner.fd));
        QCOMPARE((*ReadResponse(scanner.fd, 500))[8], uint8_t(8));
        QCOMPARE((*ReadResponse(scanner.fd, 500))[8], uint8_t(9));
        QCOMPARE(SendCommand(scanner.fd, ScannerCommand::Abort), 0);
        QCOMPARE(::ioctl(scanner.fd, USBDEVFS_RESET, nullptr), 0);
        QCOMPARE(*ReadResponse(scanner.fd, 500), EncodeDeviceAbort()); // the abort's answer
        QCOMPARE(ReadError(scanner.fd, 100), ETIMEDOUT);               // nothing of the scan is left
        QVERIFY(bed.IsLocked(bed.id));
        const std::vector<std::string> events = bed.Events(bed.id);
        const auto aborted = std::find(events.begin(), events.end(), "job aborted");
        QVERIFY(aborted != events.end());
        QVERIFY(std::find(aborted, events.end(), "reset") != events.end());
        QVERIFY(!bed.Progress(bed.id).running);
    }

    void endpointRequestsNameExistingEndpoints()
    {
        ScannerBed bed;
        Handle scanner(bed.DevNode(bed.id));
        unsigned in = 0x82;
        unsigned out = 0x02;
        unsigned missing = 0x05;
        QCOMPARE(::ioctl(scanner.fd, USBDEVFS_CLEAR_HALT, &in), 0);
        QCOMPARE(::ioctl(scanner.fd, USBDEVFS_RESETEP, &out), 0);
        QCOMPARE(::ioctl(scanner.fd, USBDEVFS_CLEAR_HALT, &missing), -1);
        QCOMPARE(errno, ENOENT);
        QCOMPARE(bed.Events(bed.id), (std::vector<std::string>{"clear-halt 82", "reset-endpoint 02"}));
    }

    void forkedReaderSharesTheHandleLikeADataProcess()
    {
        ScannerBed bed;
        const ScanJob job = MakePatternJob(2, PageGeometry{200, 20, PixelMode::Gray}, JobShape{1000, 300, 0});
        bed.SetJob(bed.id, job);
        Handle scanner(bed.DevNode(bed.id));
        QVERIFY(LockAndStart(scanner.fd));
        QTemporaryDir dir;
        const std::string base = dir.path().toStdString() + "/page_";
        const pid_t child = fork();
        if (child == 0) {
            const ScanReadout scan = ReadScan(scanner.fd);
            for (size_t page = 0; page < scan.pages.size(); ++page) {
                std::ofstream out(base + std::to_string(page), std::ios::binary);
                out.write(reinterpret_cast<const char*>(scan.pages[page].data()),
                          static_cast<std::streamsize>(scan.pages[page].size()));
            }
            _exit(scan.endOfData ? 0 : 1);
        }
        QCOMPARE(WaitForChild(child), 0);
        for (size_t page = 0; page < 2; ++page) {
            std::ifstream in(base + std::to_string(page), std::ios::binary);
            const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            QCOMPARE(bytes, job.pages[page]);
        }
        QCOMPARE(Exchange(scanner.fd, ScannerCommand::Unlock), int(flag::kSuccess));
    }

    void unknownScannerIdThrows()
    {
        UsbScannerBed bed;
        QVERIFY_EXCEPTION_THROWN(bed.DevNode(42), std::out_of_range);
        QVERIFY_EXCEPTION_THROWN(bed.SetJob(42, ScanJob{}), std::out_of_range);
    }
};

QTEST_GUILESS_MAIN(UsbScannerBedTest)
#include "tst_usbscannerbed.moc"
