// The scanner's HTTP port as the daemon uses it: each request exactly as the daemon
// sends it, and each answer.
#include "scannertestclient.h"
#include "startscanner.h"

#include <QtTest>

#include <sys/socket.h>

using namespace scantest;
using namespace ovraemu;
using namespace std::chrono_literals;

namespace {

const std::string kAddress = "127.0.0.141";
const std::string kHostAddress = "10.0.0.5";

int ResultOf(const std::string& answer)
{
    const std::string body = AnswerBody(answer);
    const size_t at = body.find("RESULT=");
    return at == std::string::npos ? -1 : atoi(body.c_str() + at + 7);
}

} // namespace

class TestScanHttp : public QObject
{
    Q_OBJECT

private slots:
    void jobPostIsRecordedByteForByteAndFieldByField()
    {
        NetScanner scanner(kAddress);
        START_SCANNER_OR_SKIP(scanner);
        JobSettings settings;
        settings.login = "scanuser";
        settings.backgroundRemoval = 1;
        settings.backgroundRemovalParam = 3;
        const Fields form = DaemonJobForm(settings);
        const std::string request = JobPostRequest(form);

        const std::string answer = Exchange(kAddress, 80, request);

        QCOMPARE(AnswerStatus(answer), 200);
        QCOMPARE(ResultOf(answer), 0);
        QVERIFY(answer.find("\r\n\r\n") < answer.find("RESULT="));
        const std::vector<HttpRequestRecord> requests = scanner.HttpRequests();
        QCOMPARE(requests.size(), size_t(1));
        QCOMPARE(QByteArray::fromStdString(requests[0].raw), QByteArray::fromStdString(request));
        QCOMPARE(requests[0].method, std::string("POST"));
        QCOMPARE(requests[0].path, std::string("/netscan/post"));
        QCOMPARE(requests[0].Header("Host").value_or(""), std::string(kDaemonFixedAddress));
        QCOMPARE(requests[0].Header("User-Agent").value_or(""), std::string("HttpScanConnection"));
        QCOMPARE(requests[0].Header("content-length").value_or(""), std::to_string(FormBody(form).size()));
        const FormFields received = ParseFormBody(requests[0].body);
        QCOMPARE(received.size(), size_t(25));
        QVERIFY(received == form);
        QCOMPARE(requests[0].answerStatus, 200);
    }

    void jobPostPlansPagesBySource_data()
    {
        QTest::addColumn<bool>("feeder");
        QTest::addColumn<bool>("multiPage");
        QTest::addColumn<bool>("jpeg");
        QTest::addColumn<int>("pages");
        QTest::newRow("flatbed") << false << false << true << 1;
        QTest::newRow("feeder single page") << true << false << true << 1;
        QTest::newRow("feeder multi-page") << true << true << true << 3;
        QTest::newRow("feeder multi-page raw") << true << true << false << 3;
    }

    void jobPostPlansPagesBySource()
    {
        QFETCH(bool, feeder);
        QFETCH(bool, multiPage);
        QFETCH(bool, jpeg);
        QFETCH(int, pages);
        NetScanner scanner(kAddress);
        NetScanJob job;
        job.pages = 3;
        job.pageBytes = 100;
        scanner.SetJob(job);
        START_SCANNER_OR_SKIP(scanner);
        JobSettings settings;
        settings.feeder = feeder;
        settings.multiPage = multiPage;
        settings.jpeg = jpeg;

        QCOMPARE(ResultOf(Exchange(kAddress, 80, JobPostRequest(DaemonJobForm(settings)))), 0);

        const std::vector<ScanJobRecord> jobs = scanner.Jobs();
        QCOMPARE(jobs.size(), size_t(1));
        QCOMPARE(int(jobs[0].pages.size()), pages);
        QCOMPARE(jobs[0].feeder, feeder);
        QCOMPARE(jobs[0].type, jpeg ? ImageType::Jpeg : ImageType::Raw);
        QCOMPARE(jobs[0].outcome, JobOutcome::Waiting);
        QCOMPARE(jobs[0].pages[0], PatternPageImage(0, 100, jpeg ? ImageType::Jpeg : ImageType::Raw));
    }

    void jobPostRefusals_data()
    {
        QTest::addColumn<int>("scriptedResult");
        QTest::addColumn<QString>("badField");
        QTest::addColumn<int>("expected");
        QTest::newRow("busy") << kPostResultDeviceBusy << QString() << 91;
        QTest::newRow("scripted bad field") << kPostResultBadField << QString() << 1;
        QTest::newRow("unknown TYPE") << 0 << "TYPE" << 1;
        QTest::newRow("unknown SCANSOURCE") << 0 << "SCANSOURCE" << 1;
        QTest::newRow("no RESOLUTION") << 0 << "RESOLUTION" << 1;
        QTest::newRow("other TCPPORT") << 0 << "TCPPORT" << 1;
    }

