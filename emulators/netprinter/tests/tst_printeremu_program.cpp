// ovra-printer-emu as the demo runs it: a scenario played on the wire, a fixed state,
// looping, signals and exit codes.
#include "udptestclient.h"

#include "printerstatebuilder.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryFile>

#include <signal.h>

#include <algorithm>

using namespace ovratest;
using ovraemu::BuildUdpStatusReply;

namespace {

const QString kEmu = QStringLiteral(OVRA_PRINTER_EMU_PATH);

std::vector<uint8_t> ExpectedReply(uint8_t statusCode, std::vector<uint16_t> errors, std::vector<uint16_t> warnings,
                                   uint32_t toner, const std::string& serial)
{
    ovraemu::EmuPrinterState state;
    state.product = "Ovra P2200DN";
    state.serial = serial;
    state.statusCode = statusCode;
    state.errors = std::move(errors);
    state.warnings = std::move(warnings);
    state.SetCounter(0x1000, toner * 100); // hundredths of a percent
    return BuildUdpStatusReply(state);
}

// Asks until the emulator answers (it needs a moment to start).
std::optional<std::vector<uint8_t>> FirstReply(UdpTestClient& client, const std::string& address)
{
    std::optional<std::vector<uint8_t>> reply;
    for (int i = 0; i < 40 && !reply; ++i)
        reply = client.Ask(address, kStatusRequest, 50);
    return reply;
}

bool WriteScenario(QTemporaryFile& file, const char* text)
{
    return file.open() && file.write(text) > 0 && file.flush();
}

bool StopsCleanly(QProcess& emu, int signal)
{
    kill(pid_t(emu.processId()), signal);
    return emu.waitForFinished(1000) && emu.exitStatus() == QProcess::NormalExit && emu.exitCode() == 0;
}

} // namespace

class TestPrinterEmuProgram : public QObject
{
    Q_OBJECT

private slots:
    void playsScenario()
    {
        QTemporaryFile file;
        QVERIFY(WriteScenario(file, "0 ready toner=80\n0.4 printing\n0.8 paper-out\n1.2 silent\n"));
        QProcess emu;
        emu.start(kEmu, {"--address", "127.0.0.37", "--scenario", file.fileName(), "--serial", "S1"});
        const std::vector<std::vector<uint8_t>> expected = {ExpectedReply(0x00, {}, {}, 80, "S1"),
                                                            ExpectedReply(0x10, {}, {}, 80, "S1"),
                                                            ExpectedReply(0x00, {0x11A0}, {}, 80, "S1")};
        UdpTestClient client;
        // A fresh socket for every question: a reply that comes late on a loaded machine
        // goes to the closed socket instead of passing for the answer to the next one.
        auto ask = [] {
            UdpTestClient fresh;
            return fresh.Ask("127.0.0.37", kStatusRequest, 100);
        };
        std::vector<long> seen; // index into expected of every reply until three in a row go missing
        int missing = 0;
        QElapsedTimer timer;
        timer.start();
        for (auto reply = FirstReply(client, "127.0.0.37"); missing < 3 && timer.elapsed() < 4000; reply = ask()) {
            missing = reply ? 0 : missing + 1;
            if (reply)
                seen.push_back(std::find(expected.begin(), expected.end(), *reply) - expected.begin());
            QTest::qSleep(20);
        }
        // Each state answered, in the scenario's order, then silence.
        QCOMPARE(missing, 3);
        QVERIFY(std::is_sorted(seen.begin(), seen.end()));
        for (long state = 0; state < 3; ++state)
            QVERIFY2(std::count(seen.begin(), seen.end(), state) > 0, QByteArray::number(int(state)));
        QVERIFY(StopsCleanly(emu, SIGTERM));
        QCOMPARE(emu.readAllStandardOutput(), QByteArray("[t=0s] 127.0.0.37 ready toner=80\n"
                                                         "[t=0.4s] 127.0.0.37 printing\n"
                                                         "[t=0.8s] 127.0.0.37 paper-out\n"
                                                         "[t=1.2s] 127.0.0.37 silent\n"));
    }

    void fixedStateAndLoop()
    {
        QProcess fixed;
        fixed.start(kEmu, {"--address=127.0.0.38", "--state", "toner-low", "--serial", "S2"});
        UdpTestClient client;
        QCOMPARE(FirstReply(client, "127.0.0.38").value_or(std::vector<uint8_t>()),
                 ExpectedReply(0x00, {}, {0x110D}, 100, "S2"));
        QVERIFY(StopsCleanly(fixed, SIGINT));
        QCOMPARE(fixed.readAllStandardOutput(), QByteArray("[t=0s] 127.0.0.38 toner-low\n"));

        QTemporaryFile file;
        QVERIFY(WriteScenario(file, "0 ready\n0.15 printing\n0.3 end\n"));
        QProcess looping;
        looping.start(kEmu, {"--address", "127.0.0.38", "--scenario", file.fileName(), "--loop"});
        QByteArray out;
        const QByteArray secondRound = "[t=0.3s] 127.0.0.38 ready\n[t=0.45s] 127.0.0.38 printing\n"
                                       "[t=0.6s] 127.0.0.38 ready\n";
        for (int i = 0; i < 30 && !out.contains(secondRound); ++i) {
            looping.waitForReadyRead(100);
            out += looping.readAllStandardOutput();
        }
        QVERIFY2(out.contains(secondRound), out.constData());
        QVERIFY(StopsCleanly(looping, SIGTERM));
    }

    void badInputExitCodes_data()
    {
        QTest::addColumn<QString>("line"); // the arguments, split at spaces
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("bad line") << "--address 127.0.0.39 --scenario @" << 2 << "@:3: unknown state 'flying'";
        QTest::newRow("no address") << "" << 2 << "--address (or --usb-socket) is required";
        QTest::newRow("no value") << "--address" << 2 << "--address needs a value";
        QTest::newRow("unknown option") << "--address 127.0.0.39 --colour red" << 2 << "unknown option '--colour'";
        QTest::newRow("unknown state") << "--address 127.0.0.39 --state flying" << 2 << "unknown state 'flying'";
        QTest::newRow("no file") << "--address 127.0.0.39 --scenario /nonexistent" << 2 << "/nonexistent: cannot read";
        QTest::newRow("address taken") << "--address 127.0.0.39" << 1 << "cannot bind 127.0.0.39:9300";
    }

    void badInputExitCodes()
    {
        QFETCH(QString, line);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QTemporaryFile file;
        QVERIFY(WriteScenario(file, "0 ready\n# next the odd one\n2 flying\n"));
        QStringList args = line.split(' ', Qt::SkipEmptyParts);
        args.replaceInStrings("@", file.fileName());
        message.replace("@", file.fileName());
        const int taken = BindExclusive("127.0.0.39");
        QProcess emu;
        emu.start(kEmu, args);
        const bool finished = emu.waitForFinished(2000);
        close(taken);
        QVERIFY(finished);
        QCOMPARE(emu.exitCode(), exitCode);
        const QString err = QString::fromLocal8Bit(emu.readAllStandardError());
        QVERIFY2(err.contains(message), qPrintable(err));
    }
};

QTEST_GUILESS_MAIN(TestPrinterEmuProgram)
#include "tst_printeremu_program.moc"
