// ovra-scan through the real scan daemon to an emulated network scanner: the page
// files the client saves are the scanner's image bytes, and the scanner's faults reach
// the user as named failures.
#include "fakedaemon.h"
#include "installroot.h"
#include "ovraemu/netscanner.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace ovraemu;
using namespace std::chrono_literals;

namespace {

const QString kClient = QStringLiteral(OVRA_SCAN_CLIENT_PATH);
const QString kDaemon = QStringLiteral(OVRA_SCAN_DAEMON_PATH);
const std::string kScanner = "127.0.0.170";

bool Accepts(uint16_t port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in daemon{};
    daemon.sin_family = AF_INET;
    daemon.sin_port = htons(port);
    daemon.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&daemon), sizeof daemon) == 0;
    close(fd);
    return connected;
}

std::vector<uint8_t> Image(size_t bytes, int seed)
{
    std::vector<uint8_t> image(bytes);
    for (size_t i = 0; i < bytes; ++i)
        image[i] = uint8_t((i * 37 + size_t(seed) * 101) ^ (i >> 9));
    return image;
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestClientEndToEnd : public QObject
{
    Q_OBJECT

private:
    TestInstallRoot m_root{"clientendtoend"};
    QProcess m_daemon;
    uint16_t m_port = 0;

    QProcessEnvironment Environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("OVRA_SCAN_DAEMON_PORT", QString::number(m_port));
        environment.insert("OVRA_INSTALL_ROOT", m_root.QPath() + "/");
        environment.insert("OVRA_SCAN_DAEMON_FOREGROUND", "1");
        return environment;
    }

    struct Run {
        int exitCode = -1;
        QString out;
        QString err;
    };

    Run Scan(const QString& outDir, const QStringList& extra)
    {
        QProcess client;
        client.setProcessEnvironment(Environment());
        client.start(kClient, QStringList{"--device", QString::fromStdString("net:" + kScanner), "--out", outDir,
                                          "--timeout", "30"}
                                  + extra);
        Run run;
        if (client.waitForFinished(60000) && client.exitStatus() == QProcess::NormalExit)
            run.exitCode = client.exitCode();
        run.out = QString::fromUtf8(client.readAllStandardOutput());
        run.err = QString::fromUtf8(client.readAllStandardError());
        return run;
    }

    QStringList LeftInScanDir() const
    {
        return QDir(m_root.QFilePath("scan")).entryList({"ovrascandata_*"}, QDir::Files);
    }

private slots:
    void initTestCase()
    {
        if (geteuid() != 0)
            QSKIP("the emulated network scanner listens on port 80, which needs root");
        m_port = clienttest::UnusedPort();
        m_daemon.setProcessEnvironment(Environment());
        m_daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_daemon.start(kDaemon, QStringList());
        QVERIFY(m_daemon.waitForStarted());
        bool up = false;
        for (int i = 0; i < 200 && !(up = Accepts(m_port)); ++i)
            QTest::qWait(20);
        QVERIFY2(up, "the scan daemon does not listen");
    }

    void cleanupTestCase()
    {
        if (m_daemon.state() == QProcess::NotRunning)
            return;
        const pid_t pid = pid_t(m_daemon.processId());
        if (pid > 1) // never 0: that would signal this test's whole process group
            kill(pid, SIGQUIT);
        if (!m_daemon.waitForFinished(3000)) {
            m_daemon.kill();
            m_daemon.waitForFinished(3000);
        }
    }

    void threePagesFromTheFeederAreTheScannersBytes()
    {
        NetScanner scanner(kScanner);
        NetScanJob job;
        job.images = {Image(20000, 1), Image(4096, 2), Image(777, 3)};
        job.blockSize = 4096;
        scanner.SetJob(job);
        std::string error;
        QVERIFY2(scanner.Start(&error), error.c_str());
        QTemporaryDir out;

        const Run run = Scan(out.path(), {"--source", "adf-multi", "--resolution", "200"});

        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        for (int page = 0; page < 3; ++page) {
            const QByteArray saved = ReadAll(out.filePath(QString("page-%1.jpg").arg(page + 1, 3, 10, QChar('0'))));
            const std::vector<uint8_t>& sent = job.images[size_t(page)];
            QCOMPARE(saved, QByteArray(reinterpret_cast<const char*>(sent.data()), int(sent.size())));
        }
        QCOMPARE(QDir(out.path()).entryList(QDir::Files).size(), 3);
        QVERIFY(run.out.contains("3 page(s) scanned into"));
        QTRY_VERIFY_WITH_TIMEOUT(LeftInScanDir().isEmpty(), 3000);
        QVERIFY(scanner.WaitForJobEnd(0, 2s));
        const std::vector<ScanJobRecord> jobs = scanner.Jobs();
        QCOMPARE(jobs.size(), size_t(1));
        QCOMPARE(jobs[0].outcome, JobOutcome::Completed);
        QCOMPARE(FormValue(jobs[0].form, "SCANSOURCE").value_or("?"), std::string("0"));
        QCOMPARE(FormValue(jobs[0].form, "SINGLEPAGE").value_or("?"), std::string());
        QCOMPARE(FormValue(jobs[0].form, "RESOLUTION").value_or("?"), std::string("200"));
        QCOMPARE(FormValue(jobs[0].form, "TYPE").value_or("?"), std::string("JPEG"));
    }

    void busyScannerIsNamed()
    {
        NetScanner scanner(kScanner);
        scanner.SetPostResult(kPostResultDeviceBusy);
        std::string error;
        QVERIFY2(scanner.Start(&error), error.c_str());
        QTemporaryDir out;

        const Run run = Scan(out.path(), {});

        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains("the device is busy (SANE_STATUS_DEVICE_BUSY, 3)"), qPrintable(run.err));
        QVERIFY(QDir(out.path()).entryList(QDir::Files).isEmpty());
    }

    void brokenDataStreamIsAnIoError()
    {
        NetScanner scanner(kScanner);
        NetScanJob job;
        job.pages = 2;
        job.pageBytes = 10000;
        job.blockSize = 2000;
        job.fault = {DataFaultKind::CloseMidBlock, 1, 1, 500};
        scanner.SetJob(job);
        std::string error;
        QVERIFY2(scanner.Start(&error), error.c_str());
        QTemporaryDir out;

        const Run run = Scan(out.path(), {"--source", "adf-multi", "--format", "raw"});

        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains("the scan failed after 1 page(s) saved") && run.err.contains("SANE_STATUS_IO_ERROR"),
                 qPrintable(run.err));
        const std::vector<uint8_t> first = PatternPageImage(0, 10000, ImageType::Raw);
        QCOMPARE(ReadAll(out.filePath("page-001.raw")),
                 QByteArray(reinterpret_cast<const char*>(first.data()), int(first.size())));
        QVERIFY(!QFile::exists(out.filePath("page-002.raw")));
        QTRY_VERIFY_WITH_TIMEOUT(LeftInScanDir().isEmpty(), 3000);
    }
};

QTEST_GUILESS_MAIN(TestClientEndToEnd)
#include "tst_clientendtoend.moc"
