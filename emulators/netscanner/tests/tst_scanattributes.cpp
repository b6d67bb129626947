// Attribute requests on port 5000: each of the daemon's three requests byte for byte,
// replies beyond the daemon's buffer, replies in parts.
#include "scannertestclient.h"
#include "startscanner.h"

#include <QtTest>

#include <sys/socket.h>

using namespace scantest;
using namespace ovraemu;
using namespace std::chrono_literals;

namespace {

const std::string kAddress = "127.0.0.143";

// Reads one reply: the 4-byte big-endian length and that many bytes.
bool ReadReply(int fd, uint32_t& announced, std::string& text)
{
    std::string prefix;
    if (!ReadExactly(fd, prefix, 4))
        return false;
    announced = uint32_t(uint8_t(prefix[0])) << 24 | uint32_t(uint8_t(prefix[1])) << 16
                | uint32_t(uint8_t(prefix[2])) << 8 | uint8_t(prefix[3]);
    return ReadExactly(fd, text, announced);
}

std::string Ask(int fd, int id, const std::string& objName, const std::string& attribName)
{
    uint32_t announced = 0;
    std::string text;
    if (!SendText(fd, AttributeRequestMessage(AttributeRequestText(id, objName, attribName)))
        || !ReadReply(fd, announced, text))
        return std::string();
    return text;
}

} // namespace

class TestScanAttributes : public QObject
{
    Q_OBJECT

private slots:
    void eachRequestIsRecordedAndAnswered_data()
    {
        QTest::addColumn<int>("requestId");
        QTest::addColumn<QString>("objName");
        QTest::addColumn<QString>("attribName");
        QTest::addColumn<QString>("value");
        QTest::newRow("family type") << 10001 << "system"
                                     << "familyType"
                                     << "K246";
        QTest::newRow("profile list") << 10002 << "mfp.profileFactory"
                                      << "getList"
                                      << "<profile id=\"1\"";
        QTest::newRow("scanner summary") << 10003 << "mfp.scanner"
                                         << "summary"
                                         << "<scanner state=\"idle\"";
    }

    void eachRequestIsRecordedAndAnswered()
    {
        QFETCH(int, requestId);
        QFETCH(QString, objName);
        QFETCH(QString, attribName);
        QFETCH(QString, value);
        NetScanner scanner(kAddress);
        START_SCANNER_OR_SKIP(scanner);
        const std::string text = AttributeRequestText(requestId, objName.toStdString(), attribName.toStdString());
        const int fd = Connect(kAddress, 5000);
        QVERIFY(fd >= 0);
        QVERIFY(SendText(fd, AttributeRequestMessage(text)));

        uint32_t announced = 0;
        std::string reply;
        QVERIFY(ReadReply(fd, announced, reply));

        close(fd);
        QCOMPARE(size_t(announced), reply.size());
        QVERIFY(reply.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n", 0) == 0);
        QVERIFY(reply.find("requestID=\"" + std::to_string(requestId) + "\" status=\"0\"") != std::string::npos);
        QVERIFY(reply.find("attribName=\"" + attribName.toStdString() + "\">" + value.toStdString())
                != std::string::npos);
        const std::vector<AttributeRequestRecord> requests = scanner.AttributeRequests();
        QCOMPARE(requests.size(), size_t(1));
        QCOMPARE(size_t(requests[0].announcedLength), text.size());
        QCOMPARE(QByteArray::fromStdString(requests[0].text), QByteArray::fromStdString(text));
        QCOMPARE(requests[0].requestId, requestId);
        QCOMPARE(requests[0].objName, objName.toStdString());
        QCOMPARE(requests[0].attribName, attribName.toStdString());
        QCOMPARE(requests[0].answerBytes, reply.size());
    }

    void requestTextIsTheDaemonsExactly()
    {
        const std::string text = AttributeRequestText(10001, "system", "familyType");
        QCOMPARE(text, std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                                   "<method name=\"getAttribute\" requestID=\"10001\">\r\n"
                                   "  <arg name=\"objName\">system</arg>\r\n"
                                   "  <arg name=\"attribName\">familyType</arg>\r\n"
                                   "</method>\r\n"));
        const std::string message = AttributeRequestMessage(text);
        QCOMPARE(message.size(), text.size() + 4);
        QCOMPARE(message.substr(0, 4), (std::string{0, 0, 0, char(text.size())}));
    }

    void replyBeyondTheDaemonsBuffer()
    {
        NetScanner scanner(kAddress);
        scanner.SetAttributeReplyBytes(9000);
        START_SCANNER_OR_SKIP(scanner);
        const int fd = Connect(kAddress, 5000);

        const std::string reply = Ask(fd, 10003, "mfp.scanner", "summary");

        close(fd);
        QCOMPARE(reply.size(), size_t(9000));
        QVERIFY(reply.find("</response>\r\n") != std::string::npos);
        QCOMPARE(scanner.AttributeRequests().at(0).answerBytes, size_t(9000));
    }

    void replyInParts()
    {
        NetScanner scanner(kAddress);
        scanner.SetAttributeReplyBytes(300);
        scanner.SetAttributeReplyParts(3);
        START_SCANNER_OR_SKIP(scanner);
        const int fd = Connect(kAddress, 5000);
        QVERIFY(SendText(fd, AttributeRequestMessage(AttributeRequestText(10001, "system", "familyType"))));

        std::string first(400, '\0');
        const ssize_t firstRead = recv(fd, &first[0], first.size(), 0);

        // 304 bytes in three parts 20 ms apart: the first read sees the first part only,
        // the length and 98 bytes of text.
        QVERIFY(firstRead > 4 && firstRead <= 102);
        std::string rest;
        QVERIFY(ReadExactly(fd, rest, 304 - size_t(firstRead)));
        close(fd);
        QCOMPARE(first.substr(0, 4), (std::string{0, 0, 1, 44}));
    }

    void scriptedAndUnknownAttributes()
    {
        NetScanner scanner(kAddress);
        scanner.SetAttributeReply("system", "familyType", "<family>X9</family>");
        START_SCANNER_OR_SKIP(scanner);
        const int fd = Connect(kAddress, 5000);

        const std::string scripted = Ask(fd, 10001, "system", "familyType");
        const std::string unknown = Ask(fd, 0, "", "");
        const std::string other = Ask(fd, 10003, "mfp.scanner", "summary");

        close(fd);
        QCOMPARE(scripted, std::string("<family>X9</family>"));
        QVERIFY(unknown.find("requestID=\"0\" status=\"1\"") != std::string::npos);
        QVERIFY(other.find("status=\"0\"") != std::string::npos);
        QCOMPARE(scanner.AttributeRequests().size(), size_t(3));
    }

    void incompleteRequestIsNotAnswered()
    {
        NetScanner scanner(kAddress);
        START_SCANNER_OR_SKIP(scanner);
        const int fd = Connect(kAddress, 5000);
        const std::string message = AttributeRequestMessage(AttributeRequestText(10001, "system", "familyType"));
        QVERIFY(SendText(fd, message.substr(0, 40)));
        shutdown(fd, SHUT_WR);

        const std::string answer = ReadToEnd(fd);

        close(fd);
        QVERIFY(answer.empty());
        QVERIFY(scanner.AttributeRequests().empty());
    }
};

QTEST_GUILESS_MAIN(TestScanAttributes)
#include "tst_scanattributes.moc"