    void jobPostRefusals()
    {
        QFETCH(int, scriptedResult);
        QFETCH(QString, badField);
        QFETCH(int, expected);
        NetScanner scanner(kAddress);
        scanner.SetPostResult(scriptedResult);
        START_SCANNER_OR_SKIP(scanner);
        Fields form = DaemonJobForm(JobSettings());
        for (auto& field : form)
            if (field.first == badField.toStdString())
                field.second = "X";

        const std::string answer = Exchange(kAddress, 80, JobPostRequest(form));

        QCOMPARE(AnswerStatus(answer), 200);
        QCOMPARE(ResultOf(answer), expected);
        QVERIFY(scanner.Jobs().empty());
    }

    void secondJobWhileOneStreamsIsBusy()
    {
        NetScanner scanner(kAddress);
        NetScanJob job;
        job.pageBytes = 1000;
        job.fault = {DataFaultKind::ShortBlock, 0, 0, 10};
        scanner.SetJob(job);
        START_SCANNER_OR_SKIP(scanner);
        const std::string post = JobPostRequest(DaemonJobForm(JobSettings()));
        QCOMPARE(ResultOf(Exchange(kAddress, 80, post)), 0);
        const int data = Connect(kAddress, 2080);
        QVERIFY(data >= 0);
        std::string header;
        QVERIFY(ReadExactly(data, header, 20));

        QCOMPARE(ResultOf(Exchange(kAddress, 80, post)), 91);

        QCOMPARE(ResultOf(Exchange(kAddress, 80, AbortRequest(kHostAddress))), 0);
        QVERIFY(scanner.WaitForJobEnd(0, 2s));
        close(data);
        QCOMPARE(ResultOf(Exchange(kAddress, 80, post)), 0);
    }

    void httpErrorStatusReplacesTheAnswer_data()
    {
        QTest::addColumn<int>("route");
        QTest::addColumn<int>("status");
        QTest::newRow("job post 503") << int(HttpRoute::JobPost) << 503;
        QTest::newRow("feeder status 500") << int(HttpRoute::FeederStatus) << 500;
        QTest::newRow("capabilities 404") << int(HttpRoute::Capabilities) << 404;
        QTest::newRow("abort 403") << int(HttpRoute::Abort) << 403;
    }

    void httpErrorStatusReplacesTheAnswer()
    {
        QFETCH(int, route);
        QFETCH(int, status);
        NetScanner scanner(kAddress);
        scanner.SetHttpStatus(HttpRoute(route), status);
        START_SCANNER_OR_SKIP(scanner);
        const std::string requests[] = {JobPostRequest(DaemonJobForm(JobSettings())), AbortRequest(kHostAddress),
                                        CapabilitiesRequest(kHostAddress), FeederStatusRequest(kHostAddress)};

        const std::string answer = Exchange(kAddress, 80, requests[route]);

        QCOMPARE(AnswerStatus(answer), status);
        QVERIFY(answer.find("RESULT=") == std::string::npos);
        QVERIFY(answer.find("DUPLEX=") == std::string::npos);
        QVERIFY(answer.back() == '\n'); // the feeder status reads the last character
        QVERIFY(scanner.Jobs().empty());
        QCOMPARE(scanner.HttpRequests().at(0).answerStatus, status);
    }

    void abortStopsTheRunningStream()
    {
        NetScanner scanner(kAddress);
        NetScanJob job;
        job.pages = 1;
        job.pageBytes = 64 * 1024 * 1024; // far more than the socket buffers hold
        scanner.SetJob(job);
        START_SCANNER_OR_SKIP(scanner);
        QCOMPARE(ResultOf(Exchange(kAddress, 80, JobPostRequest(DaemonJobForm(JobSettings())))), 0);
        const int data = Connect(kAddress, 2080);
        QVERIFY(data >= 0);
        std::string header;
        QVERIFY(ReadExactly(data, header, 20));
        const std::string request = AbortRequest(kHostAddress);

        const std::string answer = Exchange(kAddress, 80, request);

        QCOMPARE(AnswerStatus(answer), 200);
        QCOMPARE(ResultOf(answer), 0);
        QVERIFY(scanner.WaitForJobEnd(0, 2s));
        QCOMPARE(scanner.Jobs()[0].outcome, JobOutcome::Aborted);
        QCOMPARE(scanner.Jobs()[0].pagesSent, 0);
        const std::vector<HttpRequestRecord> requests = scanner.HttpRequests();
        QCOMPARE(QByteArray::fromStdString(requests.back().raw), QByteArray::fromStdString(request));
        QCOMPARE(requests.back().Header("Content-Length").value_or(""), std::string("10"));
        QCOMPARE(requests.back().Header("Host").value_or(""), kHostAddress);
        // The stream ends: reading it to the end finishes well before the receive limit.
        QElapsedTimer timer;
        timer.start();
        ReadToEnd(data);
        QVERIFY(timer.elapsed() < 4000);
        close(data);
    }

