// The scanner's pieces without sockets: form and request parsing, job planning, stream
// framing, page images, attribute queries.
#include "attributes.h"
#include "httpanswers.h"
#include "httpreader.h"
#include "scanform.h"
#include "streamheaders.h"

#include "ovraemu/netscanjob.h"
#include "ovraemu/netscanrecords.h"

#include <QtTest>

using namespace ovraemu;

class TestScanParts : public QObject
{
    Q_OBJECT

private slots:
    void formBodyKeepsOrderAndEmptyValues()
    {
        const FormFields fields = ParseFormBody("A=1&B=&C=x=y&D&");
        QCOMPARE(fields.size(), size_t(4));
        QCOMPARE(fields[0], (std::pair<std::string, std::string>("A", "1")));
        QCOMPARE(fields[1], (std::pair<std::string, std::string>("B", "")));
        QCOMPARE(fields[2], (std::pair<std::string, std::string>("C", "x=y")));
        QCOMPARE(fields[3], (std::pair<std::string, std::string>("D", "")));
        QCOMPARE(FormValue(fields, "C").value_or("-"), std::string("x=y"));
        QVERIFY(!FormValue(fields, "E"));
        QVERIFY(ParseFormBody("").empty());
    }

    void requestHeadParsing()
    {
        HttpRequestRecord request;
        QVERIFY(ParseRequestHead("POST /netscan/post HTTP/1.1\r\nHost:  1.2.3.4 \r\nContent-Length: 10", request));
        QCOMPARE(request.method, std::string("POST"));
        QCOMPARE(request.path, std::string("/netscan/post"));
        QCOMPARE(request.version, std::string("HTTP/1.1"));
        QCOMPARE(request.headers.size(), size_t(2));
        QCOMPARE(request.Header("HOST").value_or(""), std::string("1.2.3.4"));
        HttpRequestRecord bad;
        QVERIFY(!ParseRequestHead("GARBAGE", bad));
        QVERIFY(!ParseRequestHead("GET  HTTP/1.1", bad));
        QVERIFY(!ParseRequestHead("GET / HTTP/1.1\r\nno colon here", bad));
    }

