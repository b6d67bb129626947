// The standalone emulator serving a libusb program in another process, and
// steered over its control socket.
#include "standaloneemulator.h"

namespace {

const QString kEmulator = QStringLiteral(OVRA_USBPRINTER_EMU_PATH);
const QString kClient = QStringLiteral(OVRA_USBPRINTER_STATUSCLIENT_PATH);

// A running ovra-usbprinter-emu with one printer (id 2, serial K246SN0001).
class Emulator : public StandaloneEmulator
{
public:
    explicit Emulator(const QTemporaryDir& dir)
        : StandaloneEmulator(kEmulator, dir, {"--printer", "3a53:0122:K246SN0001"})
    {
    }

    // Runs the status client against this testbed.
    ProgramResult RunClient(const QStringList& args) const { return Run(kClient, args); }
};

} // namespace

class SeparateProcessTest : public QObject
{
    Q_OBJECT

private slots:
    void clientInAnotherProcessReadsStatus()
    {
        QTemporaryDir dir;
        Emulator emulator(dir);
        QVERIFY(emulator.Ready());
        QCOMPARE(emulator.Command("status 2 0A0B0C00FF"), QString("ok"));

        const ProgramResult result = emulator.RunClient({"3a53", "0122", "K246SN", "--shell"});
        QCOMPARE(result.exitCode, 0);
        QVERIFY2(result.output.contains("status 0A0B0C00FF\n"), qPrintable(result.output));
        QVERIFY2(result.output.contains("child-ok\n"), qPrintable(result.output));
        QCOMPARE(emulator.Command("requests 2"), QString("ok A1:33:0000:0000:0400"));
        QCOMPARE(emulator.Command("count 2 33"), QString("ok 1"));
    }

    void faultsAndUnplugAreSetOverControlSocket()
    {
        QTemporaryDir dir;
        Emulator emulator(dir);
        QVERIFY(emulator.Ready());
        QCOMPARE(emulator.Command("fault 2 kernel-driver"), QString("ok"));
        QCOMPARE(emulator.Command("detached 2"), QString("ok 0"));
        QCOMPARE(emulator.RunClient({"3a53", "0122", "K246SN"}).exitCode, 0);
        QCOMPARE(emulator.Command("detached 2"), QString("ok 1"));

        QCOMPARE(emulator.Command("fault 2 stall-control"), QString("ok"));
        ProgramResult result = emulator.RunClient({"3a53", "0122", "K246SN"});
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.output.contains("failed control LIBUSB_ERROR_PIPE"), qPrintable(result.output));

        QCOMPARE(emulator.Command("unplug 2"), QString("ok"));
        result = emulator.RunClient({"3a53", "0122", "K246SN"});
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.output.contains("failed search"), qPrintable(result.output));
    }

    void printerAddedLaterIsFound()
    {
        QTemporaryDir dir;
        Emulator emulator(dir);
        QVERIFY(emulator.Ready());
        QCOMPARE(emulator.Command("add 3a53 0122 SECOND"), QString("ok 3"));
        QCOMPARE(emulator.Command("status 3 01"), QString("ok"));
        const ProgramResult result = emulator.RunClient({"3a53", "0122", "SECOND"});
        QVERIFY2(result.output.contains("status 01\n"), qPrintable(result.output));
        QCOMPARE(emulator.Command("count 2 33"), QString("ok 0"));
        QCOMPARE(emulator.Command("count 3 33"), QString("ok 1"));
        QVERIFY(emulator.Command("frobnicate 2").startsWith("error"));
    }

    void emulatorRunsProgramAndPassesItsExitCode()
    {
        QTemporaryDir dir;
        const QString socket = dir.filePath("run.sock");
        QProcess run;
        run.start(kEmulator,
                  {"--socket", socket, "--printer", "3a53:0122:RUN1", "--", kClient, "3a53", "0122", "RUN1"});
        ProgramResult result = Finish(run);
        QCOMPARE(result.exitCode, 0);
        QVERIFY2(result.output.contains("status \n"), qPrintable(result.output));

        run.start(kEmulator,
                  {"--socket", socket, "--printer", "3a53:0122:RUN1", "--", kClient, "3a53", "0122", "OTHER"});
        result = Finish(run);
        QCOMPARE(result.exitCode, 1);
        QVERIFY(!QFile::exists(socket));
    }
};

QTEST_GUILESS_MAIN(SeparateProcessTest)
#include "tst_separateprocess.moc"
