// ovra-scan as a user runs it: options, listing, a scan into a folder, and a clear
// message with a non-zero exit for every failure.
#include "fakedaemon.h"

#include "clioptions.h"
#include "progressline.h"

#include "ovracli.h"
#include "ovrascan/scanstatus.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace ovrascan;
using namespace clienttest;

namespace {

const QString kClient = QStringLiteral(OVRA_SCAN_CLIENT_PATH);

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

// onTerminal: on a pseudo-terminal that script(1) gives it (standard error then joins
// standard output).
Run RunClient(uint16_t port, const QStringList& args, bool onTerminal = false)
{
    QProcess client;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("OVRA_SCAN_DAEMON_PORT", QString::number(port));
    client.setProcessEnvironment(environment);
    if (onTerminal)
        client.start("script", {"-qfec", (QStringList{kClient} + args).join(' '), "/dev/null"});
    else
        client.start(kClient, args);
    Run run;
    if (client.waitForFinished(20000) && client.exitStatus() == QProcess::NormalExit)
        run.exitCode = client.exitCode();
    run.out = QString::fromUtf8(client.readAllStandardOutput());
    run.err = QString::fromUtf8(client.readAllStandardError());
    return run;
}

// The daemon answers a network scan's start with two pages of 3000 and 10 bytes.
PageScript TwoPageScan(FakeDaemon& daemon, const QTemporaryDir& scanDir)
{
    const PageScript script{scanDir.filePath("ovrascandata_5_0").toStdString(),
                            {std::string(3000, 'a'), std::string(10, 'b')},
                            1024};
    daemon.Reply(TCP_SCAN_START, NetScanReply(script));
    return script;
}

bool Parse(const QStringList& args, ClientOptions& options, std::string& error)
{
    std::vector<std::string> list;
    for (const QString& arg : args)
        list.push_back(arg.toStdString());
    options = ClientOptions();
    return ParseClientOptions(list, options, error);
}

} // namespace

class TestClientProgram : public QObject
{
    Q_OBJECT

private slots:
    void optionsBecomeSettings()
    {
        ClientOptions o;
        std::string error;
        QVERIFY(Parse(QString("--device net:127.0.0.165 --out /tmp/x --source adf-multi --mode grey --resolution 600 "
                              "--area 1,2.5,100,150 --format raw --brightness 7 --contrast 8 --background-removal 2 "
                              "--timeout 30 --port 7100 --quiet")
                          .split(' '),
                      o, error));
        QCOMPARE(o.device->address, std::string("127.0.0.165"));
        QCOMPARE(o.outputFolder, std::string("/tmp/x"));
        QCOMPARE(o.settings.source, ScanSource::FeederMultiPage);
        QCOMPARE(o.settings.mode, ColorMode::Gray);
        QCOMPARE(o.settings.resolution, 600);
        QCOMPARE(o.settings.area.y, 2.5);
        QCOMPARE(o.settings.area.height, 150.0);
        QCOMPARE(*o.settings.format, ImageFormat::Raw);
        QCOMPARE(o.settings.brightness, 7);
        QCOMPARE(o.settings.contrast, 8);
        QCOMPARE(o.settings.backgroundRemoval, 2);
        QCOMPARE(o.timeoutSeconds, 30);
        QCOMPARE(*o.port, uint16_t(7100));
        QVERIFY(o.quiet);
        QVERIFY(Parse({"--list", "--net", "127.0.0.165", "--net", "127.0.0.166", "--vid", "04b8"}, o, error));
        QVERIFY(o.list);
        QCOMPARE(o.netAddresses.size(), size_t(2));
        QCOMPARE(*o.vendorId, uint16_t(0x04B8));
    }

