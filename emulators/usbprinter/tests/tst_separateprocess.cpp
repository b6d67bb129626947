// The standalone emulator serving a libusb program in another process, and
// steered over its control socket.
#include "controlsocket.h"

#include <QtTest>

namespace {

const QString kEmulator = QStringLiteral(OVRA_USBPRINTER_EMU_PATH);
const QString kClient = QStringLiteral(OVRA_USBPRINTER_STATUSCLIENT_PATH);

struct ProgramResult {
    int exitCode = -1;
    QString output;
};

ProgramResult Finish(QProcess& process)
{
    if (!process.waitForFinished(20000))
        process.kill();
    process.waitForFinished();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput())};
}

// A running ovra-usbprinter-emu with one printer (id 2, serial K246SN0001).
class Emulator
{
public:
    explicit Emulator(const QTemporaryDir& dir)
        : socket_(dir.filePath("control.sock")), envFile_(dir.filePath("emu.env"))
    {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(kEmulator, {"--socket", socket_, "--env-file", envFile_, "--printer", "3a53:0122:K246SN0001"});
        QElapsedTimer timer;
        timer.start();
        while (!QFile::exists(envFile_) && timer.elapsed() < 5000)
            QThread::msleep(20);
        QFile file(envFile_);
        if (file.open(QIODevice::ReadOnly))
            umockdevDir_ = QString::fromLocal8Bit(file.readAll()).trimmed().section('=', 1);
    }
    ~Emulator()
    {
        Command("quit");
        if (!process_.waitForFinished(5000))
            process_.kill();
    }

    bool Ready() const { return !umockdevDir_.isEmpty(); }

    QString Command(const QString& line) const
    {
        const auto reply = ovraemu::SendControlCommand(socket_.toStdString(), line.toStdString());
        return reply ? QString::fromStdString(*reply) : QStringLiteral("<no answer>");
    }

    // Runs the status client under the preload library against this testbed.
    ProgramResult RunClient(const QStringList& args) const
    {
        QProcess client;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LD_PRELOAD", "libumockdev-preload.so.0");
        env.insert("UMOCKDEV_DIR", umockdevDir_);
        client.setProcessEnvironment(env);
        client.start(kClient, args);
        return Finish(client);
    }

private:
    QString socket_;
    QString envFile_;
    QString umockdevDir_;
    QProcess process_;
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
