// The page data stream on port 2080: framing as the daemon reads it, multi-page jobs
// reassembled exactly, and every scripted fault.
#include "chartstream.h"
#include "scannertestclient.h"
#include "startscanner.h"

#include <QtTest>

#include <sys/socket.h>

using namespace scantest;
using namespace ovraemu;
using namespace std::chrono_literals;

namespace {

const std::string kAddress = "127.0.0.142";

std::string Bytes(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

bool PostJob(const JobSettings& settings)
{
    const std::string answer = Exchange(kAddress, 80, JobPostRequest(DaemonJobForm(settings)));
    return AnswerBody(answer) == "RESULT=0\r\n";
}

JobSettings FeederJob(bool jpeg = true)
{
    JobSettings settings;
    settings.feeder = true;
    settings.multiPage = true;
    settings.jpeg = jpeg;
    return settings;
}

// `pages` pattern pages of `pageBytes` each, sent in blocks of `blockSize`.
NetScanJob PatternJob(int pages, size_t pageBytes, size_t blockSize = NetScanJob().blockSize)
{
    NetScanJob job;
    job.pages = pages;
    job.pageBytes = pageBytes;
    job.blockSize = blockSize;
    return job;
}

// Reads what arrives within `ms`; -1 when the peer has closed.
long ReadFor(int fd, int ms)
{
    timeval limit = {0, ms * 1000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    char buffer[4096];
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    return n == 0 ? -1 : n < 0 ? 0 : n;
}

} // namespace

class TestScanDataStream : public QObject
{
    Q_OBJECT

private slots:
    void multiPageJobIsReassembledExactly_data()
    {
        QTest::addColumn<bool>("jpeg");
        QTest::addColumn<int>("pageBytes");
        QTest::addColumn<int>("blockSize");
        QTest::newRow("JPEG, 8 KiB blocks") << true << 50000 << 8192;
        QTest::newRow("raw, uneven blocks") << false << 12345 << 1000;
        QTest::newRow("one block per page") << true << 3000 << 65536;
        QTest::newRow("tiny blocks") << false << 257 << 7;
    }

    void multiPageJobIsReassembledExactly()
    {
        QFETCH(bool, jpeg);
        QFETCH(int, pageBytes);
        QFETCH(int, blockSize);
        NetScanner scanner(kAddress);
        scanner.SetJob(PatternJob(3, size_t(pageBytes), size_t(blockSize)));
        START_SCANNER_OR_SKIP(scanner);
        QVERIFY(PostJob(FeederJob(jpeg)));

        const ReceivedJob received = ReceiveJob(kAddress);

        QVERIFY(received.jobDone);
        QCOMPARE(received.newFileMarkers, 3);
        QCOMPARE(received.pages.size(), size_t(3));
        const ImageType type = jpeg ? ImageType::Jpeg : ImageType::Raw;
        for (int page = 0; page < 3; ++page)
            QVERIFY(received.pages[size_t(page)] == Bytes(PatternPageImage(page, size_t(pageBytes), type)));
        const size_t blocksPerPage = (size_t(pageBytes) + size_t(blockSize) - 1) / size_t(blockSize);
        QCOMPARE(received.blockSizes.size(), 3 * blocksPerPage);
        for (size_t size : received.blockSizes)
            QVERIFY(size > 0 && size <= size_t(blockSize));
        QVERIFY(scanner.WaitForJobEnd(0, 2s));
        const ScanJobRecord record = scanner.Jobs()[0];
        QCOMPARE(record.outcome, JobOutcome::Completed);
        QCOMPARE(record.pagesSent, 3);
        for (int page = 0; page < 3; ++page)
            QVERIFY(Bytes(record.pages[size_t(page)]) == received.pages[size_t(page)]);
    }

    void chartPagesFollowTheJobForm_data()
    {
        QTest::addColumn<int>("bitDepth");
        QTest::addColumn<bool>("jpeg");
        QTest::addColumn<int>("width"); // 0: no area, an A4 page
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("resolution");
        QTest::addColumn<int>("mode");
        QTest::newRow("colour JPEG") << 24 << true << 170 << 110 << 100 << int(ChartMode::Colour);
        QTest::newRow("grey JPEG, A4") << 8 << true << 0 << 0 << 50 << int(ChartMode::Grey);
        QTest::newRow("lineart raw") << 1 << false << 203 << 90 << 150 << int(ChartMode::Lineart);
    }

    void chartPagesFollowTheJobForm()
    {
        QFETCH(int, bitDepth);
        QFETCH(bool, jpeg);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, resolution);
        QFETCH(int, mode);
        NetScanner scanner(kAddress);
        NetScanJob job;
        job.pages = 2;
        job.blockSize = 5000;
        scanner.SetJob(job);
        START_SCANNER_OR_SKIP(scanner);
        JobSettings settings = FeederJob(jpeg);
        settings.bitDepth = bitDepth;
        settings.width = width;
        settings.height = height;
        settings.resolution = resolution;
        QVERIFY(PostJob(settings));

        const ReceivedJob received = ReceiveJob(kAddress);

        QVERIFY(received.jobDone);
        QCOMPARE(received.pages.size(), size_t(2));
        for (int page = 0; page < 2; ++page) {
            const ChartPage chart =
                ChartPageOf(unsigned(width), unsigned(height), unsigned(resolution), ChartMode(mode), page + 1);
            ChartStream expected(chart, jpeg ? ChartEncoding::Jpeg : ChartEncoding::Raw);
            QVERIFY(received.pages[size_t(page)] == Bytes(expected.Read(size_t(-1))));
            if (!jpeg)
                QCOMPARE(received.pages[size_t(page)].size(), chart.RawBytes());
        }
        QVERIFY(received.pages[0] != received.pages[1]);
        QVERIFY(scanner.WaitForJobEnd(0, 2s));
        QCOMPARE(scanner.Jobs()[0].outcome, JobOutcome::Completed);
    }

    void framingIsByteExact()
    {
        NetScanner scanner(kAddress);
        scanner.SetJob(PatternJob(1, 10, 4));
        START_SCANNER_OR_SKIP(scanner);
        QVERIFY(PostJob(JobSettings()));
        const int fd = Connect(kAddress, 2080);
        QVERIFY(fd >= 0);

        const std::string stream = ReadToEnd(fd);

        close(fd);
        // Job header: 20 bytes, the size of its data in bytes 8-13.
        QVERIFY(stream.size() > 20);
        QCOMPARE(stream.substr(14, 6), std::string("     \n"));
        size_t at = 20 + size_t(SizeAt(stream, 8));
        QVERIFY(stream.substr(20, at - 20).find("PAGES=1\n") != std::string::npos);
        QCOMPARE(stream.substr(at, 18), std::string("NEWFILE          \n"));
        at += 18;
        const std::string pageHeader = stream.substr(at, 18);
        QCOMPARE(pageHeader.substr(0, 6), std::string("PAGE  "));
        QCOMPARE(pageHeader.substr(12), std::string("     \n"));
        at += 18 + size_t(SizeAt(pageHeader, 6));
        const std::string image = Bytes(PatternPageImage(0, 10, ImageType::Jpeg));
        QCOMPARE(stream.substr(at), std::string("IMAGE 000004     \n") + image.substr(0, 4) + "IMAGE 000004     \n"
                                        + image.substr(4, 4) + "IMAGE 000002     \n" + image.substr(8, 2)
                                        + "JOBDONE          \n");
    }

    void spacePaddedSizesReadTheSame()
    {
        NetScanner scanner(kAddress);
        NetScanJob job = PatternJob(1, 250, 100);
        job.sizeFields = SizeFieldStyle::SpacePadded;
        scanner.SetJob(job);
        START_SCANNER_OR_SKIP(scanner);
        QVERIFY(PostJob(JobSettings()));
        const int fd = Connect(kAddress, 2080);

        const std::string stream = ReadToEnd(fd);

        close(fd);
        QVERIFY(stream.find("IMAGE    100     \n") != std::string::npos);
        QVERIFY(stream.find("IMAGE     50     \n") != std::string::npos);
        QVERIFY(stream.find("IMAGE 000") == std::string::npos);
        QCOMPARE(SizeAt("IMAGE    100     \n", 6), 100);
        QVERIFY(ReceiveJob(kAddress).jobHeader.empty()); // a second connection: no job
    }

    void givenImageBytesAreSentUnchanged()
    {
        NetScanner scanner(kAddress);
        NetScanJob job;
        job.pages = 9; // the images decide
        job.images = {{0xFF, 0xD8, 1, 2, 3, 0xFF, 0xD9}, std::vector<uint8_t>(20000, 0x5A), {0, 0, 0}};
        job.blockSize = 4096;
        scanner.SetJob(job);
        START_SCANNER_OR_SKIP(scanner);
        QVERIFY(PostJob(FeederJob(false)));

        const ReceivedJob received = ReceiveJob(kAddress);

        QVERIFY(received.jobDone);
        QCOMPARE(received.pages.size(), size_t(3));
        for (size_t page = 0; page < 3; ++page)
            QVERIFY(received.pages[page] == Bytes(job.images[page]));
    }

    void firstPageWithoutNewFileMarker()
    {
        NetScanner scanner(kAddress);
        NetScanJob job = PatternJob(2, 3000);
        job.firstPageWithoutNewFile = true;
        scanner.SetJob(job);
        START_SCANNER_OR_SKIP(scanner);
        QVERIFY(PostJob(FeederJob()));

        const ReceivedJob received = ReceiveJob(kAddress);

        QVERIFY(received.jobDone);
        QCOMPARE(received.newFileMarkers, 1);
        QCOMPARE(received.pages.size(), size_t(2));
        QVERIFY(received.pages[0] == Bytes(PatternPageImage(0, 3000, ImageType::Jpeg)));
        QVERIFY(received.pages[1] == Bytes(PatternPageImage(1, 3000, ImageType::Jpeg)));
    }

    void closeMidBlockFault()
    {
        NetScanner scanner(kAddress);
        NetScanJob job = PatternJob(3, 5000, 1000);
        job.fault = {DataFaultKind::CloseMidBlock, 1, 2, 300};
        scanner.SetJob(job);
        START_SCANNER_OR_SKIP(scanner);
        QVERIFY(PostJob(FeederJob()));

        const ReceivedJob received = ReceiveJob(kAddress);

        QVERIFY(received.closedMidBlock);
        QVERIFY(!received.jobDone);
        QCOMPARE(received.pages.size(), size_t(2));
        const std::string second = Bytes(PatternPageImage(1, 5000, ImageType::Jpeg));
        QVERIFY(received.pages[0] == Bytes(PatternPageImage(0, 5000, ImageType::Jpeg)));
        QVERIFY(received.pages[1] == second.substr(0, 2300));
        QCOMPARE(received.blockSizes.back(), size_t(1000));
        QVERIFY(scanner.WaitForJobEnd(0, 2s));
        QCOMPARE(scanner.Jobs()[0].outcome, JobOutcome::Faulted);
        QCOMPARE(scanner.Jobs()[0].pagesSent, 1);
    }

    void shortBlockFaultHoldsUntilAbort()
    {
        NetScanner scanner(kAddress);
        NetScanJob job = PatternJob(1, 4000, 2000);
        job.fault = {DataFaultKind::ShortBlock, 0, 1, 10};
        scanner.SetJob(job);
        START_SCANNER_OR_SKIP(scanner);
        QVERIFY(PostJob(JobSettings()));
        const int fd = Connect(kAddress, 2080);
        QVERIFY(fd >= 0);
        std::string before;
        QVERIFY(ReadExactly(fd, before, 20));
        QVERIFY(ReadExactly(fd, before, size_t(SizeAt(before, 8))));
        // NEWFILE, page header and data, the first block whole, the short block's header.
        std::string rest;
        QVERIFY(ReadExactly(fd, rest, 18 + 18));
        QVERIFY(ReadExactly(fd, rest, size_t(SizeAt(rest.substr(18), 6)) + 18 + 2000 + 18));
        QCOMPARE(rest.substr(rest.size() - 18), std::string("IMAGE 002000     \n"));
        std::string partial;
        QVERIFY(ReadExactly(fd, partial, 10));

        QCOMPARE(ReadFor(fd, 300), 0L); // silence, the connection stays open
        QCOMPARE(scanner.Jobs()[0].outcome, JobOutcome::Streaming);

        QCOMPARE(AnswerBody(Exchange(kAddress, 80, AbortRequest("10.0.0.5"))), std::string("RESULT=0\r\n"));
        QCOMPARE(ReadFor(fd, 2000), -1L);
        close(fd);
        QVERIFY(scanner.WaitForJobEnd(0, 2s));
        QCOMPARE(scanner.Jobs()[0].outcome, JobOutcome::Aborted);
    }

    void feederJamAfterAPage()
    {
        NetScanner scanner(kAddress);
        NetScanJob job = PatternJob(3, 2000);
        job.fault.kind = DataFaultKind::FeederJam;
        job.fault.page = 1;
        scanner.SetJob(job);
        START_SCANNER_OR_SKIP(scanner);
        QVERIFY(PostJob(FeederJob()));

        const ReceivedJob received = ReceiveJob(kAddress);

        QVERIFY(!received.jobDone);
        QVERIFY(received.closedBetweenBlocks);
        QCOMPARE(received.pages.size(), size_t(1));
        QVERIFY(received.pages[0] == Bytes(PatternPageImage(0, 2000, ImageType::Jpeg)));
        QVERIFY(scanner.WaitForJobEnd(0, 2s));
        QCOMPARE(scanner.Jobs()[0].outcome, JobOutcome::Faulted);
        QCOMPARE(scanner.Feeder(), FeederState::Jammed);
        QCOMPARE(Exchange(kAddress, 80, FeederStatusRequest("10.0.0.5")).back(), '3');
    }

    void jammedFeederStopsBeforeTheFirstPageButNotTheFlatbed()
    {
        NetScanner scanner(kAddress);
        scanner.SetFeeder(FeederState::Jammed);
        START_SCANNER_OR_SKIP(scanner);
        QVERIFY(PostJob(FeederJob()));

        const ReceivedJob feeder = ReceiveJob(kAddress);

        QCOMPARE(feeder.jobHeader.size(), size_t(20));
        QVERIFY(feeder.pages.empty());
        QVERIFY(!feeder.jobDone);
        QVERIFY(PostJob(JobSettings()));
        const ReceivedJob flatbed = ReceiveJob(kAddress);
        QVERIFY(flatbed.jobDone);
        QCOMPARE(flatbed.pages.size(), size_t(1));
    }

    void emptyFeederDeliversNoPage()
    {
        NetScanner scanner(kAddress);
        scanner.SetFeeder(FeederState::Empty);
        START_SCANNER_OR_SKIP(scanner);
        QVERIFY(PostJob(FeederJob()));

        const ReceivedJob received = ReceiveJob(kAddress);

        QVERIFY(received.jobDone);
        QVERIFY(received.pages.empty());
        QCOMPARE(received.newFileMarkers, 0);
        QVERIFY(received.jobHeaderData.find("PAGES=0\n") != std::string::npos);
    }

    void dataConnectionWithoutAJobIsClosed()
    {
        NetScanner scanner(kAddress);
        START_SCANNER_OR_SKIP(scanner);
        const int fd = Connect(kAddress, 2080);
        QVERIFY(fd >= 0);

        QCOMPARE(ReadFor(fd, 2000), -1L);

        close(fd);
        QCOMPARE(scanner.DataConnections(), 1);
        QVERIFY(scanner.Jobs().empty());
    }

    void eachJobStreamsOnceAndANewPostReplacesAWaitingJob()
    {
        NetScanner scanner(kAddress);
        START_SCANNER_OR_SKIP(scanner);
        QVERIFY(PostJob(JobSettings()));
        QVERIFY(PostJob(FeederJob(false)));

        const ReceivedJob first = ReceiveJob(kAddress);
        const ReceivedJob second = ReceiveJob(kAddress);

        QVERIFY(first.jobDone);
        QVERIFY(first.jobHeaderData.find("TYPE=RAW\nSOURCE=ADF\n") != std::string::npos);
        QVERIFY(second.jobHeader.empty());
        QVERIFY(scanner.WaitForJobEnd(1, 2s));
        const std::vector<ScanJobRecord> jobs = scanner.Jobs();
        QCOMPARE(jobs.size(), size_t(2));
        QCOMPARE(jobs[0].outcome, JobOutcome::Disconnected);
        QCOMPARE(jobs[1].outcome, JobOutcome::Completed);
    }
};

QTEST_GUILESS_MAIN(TestScanDataStream)
#include "tst_scandatastream.moc"
