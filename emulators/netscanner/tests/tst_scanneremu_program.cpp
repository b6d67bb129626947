// ovra-scanner-emu as the demo runs it: options, one line per event, a scripted job on
// the wire, stop by signal, exit codes.
#include "scannertestclient.h"
#include "scanneremuoptions.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <signal.h>
#include <unistd.h>

using namespace scantest;
using namespace ovraemu;

namespace {

const QString kEmu = QStringLiteral(OVRA_SCANNER_EMU_PATH);
const std::string kAddress = "127.0.0.144";

// The words of a command line without quotes, as the program gets them.
std::vector<std::string> Words(const QString& line)
{
    std::vector<std::string> words;
    for (const QString& word : line.split(' ', Qt::SkipEmptyParts))
        words.push_back(word.toStdString());
    return words;
}

bool Parse(const QString& line, ScannerEmuOptions& options, std::string& error)
{
    options = ScannerEmuOptions();
    return ParseScannerEmuOptions(Words(line), options, error);
}

// Waits until the emulator answers on port 80.
bool WaitUntilServing(const std::string& address)
{
    for (int i = 0; i < 100; ++i) {
        const int fd = Connect(address, 80);
        if (fd >= 0) {
            close(fd);
            return true;
        }
        QTest::qWait(20);
    }
    return false;
}

bool StopsCleanly(QProcess& emu, int signal)
{
    const pid_t pid = pid_t(emu.processId());
    if (pid <= 1) // not running: never signal a process group
        return false;
    kill(pid, signal);
    return emu.waitForFinished(2000) && emu.exitStatus() == QProcess::NormalExit && emu.exitCode() == 0;
}

} // namespace

class TestScannerEmuProgram : public QObject
{
    Q_OBJECT

private slots:
    void optionsFillTheScript()
    {
        ScannerEmuOptions o;
        std::string error;
        QVERIFY(Parse("--address 127.0.0.150 --pages 3 --page-bytes 1000 --block-size 100 --size-fields space"
                      " --feeder jammed --busy --http-status feeder=500 --fault close-mid-block --fault-page 2"
                      " --fault-block 3 --fault-bytes 7 --attribute-bytes 9000 --attribute-parts 2"
                      " --first-page-without-newfile --duration 1.5",
                      o, error));
        QCOMPARE(o.address, std::string("127.0.0.150"));
        QCOMPARE(o.job.pages, 3);
        QCOMPARE(o.job.pageBytes.value_or(0), size_t(1000));
        QCOMPARE(o.job.blockSize, size_t(100));
        QCOMPARE(o.job.sizeFields, SizeFieldStyle::SpacePadded);
        QCOMPARE(o.feeder, FeederState::Jammed);
        QCOMPARE(o.postResult, kPostResultDeviceBusy);
        QCOMPARE(o.httpStatus.at(HttpRoute::FeederStatus), 500);
        QCOMPARE(o.job.fault.kind, DataFaultKind::CloseMidBlock);
        QCOMPARE(o.job.fault.page, 1);
        QCOMPARE(o.job.fault.block, 2);
        QCOMPARE(o.job.fault.deliveredBytes, size_t(7));
        QCOMPARE(o.attributeBytes, size_t(9000));
        QCOMPARE(o.attributeParts, 2);
        QVERIFY(o.job.firstPageWithoutNewFile);
        QCOMPARE(o.durationSeconds, 1.5);

        QVERIFY(Parse("--address 127.0.0.150 --image a.jpg b.jpg --http-status 503", o, error));
        QCOMPARE(o.imageFiles, (std::vector<std::string>{"a.jpg", "b.jpg"}));
        QCOMPARE(o.httpStatus.at(HttpRoute::JobPost), 503);
    }

    void badOptionsAreRefused_data()
    {
        QTest::addColumn<QString>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("no address") << "--pages 2"
                                    << "--address is required";
        QTest::newRow("unknown option") << "--address 127.0.0.1 --colour"
                                        << "unknown option --colour";
        QTest::newRow("negative pages") << "--address 127.0.0.1 --pages -1"
                                        << "--pages";
        QTest::newRow("zero block size") << "--address 127.0.0.1 --block-size 0"
                                         << "--block-size";
        QTest::newRow("unknown feeder") << "--address 127.0.0.1 --feeder full"
                                        << "--feeder";
        QTest::newRow("unknown fault") << "--address 127.0.0.1 --fault fire"
                                       << "--fault";
        QTest::newRow("unknown route") << "--address 127.0.0.1 --http-status x=500"
                                       << "--http-status";
        QTest::newRow("missing value") << "--address"
                                       << "--address";
        QTest::newRow("image without file") << "--address 127.0.0.1 --image"
                                            << "--image";
    }

