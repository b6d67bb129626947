// The emulated network printer on the wire: status replies, reply modes, other
// datagrams, several printers at once, start and stop.
#include "udptestclient.h"

#include "ovraemu/netprinter.h"

#include <QElapsedTimer>

#include <algorithm>
#include <atomic>
#include <thread>

using namespace ovraemu;
using namespace ovratest;

namespace {

EmuPrinterState MakeState(uint8_t statusCode, std::vector<uint16_t> errors, uint32_t toner)
{
    EmuPrinterState state;
    state.product = "Ovra P2200DN";
    state.serial = "S1";
    state.statusCode = statusCode;
    state.errors = std::move(errors);
    state.SetCounter(0x1000, toner);
    return state;
}
const EmuPrinterState kPrinting = MakeState(0x10, {}, 7);
const EmuPrinterState kPaperOut = MakeState(0x00, {0x11A0}, 55);
const std::vector<uint8_t> kNone;

bool Start(NetPrinter& printer)
{
    std::string error;
    const bool started = printer.Start(&error);
    if (!started)
        qWarning("%s", error.c_str());
    return started;
}

bool CanBind(const std::string& address)
{
    const int fd = BindExclusive(address);
    if (fd >= 0)
        close(fd);
    return fd >= 0;
}

// Sends the datagram, then a status request. The printer handles datagrams in order,
// so the datagram went unanswered when the first answer is the status reply and, once
// both are recorded, exactly one status request was counted.
bool Unanswered(UdpTestClient& client, NetPrinter& printer, const std::vector<uint8_t>& datagram)
{
    const size_t received = printer.Received().size() + 2;
    const int requests = printer.StatusRequests() + 1;
    client.Send(printer.Address(), datagram);
    const auto first = client.Ask(printer.Address(), kStatusRequest);
    for (int i = 0; i < 100 && printer.Received().size() < received; ++i)
        QTest::qSleep(5);
    return first == BuildUdpStatusReply(printer.State()) && printer.StatusRequests() == requests;
}

} // namespace

class TestNetPrinter : public QObject
{
    Q_OBJECT

private slots:
    void statusRepliesFollowTheState()
    {
        NetPrinter printer("127.0.0.31", kPrinting);
        QVERIFY(Start(printer));
        UdpTestClient client;
        QCOMPARE(client.Ask("127.0.0.31", kStatusRequest).value_or(kNone), BuildUdpStatusReply(kPrinting));
        printer.SetState(kPaperOut);
        QCOMPARE(printer.State().errors, kPaperOut.errors);
        QCOMPARE(client.Ask("127.0.0.31", kStatusRequest).value_or(kNone), BuildUdpStatusReply(kPaperOut));
        QCOMPARE(printer.StatusRequests(), 2);
        QVERIFY(printer.Received() == (std::vector<std::vector<uint8_t>>{kStatusRequest, kStatusRequest}));

        // While another thread keeps changing the state, every reply is one whole state's.
        std::atomic<bool> done{false};
        std::thread changer([&] {
            for (int i = 0; !done; ++i)
                printer.SetState(i % 2 ? kPrinting : kPaperOut);
        });
        int whole = 0;
        for (int i = 0; i < 40; ++i) {
            const auto answer = client.Ask("127.0.0.31", kStatusRequest);
            whole += answer == BuildUdpStatusReply(kPrinting) || answer == BuildUdpStatusReply(kPaperOut);
        }
        done = true;
        changer.join();
        QCOMPARE(whole, 40);
    }

    void replyModes()
    {
        NetPrinter printer("127.0.0.35", kPrinting);
        QVERIFY(Start(printer));
        const auto full = BuildUdpStatusReply(kPrinting);
        UdpTestClient client;
        printer.SetReplyMode(NetReplyMode::Silent);
        QVERIFY(!client.Ask("127.0.0.35", kStatusRequest));
        QCOMPARE(printer.StatusRequests(), 1); // heard, just not answered

        printer.SetReplyMode(NetReplyMode::Short);
        for (int i = 0; i < 10; ++i) {
            const auto reply = client.Ask("127.0.0.35", kStatusRequest).value_or(kNone);
            QVERIFY2(!reply.empty() && reply.size() <= 7, Hex(reply).constData());
            QVERIFY(std::equal(reply.begin(), reply.end(), full.begin()));
        }
        printer.SetReplyMode(NetReplyMode::Garbage);
        for (int i = 0; i < 10; ++i) {
            const auto reply = client.Ask("127.0.0.35", kStatusRequest).value_or(kNone);
            QVERIFY2(reply.size() >= 8 && reply[0] != 0xA5, Hex(reply).constData());
        }
        printer.SetReplyMode(NetReplyMode::Normal);
        QCOMPARE(client.Ask("127.0.0.35", kStatusRequest).value_or(kNone), full);
        QCOMPARE(printer.StatusRequests(), 22);
    }