    void abortBeforeTheDataConnectionDropsTheJob()
    {
        NetScanner scanner(kAddress);
        START_SCANNER_OR_SKIP(scanner);
        QCOMPARE(ResultOf(Exchange(kAddress, 80, JobPostRequest(DaemonJobForm(JobSettings())))), 0);

        QCOMPARE(ResultOf(Exchange(kAddress, 80, AbortRequest(kHostAddress))), 0);

        QCOMPARE(scanner.Jobs()[0].outcome, JobOutcome::Aborted);
        const ReceivedJob received = ReceiveJob(kAddress);
        QVERIFY(received.jobHeader.empty());
        QCOMPARE(scanner.DataConnections(), 1);
    }

    void capabilitiesRequestAndAnswer()
    {
        NetScanner scanner(kAddress);
        EmuCapabilities capabilities;
        capabilities.duplex = true;
        capabilities.color = false;
        capabilities.minres = 100;
        capabilities.maxres = 600;
        capabilities.widthFormat = 2;
        capabilities.family = 7;
        capabilities.permProfiles = true;
        capabilities.profile = true;
        capabilities.maxWidth = 8000;
        capabilities.maxHeight = 11000;
        capabilities.basicResolution = 150;
        scanner.SetCapabilities(capabilities);
        START_SCANNER_OR_SKIP(scanner);
        const std::string request = CapabilitiesRequest(kHostAddress);

        const std::string answer = Exchange(kAddress, 80, request);

        QCOMPARE(AnswerStatus(answer), 200);
        QCOMPARE(AnswerBody(answer), std::string("DUPLEX=true\r\nCOLOR=MONO\r\nMINRES=100\r\nMAXRES=600\r\n"
                                                 "WIDTH_FORMAT=2\r\nFAMILY=7\r\nPERMPROFILES=true\r\n"
                                                 "PROFILE=ENABLED\r\nMAX_WIDTH=8000\r\nMAX_HEIGHT=11000\r\n"
                                                 "BASIC_RESOLUTION=150\r\n"));
        const HttpRequestRecord record = scanner.HttpRequests().at(0);
        QCOMPARE(QByteArray::fromStdString(record.raw), QByteArray::fromStdString(request));
        QCOMPARE(record.method, std::string("GET"));
        QCOMPARE(record.path, std::string("/netscan/capabilites"));
        QCOMPARE(record.Header("Host").value_or(""), kHostAddress);
        // The lines after the early empty line arrive behind the header's end.
        QVERIFY(!record.Header("Connection"));
        QCOMPARE(record.trailing.rfind("Connection: Keep-Alive\r\n", 0), size_t(0));
    }

    void defaultCapabilitiesAreColourAndProfileDisabled()
    {
        NetScanner scanner(kAddress);
        START_SCANNER_OR_SKIP(scanner);

        const std::string body = AnswerBody(Exchange(kAddress, 80, CapabilitiesRequest(kHostAddress)));

        QVERIFY(body.find("COLOR=COLOR\r\n") != std::string::npos);
        QVERIFY(body.find("PROFILE=DISABLED\r\n") != std::string::npos);
        QVERIFY(body.find("MAXRES=1200\r\n") != std::string::npos);
    }

    void feederStatusEndsWithTheState_data()
    {
        QTest::addColumn<int>("state");
        QTest::newRow("empty") << int(FeederState::Empty);
        QTest::newRow("loaded") << int(FeederState::Loaded);
        QTest::newRow("jammed") << int(FeederState::Jammed);
    }

    void feederStatusEndsWithTheState()
    {
        QFETCH(int, state);
        NetScanner scanner(kAddress);
        scanner.SetFeeder(FeederState(state));
        START_SCANNER_OR_SKIP(scanner);
        const std::string request = FeederStatusRequest(kHostAddress);

        const std::string answer = Exchange(kAddress, 80, request);

        QCOMPARE(AnswerStatus(answer), 200);
        QCOMPARE(answer.back(), char('0' + state));
        const HttpRequestRecord record = scanner.HttpRequests().at(0);
        QCOMPARE(QByteArray::fromStdString(record.raw), QByteArray::fromStdString(request));
        QCOMPARE(record.body, std::string("GETADFSTATUS"));
        QCOMPARE(record.Header("Content-Length").value_or(""), std::string("12"));
    }