    void badOptionsAreRefused()
    {
        QFETCH(QString, args);
        QFETCH(QString, message);
        ScannerEmuOptions o;
        std::string error;
        QVERIFY(!Parse(args, o, error));
        QVERIFY2(error.find(message.toStdString()) != std::string::npos, error.c_str());
    }

    void servesAScriptedJobAndPrintsEvents()
    {
        if (geteuid() != 0)
            QSKIP("the network scanner listens on port 80, which needs root");
        QTemporaryDir dir;
        const QString first = dir.filePath("p1.jpg");
        const QString second = dir.filePath("p2.jpg");
        {
            QFile one(first), two(second);
            QVERIFY(one.open(QIODevice::WriteOnly) && two.open(QIODevice::WriteOnly));
            one.write(QByteArray(5000, 'a'));
            two.write(QByteArray("\xFF\xD8 second page \xFF\xD9"));
        }
        QProcess emu;
        emu.start(kEmu,
                  {"--address", QString::fromStdString(kAddress), "--image", first, second, "--block-size", "1024"});
        QVERIFY(emu.waitForStarted());
        QVERIFY(WaitUntilServing(kAddress));
        JobSettings settings;
        settings.feeder = true;
        settings.multiPage = true;

        const std::string answer = Exchange(kAddress, 80, JobPostRequest(DaemonJobForm(settings)));
        const ReceivedJob job = ReceiveJob(kAddress);

        QCOMPARE(AnswerBody(answer), std::string("RESULT=0\r\n"));
        QVERIFY(job.jobDone);
        QCOMPARE(job.pages.size(), size_t(2));
        QVERIFY(job.pages[0] == std::string(5000, 'a'));
        QVERIFY(job.pages[1] == std::string("\xFF\xD8 second page \xFF\xD9"));
        QVERIFY(StopsCleanly(emu, SIGTERM));
        const QStringList lines = QString::fromUtf8(emu.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QVERIFY(lines.size() >= 6);
        QCOMPARE(lines.first(), QString("listening on 127.0.0.144 ports 80, 2080, 5000"));
        QVERIFY(lines.filter("job post) -> 200 RESULT=0 (job 1: feeder multi-page, JPEG, 300 dpi, 2 page(s))").size()
                == 1);
        QVERIFY(lines.filter("data page 1/2: 5000 bytes in 5 block(s)").size() == 1);
        QVERIFY(lines.filter("data JOBDONE after 2 page(s)").size() == 1);
        QCOMPARE(lines.last(), QString("stopped"));
    }

    void busyAndSigintStop()
    {
        if (geteuid() != 0)
            QSKIP("the network scanner listens on port 80, which needs root");
        QProcess emu;
        emu.start(kEmu, {"--address", QString::fromStdString(kAddress), "--busy"});
        QVERIFY(emu.waitForStarted());
        QVERIFY(WaitUntilServing(kAddress));

        const std::string answer = Exchange(kAddress, 80, JobPostRequest(DaemonJobForm(JobSettings())));

        QCOMPARE(AnswerBody(answer), std::string("RESULT=91\r\n"));
        QVERIFY(StopsCleanly(emu, SIGINT));
    }

    void durationEndsByItself()
    {
        if (geteuid() != 0)
            QSKIP("the network scanner listens on port 80, which needs root");
        QProcess emu;
        QElapsedTimer timer;
        timer.start();
        emu.start(kEmu, {"--address", "127.0.0.145", "--duration", "0.3"});
        QVERIFY(emu.waitForFinished(3000));
        QCOMPARE(emu.exitCode(), 0);
        QVERIFY(timer.elapsed() >= 300);
    }

    void exitCodes_data()
    {
        QTest::addColumn<QString>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("error"); // part of standard error; empty: standard output begins with `usage`
        QTest::newRow("usage") << "--pages 2" << 2 << QByteArray("--address is required");
        QTest::newRow("outside") << "--address 192.0.2.7" << 1 << QByteArray("not a loopback address");
        QTest::newRow("missing image") << "--address 127.0.0.145 --image /nonexistent/page.jpg" << 2
                                       << QByteArray("cannot read /nonexistent/page.jpg");
        QTest::newRow("help") << "--help" << 0 << QByteArray();
    }

    void exitCodes()
    {
        QFETCH(QString, args);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, error);
        QProcess emu;
        emu.start(kEmu, args.split(' '));
        QVERIFY(emu.waitForFinished(3000));
        QCOMPARE(emu.exitCode(), exitCode);
        if (error.isEmpty())
            QVERIFY(emu.readAllStandardOutput().startsWith("usage: ovra-scanner-emu"));
        else
            QVERIFY(emu.readAllStandardError().contains(error));
    }
};

QTEST_GUILESS_MAIN(TestScannerEmuProgram)
#include "tst_scanneremu_program.moc"