    void otherDatagramsRecordedAndHandled()
    {
        NetPrinter printer("127.0.0.36", kPrinting);
        QVERIFY(Start(printer));
        UdpTestClient client;
        const std::vector<uint8_t> nearMiss = {0xA5, 0x00, 0x0C, 0x50, 0xE0, 0x74, 0x08, 0x03,
                                               0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01};
        const std::vector<uint8_t> longer = {0xA5, 0x00, 0x0C, 0x50, 0xE0, 0x74, 0x08, 0x03,
                                             0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
        const std::vector<uint8_t> command = {0xA5, 0x00, 0x05, 0x50, 0xE0, 0xB2, 0x01, 0x00};
        QVERIFY(Unanswered(client, printer, nearMiss));
        QVERIFY(Unanswered(client, printer, longer));
        QVERIFY(Unanswered(client, printer, command));

        // The handler answers B2 commands with what it was given, behind an EE byte.
        printer.SetCommandHandler([](const std::vector<uint8_t>& datagram) {
            std::vector<uint8_t> answer;
            if (datagram.size() > 5 && datagram[5] == 0xB2) {
                answer.push_back(0xEE);
                answer.insert(answer.end(), datagram.begin(), datagram.end());
            }
            return answer;
        });
        std::vector<uint8_t> echoed = {0xEE};
        echoed.insert(echoed.end(), command.begin(), command.end());
        QCOMPARE(client.Ask("127.0.0.36", command).value_or(kNone), echoed);
        QVERIFY(Unanswered(client, printer, nearMiss)); // the handler's empty answer
        printer.SetReplyMode(NetReplyMode::Silent);
        QVERIFY(!client.Ask("127.0.0.36", command));

        const std::vector<std::vector<uint8_t>> expected = {nearMiss,       kStatusRequest, longer,  kStatusRequest,
                                                            command,        kStatusRequest, command, nearMiss,
                                                            kStatusRequest, command};
        QVERIFY(printer.Received() == expected);
    }

    void twoPrintersAnswerIndependently()
    {
        NetPrinter first("127.0.0.32", kPrinting), second("127.0.0.33", kPaperOut);
        QVERIFY(Start(first) && Start(second));
        UdpTestClient toFirst, toSecond;
        for (int i = 0; i < 3; ++i)
            QVERIFY(toFirst.Send("127.0.0.32", kStatusRequest) && toSecond.Send("127.0.0.33", kStatusRequest));
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(toFirst.Receive().value_or(kNone), BuildUdpStatusReply(kPrinting));
            QCOMPARE(toSecond.Receive().value_or(kNone), BuildUdpStatusReply(kPaperOut));
        }
        first.SetReplyMode(NetReplyMode::Silent);
        QVERIFY(!toFirst.Ask("127.0.0.32", kStatusRequest));
        QVERIFY(Unanswered(toSecond, second, {0x01})); // the second still answers
        QVERIFY(first.StatusRequests() == 4 && first.Received().size() == 4);
        QVERIFY(second.StatusRequests() == 4 && second.Received().size() == 5);
    }

    void stopIsPromptAndFreesThePort()
    {
        {
            NetPrinter printer("127.0.0.34", kPrinting);
            QVERIFY(Start(printer));
            QElapsedTimer timer;
            timer.start();
            printer.Stop();
            QVERIFY2(timer.elapsed() < 200, QByteArray::number(timer.elapsed()));
            QVERIFY(!printer.IsRunning() && CanBind("127.0.0.34"));
            printer.Stop(); // a second stop does nothing
            QVERIFY(Start(printer));
            std::string error;
            QVERIFY(!printer.Start(&error) && error.find("already") != std::string::npos);
            UdpTestClient client;
            QVERIFY(client.Ask("127.0.0.34", kStatusRequest));
        }
        QVERIFY(CanBind("127.0.0.34")); // the destructor stopped it
    }

    void startRefusals()
    {
        std::string error;
        QVERIFY(!NetPrinter("192.0.2.1").Start(&error) && error.find("not a loopback address") != std::string::npos);
        QVERIFY(!NetPrinter("printer.local").Start(&error) && error.find("not an IPv4 address") != std::string::npos);
        const int taken = BindExclusive("127.0.0.34");
        NetPrinter blocked("127.0.0.34");
        const bool started = blocked.Start(&error);
        close(taken);
        QVERIFY(!started && !blocked.IsRunning());
        QVERIFY2(error.find("cannot bind 127.0.0.34:9300") != std::string::npos, error.c_str());
    }
};

QTEST_GUILESS_MAIN(TestNetPrinter)
#include "tst_netprinter.moc"