    void unknownPathIsNotFound()
    {
        NetScanner scanner(kAddress);
        START_SCANNER_OR_SKIP(scanner);

        const std::string answer = Exchange(kAddress, 80, PostRequest("/other", kHostAddress, "X=1"));

        QCOMPARE(AnswerStatus(answer), 404);
        QCOMPARE(scanner.HttpRequests().at(0).answerStatus, 404);
    }

    void incompleteRequestIsNotRecorded()
    {
        NetScanner scanner(kAddress);
        START_SCANNER_OR_SKIP(scanner);
        const std::string request = JobPostRequest(DaemonJobForm(JobSettings()));

        const int fd = Connect(kAddress, 80);
        QVERIFY(fd >= 0);
        QVERIFY(SendText(fd, request.substr(0, request.size() - 5)));
        shutdown(fd, SHUT_WR);

        const std::string answer = ReadToEnd(fd);

        close(fd);
        QVERIFY(answer.empty());
        QVERIFY(scanner.HttpRequests().empty());
        QVERIFY(scanner.Jobs().empty());
    }

    void startRefusesOtherAddressesAndASecondStart()
    {
        std::string error;
        NetScanner outside("192.0.2.1");
        QVERIFY(!outside.Start(&error));
        QVERIFY(error.find("loopback") != std::string::npos);
        NetScanner scanner(kAddress);
        START_SCANNER_OR_SKIP(scanner);
        QVERIFY(!scanner.Start(&error));
        NetScanner sameAddress(kAddress);
        QVERIFY(!sameAddress.Start(&error)); // the ports are taken
        QVERIFY(!sameAddress.IsRunning());
    }

    void stopIsPromptWithOpenConnectionsAndCanRestart()
    {
        NetScanner scanner(kAddress);
        NetScanJob job;
        job.fault = {DataFaultKind::ShortBlock, 0, 0, 1};
        scanner.SetJob(job);
        START_SCANNER_OR_SKIP(scanner);
        QCOMPARE(ResultOf(Exchange(kAddress, 80, JobPostRequest(DaemonJobForm(JobSettings())))), 0);
        const int data = Connect(kAddress, 2080);
        const int idleHttp = Connect(kAddress, 80);
        const int idleAttributes = Connect(kAddress, 5000);
        QVERIFY(data >= 0 && idleHttp >= 0 && idleAttributes >= 0);
        std::string header;
        QVERIFY(ReadExactly(data, header, 20));
        QElapsedTimer timer;
        timer.start();

        scanner.Stop();

        QVERIFY(timer.elapsed() < 1000);
        QVERIFY(!scanner.IsRunning());
        QCOMPARE(scanner.Jobs()[0].outcome, JobOutcome::Disconnected);
        QVERIFY(Connect(kAddress, 80) < 0);
        close(data);
        close(idleHttp);
        close(idleAttributes);
        START_SCANNER_OR_SKIP(scanner);
        QCOMPARE(AnswerStatus(Exchange(kAddress, 80, FeederStatusRequest(kHostAddress))), 200);
    }

    void eventsDescribeEachRequest()
    {
        NetScanner scanner(kAddress);
        std::mutex mutex;
        std::vector<std::string> lines;
        scanner.SetEventSink([&](const std::string& line) {
            std::lock_guard<std::mutex> lock(mutex);
            lines.push_back(line);
        });
        START_SCANNER_OR_SKIP(scanner);

        Exchange(kAddress, 80, FeederStatusRequest(kHostAddress));
        Exchange(kAddress, 80, JobPostRequest(DaemonJobForm(JobSettings())));
        scanner.Stop();

        std::lock_guard<std::mutex> lock(mutex);
        const auto has = [&](const std::string& part) {
            return std::any_of(lines.begin(), lines.end(),
                               [&](const std::string& line) { return line.find(part) != std::string::npos; });
        };
        QVERIFY(has("listening on 127.0.0.141"));
        QVERIFY(has("feeder status) -> 200 feeder state 2"));
        QVERIFY(has("job post) -> 200 RESULT=0 (job 1: flatbed, JPEG, 300 dpi, 1 page(s))"));
        QVERIFY(has("stopped"));
    }
};

QTEST_GUILESS_MAIN(TestScanHttp)
#include "tst_scanhttp.moc"