    void badCommandLines_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("nothing") << QStringList{} << "give --list, or --device with --out";
        QTest::newRow("no out") << QStringList{"--device", "net:127.0.0.1"} << "--out is required";
        QTest::newRow("bad device") << QStringList{"--device", "lpt:1", "--out", "x"} << "usb:BUS:DEV or net:ADDRESS";
        QTest::newRow("bad source") << QStringList{"--source", "tray"} << "--source";
        QTest::newRow("bad area") << QStringList{"--area", "1,2,3"} << "--area";
        QTest::newRow("bad net") << QStringList{"--list", "--net", "host"} << "--net";
        QTest::newRow("net with scan") << QStringList{"--device", "net:127.0.0.1", "--out", "x", "--net", "127.0.0.2"}
                                       << "--net belongs to --list";
        QTest::newRow("unknown") << QStringList{"--colour"} << "unknown option --colour";
        QTest::newRow("missing value") << QStringList{"--list", "--resolution"} << "--resolution";
    }

    void badCommandLines()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        ClientOptions o;
        std::string error;
        QVERIFY(!Parse(args, o, error));
        QVERIFY2(error.find(message.toStdString()) != std::string::npos, error.c_str());
        const Run run = RunClient(1, args);
        QCOMPARE(run.exitCode, int(en_Exit_Usage));
        QVERIFY(run.err.contains(message));
        QVERIFY(run.err.contains("usage: ovra-scan"));
    }

    void scanIntoAFolder()
    {
        FakeDaemon daemon;
        QVERIFY(daemon.Start());
        QTemporaryDir scanDir, outDir;
        const PageScript script = TwoPageScan(daemon, scanDir);

        const Run run = RunClient(daemon.Port(), {"--device", "net:127.0.0.165", "--out", outDir.filePath("scan")});

        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.err.isEmpty());
        QVERIFY(run.out.contains("scan started on 127.0.0.165"));
        QVERIFY(run.out.contains("page 2: " + outDir.filePath("scan/page-002.jpg") + " (10 bytes)"));
        QVERIFY(run.out.endsWith("2 page(s) scanned into " + outDir.filePath("scan") + "\n"));
        QVERIFY2(!run.out.contains('\r') && !run.out.contains("MiB"), "a progress line off a terminal");
        QVERIFY(ReadFile(outDir.filePath("scan/page-001.jpg").toStdString()) == script.pages[0]);
        QVERIFY(daemon.WaitForCommands(3, std::chrono::seconds(2)));
        QCOMPARE(daemon.DeleteRequests().size(), size_t(2));
    }

    void progressText_data()
    {
        QTest::addColumn<int>("pages");
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("first record") << 1 << qint64(0) << 0.0 << "page 1, 0 bytes";
        QTest::newRow("bytes") << 1 << qint64(1000) << 2.0 << "page 1, 1000 bytes, 500 bytes/s";
        QTest::newRow("KiB") << 2 << qint64(3 * 1024 + 512) << 1.0 << "page 2, 3.5 KiB, 3.5 KiB/s";
        QTest::newRow("MiB") << 4 << qint64(68) * 1024 * 1024 << 4.0 << "page 4, 68.0 MiB, 17.0 MiB/s";
    }

    void progressText()
    {
        QFETCH(int, pages);
        QFETCH(qint64, bytes);
        QFETCH(double, seconds);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(ProgressText({pages, 0, bytes}, seconds)), text);
    }

    // On a terminal (a pseudo-terminal that script(1) gives it) the scan shows its line,
    // and the page lines and the summary stand on lines of their own.
    void progressOnTerminal()
    {
        FakeDaemon daemon;
        QVERIFY(daemon.Start());
        QTemporaryDir scanDir, outDir;
        TwoPageScan(daemon, scanDir);

        const Run run =
            RunClient(daemon.Port(), {"--device", "net:127.0.0.170", "--out", outDir.filePath("scan")}, true);
        const QString& out = run.out;

        QCOMPARE(run.exitCode, 0);
        QVERIFY2(out.contains(QRegularExpression("\\rpage 1, [0-9.]+ (bytes|KiB)")), qPrintable(out));
        // A message starts a line, or takes the place of the progress line it erased.
        QVERIFY2(out.contains(QRegularExpression("(\\n|\\033\\[K)page 2: "
                                                 + QRegularExpression::escape(outDir.filePath("scan/page-002.jpg")))),
                 qPrintable(out));
        QVERIFY2(out.contains(QRegularExpression("(\\n|\\033\\[K)2 page\\(s\\) scanned into ")), qPrintable(out));
    }

    void everyFailureResultIsNamed_data()
    {
        QTest::addColumn<int>("result");
        for (int status : {1, 2, 3, 4, 6, 7, 8, 9, 10, 11})
            QTest::newRow(qPrintable(QString::number(status))) << status;
        QTest::newRow("negative") << -5;
    }

    void everyFailureResultIsNamed()
    {
        QFETCH(int, result);
        const QString name = QString::fromStdString(StatusName(result));
        QTemporaryDir scanDir, outDir;
        for (bool atStart : {true, false}) {
            FakeDaemon daemon;
            QVERIFY(daemon.Start());
            const std::string base = scanDir.filePath("ovrascandata_6_0").toStdString();
            daemon.Reply(TCP_SCAN_START, atStart ? NetScanReply({base, {}, 1}, result)
                                                 : NetScanReply({base, {}, 1}).substr(0, sizeof(TCPScanStartRes))
                                                       + Bytes(NetRecord(result, 0, 0, SCAN_STATUS_BEGIN_OF_PAGE)));

            const Run run = RunClient(daemon.Port(), {"--device", "net:127.0.0.166", "--out", outDir.path()});

            QCOMPARE(run.exitCode, 1);
            const QString expected = QString("(%1, %2)").arg(name).arg(result);
            QVERIFY2(run.err.startsWith("ovra-scan: ") && run.err.contains(expected), qPrintable(run.err));
            QVERIFY(run.err.contains(atStart ? "starting the scan on 127.0.0.166 failed"
                                             : "the scan failed after 0 page(s)"));
        }
    }

    void daemonNotRunning()
    {
        const uint16_t port = UnusedPort();
        QTemporaryDir outDir;

        const Run run = RunClient(port, {"--device", "net:127.0.0.167", "--out", outDir.path()});

        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.err.contains("cannot connect to the scan daemon on 127.0.0.1:" + QString::number(port)));
    }

    void listing()
    {
        FakeDaemon daemon;
        QVERIFY(daemon.Start());
        daemon.Reply(USB_FIND_DEV, FindDevReply({FoundUsbDevice(4, 0x3A53, 0, "NOT-PLUGGED-HERE")}));
        daemon.Reply(USB_CLOSE_DEV, Bytes(int32_t(0)));
        daemon.On(TCP_SCAN_DEVPROPERTIES, [](const std::string& request) {
            TCPDevPropertiesRes reply{};
            const TCPCommonReq common = RecordFrom<TCPCommonReq>(request);
            reply.result = std::string(common.socket.szScannerIP) == "127.0.0.168" ? 0 : 9;
            reply.devPro.color = 1;
            reply.devPro.minres = 75;
            reply.devPro.maxres = 600;
            return Bytes(reply);
        });
        daemon.Reply(TCP_SCAN_ADFST, Bytes(TCPADFStatusRes{0, ADF_STATUS_EMPTY}));

        const Run run = RunClient(daemon.Port(), {"--list", "--net", "127.0.0.168", "--net", "127.0.0.169"});

        QCOMPARE(run.exitCode, 0);
        const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], QString("usb:?:?  Ovra K246 MFP  serial NOT-PLUGGED-HERE"));
        QCOMPARE(lines[1], QString("net:127.0.0.168  colour, 75-600 dpi, simplex, feeder empty"));
        QCOMPARE(lines[2], QString("net:127.0.0.169  not reachable: input/output error while talking to the scanner "
                                   "(SANE_STATUS_IO_ERROR, 9)"));
        QCOMPARE(daemon.Codes(), (std::vector<int32_t>{USB_FIND_DEV, USB_CLOSE_DEV, TCP_SCAN_DEVPROPERTIES,
                                                       TCP_SCAN_ADFST, TCP_SCAN_DEVPROPERTIES}));
        const USBFindDevReq find = RecordFrom<USBFindDevReq>(daemon.Commands()[0].request);
        QCOMPARE(find.vid, 0x3A53);
        QCOMPARE(int(find.compareWithPID), 0);
    }
};

QTEST_GUILESS_MAIN(TestClientProgram)
#include "tst_clientprogram.moc"
