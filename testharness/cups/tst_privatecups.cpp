// The private CUPS fixture: queues, raw jobs held by the test backends, cancel, clean stop,
// and two fixtures side by side.
#include "privatecups.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* c_szUsbUri = "usb://Ovra/P2200DN?serial=ABC123";
const char* c_szSocketUri = "socket://127.0.0.2:9100";
const char* c_szIppUri = "ipp://127.0.0.9/ipp/print";
const char* c_szAcmeUri = "usb://Acme/LaserJet%20100?serial=ACME01";

QString UserName()
{
    const passwd* pw = getpwuid(geteuid());
    return pw ? QString::fromLocal8Bit(pw->pw_name) : QString();
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Queue name -> DeviceURI, as printers.conf lists them.
QMap<QString, QString> DeviceUris(const QString& serverRoot)
{
    QMap<QString, QString> uris;
    QString queue;
    for (const QByteArray& raw : ReadFile(serverRoot + "/printers.conf").split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        static const QRegularExpression open("^<(?:Default)?Printer (\\S+)>$");
        const QRegularExpressionMatch match = open.match(line);
        if (match.hasMatch())
            queue = match.captured(1);
        else if (line == "</Printer>" || line == "</DefaultPrinter>")
            queue.clear();
        else if (!queue.isEmpty() && line.startsWith("DeviceURI "))
            uris.insert(queue, line.mid(10));
    }
    return uris;
}

QString ModelName(const QString& ppdPath)
{
    static const QRegularExpression re("^\\*ModelName:\\s*\"([^\"]*)\"", QRegularExpression::MultilineOption);
    return re.match(QString::fromLatin1(ReadFile(ppdPath))).captured(1);
}

QString FirstLine(const QByteArray& text) { return QString::fromLocal8Bit(text.left(text.indexOf('\n'))); }

// The Alerts value of a job in an `lpstat -l -o` listing; the last entry of the job counts
// (`lpstat -u USER ... -o QUEUE` lists a job twice, the second time with details).
QString JobAlerts(const QByteArray& listing, const QString& jobId)
{
    QString alerts;
    bool inJob = false;
    for (const QByteArray& raw : listing.split('\n')) {
        const QString line = QString::fromLocal8Bit(raw);
        if (!line.startsWith('\t') && !line.isEmpty())
            inJob = line.section(' ', 0, 0) == jobId;
        else if (inJob && line.startsWith("\tAlerts: "))
            alerts = line.mid(9).trimmed();
    }
    return alerts;
}

bool Alive(qint64 pid)
{
    const QByteArray stat = ReadFile(QString("/proc/%1/stat").arg(pid));
    const int end = stat.lastIndexOf(')');
    return end > 0 && stat.mid(end + 2, 1) != "Z";
}

// Live processes whose command line contains text.
QList<qint64> ProcessesMentioning(const QString& text)
{
    QList<qint64> pids;
    const QStringList entries = QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid || pid == QCoreApplication::applicationPid())
            continue;
        QByteArray cmdline = ReadFile("/proc/" + entry + "/cmdline");
        cmdline.replace('\0', ' ');
        if (cmdline.contains(text.toLocal8Bit()) && Alive(pid))
            pids << pid;
    }
    return pids;
}

bool IsSocket(const QString& path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISSOCK(st.st_mode);
}

} // namespace

