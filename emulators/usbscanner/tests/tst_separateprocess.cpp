// The standalone scanner emulator serving a scan program in another process,
// and steered over its control socket.
#include "standaloneemulator.h"

namespace {

const QString kEmulator = QStringLiteral(OVRA_USBSCANNER_EMU_PATH);
const QString kClient = QStringLiteral(OVRA_USBSCANNER_SCANCLIENT_PATH);
const QStringList kClientIds = {"2d8a", "1f07"};

// A running ovra-usbscanner-emu with one scanner (id 2) playing `job`.
class Emulator : public StandaloneEmulator
{
public:
    Emulator(const QTemporaryDir& dir, const QString& job)
        : StandaloneEmulator(kEmulator, dir, {"--scanner", "2d8a:1f07:K246S0001:Ovra:Ovra K246 MFP", "--job", job}),
          dir_(dir)
    {
    }

    // The scanner emulator preloads a library of its own in front of umockdev's.
    bool Ready() const { return StandaloneEmulator::Ready() && Testbed().contains("LD_PRELOAD"); }

    // Runs the scan program with the env file's variables (the preload libraries and the testbed).
    ProgramResult Scan(const QString& outDir, const QStringList& options = {}) const
    {
        return Run(kClient, kClientIds + QStringList{outDir} + options);
    }

    // Whether page `page` that the program saved in `outDir` is the job's page.
    bool PageMatches(const QString& outDir, int page) const
    {
        const QString expected = dir_.filePath(QString("expected_%1").arg(page));
        if (!Command(QString("pagefile 2 %1 %2").arg(page).arg(expected)).startsWith("ok"))
            return false;
        return ReadFile(expected) == ReadFile(QString("%1/page_%2.bin").arg(outDir).arg(page));
    }

private:
    const QTemporaryDir& dir_;
};

} // namespace

class SeparateProcessTest : public QObject
{
    Q_OBJECT

private slots:
    void scanProgramInAnotherProcessGetsEveryPage()
    {
        QTemporaryDir dir;
        Emulator emulator(dir, "content=pattern,pages=3,width=120,height=40,record=1000,chunk=300");
        QVERIFY(emulator.Ready());
        const ProgramResult result = emulator.Scan(dir.path());
        QCOMPARE(result.exitCode, 0);
        QVERIFY(result.output.contains("node /dev/bus/usb/001/002\n"));
        QVERIFY(result.output.contains("strings Ovra|Ovra K246 MFP|K246S0001\n"));
        QVERIFY(result.output.contains("pages=3 end=1 error=0\n"));
        for (int page = 0; page < 3; ++page)
            QVERIFY2(emulator.PageMatches(dir.path(), page), qPrintable(QString::number(page)));
        QCOMPARE(QFileInfo(dir.filePath("page_0.bin")).size(), qint64(4800));

        QCOMPARE(emulator.Command("commands 2"), QString("ok 1B5305:47:80 1B5301:0:80 1B5306:0:80"));
        QVERIFY(emulator.Command("lock 2").startsWith("ok depth=2 compression=0/0 filter=3 area=0,0,850x1100"));
        QCOMPARE(emulator.Command("progress 2"), QString("ok runs=1 steps=23/23 running=0"));
        QCOMPARE(emulator.Command("locked 2"), QString("ok 0"));
    }

    void dataProcessForkedFromTheScanProgramReadsTheRecords()
    {
        QTemporaryDir dir;
        Emulator emulator(dir, "content=pattern,pages=2,width=64,height=64,mode=color,record=4096,chunk=1000");
        QVERIFY(emulator.Ready());
        const ProgramResult result = emulator.Scan(dir.path(), {"--fork"});
        QCOMPARE(result.exitCode, 0);
        QVERIFY(result.output.contains("pages=2 end=1 error=0\n"));
        QVERIFY(emulator.PageMatches(dir.path(), 0));
        QVERIFY(emulator.PageMatches(dir.path(), 1));
    }

    void abortWhileADataProcessReadsLeavesTheHandleUsable()
    {
        QTemporaryDir dir;
        Emulator emulator(dir, "content=pattern,pages=2,width=100,height=100,record=1000,chunk=300,delay=20");
        QVERIFY(emulator.Ready());
        for (int round = 1; round <= 3; ++round) {
            const ProgramResult result = emulator.Scan(dir.path(), {"--abort-after", QString::number(round)});
            QCOMPARE(result.exitCode, 0);
            QVERIFY2(result.output.contains("unlock 128\n"), qPrintable(result.output));
        }
        const QString events = emulator.Command("events 2");
        QCOMPARE(events.count("job aborted"), 3);
        QCOMPARE(events.count(";reset"), 3);
        QCOMPARE(emulator.Command("locked 2"), QString("ok 0"));
    }

    void controlCommandsChangeWhatTheProgramMeets()
    {
        QTemporaryDir dir;
        Emulator emulator(dir, "content=pattern,pages=1,width=16,height=16");
        QVERIFY(emulator.Ready());
        QCOMPARE(emulator.Command("respond 2 lock 88"), QString("ok"));
        ProgramResult result = emulator.Scan(dir.path());
        QCOMPARE(result.exitCode, 4);
        QVERIFY(result.output.contains("lock 136\n"));

        QCOMPARE(emulator.Command("job 2 content=pattern pages=2 width=16 height=16 unplug=5"),
                 QString("ok steps=9 pages=2 bytes=512"));
        QCOMPARE(emulator.Command("steps 2"), QString("ok 8 9 0:256 7 9 unplug 0:256 7 1"));
        result = emulator.Scan(dir.path());
        QCOMPARE(result.exitCode, 6);
        QVERIFY(result.output.contains(QString("pages=2 end=0 error=%1\n").arg(ENODEV)));
        QVERIFY(emulator.Command("events 2").contains(";unplugged by the job"));
        QCOMPARE(emulator.Scan(dir.path()).exitCode, 3); // gone from the bus
    }

    void emulatorRunsTheProgramItselfAndReturnsItsExitCode()
    {
        QTemporaryDir dir;
        QProcess emulator;
        emulator.start(kEmulator,
                       {"--socket", dir.filePath("control.sock"), "--scanner", "2d8a:1f07:S", "--job",
                        "content=pattern,pages=1,width=8,height=8", "--", kClient, "2d8a", "1f07", dir.path()});
        const ProgramResult result = Finish(emulator);
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(ReadFile(dir.filePath("page_0.bin")).size(), 64);
        QVERIFY(!QFile::exists(dir.filePath("control.sock")));
    }

    void badJobIsRefusedAtStart()
    {
        QTemporaryDir dir;
        QProcess emulator;
        emulator.setProcessChannelMode(QProcess::MergedChannels);
        emulator.start(kEmulator, {"--socket", dir.filePath("control.sock"), "--job", "pages=x"});
        QCOMPARE(Finish(emulator).exitCode, 2);
    }
};

QTEST_GUILESS_MAIN(SeparateProcessTest)
#include "tst_separateprocess.moc"