    void routes_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("body");
        QTest::addColumn<int>("route"); // -1: none
        QTest::newRow("job post") << "POST"
                                  << "/netscan/post"
                                  << "SCANTYPE=2&TYPE=JPEG&" << int(HttpRoute::JobPost);
        QTest::newRow("abort") << "POST"
                               << "/netscan/post"
                               << "SCANTYPE=4" << int(HttpRoute::Abort);
        QTest::newRow("capabilities") << "GET"
                                      << "/netscan/capabilites"
                                      << "" << int(HttpRoute::Capabilities);
        QTest::newRow("correct spelling is unknown") << "GET"
                                                     << "/netscan/capabilities"
                                                     << "" << -1;
        QTest::newRow("feeder") << "POST"
                                << "/cgi-bin/dynamic/printer/netscan/adfStatus.html"
                                << "GETADFSTATUS" << int(HttpRoute::FeederStatus);
        QTest::newRow("get of the post path") << "GET"
                                              << "/netscan/post"
                                              << "" << -1;
    }

    void routes()
    {
        QFETCH(QString, method);
        QFETCH(QString, path);
        QFETCH(QString, body);
        QFETCH(int, route);
        HttpRequestRecord request;
        request.method = method.toStdString();
        request.path = path.toStdString();
        request.body = body.toStdString();
        const auto found = RouteOf(request);
        QCOMPARE(found ? int(*found) : -1, route);
    }

    void jobFormValidation_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("problem");
        const QString good = "SCANTYPE=2&TYPE=RAW&SCANSOURCE=0&RESOLUTION=600&TCPPORT=2080&SINGLEPAGE=&";
        QTest::newRow("good") << good << "";
        QTest::newRow("scantype") << QString(good).replace("SCANTYPE=2", "SCANTYPE=3") << "SCANTYPE";
        QTest::newRow("type") << QString(good).replace("TYPE=RAW", "TYPE=PNG") << "TYPE";
        QTest::newRow("source") << QString(good).replace("SCANSOURCE=0", "SCANSOURCE=1") << "SCANSOURCE";
        QTest::newRow("resolution zero") << QString(good).replace("=600", "=0") << "RESOLUTION";
        QTest::newRow("resolution text") << QString(good).replace("=600", "=6x") << "RESOLUTION";
        QTest::newRow("port") << QString(good).replace("2080", "2081") << "TCPPORT";
    }

    void jobFormValidation()
    {
        QFETCH(QString, body);
        QFETCH(QString, problem);
        const JobRequest request = ReadJobForm(ParseFormBody(body.toStdString()));
        QCOMPARE(request.valid, problem.isEmpty());
        QCOMPARE(QString::fromStdString(request.problem), problem);
        if (request.valid) {
            QCOMPARE(request.type, ImageType::Raw);
            QVERIFY(request.feeder);
            QVERIFY(!request.singlePage);
            QCOMPARE(request.resolution, std::string("600"));
        }
    }

    void jobPlanning()
    {
        NetScanJob script;
        script.pages = 4;
        script.pageBytes = 10;
        JobRequest multi;
        multi.feeder = true;
        multi.type = ImageType::Raw;
        QCOMPARE(PlanJob(multi, {}, script, FeederState::Loaded).pages.size(), size_t(4));
        QVERIFY(PlanJob(multi, {}, script, FeederState::Empty).pages.empty());
        JobRequest single = multi;
        single.singlePage = true;
        QCOMPARE(PlanJob(single, {}, script, FeederState::Loaded).pages.size(), size_t(1));
        JobRequest flatbed;
        QCOMPARE(PlanJob(flatbed, {}, script, FeederState::Empty).pages.size(), size_t(1));

        const ScanJobRecord feederJob = PlanJob(multi, {}, script, FeederState::Loaded);
        QCOMPARE(JamBeforePage(feederJob, script, FeederState::Loaded), -1);
        QCOMPARE(JamBeforePage(feederJob, script, FeederState::Jammed), 0);
        script.fault.kind = DataFaultKind::FeederJam;
        script.fault.page = 2;
        QCOMPARE(JamBeforePage(feederJob, script, FeederState::Loaded), 2);
        QCOMPARE(JamBeforePage(PlanJob(flatbed, {}, script, FeederState::Loaded), script, FeederState::Jammed), -1);
    }

    void streamHeaders()
    {
        QCOMPARE(kNewFileMarker, std::string("NEWFILE") + std::string(10, ' ') + "\n");
        QCOMPARE(kJobDoneMarker, std::string("JOBDONE") + std::string(10, ' ') + "\n");
        QCOMPARE(SizeField(100, SizeFieldStyle::ZeroPadded), std::string("000100"));
        QCOMPARE(SizeField(100, SizeFieldStyle::SpacePadded), std::string("   100"));
        QCOMPARE(SizeField(5000000, SizeFieldStyle::ZeroPadded), std::string("999999"));
        QCOMPARE(JobHeader(42, SizeFieldStyle::ZeroPadded), std::string("OVRASCAN000042     \n"));
        QCOMPARE(PageHeader(7, SizeFieldStyle::SpacePadded), std::string("PAGE       7     \n"));
        QCOMPARE(DataBlockHeader(8192, SizeFieldStyle::ZeroPadded), std::string("IMAGE 008192     \n"));
    }

    void patternPages()
    {
        const std::vector<uint8_t> jpeg = PatternPageImage(0, 1000, ImageType::Jpeg);
        QCOMPARE(jpeg.size(), size_t(1000));
        QCOMPARE(jpeg[0], uint8_t(0xFF));
        QCOMPARE(jpeg[1], uint8_t(0xD8));
        QCOMPARE(std::string(jpeg.begin() + 6, jpeg.begin() + 10), std::string("JFIF"));
        QCOMPARE(jpeg[998], uint8_t(0xFF));
        QCOMPARE(jpeg[999], uint8_t(0xD9));
        QVERIFY(std::find(jpeg.begin() + 20, jpeg.end() - 2, 0xFF) == jpeg.end() - 2);
        const std::vector<uint8_t> raw = PatternPageImage(0, 1000, ImageType::Raw);
        QVERIFY(raw != jpeg);
        QVERIFY(PatternPageImage(1, 1000, ImageType::Raw) != raw);
        QVERIFY(PatternPageImage(0, 1000, ImageType::Raw) == raw);
        QCOMPARE(PatternPageImage(0, 5, ImageType::Jpeg).size(), size_t(5));
        QVERIFY(PatternPageImage(2, 0, ImageType::Raw).empty());

        NetScanJob job;
        job.pages = 5;
        job.images = {{1, 2}, {3}};
        QCOMPARE(MultiPageCount(job), 2);
        QCOMPARE(PageImage(job, 1, ImageType::Jpeg), (std::vector<uint8_t>{3}));
        job.images.clear();
        QCOMPARE(MultiPageCount(job), 5);
    }

    void answers()
    {
        const std::string answer = HttpAnswer(200, "RESULT=0\r\n");
        QCOMPARE(answer, std::string("HTTP/1.1 200 OK\r\nServer: Ovra-K246-Scan\r\nContent-Type: text/plain\r\n"
                                     "Content-Length: 10\r\nConnection: close\r\n\r\nRESULT=0\r\n"));
        QCOMPARE(JobPostBody(91), std::string("RESULT=91\r\n"));
        QCOMPARE(FeederStatusBody(FeederState::Jammed).back(), '3');
        QVERIFY(ErrorPageBody(503).find("503 Service Unavailable") != std::string::npos);
        QVERIFY(ErrorPageBody(503).find("RESULT=") == std::string::npos);
    }

    void attributeQueries()
    {
        const AttributeQuery query = ParseAttributeQuery(
            "<method name=\"getAttribute\" requestID=\"10002\">\r\n  <arg name=\"objName\">mfp.profileFactory</arg>"
            "\r\n  <arg name=\"attribName\">getList</arg>\r\n</method>\r\n");
        QCOMPARE(query.requestId, 10002);
        QCOMPARE(query.objName, std::string("mfp.profileFactory"));
        QCOMPARE(query.attribName, std::string("getList"));
        const AttributeQuery empty = ParseAttributeQuery("<method/>");
        QCOMPARE(empty.requestId, 0);
        QVERIFY(empty.objName.empty());
        QVERIFY(!DefaultAttributeValue("system", "other"));
        QCOMPARE(PaddedTo("abc", 6), std::string("abc   "));
        QCOMPARE(PaddedTo("abcdef", 3), std::string("abcdef"));
        QCOMPARE(LengthPrefix(0x01020304), (std::string{1, 2, 3, 4}));
        QCOMPARE(ReadLengthPrefix(std::string{0, 0, char(0x20), char(0x01)}), uint32_t(8193));
    }
};

QTEST_GUILESS_MAIN(TestScanParts)
#include "tst_scanparts.moc"
