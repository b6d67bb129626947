// UDP exchanges against a responder on a loopback address (port 9300).
#include "printerstatebuilder.h"
#include "udpchannel.h"
#include "utilprinterstatus.h"

#include <QElapsedTimer>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

// Answers every datagram on address:9300 with a fixed reply (or stays silent) and
// remembers what it got.
class UdpResponder
{
public:
    UdpResponder(const char* address, QByteArray reply) : m_reply(std::move(reply))
    {
        m_fd = socket(AF_INET, SOCK_DGRAM, 0);
        int one = 1;
        setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(c_usPrinterUdpPort);
        inet_pton(AF_INET, address, &addr.sin_addr);
        m_bBound = bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
        m_thread = std::thread([this] { Serve(); });
    }
    ~UdpResponder()
    {
        m_bStop = true;
        m_thread.join();
        close(m_fd);
    }
    bool bound() const { return m_bBound; }
    int received() const { return m_iReceived; }
    QByteArray lastRequest() const
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        return m_lastRequest;
    }

private:
    void Serve()
    {
        while (!m_bStop) {
            pollfd pfd{m_fd, POLLIN, 0};
            if (poll(&pfd, 1, 50) <= 0)
                continue;
            char buf[4096];
            sockaddr_in from{};
            socklen_t fromLen = sizeof(from);
            const ssize_t n = recvfrom(m_fd, buf, sizeof(buf), 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
            if (n < 0)
                continue;
            {
                std::lock_guard<std::mutex> locker(m_mutex);
                m_lastRequest = QByteArray(buf, int(n));
            }
            ++m_iReceived;
            if (!m_reply.isNull())
                sendto(m_fd, m_reply.constData(), size_t(m_reply.size()), 0, reinterpret_cast<sockaddr*>(&from),
                       fromLen);
        }
    }

    int m_fd = -1;
    bool m_bBound = false;
    QByteArray m_reply;
    mutable std::mutex m_mutex; // guards m_lastRequest, written by the serving thread
    QByteArray m_lastRequest;
    std::atomic<int> m_iReceived{0};
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};

QByteArray ToBytes(const std::vector<uint8_t>& v)
{
    return QByteArray(reinterpret_cast<const char*>(v.data()), int(v.size()));
}

const unsigned char c_byPing[] = {0xA5, 0x00, 0x03, 0x50, 0xE0, 0x2E};

} // namespace

class TestUdpChannel : public QObject
{
    Q_OBJECT
private slots:
    void generalExchangeGetsTheReply()
    {
        UdpResponder printer("127.0.0.21", QByteArray("\xA5\x00\x04\x50\xE0\x2E\x00", 7));
        QVERIFY(printer.bound());
        unsigned char reply[1024] = {0};
        int iReplyLength = 99;
        QCOMPARE(UDPSendRecvData("127.0.0.21", c_byPing, sizeof(c_byPing), reply, sizeof(reply), &iReplyLength), 0);
        QCOMPARE(iReplyLength, 7);
        QCOMPARE(QByteArray(reinterpret_cast<char*>(reply), 7), QByteArray("\xA5\x00\x04\x50\xE0\x2E\x00", 7));
        QCOMPARE(printer.lastRequest(), QByteArray(reinterpret_cast<const char*>(c_byPing), sizeof(c_byPing)));
    }

    void shortRepliesAreStillReplies()
    {
        for (int n = 1; n <= 7; ++n) {
            UdpResponder printer("127.0.0.22", QByteArray(n, '\x5A'));
            QVERIFY(printer.bound());
            unsigned char reply[1024] = {0};
            int iReplyLength = 0;
            QCOMPARE(UDPSendRecvData("127.0.0.22", c_byPing, sizeof(c_byPing), reply, sizeof(reply), &iReplyLength), 0);
            QCOMPARE(iReplyLength, n);
            bool bCalled = false;
            const int iResult = UDPGetPrinterStatus("127.0.0.22", [&](const unsigned char*, int) {
                bCalled = true;
                return 0;
            });
            QCOMPARE(iResult, int(en_Udp_NoReply));
            QVERIFY(!bCalled);
        }
    }