class TestPrivateCups : public QObject
{
    Q_OBJECT

private slots:
    void shippedPpdsAreValid_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("model");
        QTest::newRow("p2200dn") << "ovra-p2200dn"
                                 << "Ovra P2200DN";
        QTest::newRow("mk246") << "ovra-mk246"
                               << "Ovra MK246";
        QTest::newRow("acme") << "acme-laserjet-100"
                              << "Acme LaserJet 100";
    }

    void shippedPpdsAreValid()
    {
        QFETCH(QString, name);
        QFETCH(QString, model);
        const QString path = PrivateCups::PpdPath(name);
        QCOMPARE(ModelName(path), model);
        const QString checker = QStandardPaths::findExecutable("cupstestppd");
        QVERIFY2(!checker.isEmpty(), "cupstestppd (cups-client) is missing");
        QProcess process;
        process.start(checker, {"-W", "all", path});
        QVERIFY(process.waitForFinished(30000));
        QVERIFY2(process.exitCode() == 0, process.readAllStandardOutput().constData());
    }

    void queuesJobsCancelAndStop()
    {
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        const QFileInfo systemConf("/etc/cups/printers.conf");
        PrivateCups cups(tmp.path());
        QString error;
        QVERIFY2(cups.Start(&error), qPrintable(error));
        QVERIFY(cups.IsRunning());
        QCOMPARE(QString::fromLocal8Bit(qgetenv("CUPS_SERVER")), cups.Socket());
        QCOMPARE(QString::fromLocal8Bit(qgetenv("CUPS_SERVERROOT")), cups.ServerRoot());
        QVERIFY2(IsSocket(cups.Socket()), qPrintable(cups.Socket()));
        QVERIFY(cups.ServerRoot().startsWith(tmp.path()));
        const qint64 cupsdPid = cups.CupsdPid();
        QVERIFY(cupsdPid > 0 && Alive(cupsdPid));
        QVERIFY2(!cups.Start(&error), "a second start of the same fixture must fail");

        // lpstat reaches the private scheduler through the environment alone.
        QProcess lpstat;
        lpstat.start("lpstat", {"-r"});
        QVERIFY(lpstat.waitForFinished(30000));
        QCOMPARE(lpstat.readAllStandardOutput().trimmed(), QByteArray("scheduler is running"));

        // Every queue is in printers.conf as soon as lpadmin returns.
        const QList<QStringList> queues{
            {"q", c_szUsbUri, "ovra-p2200dn", "Ovra P2200DN"},
            {"qnet", c_szSocketUri, "ovra-mk246", "Ovra MK246"},
            {"qipp", c_szIppUri, "ovra-p2200dn", "Ovra P2200DN"},
            {"acme", c_szAcmeUri, "acme-laserjet-100", "Acme LaserJet 100"},
        };
        QMap<QString, QString> expected;
        for (const QStringList& queue : queues) {
            QVERIFY2(cups.AddQueue(queue[0], queue[1], PrivateCups::PpdPath(queue[2]), &error), qPrintable(error));
            expected.insert(queue[0], queue[1]);
            QCOMPARE(DeviceUris(cups.ServerRoot()), expected);
            QCOMPARE(ModelName(cups.ServerRoot() + "/ppd/" + queue[0] + ".ppd"), queue[3]);
        }
        // The system's CUPS configuration is left alone.
        QCOMPARE(QFileInfo("/etc/cups/printers.conf").exists(), systemConf.exists());
        QCOMPARE(QFileInfo("/etc/cups/printers.conf").lastModified(), systemConf.lastModified());

        QByteArray output;
        QCOMPARE(cups.Run("lpstat", {"-p", "q"}, &output), 0);
        QVERIFY2(FirstLine(output).contains("is idle"), output.constData());

        // A raw job reaches the backend, which keeps it printing.
        const QByteArray data("\x1b%-12345X@PJL JOB\r\nraw test page\r\n\x1b%-12345X");
        const QString job = cups.Print("q", data, &error);
        QVERIFY2(QRegularExpression("^q-\\d+$").match(job).hasMatch(), qPrintable(job + error));
        QTRY_VERIFY2_WITH_TIMEOUT(cups.Run("lpstat", {"-p", "q"}, &output) == 0
                                      && FirstLine(output).contains("printing"),
                                  output.constData(), 10000);
        QVERIFY2(FirstLine(output).contains(job), output.constData());
        const QStringList listArgs{"-u", UserName(), "-W", "all", "-l", "-o", "q"};
        QCOMPARE(cups.Run("lpstat", listArgs, &output), 0);
        QVERIFY2(JobAlerts(output, job) == "job-printing", output.constData());
        QTRY_COMPARE_WITH_TIMEOUT(cups.JobData(job), data, 5000);
        QList<qint64> backends = ProcessesMentioning(cups.Dir() + "/bin/backend/usb");
        QCOMPARE(backends.size(), 1);

        // Only q prints.
        QCOMPARE(cups.Run("lpstat", {"-p", "qnet"}, &output), 0);
        QVERIFY2(FirstLine(output).contains("is idle"), output.constData());

        // cancel ends the backend; the job stays listed as cancelled by the user.
        QVERIFY2(cups.Cancel("q", &error), qPrintable(error));
        QTRY_VERIFY2_WITH_TIMEOUT(cups.Run("lpstat", listArgs, &output) == 0
                                      && JobAlerts(output, job) == "job-canceled-by-user",
                                  output.constData(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!Alive(backends[0]), 5000);
        QCOMPARE(cups.Run("lpstat", {"-p", "q"}, &output), 0);
        QVERIFY2(FirstLine(output).contains("is idle"), output.constData());
        QCOMPARE(cups.Run("lpstat", {"-W", "all", "-l", "-o", "q"}, &output), 0);
        QVERIFY2(JobAlerts(output, job) == "job-canceled-by-user", output.constData());

        // Stop while a job prints on the network queue: nothing of the fixture stays behind.
        const QString netJob = cups.Print("qnet", "network job", &error);
        QVERIFY2(netJob.startsWith("qnet-"), qPrintable(error));
        // The backend, then the process it holds the job with: both show up, a moment apart.
        auto fixtureProcesses = [&] {
            return ProcessesMentioning(cups.Dir() + "/bin/backend/")
                   + ProcessesMentioning("ovra-test-cups-hold " + cups.Dir());
        };
        QTRY_COMPARE_WITH_TIMEOUT(fixtureProcesses().size(), 2, 10000);
        backends = fixtureProcesses();
        QCOMPARE(backends.size(), 2);
        cups.Stop();
        QVERIFY(!cups.IsRunning());
        QVERIFY(!Alive(cupsdPid));
        for (qint64 pid : backends)
            QVERIFY2(!Alive(pid), qPrintable(QString::number(pid)));
        QTRY_VERIFY_WITH_TIMEOUT(ProcessesMentioning(cups.Dir()).isEmpty(), 3000);
        QVERIFY(qgetenv("CUPS_SERVER").isEmpty());
        cups.Stop(); // again: nothing to do
        QProcess after;
        after.setProcessEnvironment(cups.Environment());
        after.start("lpstat", {"-r"});
        QVERIFY(after.waitForFinished(30000));
        QVERIFY(!after.readAllStandardOutput().contains("scheduler is running"));
    }

    void twoFixturesDoNotInterfere()
    {
        QTemporaryDir tmpA, tmpB;
        QVERIFY(tmpA.isValid() && tmpB.isValid());
        PrivateCups a(tmpA.path());
        PrivateCups b(tmpB.path());
        QString error;
        QVERIFY2(a.Start(&error), qPrintable(error));
        QVERIFY2(b.Start(&error), qPrintable(error));
        QVERIFY(a.Socket() != b.Socket());
        QVERIFY(a.CupsdPid() != b.CupsdPid());

        const QString uriA = "usb://Ovra/P2200DN?serial=AAA";
        const QString uriB = "usb://Ovra/MK246?serial=BBB";
        QVERIFY2(a.AddQueue("q", uriA, PrivateCups::PpdPath("ovra-p2200dn"), &error), qPrintable(error));
        QVERIFY2(b.AddQueue("q", uriB, PrivateCups::PpdPath("ovra-mk246"), &error), qPrintable(error));
        QCOMPARE(DeviceUris(a.ServerRoot()), (QMap<QString, QString>{{"q", uriA}}));
        QCOMPARE(DeviceUris(b.ServerRoot()), (QMap<QString, QString>{{"q", uriB}}));
        QCOMPARE(ModelName(b.ServerRoot() + "/ppd/q.ppd"), QString("Ovra MK246"));

        const QString job = a.Print("q", "job for A", &error);
        QVERIFY2(!job.isEmpty(), qPrintable(error));
        QByteArray output;
        QTRY_VERIFY2_WITH_TIMEOUT(a.Run("lpstat", {"-p", "q"}, &output) == 0 && FirstLine(output).contains("printing"),
                                  output.constData(), 10000);
        QCOMPARE(b.Run("lpstat", {"-p", "q"}, &output), 0);
        QVERIFY2(FirstLine(output).contains("is idle"), output.constData());
        QCOMPARE(b.Run("lpstat", {"-W", "all", "-o", "q"}, &output), 0);
        QVERIFY2(output.trimmed().isEmpty(), output.constData());

        // Cancelling on B and stopping B leave A's job printing.
        const QString jobB = b.Print("q", "job for B", &error);
        QVERIFY2(!jobB.isEmpty(), qPrintable(error));
        QTRY_COMPARE_WITH_TIMEOUT(b.JobData(jobB), QByteArray("job for B"), 10000);
        QVERIFY2(b.Cancel("q", &error), qPrintable(error));
        QTRY_VERIFY2_WITH_TIMEOUT(b.Run("lpstat", {"-W", "all", "-l", "-o", "q"}, &output) == 0
                                      && JobAlerts(output, jobB) == "job-canceled-by-user",
                                  output.constData(), 10000);
        b.Stop();
        QCOMPARE(a.Run("lpstat", {"-p", "q"}, &output), 0);
        QVERIFY2(FirstLine(output).contains("printing"), output.constData());
        QCOMPARE(a.Run("lpstat", {"-W", "all", "-l", "-o", "q"}, &output), 0);
        QVERIFY2(JobAlerts(output, job) == "job-printing", output.constData());
        QCOMPARE(a.JobData(job), QByteArray("job for A"));
    }

    void startFailsClearlyWithoutCupsd()
    {
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        qputenv("OVRA_TEST_CUPS_CUPSD", tmp.path().toLocal8Bit() + "/no-such-cupsd");
        PrivateCups cups(tmp.path());
        QString error;
        const bool started = cups.Start(&error);
        qunsetenv("OVRA_TEST_CUPS_CUPSD");
        QVERIFY(!started);
        QVERIFY(!cups.IsRunning());
        QVERIFY2(error.contains("cupsd not found"), qPrintable(error));
        QVERIFY(cups.Socket().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPrivateCups)
#include "tst_privatecups.moc"