    void replyLargerThanTheBufferIsCut()
    {
        UdpResponder printer("127.0.0.23", QByteArray(3000, '\x11'));
        QVERIFY(printer.bound());
        unsigned char reply[16 + 4];
        std::memset(reply, 0xEE, sizeof(reply));
        int iReplyLength = 0;
        QCOMPARE(UDPSendRecvData("127.0.0.23", c_byPing, sizeof(c_byPing), reply, 16, &iReplyLength), 0);
        QCOMPARE(iReplyLength, 16);
        QCOMPARE(int(reply[15]), 0x11);
        QCOMPARE(int(reply[16]), 0xEE); // nothing past the capacity

        int iSeen = 0;
        QCOMPARE(UDPGetPrinterStatus("127.0.0.23",
                                     [&](const unsigned char*, int iLength) {
                                         iSeen = iLength;
                                         return 7;
                                     }),
                 7);
        QCOMPARE(iSeen, c_iUdpStatusBufferSize);
    }

    void silentPrinter()
    {
        UdpResponder printer("127.0.0.24", QByteArray());
        QVERIFY(printer.bound());
        unsigned char reply[1024] = {0};
        int iReplyLength = 0;
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(UDPSendRecvData("127.0.0.24", c_byPing, sizeof(c_byPing), reply, sizeof(reply), &iReplyLength), 0);
        QCOMPARE(iReplyLength, -1);
        QVERIFY(timer.elapsed() >= 1900 && timer.elapsed() < 3500);
        QCOMPARE(UDPGetPrinterStatus("127.0.0.24", [](const unsigned char*, int) { return 0; }), int(en_Udp_NoReply));
        QCOMPARE(printer.received(), 2);
    }

    void statusExchange()
    {
        ovraemu::EmuPrinterState state;
        state.statusCode = 0x10;
        state.SetCounter(0x1000, 64);
        UdpResponder printer("127.0.0.25", ToBytes(ovraemu::BuildUdpStatusReply(state)));
        QVERIFY(printer.bound());
        stPrinterState decoded;
        const int iResult = UDPGetPrinterStatus("127.0.0.25", [&](const unsigned char* pReply, int iLength) {
            return DecodePrinterStatus(pReply, static_cast<unsigned long>(iLength), decoded) ? 0 : -1;
        });
        QCOMPARE(iResult, 0);
        QCOMPARE(decoded.enCurrentStatus, int(en_Status_Printing));
        QCOMPARE(decoded.dwRemainingToner, quint64(64));
        QCOMPARE(printer.lastRequest(), QByteArray::fromHex("A5000C50E07408030000000000000000").left(15));
    }

    void invalidAddressesNeverReachASocket_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("octet above 255") << "127.0.0.256";
        QTest::newRow("three octets") << "127.0.26";
        QTest::newRow("host name") << "localhost";
        QTest::newRow("empty") << "";
        QTest::newRow("trailing text") << "127.0.0.26 ";
        QTest::newRow("leading zero") << "127.0.0.026";
    }
    void invalidAddressesNeverReachASocket()
    {
        QFETCH(QString, address);
        UdpResponder printer("127.0.0.26", QByteArray("reply"));
        unsigned char reply[64];
        int iReplyLength = 12345;
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(UDPSendRecvData(address, c_byPing, sizeof(c_byPing), reply, sizeof(reply), &iReplyLength),
                 int(en_Udp_BadAddress));
        QCOMPARE(iReplyLength, 12345);
        QCOMPARE(UDPGetPrinterStatus(address, [](const unsigned char*, int) { return 0; }), int(en_Udp_BadAddress));
        QVERIFY(timer.elapsed() < 500);
        QTest::qWait(100);
        QCOMPARE(printer.received(), 0);
    }
};

QTEST_GUILESS_MAIN(TestUdpChannel)
#include "tst_udpchannel.moc"
